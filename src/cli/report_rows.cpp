#include "cli/report_rows.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "cli/report_text.h"
#include "cli/text_window.h"

namespace {

constexpr std::size_t kValueWidth = 40;
// What is inside a field is shown under it: its data objects from this column, each level two
// further in, what a tag's value means four further in than the tag.
constexpr std::size_t kInsideIndent = 8;
constexpr std::size_t kLevelIndent = 2;
constexpr std::size_t kMeaningIndent = 4;
// Room for a number and the blanks around it.
constexpr std::size_t kNumberRoom = 24;

// Characters at most of bytes from a message as the rows show them.
std::size_t MessageRoom(std::string_view bytes) {
    return 4 * bytes.size();
}

void PutLuhn(TextWindow& window, std::size_t indent, bool valid) {
    char* p = window.Room(indent + 16);
    p = PutSpaces(p, indent);
    window.Commit(Put(p, valid ? "Luhn ok\n" : "Luhn failed\n"));
}

void PutTrack(TextWindow& window, std::size_t indent, const TrackParts& track) {
    char* p = window.Room(indent + 64 +
                          4 * (track.account.size() + track.name.size() + track.expiry.size() +
                               track.serviceCode.size()));
    p = PutSpaces(p, indent);
    p = Put(p, "account ");
    p = PutMessageText(p, track.account);
    if (track.track == 1) {
        p = Put(p, "  name ");
        p = PutMessageText(p, track.name);
    }
    p = Put(p, "  expiry ");
    p = PutMessageText(p, track.expiry);
    p = Put(p, "  service ");
    p = PutMessageText(p, track.serviceCode);
    *p++ = '\n';
    window.Commit(p);
    PutLuhn(window, indent, track.luhn);
}

void PutTag(TextWindow& window, const InspectedTag& tag) {
    const std::size_t indent = kInsideIndent + kLevelIndent * (tag.depth - 1);
    const std::string_view name = tag.name;
    char* p = window.Room(indent + tag.tagHex.size() + name.size() + tag.hex.size() + kNumberRoom);
    p = PutSpaces(p, indent);
    p = Put(p, tag.tagHex);
    p = Put(p, "  ");
    p = Put(p, name);
    p = Put(p, "  ");
    p = PutNumber(p, tag.length);
    p = Put(p, "  ");
    p = Put(p, tag.hex);
    *p++ = '\n';
    window.Commit(p);
    for (const char* bit : tag.bits) {
        const std::string_view text = bit;
        p = window.Room(indent + kMeaningIndent + text.size() + 1);
        p = PutSpaces(p, indent + kMeaningIndent);
        p = Put(p, text);
        *p++ = '\n';
        window.Commit(p);
    }
    if (tag.hasLuhn) PutLuhn(window, indent + kMeaningIndent, tag.luhn);
    if (tag.track.track != 0) PutTrack(window, indent + kMeaningIndent, tag.track);
}

void PutSubfields(TextWindow& window, const SubfieldReading& reading) {
    for (const SubfieldRow& row : reading.rows) {
        const std::size_t indent = kInsideIndent + kLevelIndent * (row.depth - 1);
        const std::string_view description = row.unknown ? "unknown" : row.description;
        char* p = window.Room(indent + MessageRoom(row.id) + 4 * description.size() +
                              MessageRoom(row.value) + kNumberRoom);
        p = PutSpaces(p, indent);
        p = PutMessageText(p, row.id);  // a tag as the message writes it
        p = Put(p, "  ");
        p = PutDefinitionText(p, description);
        p = Put(p, "  ");
        p = PutNumber(p, row.length);
        p = Put(p, "  ");
        p = PutMessageText(p, row.value);
        *p++ = '\n';
        window.Commit(p);
    }
    if (reading.failed) {
        const SubfieldError& error = reading.error;
        char* p =
            window.Room(kInsideIndent + 64 + MessageRoom(error.id) + MessageRoom(error.reason));
        p = PutSpaces(p, kInsideIndent);
        p = Put(p, "subfields stop at ");
        p = PutMessageText(p, error.id);
        p = Put(p, ", offset ");
        p = PutNumber(p, error.offset);
        p = Put(p, ": ");
        p = PutMessageText(p, error.reason);
        *p++ = '\n';
        window.Commit(p);
    }
}

// A line of the system's own words, indented.
void PutLine(TextWindow& window, std::string_view lead, std::string_view text) {
    char* p = window.Room(kInsideIndent + lead.size() + text.size() + 1);
    p = PutSpaces(p, kInsideIndent);
    p = Put(p, lead);
    p = Put(p, text);
    *p++ = '\n';
    window.Commit(p);
}

void PutInside(TextWindow& window, const FieldInspection& inside) {
    if (inside.hasLuhn) PutLuhn(window, kInsideIndent, inside.luhn);
    if (inside.trackTried) {
        if (inside.track.track != 0) {
            PutTrack(window, kInsideIndent, inside.track);
        } else {
            PutLine(window, "", inside.trackError);
        }
    }
    if (inside.subfields.tried || inside.subfields.failed) PutSubfields(window, inside.subfields);
    if (!inside.tlvTried) return;
    if (!inside.tlvError.empty()) return PutLine(window, "not BER-TLV: ", inside.tlvError);
    for (const InspectedTag& tag : inside.tags)
        PutTag(window, tag);
}

}  // namespace

