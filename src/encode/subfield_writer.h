// Writing a field's value from its subfields under the structure its definition declares:
// positional, tagged, bitmapped (the inner bitmap computed from the subfields given) and
// BER-TLV (short and long lengths), nested. The inverse of the subfield reader: the value it
// writes reads back into the same subfields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encode/encoder.h"
#include "encode/message_draft.h"
#include "model/protocol.h"

// Writes the value of field n (its characters, or bytes when the field's value is binary) from
// the draft's subfields under node into value. False with error naming the path
// ("field 55.9F02: 7 bytes, at most 6 in one short length") when a subfield does not fit.
bool WriteSubfields(const ProtocolDef& def, int n, const MessageDraft& draft, std::int32_t node,
                    const EncodeOptions& options, std::vector<std::uint8_t>& value,
                    std::string& error, EncodeScratch& scratch);
