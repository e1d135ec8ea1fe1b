// How well a decoded field's value fits its data element, beyond what the decoder checks.
#pragma once

#include <cstdint>

#include "decode/decoder.h"

// N: digits; A: letters; AN: letters and digits; AS and ANS: any printable character (0x20 to
// 0x7E; under EBCDIC the value is already in ASCII). A space fits A and AN too. B, Z and U take
// anything.
bool FitsType(FieldType type, std::uint8_t ch) noexcept;

struct FieldFit {
    int unfit = -1;        // index in the value of the first character that does not fit its type
    int prefixLength = 0;  // the length a variable field's prefix gave
    bool prefixAboveMax = false;

    int Count() const noexcept { return (unfit >= 0 ? 1 : 0) + (prefixAboveMax ? 1 : 0); }
};

// Only values that are text unit for unit are judged: character data, and N data under CHAR
// (packed digits are digits already: the decoder refuses a nibble above 9; BIGEND and HEX
// numbers are bytes).
FieldFit CheckFieldFit(const ProtocolDef& def, const DecodedField& field) noexcept;
// The same into fit, for a caller that judges every field of every message: a small struct
// returned in registers costs a stalled store for each.
void CheckFieldFit(const ProtocolDef& def, const DecodedField& field, FieldFit& fit) noexcept;

// Offset of the first unit of the bitmap block at [at, at + units) that its encoding cannot
// convert, or -1. The decoder leaves such a block's remaining bytes zero and reads on.
int BitmapFault(const AutoBuff& message, int at, int units, const ProtocolDef& def) noexcept;
