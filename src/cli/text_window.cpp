#include "cli/text_window.h"

#include <algorithm>

void TextWindow::Grow(std::size_t n) {
    const auto written = static_cast<std::size_t>(at - text.data());
    text.resize(written + std::max(n, kBlock));
    at = text.data() + written;
    end = text.data() + text.size();
}

char* PutNumber(char* out, long number, std::size_t width) noexcept {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // Lengths, offsets and counts: not negative and short, written in place behind blanks.
    if (number >= 0 && number < 100000000 && width <= 8) {
        auto magnitude = static_cast<unsigned>(number);
        const std::size_t digits = magnitude < 10         ? 1
                                   : magnitude < 100      ? 2
                                   : magnitude < 1000     ? 3
                                   : magnitude < 10000    ? 4
                                   : magnitude < 100000   ? 5
                                   : magnitude < 1000000  ? 6
                                   : magnitude < 10000000 ? 7
                                                          : 8;
        std::memset(out, ' ', 8);
        char* const end = out + std::max(width, digits);
        char* p = end;
        while (magnitude >= 100) {
            p -= 2;
            std::memcpy(p, kPairs + 2 * (magnitude % 100), 2);
            magnitude /= 100;
        }
        if (magnitude >= 10) {
            std::memcpy(p - 2, kPairs + 2 * magnitude, 2);
        } else {
            p[-1] = static_cast<char>('0' + magnitude);
        }
        return end;
    }
    char digits[24];
    char* first = digits + sizeof digits;
    // The magnitude as unsigned, so that the most negative number has one too.
    unsigned long magnitude =
        number < 0 ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
    while (magnitude >= 100) {
        first -= 2;
        std::memcpy(first, kPairs + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        first -= 2;
        std::memcpy(first, kPairs + 2 * magnitude, 2);
    } else {
        *--first = static_cast<char>('0' + magnitude);
    }
    if (number < 0) *--first = '-';
    const auto size = static_cast<std::size_t>(digits + sizeof digits - first);
    if (size < width) out = PutSpaces(out, width - size);
    return Put(out, std::string_view(first, size));
}
