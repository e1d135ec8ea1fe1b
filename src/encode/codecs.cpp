#include "encode/codecs.h"

#include <cstring>

// Generated from EbcdicToAsciiTable: where that table reads two bytes as one character the
// code page 037 byte is kept ('\t' 05, '\n' 25, '!' 5A, '<' 4C, '`' 79); '[' 4A, '^' 5F and
// '|' 6A are the only bytes it reads as those; DEL takes 04, the lowest of the bytes the table
// leaves unassigned, since it reads 037's DEL (07) as a tab.
// clang-format off
const std::uint8_t AsciiToEbcdicTable[256] = {
    0x00, 0x01, 0x02, 0x03, 0x37, 0x2D, 0x2E, 0x2F, 0x16, 0x05, 0x25, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,  // 0_
    0x10, 0x11, 0x12, 0x13, 0x3C, 0x3D, 0x32, 0x26, 0x18, 0x19, 0x3F, 0x27, 0x1C, 0x1D, 0x1E, 0x1F,  // 1_
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,  // 2_
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,  // 3_
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,  // 4_
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x4A, 0xE0, 0xFF, 0x5F, 0x6D,  // 5_
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,  // 6_
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x6A, 0xD0, 0xA1, 0x04,  // 7_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 8_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 9_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // A_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // B_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // C_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // D_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // E_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // F_
};
// clang-format on

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t Identity(std::uint8_t ch) noexcept {
    return ch;
}
std::uint8_t ToEbcdic(std::uint8_t ch) noexcept {
    return AsciiToEbcdicTable[ch];
}

template <std::uint8_t (*Translate)(std::uint8_t)>
bool RadixText(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept {
    if (text == nullptr || count < 0 || (radix != 10 && radix != 16)) return false;
    const auto base = static_cast<std::uint32_t>(radix);
    for (int i = count - 1; i >= 0; --i) {
        text[i] = Translate(static_cast<std::uint8_t>(kHexDigits[value % base]));
        value /= base;
    }
    return value == 0;
}

template <std::uint8_t (*Translate)(std::uint8_t)>
void HexText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    for (int i = 0; i < count; ++i) {
        text[2 * i] = Translate(static_cast<std::uint8_t>(kHexDigits[bytes[i] >> 4]));
        text[2 * i + 1] = Translate(static_cast<std::uint8_t>(kHexDigits[bytes[i] & 0x0F]));
    }
}

template <std::uint8_t (*Translate)(std::uint8_t)>
void BitText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    const std::uint8_t zero = Translate('0');
    const std::uint8_t one = Translate('1');
    for (int i = 0; i < count; ++i) {
        for (int b = 0; b < 8; ++b)
            text[8 * i + b] = (bytes[i] >> (7 - b) & 1) != 0 ? one : zero;
    }
}

}  // namespace

int AsciiToEbcdic(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    unsigned missing = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t code = AsciiToEbcdicTable[source[i]];
        missing |= code == kNoEbcdicCode;
        destination[i] = code;
    }
    if (missing == 0) return -1;
    for (int i = 0; i < count; ++i) {
        if (AsciiToEbcdicTable[source[i]] == kNoEbcdicCode) return i;
    }
    return -1;
}

bool IntToRadixText(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept {
    return RadixText<Identity>(value, count, radix, text);
}

bool IntToRadixTextEbcdic(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept {
    return RadixText<ToEbcdic>(value, count, radix, text);
}

bool IntToPackedBcd(std::uint32_t value, int count, std::uint8_t* bytes) noexcept {
    if (bytes == nullptr || count < 0) return false;
    for (int i = count - 1; i >= 0; --i) {
        const std::uint32_t pair = value % 100;
        bytes[i] = static_cast<std::uint8_t>((pair / 10) << 4 | pair % 10);
        value /= 100;
    }
    return value == 0;
}

bool IntToBigEndian(std::uint32_t value, int count, std::uint8_t* bytes) noexcept {
    if (bytes == nullptr || count < 0) return false;
    std::uint64_t rest = value;
    for (int i = count - 1; i >= 0; --i) {
        bytes[i] = static_cast<std::uint8_t>(rest & 0xFF);
        rest >>= 8;
    }
    return rest == 0;
}

bool DigitsToPackedBcd(int width, const std::uint8_t* digits, int count,
                       std::uint8_t* bytes) noexcept {
    const int pads = 2 * count - width;
    if (digits == nullptr || bytes == nullptr || width < 0 || pads < 0) return false;
    // Whole pad bytes first, then a lone pad nibble, then the digits two at a time.
    const int padBytes = pads / 2;
    std::memset(bytes, 0, static_cast<std::size_t>(padBytes));
    unsigned above = 0;
    int i = 0;
    int b = padBytes;
    if (pads % 2 != 0) {
        const unsigned v = digits[i++] - unsigned{'0'};
        above |= v > 9;
        bytes[b++] = static_cast<std::uint8_t>(v);
    }
    for (; b < count; ++b, i += 2) {
        const unsigned high = digits[i] - unsigned{'0'};
        const unsigned low = digits[i + 1] - unsigned{'0'};
        above |= (high > 9) | (low > 9);
        bytes[b] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return above == 0;
}

void BytesToHexText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    HexText<Identity>(count, bytes, text);
}

void BytesToHexTextEbcdic(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    HexText<ToEbcdic>(count, bytes, text);
}

void BytesToBitText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    BitText<Identity>(count, bytes, text);
}

void BytesToBitTextEbcdic(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    BitText<ToEbcdic>(count, bytes, text);
}
