// A line of hexadecimal digits as message units: blanks and unprintable bytes at either end are
// dropped, as the normaliser would, and any other content is a fault.
#pragma once

#include <cstddef>

#include "support/auto_buff.h"

enum class HexLineResult {
    kMessage,   // message holds the units
    kEmpty,     // blanks only: no message
    kTooLong,   // more than maxUnits units
    kBlanks,    // blanks between digits
    kBadDigit,  // a byte that is neither a digit nor a blank, or a NUL
    kOddCount,
};

// One pass over the usual line (digits between blank runs at its ends) straight into message;
// any other line takes DecodeHexLineNormalised, which gives its fault. line[size] must be
// writable.
HexLineResult DecodeHexLine(char* line, std::size_t size, AutoBuff& message, int maxUnits) noexcept;
// The reference: normalises the line in place, then decodes it.
HexLineResult DecodeHexLineNormalised(char* line, std::size_t size, AutoBuff& message,
                                      int maxUnits) noexcept;
