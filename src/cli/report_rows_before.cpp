#include "cli/report_rows_before.h"

#include "cli/report_rows.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void AppendEscape(std::string& out, unsigned char c) {
    const char escape[4] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
    out.append(escape, 4);
}

bool ShownAsIs(unsigned char c) {
    return c >= 0x20 && c <= 0x7E && c != '\\';
}

void AppendMessageText(std::string& out, std::string_view bytes) {
    std::size_t plain = 0;
    while (plain < bytes.size() && ShownAsIs(static_cast<unsigned char>(bytes[plain])))
        ++plain;
    out.append(bytes.substr(0, plain));
    for (std::size_t i = plain; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (ShownAsIs(c)) {
            out.push_back(static_cast<char>(c));
        } else if (c == '\\') {
            out.append("\\\\");
        } else {
            AppendEscape(out, c);
        }
    }
}

std::size_t MessageTextWidth(std::string_view bytes) {
    std::size_t width = 0;
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        width += ShownAsIs(c) ? 1 : c == '\\' ? 2 : 4;
    }
    return width;
}

void AppendDefinitionText(std::string& out, std::string_view text) {
    for (char b : text) {
        const auto c = static_cast<unsigned char>(b);
        if (IsControl(c)) {
            AppendEscape(out, c);
        } else {
            out.push_back(b);
        }
    }
}

void AppendVerdict(std::string& out, std::string_view verdict) {
    if (verdict.substr(0, kUnknownMessage.size()) == kUnknownMessage) {
        out.append(kUnknownMessage);
        AppendMessageText(out, verdict.substr(kUnknownMessage.size()));
        return;
    }
    AppendDefinitionText(out, verdict);
}

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
    text.append(std::to_string(tag.length));
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
        text.append(std::to_string(row.length));
        text.append("  ");
        AppendMessageText(text, row.value);
        text.push_back('\n');
    }
    if (reading.failed) {
        Indent(text, kInsideIndent);
        text.append("subfields stop at ");
        AppendMessageText(text, reading.error.id);
        text.append(", offset ");
        text.append(std::to_string(reading.error.offset));
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

void RowsReportBefore::Write(const CheckedMessage& message) {
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
        width = std::max(width, MessageTextWidth(message.rows[i].inspection->value));
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

void RowsReportBefore::WriteRow(const FieldRow& row, std::size_t width) {
    const FieldType type = def.fields[row.number].type;
    std::string& text = out.Text();
    char head[48];
    const int n = std::snprintf(head, sizeof head, "  %3d  %-3s  %5d  ", row.number, NameOf(type),
                                row.length);
    text.append(head, n > 0 ? n : 0);
    AppendMessageText(text, row.inspection->value);
    const char* description = def.fields[row.number].description;
    if (description[0] != '\0') {
        const std::size_t shown = MessageTextWidth(row.inspection->value);
        if (shown < width) text.append(width - shown, ' ');
        text.append("  ");
        AppendDefinitionText(text, description);
    }
    text.push_back('\n');
    AppendInside(text, *row.inspection);
}

void RowsReportBefore::Finish(const CheckCounts& counts) {
    WriteCounts(out, counts);
}
