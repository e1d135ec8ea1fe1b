#include "cli/line_reader.h"

#include <cerrno>
#include <cstring>

bool LineReader::Next(char*& line, std::size_t& size, bool& overlong) {
    overlong = false;
    for (;;) {
        char* start = buffer.data() + begin;
        auto* feed = static_cast<char*>(std::memchr(start, '\n', end - begin));
        if (feed != nullptr) {
            begin = feed - buffer.data() + 1;
            if (skipping) {
                skipping = false;
                overlong = true;
                size = 0;
                return true;
            }
            size = feed - start;
            if (size > 0 && start[size - 1] == '\r') --size;
            line = start;
            return true;
        }
        if (atEnd) return TakeLast(line, size, overlong);
        Refill();
    }
}

bool LineReader::TakeLast(char*& line, std::size_t& size, bool& overlong) {
    if (begin == end && !skipping) return false;
    overlong = skipping;
    skipping = false;
    line = buffer.data() + begin;
    size = overlong ? 0 : end - begin;
    begin = end;
    return true;
}

void LineReader::Refill() {
    if (end - begin >= kLineMax) skipping = true;
    if (skipping) {
        begin = end = 0;
    } else if (begin > 0) {
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        begin = 0;
    }
    const std::size_t got = std::fread(buffer.data() + end, 1, kBlock - end, file);
    if (got == 0) {
        atEnd = true;
        if (std::ferror(file)) error = errno != 0 ? errno : EIO;
    }
    end += got;
}
