// Encoding of one ISO 8583 message under a protocol definition: the inverse of the decoder.
// Every value is checked against its definition first; a value that does not fit is refused
// with the field or subfield path and the reason, never cut, padded or converted silently.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_plan.h"
#include "encode/message_draft.h"
#include "model/protocol.h"

struct EncodeOptions {
    // A fixed numeric field given fewer digits than its size is left-padded with zeros.
    bool padNumbers = false;
};

// What a caller encoding many messages under one definition keeps from one to the next.
struct EncodeScratch {
    std::vector<std::uint8_t> value;                // one field's value bytes
    std::vector<std::uint8_t> units;                // one field's units
    std::vector<std::vector<std::uint8_t>> levels;  // subfield values, one per level
    std::vector<std::uint8_t> message;  // the message as it is written, before it is appended
    const DecodePlan* plan = nullptr;   // null, or a plan of another definition: derived again
};

// Appends the message (header, MTI, bitmap, fields in order) to out. On failure out is left as
// it was and error says what is wrong, naming the field or subfield first:
// "field 4: 13 digits, at most 12", "field 7 is not defined", "mti: ...", "header: ...".
bool EncodeMessage(const MessageDraft& draft, const ProtocolDef& def, const EncodeOptions& options,
                   std::vector<std::uint8_t>& out, std::string& error,
                   EncodeScratch& scratch) noexcept;

// The decoded value of field n is the number's big-endian bytes (numeric data under BIGEND or
// HEX), not its digits; such a value is given in the shown form as its decimal digits.
bool NumberHeldInBinary(const ProtocolDef& def, int n) noexcept;
// The decimal digits of field n's decoded value when NumberHeldInBinary, its text otherwise: the
// form a numeric value is given to another definition in. False for a value the decoder does not
// yield for a number of as many digits as its length (bytes past the number's not 0, or a
// number of more digits).
bool NumberDigits(const ProtocolDef& def, int n, std::span<const std::uint8_t> value,
                  std::string& digits);
