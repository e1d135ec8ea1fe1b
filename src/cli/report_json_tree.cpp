#include "cli/report_json_tree.h"

#include <nlohmann/json.hpp>

#include "content/emv_bits.h"
#include "support/text.h"

namespace {

using Json = nlohmann::ordered_json;

Json TrackJson(const TrackParts& track) {
    Json out = {{"account", track.account}};
    if (track.track == 1) out["name"] = track.name;
    out["expiry"] = track.expiry;
    out["service_code"] = track.serviceCode;
    out["discretionary"] = track.discretionary;
    return out;
}

// The data objects tags[first, last) at one level, each with its descendants.
Json TagsJson(const std::vector<InspectedTag>& tags, std::size_t first, std::size_t last) {
    Json out = Json::array();
    for (std::size_t i = first; i < last; i = static_cast<std::size_t>(tags[i].end)) {
        const InspectedTag& tag = tags[i];
        Json object = {{"tag", tag.tagHex},
                       {"name", tag.name},
                       {"offset", tag.offset},
                       {"length", tag.length},
                       {"hex", tag.hex}};
        if (tag.constructed) object["children"] = TagsJson(tags, i + 1, tag.end);
        if (HasBitTexts(tag.tag)) object["bits"] = tag.bits;
        if (tag.track.track != 0) {
            object["track"] = TrackJson(tag.track);
            object["luhn"] = tag.track.luhn;
        }
        if (tag.hasLuhn) object["luhn"] = tag.luhn;
        out.push_back(std::move(object));
    }
    return out;
}

// The subfields rows[first, last) at one level, each with what is inside it.
Json SubfieldsJson(const std::vector<SubfieldRow>& rows, std::size_t first, std::size_t last) {
    Json out = Json::array();
    for (std::size_t i = first; i < last; i = static_cast<std::size_t>(rows[i].end)) {
        const SubfieldRow& row = rows[i];
        Json object = {{"id", row.id}};
        if (!row.tag.empty()) object["tag"] = row.tag;
        object["offset"] = row.offset;
        object["consumed"] = row.consumed;
        if (row.nibbleOffset >= 0) {
            object["nibble_offset"] = row.nibbleOffset;
            object["nibbles"] = row.nibbles;
        }
        object["length"] = row.length;
        object["value"] = row.value;
        object["hex"] = row.hex;
        object["description"] = row.description;
        if (row.end > static_cast<int>(i) + 1) {
            object["subfields"] = SubfieldsJson(rows, i + 1, static_cast<std::size_t>(row.end));
        }
        if (row.masked) object["masked"] = true;
        if (row.unknown) object["unknown"] = true;
        out.push_back(std::move(object));
    }
    return out;
}

void AddInside(Json& field, const FieldInspection& inside) {
    if (inside.masked) field["masked"] = true;
    const SubfieldReading& subfields = inside.subfields;
    if (subfields.tried && !subfields.rows.empty()) {
        field["subfields"] = SubfieldsJson(subfields.rows, 0, subfields.rows.size());
    }
    if (subfields.failed) {
        field["subfield_error"] = {{"id", subfields.error.id},
                                   {"offset", subfields.error.offset},
                                   {"reason", subfields.error.reason}};
    }
    if (inside.tlvTried) {
        if (inside.tlvError.empty()) {
            field["tlv"] = TagsJson(inside.tags, 0, inside.tags.size());
        } else {
            field["tlv_error"] = inside.tlvError;
        }
    }
    if (inside.track.track != 0) {
        field["track"] = TrackJson(inside.track);
        field["luhn"] = inside.track.luhn;
    }
    if (inside.hasLuhn) field["luhn"] = inside.luhn;
}

}  // namespace

void JsonTreeReport::Write(const CheckedMessage& message) {
    Json fields = Json::array();
    for (std::size_t i = 0; i < message.rowCount; ++i) {
        const FieldRow& row = message.rows[i];
        Json field = {
            {"number", row.number},       {"offset", row.offset},
            {"consumed", row.consumed},   {"type", NameOf(def.fields[row.number].type)},
            {"length", row.length},       {"value", row.inspection->value},
            {"hex", row.inspection->hex}, {"description", def.fields[row.number].description}};
        AddInside(field, *row.inspection);
        fields.push_back(std::move(field));
    }
    Json line = {{"message", message.number}};
    if (message.hasHeader) line["header"] = std::string(message.headerHex);
    line["mti"] = std::string(message.header.mti);
    line["bitmap"] = std::string(message.bitmapHex);
    line["fields"] = std::move(fields);
    line["verdict"] = std::string(message.verdict);
    line["ok"] = message.ok;
    if (message.error != nullptr) line["error"] = message.error;
    out.Text().append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    out.Text().push_back('\n');
}
