#include <nlohmann/json.hpp>

#include "cli/diagnose_report.h"

namespace {

using Json = nlohmann::ordered_json;

Json MapOf(const Diagnosis& diagnosis) {
    Json map = Json::array();
    for (const MapEntry& entry : diagnosis.map) {
        Json item = {
            {"offset", entry.offset}, {"units", entry.units}, {"part", NameOf(entry.part)}};
        if (entry.part == MapPart::kField) item["field"] = entry.field;
        if (!entry.subfields.empty()) {
            Json subfields = Json::array();
            for (const MapSubfield& subfield : entry.subfields) {
                subfields.push_back(
                    {{"id", subfield.id}, {"offset", subfield.offset}, {"units", subfield.units}});
            }
            item["subfields"] = std::move(subfields);
        }
        map.push_back(std::move(item));
    }
    return map;
}

Json WarningsOf(const Diagnosis& diagnosis) {
    Json warnings = Json::array();
    for (const Finding& finding : diagnosis.warnings) {
        Json item = Json::object();
        if (finding.field != 0) item["field"] = finding.field;
        item["offset"] = finding.offset;
        item["text"] = finding.text;
        warnings.push_back(std::move(item));
    }
    return warnings;
}

Json CandidatesOf(const Diagnosis& diagnosis) {
    Json candidates = Json::array();
    for (const Reading& reading : diagnosis.readings) {
        Json changes = Json::object();
        if (reading.headerChanged) changes["header"] = reading.header;
        if (reading.change && reading.change->emptyFields) {
            changes["EMPTY_FIELDS"] = "Y";
        } else if (reading.change) {
            if (reading.change->field != 0) changes["field"] = reading.change->field;
            changes[KeyOf(reading.change->role)] = NameOf(reading.change->value);
        }
        candidates.push_back({{"changes", std::move(changes)},
                              {"verdict", reading.verdict},
                              {"ok", reading.ok},
                              {"warnings", reading.warnings}});
    }
    return candidates;
}

}  // namespace

void DiagnoseJsonTreeReport::Write(const DiagnosedMessage& message) {
    Json line = {{"message", message.number}};
    if (message.error != nullptr) {
        line["verdict"] = "";
        line["ok"] = false;
        line["error"] = message.error;
    } else {
        const Diagnosis& diagnosis = *message.diagnosis;
        line["verdict"] = diagnosis.verdict;
        line["ok"] = diagnosis.ok;
        line["map"] = MapOf(diagnosis);
        if (diagnosis.stopped) {
            line["stopped"] = {{"field", diagnosis.stopped->field},
                               {"offset", diagnosis.stopped->offset},
                               {"reason", diagnosis.stopped->text}};
        }
        line["warnings"] = WarningsOf(diagnosis);
        line["candidates"] = CandidatesOf(diagnosis);
    }
    out.Text().append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    out.Text().push_back('\n');
}
