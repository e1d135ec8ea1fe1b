#include <algorithm>
#include <cstdio>

#include "cli/diagnose_report.h"
#include "cli/report_rows.h"
#include "cli/report_text.h"
#include "diagnose/reading_words.h"

namespace {

constexpr std::size_t kHexWidth = 40;

std::string PartOf(const MapEntry& entry) {
    if (entry.part == MapPart::kField) return "field " + std::to_string(entry.field);
    if (entry.part == MapPart::kBitmap && entry.field == 1) return "bitmap 2";
    return NameOf(entry.part);
}

std::string MessageBytes(std::string_view bytes) {
    std::string shown;
    AppendMessageText(shown, bytes);
    return shown;
}

std::string HexOf(const MapRow& row) {
    return row.prefixHex.empty() ? row.hex : row.prefixHex + " " + row.hex;
}

}  // namespace

void DiagnoseTextReport::Write(const DiagnosedMessage& message) {
    if (message.error != nullptr) {
        out.Line("message ", message.number, ": error: ", message.error);
        return;
    }
    const Diagnosis& diagnosis = *message.diagnosis;
    out.Append("message ");
    out.Append(message.number);
    out.Append(": ");
    if (diagnosis.verdict.empty()) {
        out.Append("no verdict: neither MTI nor bitmap could be read");
    } else {
        AppendVerdict(out.Text(), diagnosis.verdict);
    }
    // The classic verdict stays as it is; a strict diagnosis says what fails it after it.
    if (!diagnosis.strict.empty()) out.Append("; strict: failed");
    out.Line();
    WriteMap(diagnosis, *message.rows);
    if (diagnosis.stopped) WriteFinding("stopped: ", *diagnosis.stopped);
    for (const Finding& finding : diagnosis.strict)
        WriteFinding("strict: ", finding);
    for (const Finding& warning : diagnosis.warnings)
        WriteFinding("warning: ", warning);
    if (!diagnosis.searched) return;
    if (diagnosis.readings.empty()) {
        out.Line("  ", kNoReading);
        return;
    }
    out.Line("  ", kReadingsLead);
    for (const Reading& reading : diagnosis.readings) {
        // The words quote verdicts (with their "n°") as verdicts are shown, the message's
        // bytes as check shows them.
        out.Append("    ");
        AppendDefinitionText(out.Text(), ReadingWords(reading, MessageBytes));
        out.Line();
    }
}

void DiagnoseTextReport::WriteMap(const Diagnosis& diagnosis, const std::vector<MapRow>& rows) {
    std::size_t width = 0;
    for (const MapRow& row : rows)
        width = std::max(width, HexOf(row).size());
    width = std::min(width, kHexWidth);
    std::string& text = out.Text();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MapEntry& entry = diagnosis.map[i];
        char head[48];
        const int n = std::snprintf(head, sizeof head, "  %5d  %5d  %-9s  ", entry.offset,
                                    entry.units, PartOf(entry).c_str());
        text.append(head, n > 0 ? n : 0);
        const std::string hex = HexOf(rows[i]);
        text.append(hex);
        const bool valued = entry.stopped || !rows[i].value.empty();
        if (valued && hex.size() < width) text.append(width - hex.size(), ' ');
        if (entry.stopped) {
            text.append("  (not decoded)");
        } else if (valued) {
            text.append("  ");
            AppendMessageText(text, rows[i].value);
        }
        text.push_back('\n');
    }
}

void DiagnoseTextReport::WriteFinding(const char* lead, const Finding& finding) {
    out.Append("  ");
    out.Append(lead);
    AppendMessageText(out.Text(), finding.text);
    out.Line();
}

void DiagnoseTextReport::Finish(const CheckCounts& counts) {
    WriteCounts(out, counts);
}
