#include "cli/report_json.h"

#include "cli/json_writer.h"
#include "cli/report_text.h"
#include "content/emv_bits.h"

namespace {

void WriteTrack(JsonWriter& json, const TrackParts& track) {
    json.BeginObject();
    json.Key("account").Units(track.account);
    if (track.track == 1) json.Key("name").Units(track.name);
    json.Key("expiry").Units(track.expiry);
    json.Key("service_code").Units(track.serviceCode);
    json.Key("discretionary").Units(track.discretionary);
    json.EndObject();
}

// The data objects tags[first, last) at one level, each with its descendants.
void WriteTags(JsonWriter& json, const TagList& tags, std::size_t first, std::size_t last) {
    json.BeginArray();
    for (std::size_t i = first; i < last; i = static_cast<std::size_t>(tags[i].end)) {
        const InspectedTag& tag = tags[i];
        json.BeginObject();
        json.Key("tag").String(tag.tagHex);
        json.Key("name").String(tag.name);
        json.Key("offset").Number(tag.offset);
        json.Key("length").Number(tag.length);
        json.Key("hex").String(tag.hex);
        if (tag.constructed) {
            json.Key("children");
            WriteTags(json, tags, i + 1, static_cast<std::size_t>(tag.end));
        }
        if (HasBitTexts(tag.tag)) {
            json.Key("bits").BeginArray();
            for (const char* bit : tag.bits)
                json.String(bit);
            json.EndArray();
        }
        // A data object holds track data or a card number, never both: one "luhn" at most.
        if (tag.track.track != 0) {
            json.Key("track");
            WriteTrack(json, tag.track);
            json.Key("luhn").Bool(tag.track.luhn);
        }
        if (tag.hasLuhn) json.Key("luhn").Bool(tag.luhn);
        json.EndObject();
    }
    json.EndArray();
}

// The subfields rows[first, last) at one level, each with what is inside it.
void WriteSubfields(JsonWriter& json, const std::vector<SubfieldRow>& rows, std::size_t first,
                    std::size_t last) {
    json.BeginArray();
    for (std::size_t i = first; i < last; i = static_cast<std::size_t>(rows[i].end)) {
        const SubfieldRow& row = rows[i];
        json.BeginObject();
        json.Key("id").String(row.id);
        if (!row.tag.empty()) json.Key("tag").String(row.tag);
        json.Key("offset").Number(row.offset);
        json.Key("consumed").Number(row.consumed);
        if (row.nibbleOffset >= 0) {
            json.Key("nibble_offset").Number(row.nibbleOffset);
            json.Key("nibbles").Number(row.nibbles);
        }
        json.Key("length").Number(row.length);
        json.Key("value").Units(row.value);
        json.Key("hex").String(row.hex);
        json.Key("description").String(row.description);
        if (row.end > static_cast<int>(i) + 1) {
            json.Key("subfields");
            WriteSubfields(json, rows, i + 1, static_cast<std::size_t>(row.end));
        }
        if (row.masked) json.Key("masked").Bool(true);
        if (row.unknown) json.Key("unknown").Bool(true);
        json.EndObject();
    }
    json.EndArray();
}

void WriteInside(JsonWriter& json, const FieldInspection& inside) {
    if (inside.masked) json.Key("masked").Bool(true);
    const SubfieldReading& subfields = inside.subfields;
    if (subfields.tried && !subfields.rows.empty()) {
        json.Key("subfields");
        WriteSubfields(json, subfields.rows, 0, subfields.rows.size());
    }
    if (subfields.failed) {
        json.Key("subfield_error").BeginObject();
        json.Key("id").String(subfields.error.id);
        json.Key("offset").Number(subfields.error.offset);
        json.Key("reason").String(subfields.error.reason);
        json.EndObject();
    }
    if (inside.tlvTried) {
        if (inside.tlvError.empty()) {
            json.Key("tlv");
            WriteTags(json, inside.tags, 0, inside.tags.size());
        } else {
            json.Key("tlv_error").String(inside.tlvError);
        }
    }
    // Track data (fields 35 and 45) and a card number (2 and 34) are never in one field.
    if (inside.track.track != 0) {
        json.Key("track");
        WriteTrack(json, inside.track);
        json.Key("luhn").Bool(inside.track.luhn);
    }
    if (inside.hasLuhn) json.Key("luhn").Bool(inside.luhn);
}

}  // namespace

JsonReport::JsonReport(const ProtocolDef& protocol, ReportOutput& output)
    : def(protocol), out(output) {
    // The definition does not change while the report is written: what a field's object says
    // of the definition is written once.
    for (int n = 0; n < kFieldCount; ++n) {
        std::string& opening = openings[n];
        opening = "\"number\":";
        AppendNumber(opening, n);
        std::string& type = types[n];
        type = "\"type\":";
        AppendJsonString(type, NameOf(def.fields[n].type));
        std::string& description = descriptions[n];
        description = "\"description\":";
        AppendJsonString(description, def.fields[n].description);
    }
}

void JsonReport::Write(const CheckedMessage& message) {
    JsonWriter json(out.Text());
    json.BeginObject();
    json.Key("message").Number(message.number);
    if (message.hasHeader) json.Key("header").String(message.headerHex);
    json.Key("mti").Units(message.header.mti);
    json.Key("bitmap").String(message.bitmapHex);
    json.Key("fields").BeginArray();
    for (std::size_t i = 0; i < message.rowCount; ++i) {
        const FieldRow& row = message.rows[i];
        json.BeginObject();
        json.Members(openings[row.number]);
        json.Key("offset").Number(row.offset);
        json.Key("consumed").Number(row.consumed);
        json.Members(types[row.number]);
        json.Key("length").Number(row.length);
        json.Key("value").Units(row.inspection->value);
        json.Key("hex").String(row.inspection->hex);
        json.Members(descriptions[row.number]);
        WriteInside(json, *row.inspection);
        json.EndObject();
    }
    json.EndArray();
    const std::size_t quote = VerdictQuoteStart(message.verdict);
    json.Key("verdict").TextAndUnits(message.verdict.substr(0, quote),
                                     message.verdict.substr(quote));
    json.Key("ok").Bool(message.ok);
    if (message.strict != nullptr) {
        json.Key("strict").BeginArray();
        for (const Finding& finding : *message.strict) {
            json.BeginObject();
            json.Key("kind").String(NameOf(finding.kind));
            json.Key("field").Number(finding.field);
            json.Key("offset").Number(finding.offset);
            json.Key("text").TextAndUnits({}, finding.text);
            json.EndObject();
        }
        json.EndArray();
    }
    if (message.error != nullptr) json.Key("error").String(message.error);
    json.EndObject();
    json.Raw('\n');
}
