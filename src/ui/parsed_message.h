// What the last parse found, kept for the views that outlive it: the message's units and each
// field's place and value, so that a field can be inspected and copied after the decoder has
// moved on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/field_content.h"
#include "model/protocol.h"

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
