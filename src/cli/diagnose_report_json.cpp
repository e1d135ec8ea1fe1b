#include "cli/diagnose_report.h"
#include "cli/json_writer.h"

namespace {

// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

// A verdict in the system's words, the MTI it quotes as the message's units.
void WriteVerdict(JsonWriter& json, std::string_view verdict) {
    if (verdict.substr(0, kUnknownMessage.size()) != kUnknownMessage) return json.String(verdict);
    json.TextAndUnits(kUnknownMessage, verdict.substr(kUnknownMessage.size()));
}

void WriteFindings(JsonWriter& json, const std::vector<Finding>& findings, bool kinds) {
    json.BeginArray();
    for (const Finding& finding : findings) {
        json.BeginObject();
        if (kinds) json.Key("kind").String(NameOf(finding.kind));
        if (kinds || finding.field != 0) json.Key("field").Number(finding.field);
        json.Key("offset").Number(finding.offset);
        json.Key("text").TextAndUnits({}, finding.text);
        json.EndObject();
    }
    json.EndArray();
}

void WriteMap(JsonWriter& json, const Diagnosis& diagnosis) {
    json.BeginArray();
    for (const MapEntry& entry : diagnosis.map) {
        json.BeginObject();
        json.Key("offset").Number(entry.offset);
        json.Key("units").Number(entry.units);
        json.Key("part").String(NameOf(entry.part));
        if (entry.part == MapPart::kField) json.Key("field").Number(entry.field);
        if (!entry.subfields.empty()) {
            json.Key("subfields").BeginArray();
            for (const MapSubfield& subfield : entry.subfields) {
                json.BeginObject();
                json.Key("id").String(subfield.id);
                json.Key("offset").Number(subfield.offset);
                json.Key("units").Number(subfield.units);
                json.EndObject();
            }
            json.EndArray();
        }
        json.EndObject();
    }
    json.EndArray();
}

void WriteCandidates(JsonWriter& json, const Diagnosis& diagnosis) {
    json.BeginArray();
    for (const Reading& reading : diagnosis.readings) {
        json.BeginObject();
        json.Key("changes").BeginObject();
        if (reading.headerChanged) json.Key("header").Number(reading.header);
        if (reading.change && reading.change->emptyFields) {
            json.Key("EMPTY_FIELDS").String("Y");
        } else if (reading.change) {
            if (reading.change->field != 0) json.Key("field").Number(reading.change->field);
            json.Key(KeyOf(reading.change->role)).String(NameOf(reading.change->value));
        }
        json.EndObject();
        if (!reading.prefixSizes.empty()) {
            json.Key("prefix_sizes").BeginObject();
            for (const PrefixSize& size : reading.prefixSizes)
                json.Key(std::to_string(size.field)).Number(size.to);
            json.EndObject();
        }
        json.Key("verdict");
        WriteVerdict(json, reading.verdict);
        json.Key("ok").Bool(reading.ok);
        json.Key("warnings").Number(reading.warnings);
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace

void DiagnoseJsonReport::Write(const DiagnosedMessage& message) {
    JsonWriter json(out.Text());
    json.BeginObject();
    json.Key("message").Number(message.number);
    if (message.error != nullptr) {
        json.Key("verdict").String("");
        json.Key("ok").Bool(false);
        json.Key("error").String(message.error);
    } else {
        const Diagnosis& diagnosis = *message.diagnosis;
        json.Key("verdict");
        WriteVerdict(json, diagnosis.verdict);
        json.Key("ok").Bool(diagnosis.ok);
        if (!diagnosis.strict.empty()) {
            json.Key("strict");
            WriteFindings(json, diagnosis.strict, true);
        }
        json.Key("map");
        WriteMap(json, diagnosis);
        if (diagnosis.stopped) {
            json.Key("stopped").BeginObject();
            json.Key("field").Number(diagnosis.stopped->field);
            json.Key("offset").Number(diagnosis.stopped->offset);
            json.Key("reason").TextAndUnits({}, diagnosis.stopped->text);
            json.EndObject();
        }
        json.Key("warnings");
        WriteFindings(json, diagnosis.warnings, false);
        json.Key("candidates");
        WriteCandidates(json, diagnosis);
    }
    json.EndObject();
    json.Raw('\n');
}