RowsReport::RowsReport(const ProtocolDef& protocol, ReportOutput& output)
    : def(protocol), out(output) {
    // The definition does not change while the report is written: each field's head and
    // description are written once.
    for (int n = 0; n < kFieldCount; ++n) {
        std::string& head = heads[n];
        const char* type = NameOf(def.fields[n].type);
        head.append("  ");
        AppendNumber(head, n, 3);
        head.append("  ");
        head.append(type);
        head.append(head.size() < 10 ? 10 - head.size() : 0, ' ');
        head.append("  ");
        AppendDefinitionText(descriptions[n], def.fields[n].description);
    }
}

void RowsReport::Write(const CheckedMessage& message) {
    TextWindow window(out.Text());
    char* p = window.Room(64 + 4 * sizeof message.header.mti);
    p = Put(p, "message ");
    p = PutNumber(p, message.number);
    if (message.error != nullptr) {
        window.Commit(p);
        const std::string_view error = message.error;
        p = window.Room(16 + error.size());
        p = Put(p, ": error: ");
        p = Put(p, error);
        *p++ = '\n';
        return window.Commit(p);
    }
    if (message.header.mti[0] != '\0') {
        p = Put(p, ": MTI ");
        p = PutMessageText(p, message.header.mti);
    } else {
        p = Put(p, ": no MTI");
    }
    *p++ = '\n';
    window.Commit(p);
    if (message.hasHeader) {
        p = window.Room(16 + message.headerHex.size());
        p = Put(p, "  header ");
        p = Put(p, message.headerHex);
        *p++ = '\n';
        window.Commit(p);
    }
    widths.resize(message.rowCount);
    std::size_t width = 0;
    for (std::size_t i = 0; i < message.rowCount; ++i) {
        widths[i] = MessageTextWidth(message.rows[i].inspection->value);
        width = std::max(width, widths[i]);
    }
    width = std::min(width, kValueWidth);
    for (std::size_t i = 0; i < message.rowCount; ++i)
        WriteRow(window, message.rows[i], widths[i], width);
    if (message.verdict.empty()) {
        p = window.Room(64);
        p = Put(p, "  no verdict: neither MTI nor bitmap could be read\n");
        return window.Commit(p);
    }
    p = window.Room(3 + 4 * message.verdict.size());
    p = Put(p, "  ");
    p = PutVerdict(p, message.verdict);
    *p++ = '\n';
    window.Commit(p);
    if (message.strict == nullptr) return;
    for (const Finding& finding : *message.strict) {
        p = window.Room(16 + 4 * finding.text.size());
        p = Put(p, "  strict: ");
        p = PutMessageText(p, finding.text);
        *p++ = '\n';
        window.Commit(p);
    }
}

// "  %3d  %-3s  %5d  " and the value; the description from the column after the widest value.
void RowsReport::WriteRow(TextWindow& window, const FieldRow& row, std::size_t shown,
                          std::size_t width) {
    const std::string& head = heads[row.number];
    const std::string& description = descriptions[row.number];
    const std::string& value = row.inspection->value;
    char* p = window.Room(head.size() + kNumberRoom + MessageRoom(value) + kValueWidth +
                          description.size() + 3);
    p = Put(p, head);
    p = PutNumber(p, row.length, 5);
    p = Put(p, "  ");
    // As wide as it is long, the value is shown as it is.
    p = shown == value.size() ? Put(p, value) : PutMessageText(p, value);
    if (def.fields[row.number].description[0] != '\0') {
        if (shown < width) p = PutSpaces(p, width - shown);
        p = Put(p, "  ");
        p = Put(p, description);
    }
    *p++ = '\n';
    window.Commit(p);
    PutInside(window, *row.inspection);
}

void RowsReport::Finish(const CheckCounts& counts) {
    WriteCounts(out, counts);
}

void WriteCounts(ReportOutput& out, const CheckCounts& counts) {
    out.Line(counts.read, " messages read, ", counts.passed, " passed, ", counts.failed, " failed");
}
