#include "model/pro_text.h"

#include <cstdio>
#include <cstdlib>

#include "model/pro_file.h"

bool FormatProtocolText(const ProtocolDef& def, std::string& text) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* stream = ::open_memstream(&data, &size);
    if (stream == nullptr) return false;
    const bool written = WriteProtocolLines(stream, def);
    const bool closed = std::fclose(stream) == 0;
    if (written && closed && data != nullptr) text.assign(data, size);
    std::free(data);
    return written && closed;
}
