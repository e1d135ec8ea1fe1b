// Messages written as JSON, one a line, read into a draft for the encoder. Two shapes:
// - what `iso8583 check --json --no-mask` prints of a message: "mti", "header", "bitmap" and
//   "fields" as a list of {"number", "hex", "value", ...}, each value taken from its "hex"
//   (the decoded value's units) when present, else from its "value" as shown;
// - the short form {"mti": "0200", "fields": {"2": "4111...", "48": {"01": "A"}}}, where an
//   object gives a field's or a subfield's subfields and a string a value as `check` shows it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "encode/message_draft.h"
#include "model/protocol.h"

class MessageJsonReader {
  public:
    // Far above what `check --json` prints for a message of 32767 units with its subfields and
    // data objects; a longer line is no message.
    static constexpr std::size_t kLineMax = 1 << 22;

    // def tells which values cannot hold a '*' (digits, hexadecimal digits), so that a masked
    // value is refused as masked.
    explicit MessageJsonReader(const ProtocolDef& def);
    ~MessageJsonReader();
    MessageJsonReader(const MessageJsonReader&) = delete;
    MessageJsonReader& operator=(const MessageJsonReader&) = delete;

    // Whether the line holds blanks only: no message.
    static bool Blank(std::string_view line) noexcept;

    // Reads one line (without its line end) into draft, which is cleared first. False with
    // reason set ("field \"2\" is not a string or an object", "not JSON: ...") when the line is
    // no message; the draft then holds what was read before the fault.
    bool Read(std::string_view line, MessageDraft& draft, std::string& reason);

  private:
    struct Parsing;
    std::unique_ptr<Parsing> parsing;
};
