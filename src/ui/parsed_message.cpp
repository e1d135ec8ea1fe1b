#include "ui/parsed_message.h"

#include <algorithm>
#include <cstring>

#include "support/auto_buff.h"
#include "ui/window_text.h"

void ParsedMessage::Clear() {
    units.clear();
    fields.clear();
}

void ParsedMessage::Add(const DecodedField& field) {
    ParsedField& kept = fields.emplace_back();
    kept.number = field.number;
    kept.offset = field.offset;
    kept.consumed = field.consumed;
    const std::uint8_t* data = field.value->Data();
    if (data != nullptr) kept.value.assign(data, data + field.value->Length());
}

const ParsedField* ParsedMessage::Find(int number) const {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [number](const ParsedField& f) { return f.number == number; });
    return found == fields.end() ? nullptr : &*found;
}

FieldInspection InspectParsed(const ProtocolDef& def, const ParsedField& field, bool mask) {
    AutoBuff value;
    const int size = static_cast<int>(field.value.size());
    if (!value.Reserve(size + 1, false)) return {};
    if (size > 0) std::memcpy(value.Data(), field.value.data(), field.value.size());
    value.SetLength(size);
    value.Terminate();
    const DecodedField decoded{static_cast<std::int16_t>(field.number),
                               static_cast<std::int16_t>(field.offset),
                               static_cast<std::int16_t>(field.consumed), &value};
    InspectOptions options;
    options.mask = mask;
    return InspectField(def, decoded, options);
}

std::string FieldRowText(const ProtocolDef& def, const ParsedField& field, bool mask) {
    const FldDef& fld = def.fields[field.number];
    const FieldInspection inspection = InspectParsed(def, field, mask);
    const std::string& value = inspection.value;
    std::string row = fld.description;
    row += '\t' + std::to_string(field.number);
    row += '\t';
    row += FieldTypeNames[static_cast<int>(fld.type)];
    row += '\t' + std::to_string(field.value.size());
    row += '\t' + ToModelText(FromRawBytes(value.data(), static_cast<int>(value.size())));
    return row;
}
