// One reading of a message under a definition, walked with the decoder's own steps (ReadMti,
// ReadBitmap, NextField) from any start, so that units set aside as a header need no copy.
#pragma once

#include "decode/decoder.h"

struct WalkOutline {
    int start = 0;  // units set aside before the MTI
    int mtiUnits = 0;
    int primaryUnits = 0;
    int secondaryUnits = 0;
    char mti[5] = {};
    FieldMask bitmap = {};
    int end = 0;               // the first unit not decoded
    int code = kNoMoreFields;  // NextField's failure, kNoMoreFields when every field decoded
    int failedField = 0;       // with its number
    bool read = false;         // an MTI or a bitmap was read, so the decoder gives a verdict

    int BitmapStart() const noexcept { return start + mtiUnits; }
    // Every unit decoded, none left over, no field error.
    bool Exact(int length) const noexcept { return read && code == kNoMoreFields && end == length; }
};

// The MTI and bitmaps of message read from start into out, its end after them, and the cursor
// at the first field; false when the message is not walked (out.read false) or neither was read.
inline bool ReadOutline(const AutoBuff& message, int start, const ProtocolDef& def,
                        ParseCursor& cursor, WalkOutline& out) noexcept {
    out = WalkOutline{};
    out.start = start;
    out.end = start;
    if (start < 0 || message.Length() > kMaxMessageUnits || start > message.Length()) return false;
    out.mtiUnits = ReadMti(start, cursor, message, def);
    const int bitmapUnits = ReadBitmap(start + out.mtiUnits, cursor, def, message);
    // A block is read whole or not at all: the primary takes its full size first.
    const int block = def.bmpEnc == Encoding::HEX ? 16 : def.bmpEnc == Encoding::CHAR ? 64 : 8;
    out.primaryUnits = bitmapUnits < block ? bitmapUnits : block;
    out.secondaryUnits = bitmapUnits - out.primaryUnits;
    for (int i = 0; i < 5; ++i)
        out.mti[i] = cursor.mti[i];
    out.bitmap = cursor.bitmap;
    const int pos = start + out.mtiUnits + bitmapUnits;
    out.end = pos;
    out.read = pos > start;
    cursor.pos = static_cast<std::int16_t>(pos);
    return out.read;
}

// Walks message from start as DecodeMessage walks the units after start, handing each decoded
// field to onField (offsets count from the message's first unit). value is the reused value
// buffer. Bounded by the message; a message longer than kMaxMessageUnits is not walked.
template <typename OnField>
void WalkMessage(const AutoBuff& message, int start, const ProtocolDef& def, AutoBuff& value,
                 WalkOutline& out, OnField&& onField) noexcept {
    ParseCursor cursor{def, message};
    if (!ReadOutline(message, start, def, cursor, out)) return;
    DecodedField field;
    field.value = &value;
    for (;;) {
        const int code = NextField(cursor, field.number, field.offset, value);
        if (code == kNoMoreFields) break;
        if (code < 0) {
            out.code = code;
            out.failedField = field.number;
            break;
        }
        field.consumed = static_cast<std::int16_t>(code);
        onField(static_cast<const DecodedField&>(field));
    }
    out.end = cursor.pos;
}
