#include "input/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

std::size_t LineReader::Find(char c) const {
    const char* start = buffer.get() + begin;
    const auto* at = static_cast<const char*>(std::memchr(start, c, end - begin));
    return at != nullptr ? static_cast<std::size_t>(at - buffer.get()) : end;
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
            char* start = buffer.get() + begin;
            begin = stop + 1;
            afterCarriage = buffer[stop] == '\r';
            size = stop - (start - buffer.get());
            if (size > 0 && start[size - 1] == '\r') --size;
            line = start;
            if (skipping || size > lineMax) {
                skipping = false;
                overlong = true;
                size = 0;
            }
            return true;
        }
        if (atEnd) return TakeLast(line, size, overlong);
        Refill();
    }
}

bool LineReader::TakeLast(char*& line, std::size_t& size, bool& overlong) {
    if (begin == end && !skipping) return false;
    afterCarriage = false;
    overlong = skipping || end - begin > lineMax;
    skipping = false;
    line = buffer.get() + begin;
    size = overlong ? 0 : end - begin;
    begin = end;
    return true;
}

void LineReader::Refill() {
    // Only a carriage return before its line feed is not part of a line: past lineMax + 1
    // units the line cannot be whole.
    if (end - begin > lineMax + 1) skipping = true;
    if (skipping) {
        begin = end = 0;
    } else if (begin > 0) {
        std::memmove(buffer.get(), buffer.get() + begin, end - begin);
        end -= begin;
        begin = 0;
    }
    const std::size_t got = std::fread(buffer.get() + end, 1, block - end, file);
    if (got == 0) {
        atEnd = true;
        if (std::ferror(file)) error = errno != 0 ? errno : EIO;
    }
    end += got;
    feed = carriage = kUnknown;
}
