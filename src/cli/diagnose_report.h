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
    const std::vector<MapRow>* rows = nullptr;  // one per entry of the diagnosis's map
};

class DiagnoseReport {
  public:
    virtual ~DiagnoseReport() = default;
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
    void Write(const DiagnosedMessage& message) override;
    void Finish(const CheckCounts&) override {}

  private:
    ReportOutput& out;
};
