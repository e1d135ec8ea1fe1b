#include "encode/value_reasons.h"

#include <cstdio>

const char* UnitWord(FieldType type, Encoding dataEnc, int count) noexcept {
    const bool one = count == 1;
    if (type == FieldType::N) return one ? "digit" : "digits";
    const bool binary = type == FieldType::B || type == FieldType::Z;
    if (binary && dataEnc != Encoding::PBCD) return one ? "byte" : "bytes";
    return one ? "character" : "characters";
}

std::string CountReason(int count, const char* word, const char* limit, int size) {
    return std::to_string(count) + " " + word + ", " + limit + " " + std::to_string(size);
}

std::string ShownUnit(std::span<const std::uint8_t> value, std::size_t i) {
    if (i >= value.size()) return "the end";
    const std::uint8_t b = value[i];
    if (b >= 0x20 && b < 0x7F) return std::string("'") + static_cast<char>(b) + "'";
    // A UTF-8 sequence shows as its character, so that a person sees what they typed.
    const std::size_t length = b >= 0xF0 && b <= 0xF4   ? 4
                               : b >= 0xE0 && b <= 0xEF ? 3
                               : b >= 0xC2 && b <= 0xDF ? 2
                                                        : 0;
    bool sequence = length > 0 && i + length <= value.size();
    for (std::size_t k = 1; sequence && k < length; ++k)
        sequence = (value[i + k] & 0xC0) == 0x80;
    if (sequence) {
        return "'" + std::string(reinterpret_cast<const char*>(value.data() + i), length) + "'";
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", b);
    return hex;
}

std::string NotADigit(std::span<const std::uint8_t> value, bool track) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::uint8_t b = value[i];
        if ((b >= '0' && b <= '9') || (track && b == '=')) continue;
        return ShownUnit(value, i) + (track ? " is not a digit or '='" : " is not a digit");
    }
    return {};
}
