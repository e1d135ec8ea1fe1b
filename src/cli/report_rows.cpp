#include "cli/report_rows.h"

#include <algorithm>
#include <cstdio>

#include "cli/report_text.h"

namespace {

constexpr std::size_t kValueWidth = 40;

}  // namespace

void RowsReport::Write(const CheckedMessage& message) {
    if (message.error != nullptr) {
        out.Line("message ", message.number, ": error: ", message.error);
        return;
    }
    if (message.header.mti[0] != '\0') {
        out.Append("message ");
        out.Append(message.number);
        out.Append(": MTI ");
        AppendMessageText(out.Text(), message.header.mti);
        out.Line();
    } else {
        out.Line("message ", message.number, ": no MTI");
    }
    if (message.hasHeader) out.Line("  header ", message.headerHex);
    std::size_t width = 0;
    for (std::size_t i = 0; i < message.rowCount; ++i)
        width = std::max(width, MessageTextWidth(message.rows[i].value));
    width = std::min(width, kValueWidth);
    for (std::size_t i = 0; i < message.rowCount; ++i)
        WriteRow(message.rows[i], width);
    if (message.verdict.empty()) {
        out.Line("  no verdict: neither MTI nor bitmap could be read");
    } else {
        out.Append("  ");
        AppendVerdict(out.Text(), message.verdict);
        out.Line();
    }
}

void RowsReport::WriteRow(const FieldRow& row, std::size_t width) {
    const FieldType type = def.fields[row.number].type;
    std::string& text = out.Text();
    char head[48];
    const int n = std::snprintf(head, sizeof head, "  %3d  %-3s  %5d  ", row.number, NameOf(type),
                                row.length);
    text.append(head, n > 0 ? n : 0);
    AppendMessageText(text, row.value);
    const char* description = def.fields[row.number].description;
    if (description[0] != '\0') {
        const std::size_t shown = MessageTextWidth(row.value);
        if (shown < width) text.append(width - shown, ' ');
        text.append("  ");
        AppendDefinitionText(text, description);
    }
    text.push_back('\n');
}

void RowsReport::Finish(const CheckCounts& counts) {
    WriteCounts(out, counts);
}

void WriteCounts(ReportOutput& out, const CheckCounts& counts) {
    out.Line(counts.read, " messages read, ", counts.passed, " passed, ", counts.failed, " failed");
}
