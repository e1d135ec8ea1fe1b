#include "support/hex_line.h"

#include <cstring>

#include "support/text.h"

namespace {

HexLineResult FaultOf(const char* digits, std::size_t size) noexcept {
    if (std::memchr(digits, ' ', size) != nullptr) return HexLineResult::kBlanks;
    for (std::size_t i = 0; i < size; ++i) {
        const char pair[2] = {digits[i], '0'};
        if (HexPairValue(pair) < 0) return HexLineResult::kBadDigit;
    }
    return HexLineResult::kOddCount;
}

bool Blank(char c) noexcept {
    return IsUnprintableByte(static_cast<unsigned char>(c));
}

}  // namespace

HexLineResult DecodeHexLineNormalised(char* line, std::size_t size, AutoBuff& message,
                                      int maxUnits) noexcept {
    if (std::memchr(line, '\0', size) != nullptr) return HexLineResult::kBadDigit;
    line[size] = '\0';
    const auto digits = static_cast<std::size_t>(CollapseUnprintable(line));
    if (digits == 0) return HexLineResult::kEmpty;
    if (digits / 2 > static_cast<std::size_t>(maxUnits)) return HexLineResult::kTooLong;
    const int n = static_cast<int>(digits);
    if (message.Capacity() < n + 1 && !message.Reserve(n + 1, false)) return FaultOf(line, digits);
    std::memcpy(message.Data(), line, digits);
    message.SetLength(n);
    message.Terminate();
    if (message.DecodeHexInPlace() < 1) return FaultOf(line, digits);
    return HexLineResult::kMessage;
}

HexLineResult DecodeHexLine(char* line, std::size_t size, AutoBuff& message,
                            int maxUnits) noexcept {
    std::size_t begin = 0;
    while (begin < size && Blank(line[begin]))
        ++begin;
    std::size_t end = size;
    while (end > begin && Blank(line[end - 1]))
        --end;
    const std::size_t digits = end - begin;
    if (digits == 0) return HexLineResult::kEmpty;
    // NULs, inner blanks, bad digits and odd counts fail the decode below.
    if (digits % 2 == 0 && digits / 2 <= static_cast<std::size_t>(maxUnits)) {
        const int units = static_cast<int>(digits / 2);
        if (message.Capacity() >= units + 1 || message.Reserve(units + 1, false)) {
            if (DecodeHex(static_cast<int>(digits), message.Data(), line + begin, units + 1) ==
                units) {
                message.SetLength(units);
                message.Terminate();
                return HexLineResult::kMessage;
            }
        }
    }
    return DecodeHexLineNormalised(line, size, message, maxUnits);
}
