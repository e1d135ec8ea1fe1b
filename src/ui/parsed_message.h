// What the last parse found, kept for the views that outlive it: the message's units and each
// field's place and value, so that a field can be inspected and copied after the decoder has
// moved on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/field_content.h"
#include "model/protocol.h"

class QString;

struct ParsedField {
    int number = 0;
    int offset = 0;    // of the length prefix, in message units
    int consumed = 0;  // prefix and data units
    std::vector<std::uint8_t> value;
};

struct ParsedMessage {
    std::vector<std::uint8_t> units;
    std::vector<ParsedField> fields;

    void Clear();
    void Add(const DecodedField& field);
    const ParsedField* Find(int number) const;
};

FieldInspection InspectParsed(const ProtocolDef& def, const ParsedField& field, bool mask);

// A list row as the clipboard takes it: description, number, type, length and value, separated
// by tabs; the value masked as reports mask it when mask is set.
std::string FieldRowText(const ProtocolDef& def, const ParsedField& field, bool mask);

// Units of a message as the windows show them: those outside 0x20 to 0x7E as \xHH, as the
// command-line tool writes them, not as characters of some code page.
QString UnitsText(const std::string& units);
QString UnitsText(const std::vector<std::uint8_t>& units);
// A verdict as the windows show it: the system's own words as they are (its "n°"), the MTI it
// quotes as units.
QString VerdictText(std::string_view verdict);
