// What a report writer of `diagnose` is given: each diagnosed message, then the counts.
#pragma once

#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "diagnose/map_rows.h"

struct DiagnosedMessage {
    long number = 0;                       // counted from 1 over all inputs
    const char* error = nullptr;           // why the message could not be prepared; null otherwise
    const Diagnosis* diagnosis = nullptr;  // with error null
    // One per entry of the diagnosis's map, for a writer that wants them; null otherwise.
    const std::vector<MapRow>* rows = nullptr;
};

class DiagnoseReport {
  public:
    virtual ~DiagnoseReport() = default;
    // Whether Write needs the map's rows (hex and values, masked), which take longer than the
    // diagnosis itself.
    virtual bool WantsRows() const { return true; }
    virtual void Write(const DiagnosedMessage& message) = 0;
    virtual void Finish(const CheckCounts& counts) = 0;
};

class DiagnoseTextReport : public DiagnoseReport {
  public:
    explicit DiagnoseTextReport(ReportOutput& output) : out(output) {}
    void Write(const DiagnosedMessage& message) override;
    void Finish(const CheckCounts& counts) override;

  private:
    void WriteMap(const Diagnosis& diagnosis, const std::vector<MapRow>& rows);
    void WriteFinding(const char* lead, const Finding& finding);

    ReportOutput& out;
};

class DiagnoseJsonReport : public DiagnoseReport {
  public:
    explicit DiagnoseJsonReport(ReportOutput& output) : out(output) {}
    bool WantsRows() const override { return false; }
    void Write(const DiagnosedMessage& message) override;
    void Finish(const CheckCounts&) override {}

  private:
    ReportOutput& out;
};
