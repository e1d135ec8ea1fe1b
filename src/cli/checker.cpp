#include "cli/checker.h"

#include <cstdint>
#include <cstring>

Checker::Checker(const ProtocolDef& protocol, ReportWriter& report, ReportOutput& out)
    : def(protocol),
      writer(report),
      output(out),
      index(protocol.messages),
      plan(protocol),
      inspections(std::make_unique<FieldInspection[]>(kFieldCount)) {
    rows.reserve(kFieldCount);
    scratch.index = &index;
    scratch.plan = &plan;
    if (writer.WantsFields()) {
        consumer = [this](const DecodedField& field) { return TakeField(field); };
    }
}

bool Checker::SetStrict(bool trailingAllowed) {
    strict = std::make_unique<Diagnoser>(def);
    strict->SetStrict(true, trailingAllowed);
    // The fields are judged as the decode hands them over: the message is not decoded twice.
    const bool rows = writer.WantsFields();
    consumer = [this, rows](const DecodedField& field) {
        TakeStrict(field);
        return !rows || TakeField(field);
    };
    return strict->Ready();
}

const AutoBuff& Checker::Whole() const {
    return headerUnits > 0 ? whole : message;
}

void Checker::TakeStrict(const DecodedField& field) {
    // Offsets count from the first unit of the message as read, as the rows' do.
    const int offset = field.offset + (headerUnits > 0 ? headerUnits : 0);
    DecodedField placed = field;
    if (offset <= INT16_MAX) placed.offset = static_cast<std::int16_t>(offset);
    strict->StrictField(Whole(), placed, findings);
    fieldsEnd = offset + field.consumed;
}

bool Checker::KeepWhole() {
    const int length = message.Length();
    if (whole.Capacity() < length + 1 && !whole.Reserve(length + 1, false)) return false;
    if (length > 0) std::memcpy(whole.Data(), message.Data(), static_cast<std::size_t>(length));
    whole.SetLength(length);
    return whole.Terminate();
}

bool Checker::Take() {
    rows.clear();
    CheckedMessage checked;
    findings.clear();
    fieldsEnd = -1;
    if (strict && headerUnits > 0 && !KeepWhole()) return Fail("no memory for the message");
    if (headerUnits >= 0) {
        const int length = message.Length();
        if (length < headerUnits) {
            reason = "message of " + std::to_string(length) +
                     " units is shorter than its header of " + std::to_string(headerUnits) +
                     " units";
            return Fail(reason);
        }
        headerMask.Reset(headerUnits);
        if (inspect.mask)
            MaskCardNumberRuns(message.Data(), headerUnits, ValueShown::kHex, headerMask);
        MaskedHex(message.Data(), headerUnits, headerMask, header);
        std::memmove(message.Data(), message.Data() + headerUnits, length - headerUnits);
        message.SetLength(length - headerUnits);
        message.Terminate();
        checked.hasHeader = true;
        checked.headerHex = header;
    }
    checked.ok = DecodeMessage(message, def, consumer, verdict, &checked.header, scratch);
    checked.verdict = std::string_view(verdict.Text(), verdict.Length());
    if (strict && checked.ok) {
        strict->StrictEnd(Whole(), headerUnits, fieldsEnd, findings);
        checked.strict = &findings;
        checked.ok = findings.empty();
    }
    return Deliver(checked);
}

bool Checker::Fail(std::string_view why) {
    rows.clear();
    if (why.data() != reason.data()) reason.assign(why);
    CheckedMessage checked;
    checked.error = reason.c_str();
    return Deliver(checked);
}

bool Checker::Deliver(CheckedMessage& checked) {
    checked.number = ++counts.read;
    ++(checked.ok ? counts.passed : counts.failed);
    checked.rows = rows.data();
    checked.rowCount = rows.size();
    if (writer.WantsBitmap()) {
        // Behind a header nobody declared, the bitmap is read from the header's units.
        const int size = static_cast<int>(checked.header.bitmap.size());
        bitmapMask.Reset(size);
        if (inspect.mask) {
            MaskCardNumberRuns(checked.header.bitmap.data(), size, ValueShown::kHex, bitmapMask);
        }
        MaskedHex(checked.header.bitmap.data(), size, bitmapMask, bitmap);
        checked.bitmapHex = bitmap;
    }
    writer.Write(checked);
    return output.FlushIfFull();
}

bool Checker::Finish() {
    writer.Finish(counts);
    return output.Flush();
}

bool Checker::TakeField(const DecodedField& field) {
    FieldRow& row = rows.emplace_back();
    row.number = field.number;
    // Offsets count from the first unit of the message as read, its header included: so do
    // those of what is inside the field.
    row.offset = field.offset + (headerUnits > 0 ? headerUnits : 0);
    DecodedField placed = field;
    if (row.offset <= INT16_MAX) placed.offset = static_cast<std::int16_t>(row.offset);
    row.consumed = field.consumed;
    row.length = field.value->Length();
    // A bitmap hands each field over once a message; a number outside the bitmap's is no data
    // element, which InspectField leaves empty.
    const bool known = field.number >= 0 && field.number < kFieldCount;
    FieldInspection& inspection = inspections[known ? field.number : 0];
    InspectField(def, placed, inspect, inspection);
    row.inspection = &inspection;
    return true;
}
