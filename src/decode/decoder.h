// Decoding of one raw ISO 8583 message under a protocol definition, and its check against
// the message definition of its MTI.
#pragma once

#include <cstdint>
#include <functional>

#include "decode/decode_plan.h"
#include "decode/mti_index.h"
#include "model/protocol.h"
#include "support/auto_buff.h"

// Offsets are 16-bit: longer messages are refused.
inline constexpr int kMaxMessageUnits = 32767;

struct ParseCursor {
    const ProtocolDef& def;
    const AutoBuff& input;
    std::int16_t pos = 0;
    std::int16_t nextField = 2;
    char mti[5] = {};
    FieldMask bitmap = {};
};

struct DecodedField {
    std::int16_t number = 0;
    std::int16_t offset = 0;          // of the length prefix, or of the data of a fixed field
    std::int16_t consumed = 0;        // prefix and data units
    const AutoBuff* value = nullptr;  // d bytes and a NUL; valid until the next field
};

// Results of NextField besides a positive consumed count.
enum NextFieldCode : int {
    kNoMoreFields = 0,
    kFieldUndefined = -1,
    kBadLengthPrefix = -3,
    kMessageTooShort = -4,
    kNoMemory = -5,
    kConversionFailed = -6,
};

int ReadMti(int start, ParseCursor& cursor, const AutoBuff& message,
            const ProtocolDef& def) noexcept;
int ReadBitmap(int start, ParseCursor& cursor, const ProtocolDef& def,
               const AutoBuff& message) noexcept;
int ReadBitmapBlock(int block, int start, const AutoBuff& message, FieldMask& bitmap,
                    Encoding bmpEnc, Encoding chrEnc) noexcept;
// A second block of 64 bits follows the first: bit 1 announces it, or the dialect's bitmap
// always has both (OPTION= BITMAP; FIXED128), and bit 1 is then no more than a bit.
inline bool SecondBitmapFollows(const ProtocolDef& def, const FieldMask& primary) noexcept {
    return (primary[0] & 0x80) != 0 || def.options.fixedBitmap;
}
int NextField(ParseCursor& cursor, std::int16_t& number, std::int16_t& offset,
              AutoBuff& value) noexcept;
// 0, or the first field (1 to 128) that is missing or unexpected.
int CheckFieldMasks(const FieldMask& present, const FieldMask& mandatory,
                    const FieldMask& optional) noexcept;

// Called once per decoded field, in order; returning false stops the decode without verdict.
// An empty consumer takes every field.
using FieldConsumer = std::function<bool(const DecodedField&)>;

// What was read besides the fields: the MTI text (empty when not read) and the bitmap.
struct MessageHeader {
    char mti[5] = {};
    FieldMask bitmap = {};
};

// True only for "... Parsing OK ...". verdict is left empty when there is none (neither MTI
// nor bitmap read, a refused field, or a message longer than kMaxMessageUnits).
bool DecodeMessage(const AutoBuff& message, const ProtocolDef& def, const FieldConsumer& consumer,
                   AutoBuff& verdict, MessageHeader* header = nullptr);

// What a caller decoding many messages under one definition keeps from one to the next: the
// value buffer, an index of the definition's messages by MTI (null: the table's lookup), and
// the definition's field rules worked out once (null, or a plan of another definition: the
// rules are derived from the definition field by field). Either way the result is the same.
struct DecodeScratch {
    AutoBuff value;
    const MtiIndex* index = nullptr;
    const DecodePlan* plan = nullptr;
};

// DecodeMessage without an allocation of its own once the value buffer has grown.
bool DecodeMessage(const AutoBuff& message, const ProtocolDef& def, const FieldConsumer& consumer,
                   AutoBuff& verdict, MessageHeader* header, DecodeScratch& scratch);
