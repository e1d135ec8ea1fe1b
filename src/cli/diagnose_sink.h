// Diagnoses each message a reader delivers and hands the diagnosis to a report writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/diagnose_report.h"
#include "diagnose/diagnoser.h"
#include "input/message_sink.h"

class DiagnoseSink : public MessageSink {
  public:
    // header: units set aside before the MTI of every message; none when negative.
    DiagnoseSink(const ProtocolDef& def, const InspectOptions& inspect, int header,
                 DiagnoseReport& writer, ReportOutput& output);

    bool Ready() const noexcept { return diagnoser.Ready(); }
    void SetStrict(bool on, bool trailingAllowed) noexcept {
        diagnoser.SetStrict(on, trailingAllowed);
    }
    // The first reading of the first message that has one; none before.
    const std::optional<Reading>& FirstReading() const noexcept { return firstReading; }
    AutoBuff& Message() override { return message; }
    bool Take() override;
    bool Fail(std::string_view reason) override;

    const CheckCounts& Counts() const { return counts; }
    // Counts from nothing again, numbering messages on from read.
    void CountFrom(long read) { counts = CheckCounts{read, 0, 0}; }
    // Ends the report; false when it could not be written.
    bool Finish();

  private:
    bool Deliver(DiagnosedMessage& diagnosed, bool ok);

    Diagnoser diagnoser;
    MapRows mapRows;
    int headerUnits;
    DiagnoseReport& writer;
    ReportOutput& output;
    AutoBuff message;
    Diagnosis diagnosis;
    std::vector<MapRow> rows;
    std::string reason;
    CheckCounts counts;
    std::optional<Reading> firstReading;
};
