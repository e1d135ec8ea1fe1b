// The meaning of the set bits of four EMV data objects: Terminal Verification Results (95),
// Transaction Status Information (9B), Cryptogram Information Data (9F27) and CVM Results
// (9F34).
#pragma once

#include <cstdint>

// A TVR can set at most all its 40 bits.
inline constexpr int kMaxBitTexts = 40;

bool HasBitTexts(std::uint32_t tag) noexcept;

// Writes the texts of the value's meaning to texts[0 .. room) and returns their number; 0 for
// another tag or a value of the wrong length. The texts are static.
int ExplainBits(std::uint32_t tag, const std::uint8_t* value, int length, const char** texts,
                int room) noexcept;
