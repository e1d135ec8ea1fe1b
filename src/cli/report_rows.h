// The default report of `check`: a line per message, a row per field, the verdict, and the
// counts at the end.
#pragma once

#include <string>
#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "cli/text_window.h"
#include "model/protocol.h"

class RowsReport : public ReportWriter {
  public:
    // The definition must not change while the report is written.
    RowsReport(const ProtocolDef& protocol, ReportOutput& output);

    bool WantsBitmap() const override { return false; }
    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts& counts) override;

  private:
    // shown: how wide the row's value is; width: the widest value's width, at most 40.
    void WriteRow(TextWindow& window, const FieldRow& row, std::size_t shown, std::size_t width);

    const ProtocolDef& def;
    ReportOutput& out;
    std::string heads[kFieldCount];         // "  %3d  %-3s  " of each field
    std::string descriptions[kFieldCount];  // as the rows show them
    std::vector<std::size_t> widths;        // of the message's values
};

// The last line of the rows and summary reports.
void WriteCounts(ReportOutput& out, const CheckCounts& counts);
