#include "input/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

std::size_t LineReader::Find(char c) const {
    const char* start = buffer.data() + begin;
    const auto* at = static_cast<const char*>(std::memchr(start, c, end - begin));
    return at != nullptr ? static_cast<std::size_t>(at - buffer.data()) : end;
}

bool LineReader::Next(char*& line, std::size_t& size, bool& overlong) {
    overlong = false;
    for (;;) {
        if (afterCarriage && begin < end) {
            afterCarriage = false;
            if (buffer[begin] == '\n') ++begin;  // the feed of a CR LF pair
        }
        // Each kind of line end is searched for once per block, not once per line.
        if (feed == kUnknown || feed < begin) feed = Find('\n');
        if (carriageReturnEnds && (carriage == kUnknown || carriage < begin)) carriage = Find('\r');
        const std::size_t stop = carriageReturnEnds ? std::min(feed, carriage) : feed;
        if (stop < end) {
            char* start = buffer.data() + begin;
            begin = stop + 1;
            afterCarriage = buffer[stop] == '\r';
            if (skipping) {
                skipping = false;
                overlong = true;
                size = 0;
                return true;
            }
            size = stop - (start - buffer.data());
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
    afterCarriage = false;
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
    feed = carriage = kUnknown;
}
