#include "cli/report_json.h"

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

void AddInside(Json& field, const FieldInspection& inside) {
    if (inside.masked) field["masked"] = true;
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

void JsonReport::Write(const CheckedMessage& message) {
    Json fields = Json::array();
    for (std::size_t i = 0; i < message.rowCount; ++i) {
        const FieldRow& row = message.rows[i];
        Json field = {
            {"number", row.number},     {"offset", row.offset},
            {"consumed", row.consumed}, {"type", NameOf(def.fields[row.number].type)},
            {"length", row.length},     {"value", row.value},
            {"hex", row.hex},           {"description", def.fields[row.number].description}};
        AddInside(field, row.inspection);
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
