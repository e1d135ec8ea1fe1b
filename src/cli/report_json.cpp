#include "cli/report_json.h"

#include <nlohmann/json.hpp>

void JsonReport::Write(const CheckedMessage& message) {
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < message.rowCount; ++i) {
        const FieldRow& row = message.rows[i];
        fields.push_back({{"number", row.number},
                          {"offset", row.offset},
                          {"consumed", row.consumed},
                          {"type", NameOf(def.fields[row.number].type)},
                          {"length", row.length},
                          {"value", row.value},
                          {"hex", row.hex},
                          {"description", def.fields[row.number].description}});
    }
    std::string bitmap;
    AssignHex(bitmap, message.header.bitmap.data(), static_cast<int>(message.header.bitmap.size()));
    nlohmann::ordered_json line = {{"message", message.number}};
    if (message.hasHeader) line["header"] = std::string(message.headerHex);
    line["mti"] = std::string(message.header.mti);
    line["bitmap"] = std::move(bitmap);
    line["fields"] = std::move(fields);
    line["verdict"] = std::string(message.verdict);
    line["ok"] = message.ok;
    if (message.error != nullptr) line["error"] = message.error;
    out.Text().append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    out.Text().push_back('\n');
}
