#include "cli/report_rows.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "cli/report_text.h"

namespace {

constexpr std::size_t kValueWidth = 40;
// What is inside a field is shown under it: its data objects from this column, each level two
// further in, what a tag's value means four further in than the tag.
constexpr std::size_t kInsideIndent = 8;
constexpr std::size_t kLevelIndent = 2;
constexpr std::size_t kMeaningIndent = 4;

void Indent(std::string& text, std::size_t indent) {
    text.append(indent, ' ');
}

void AppendLuhn(std::string& text, std::size_t indent, bool valid) {
    Indent(text, indent);
    text.append(valid ? "Luhn ok\n" : "Luhn failed\n");
}

void AppendTrack(std::string& text, std::size_t indent, const TrackParts& track) {
    Indent(text, indent);
    text.append("account ");
    AppendMessageText(text, track.account);
    if (track.track == 1) {
        text.append("  name ");
        AppendMessageText(text, track.name);
    }
    text.append("  expiry ");
    AppendMessageText(text, track.expiry);
    text.append("  service ");
    AppendMessageText(text, track.serviceCode);
    text.push_back('\n');
    AppendLuhn(text, indent, track.luhn);
}

void AppendTag(std::string& text, const InspectedTag& tag) {
    const std::size_t indent = kInsideIndent + kLevelIndent * (tag.depth - 1);
    Indent(text, indent);
    text.append(tag.tagHex);
    text.append("  ");
    text.append(tag.name);
    text.append("  ");
    AppendNumber(text, tag.length);
    text.append("  ");
    text.append(tag.hex);
    text.push_back('\n');
    for (const char* bit : tag.bits) {
        Indent(text, indent + kMeaningIndent);
        text.append(bit);
        text.push_back('\n');
    }
    if (tag.hasLuhn) AppendLuhn(text, indent + kMeaningIndent, tag.luhn);
    if (tag.track.track != 0) AppendTrack(text, indent + kMeaningIndent, tag.track);
}

void AppendSubfields(std::string& text, const SubfieldReading& reading) {
    for (const SubfieldRow& row : reading.rows) {
        Indent(text, kInsideIndent + kLevelIndent * (row.depth - 1));
        AppendMessageText(text, row.id);  // a tag as the message writes it
        text.append("  ");
        AppendDefinitionText(text, row.unknown ? "unknown" : row.description);
        text.append("  ");
        AppendNumber(text, row.length);
        text.append("  ");
        AppendMessageText(text, row.value);
        text.push_back('\n');
    }
    if (reading.failed) {
        Indent(text, kInsideIndent);
        text.append("subfields stop at ");
        AppendMessageText(text, reading.error.id);
        text.append(", offset ");
        AppendNumber(text, reading.error.offset);
        text.append(": ");
        AppendMessageText(text, reading.error.reason);
        text.push_back('\n');
    }
}

void AppendInside(std::string& text, const FieldInspection& inside) {
    if (inside.hasLuhn) AppendLuhn(text, kInsideIndent, inside.luhn);
    if (inside.trackTried) {
        if (inside.track.track != 0) {
            AppendTrack(text, kInsideIndent, inside.track);
        } else {
            Indent(text, kInsideIndent);
            text.append(inside.trackError);
            text.push_back('\n');
        }
    }
    AppendSubfields(text, inside.subfields);
    if (!inside.tlvTried) return;
    if (!inside.tlvError.empty()) {
        Indent(text, kInsideIndent);
        text.append("not BER-TLV: ");
        text.append(inside.tlvError);
        text.push_back('\n');
        return;
    }
    for (const InspectedTag& tag : inside.tags)
        AppendTag(text, tag);
}

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
    widths.resize(message.rowCount);
    std::size_t width = 0;
    for (std::size_t i = 0; i < message.rowCount; ++i) {
        widths[i] = MessageTextWidth(message.rows[i].inspection->value);
        width = std::max(width, widths[i]);
    }
    width = std::min(width, kValueWidth);
    for (std::size_t i = 0; i < message.rowCount; ++i)
        WriteRow(message.rows[i], widths[i], width);
    if (message.verdict.empty()) {
        out.Line("  no verdict: neither MTI nor bitmap could be read");
    } else {
        out.Append("  ");
        AppendVerdict(out.Text(), message.verdict);
        out.Line();
    }
}

// "  %3d  %-3s  %5d  " and the value; the description from the column after the widest value.
void RowsReport::WriteRow(const FieldRow& row, std::size_t shown, std::size_t width) {
    const char* type = NameOf(def.fields[row.number].type);
    std::string& text = out.Text();
    text.append("  ");
    AppendNumber(text, row.number, 3);
    text.append("  ");
    const std::size_t typeSize = std::strlen(type);
    text.append(type, typeSize);
    text.append(typeSize < 3 ? 5 - typeSize : 2, ' ');
    AppendNumber(text, row.length, 5);
    text.append("  ");
    AppendMessageText(text, row.inspection->value);
    const char* description = def.fields[row.number].description;
    if (description[0] != '\0') {
        if (shown < width) text.append(width - shown, ' ');
        text.append("  ");
        AppendDefinitionText(text, description);
    }
    text.push_back('\n');
    AppendInside(text, *row.inspection);
}

void RowsReport::Finish(const CheckCounts& counts) {
    WriteCounts(out, counts);
}

void WriteCounts(ReportOutput& out, const CheckCounts& counts) {
    out.Line(counts.read, " messages read, ", counts.passed, " passed, ", counts.failed, " failed");
}
