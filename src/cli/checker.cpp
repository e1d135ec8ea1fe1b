#include "cli/checker.h"

#include <cstring>

Checker::Checker(const ProtocolDef& protocol, ReportWriter& report, ReportOutput& out)
    : def(protocol), writer(report), output(out) {
    if (writer.WantsFields()) {
        consumer = [this](const DecodedField& field) { return TakeField(field); };
    }
}

bool Checker::Take() {
    rowCount = 0;
    CheckedMessage checked;
    checked.ok = DecodeMessage(message, def, consumer, verdict, &checked.header);
    checked.verdict = std::string_view(verdict.Text(), verdict.Length());
    return Deliver(checked);
}

bool Checker::Fail(std::string_view why) {
    rowCount = 0;
    reason.assign(why);
    CheckedMessage checked;
    checked.error = reason.c_str();
    return Deliver(checked);
}

bool Checker::Deliver(CheckedMessage& checked) {
    checked.number = ++counts.read;
    ++(checked.ok ? counts.passed : counts.failed);
    checked.rows = rows.data();
    checked.rowCount = rowCount;
    writer.Write(checked);
    output.FlushIfFull();
    return true;
}

bool Checker::Finish() {
    writer.Finish(counts);
    return output.Flush();
}

bool Checker::TakeField(const DecodedField& field) {
    if (rowCount == rows.size()) rows.emplace_back();
    FieldRow& row = rows[rowCount++];
    const AutoBuff& value = *field.value;
    row.number = field.number;
    row.offset = field.offset;
    row.consumed = field.consumed;
    row.length = value.Length();
    AssignHex(row.hex, value.Data(), value.Length());
    if (def.IsBinaryField(field.number)) {
        row.value = row.hex;
    } else {
        const char* text = value.Text();
        row.value.assign(text, strnlen(text, value.Length()));
    }
    return true;
}
