#include "cli/diagnose_sink.h"

DiagnoseSink::DiagnoseSink(const ProtocolDef& def, const InspectOptions& inspect, int header,
                           DiagnoseReport& report, ReportOutput& out)
    : diagnoser(def), mapRows(def, inspect), headerUnits(header), writer(report), output(out) {}

bool DiagnoseSink::Take() {
    const int length = message.Length();
    if (headerUnits > length) {
        reason = "message of " + std::to_string(length) + " units is shorter than its header of " +
                 std::to_string(headerUnits) + " units";
        return Fail(reason);
    }
    diagnoser.Diagnose(message, headerUnits > 0 ? headerUnits : 0, diagnosis);
    DiagnosedMessage diagnosed;
    if (writer.WantsRows()) {
        mapRows.Build(message, diagnosis, rows);
        diagnosed.rows = &rows;
    }
    for (Reading& reading : diagnosis.readings)
        reading.headerHex =
            ReadingHeaderHex(message.Data(), message.Length(), reading, mapRows.Masks());
    if (!firstReading && !diagnosis.readings.empty()) firstReading = diagnosis.readings.front();
    diagnosed.diagnosis = &diagnosis;
    return Deliver(diagnosed, diagnosis.ok);
}

bool DiagnoseSink::Fail(std::string_view why) {
    if (why.data() != reason.data()) reason.assign(why);
    DiagnosedMessage diagnosed;
    diagnosed.error = reason.c_str();
    return Deliver(diagnosed, false);
}

bool DiagnoseSink::Deliver(DiagnosedMessage& diagnosed, bool ok) {
    diagnosed.number = ++counts.read;
    ++(ok ? counts.passed : counts.failed);
    writer.Write(diagnosed);
    return output.FlushIfFull();
}

bool DiagnoseSink::Finish() {
    writer.Finish(counts);
    return output.Flush();
}
