#include "interop/read_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool ReadForeignFile(const std::string& path, std::string& text, std::string& error) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    text.clear();
    char block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, stream)) > 0) {
        if (text.size() + got > static_cast<std::size_t>(kForeignFileMax)) {
            std::fclose(stream);
            error = path + ": too large for a definition";
            return false;
        }
        text.append(block, got);
    }
    const bool failed = std::ferror(stream) != 0;
    const int e = errno;
    std::fclose(stream);
    if (failed) {
        // A folder opens for reading and fails here with EISDIR.
        error = path + ": cannot read: " + std::strerror(e != 0 ? e : EIO);
        return false;
    }
    return true;
}
