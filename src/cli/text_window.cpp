#include "cli/text_window.h"

#include <algorithm>

void TextWindow::Grow(std::size_t n) {
    const auto written = static_cast<std::size_t>(at - text.data());
    text.resize(written + std::max(n, kBlock));
    at = text.data() + written;
    end = text.data() + text.size();
}

char* PutAnyNumber(char* out, long number, std::size_t width) noexcept {
    char digits[24];
    char* first = digits + sizeof digits;
    // The magnitude as unsigned, so that the most negative number has one too.
    unsigned long magnitude =
        number < 0 ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
    while (magnitude >= 100) {
        first -= 2;
        std::memcpy(first, kDecimalPairs + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        first -= 2;
        std::memcpy(first, kDecimalPairs + 2 * magnitude, 2);
    } else {
        *--first = static_cast<char>('0' + magnitude);
    }
    if (number < 0) *--first = '-';
    const auto size = static_cast<std::size_t>(digits + sizeof digits - first);
    if (size < width) out = PutSpaces(out, width - size);
    return Put(out, std::string_view(first, size));
}
