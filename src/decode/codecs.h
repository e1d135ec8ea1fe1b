// Conversions of raw message units under the protocol's encodings. Pure functions over caller
// memory: no allocation, no state.
#pragma once

#include <cstdint>

#include "model/protocol.h"

extern const std::uint8_t EbcdicToAsciiTable[256];

// 64 bytes at a time with AVX-512 VBMI where the processor has it (checked at run time); the
// scalar translation is the reference.
void EbcdicToAscii(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept;
void EbcdicToAsciiScalar(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept;
// The translation for this processor, for a caller that translates many runs and would rather
// not ask each time: source and destination must not be null.
using EbcdicTranslation = void (*)(int count, const std::uint8_t* source,
                                   std::uint8_t* destination) noexcept;
EbcdicTranslation FastestEbcdicTranslation() noexcept;
std::int32_t ParseRadixText(const std::uint8_t* text, int count, int radix) noexcept;
std::int32_t ParseRadixTextEbcdic(const std::uint8_t* text, int count, int radix) noexcept;
std::int32_t PackedBcdToInt(int count, const std::uint8_t* bytes) noexcept;
bool PackedBcdToDigits(int count, int width, const std::uint8_t* bytes,
                       std::uint8_t* destination) noexcept;
int HexTextToBytesEbcdic(int count, std::uint8_t* destination, const std::uint8_t* source,
                         int room) noexcept;
bool BitTextToBytes(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept;
bool BitTextToBytesEbcdic(int count, const std::uint8_t* source,
                          std::uint8_t* destination) noexcept;

// Binary digits of 10^d - 1, that is ceil(d * log2(10)); 0 for d = 0.
int DecimalBits(int d) noexcept;

// Field-level rules, in the order the decoder applies them.
std::uint16_t DecodeLengthPrefix(std::int16_t s, const std::uint8_t* prefix, const ProtocolDef& def,
                                 int field) noexcept;
std::uint16_t FieldDataSize(int field, std::int16_t d, const ProtocolDef& def) noexcept;
bool ConvertFieldData(const std::uint8_t* source, std::uint8_t* destination, std::int16_t d,
                      const ProtocolDef& def, int field, std::int16_t c) noexcept;
