#include "ui/parsed_message.h"

#include <algorithm>
#include <cstring>

#include <QString>

#include "support/auto_buff.h"
#include "support/text.h"
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
    // The list's classic value, which ends at the first NUL.
    const std::string& whole = inspection.value;
    const std::string value = whole.substr(0, whole.find('\0'));
    std::string row = fld.description;
    row += '\t' + std::to_string(field.number);
    row += '\t';
    row += FieldTypeNames[static_cast<int>(fld.type)];
    row += '\t' + std::to_string(field.value.size());
    row += '\t' + ToModelText(FromRawBytes(value.data(), static_cast<int>(value.size())));
    return row;
}

namespace {

// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

QString Escaped(const unsigned char* units, std::size_t count) {
    std::string shown;
    EscapeUnits(shown, units, static_cast<int>(count));
    return QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size()));
}

}  // namespace

QString UnitsText(const std::string& units) {
    return Escaped(reinterpret_cast<const unsigned char*>(units.data()), units.size());
}

QString UnitsText(const std::vector<std::uint8_t>& units) {
    return Escaped(units.data(), units.size());
}

QString VerdictText(std::string_view verdict) {
    const std::size_t quote = verdict.substr(0, kUnknownMessage.size()) == kUnknownMessage
                                  ? kUnknownMessage.size()
                                  : verdict.size();
    const std::string_view words = verdict.substr(0, quote);
    const std::string_view mti = verdict.substr(quote);
    return FromModelText(words.data(), static_cast<int>(words.size())) +
           Escaped(reinterpret_cast<const unsigned char*>(mti.data()), mti.size());
}
