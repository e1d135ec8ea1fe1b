// The inverse of each conversion in decode/codecs.h: message units written from values under
// the protocol's encodings. Pure functions over caller memory: no allocation, no state.
#pragma once

#include <cstdint>

// The byte each character is written as under EBCDIC: the code page 037 byte where the decode
// table reads that byte back as the character, else the lowest byte it reads as the
// character. kNoEbcdicCode for a character no byte decodes to (']' and everything above 0x7F).
extern const std::uint8_t AsciiToEbcdicTable[256];
inline constexpr std::uint8_t kNoEbcdicCode = 0xFF;

// count characters into EBCDIC bytes: -1, or the index of the first character without an EBCDIC
// byte (destination is then of no use).
int AsciiToEbcdic(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept;

// value as count digits of the radix (10 or 16, upper case), leading zeros first; false when it
// needs more digits than count.
bool IntToRadixText(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept;
bool IntToRadixTextEbcdic(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept;
// value as 2 * count packed digits, right-aligned; false when it needs more.
bool IntToPackedBcd(std::uint32_t value, int count, std::uint8_t* bytes) noexcept;
// value as count big-endian bytes; false when it needs more.
bool IntToBigEndian(std::uint32_t value, int count, std::uint8_t* bytes) noexcept;

// width decimal digits packed into count bytes, right-aligned behind pad nibbles of 0, as
// PackedBcdToDigits reads them back; false on a character that is not a digit, or when the
// digits do not fit.
bool DigitsToPackedBcd(int width, const std::uint8_t* digits, int count,
                       std::uint8_t* bytes) noexcept;

// Whether the count characters are all decimal digits.
bool AllDigits(int count, const std::uint8_t* text) noexcept;

// count bytes as 2 * count upper-case hexadecimal characters.
void BytesToHexText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept;
void BytesToHexTextEbcdic(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept;
// count bytes as 8 * count characters '0' and '1', the top bit first.
void BytesToBitText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept;
void BytesToBitTextEbcdic(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept;
