// The default report of `check`: a line per message, a row per field, the verdict, and the
// counts at the end.
#pragma once

#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "model/protocol.h"

class RowsReport : public ReportWriter {
  public:
    RowsReport(const ProtocolDef& protocol, ReportOutput& output) : def(protocol), out(output) {}

    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts& counts) override;

  private:
    // shown: how wide the row's value is; width: the widest value's width, at most 40.
    void WriteRow(const FieldRow& row, std::size_t shown, std::size_t width);

    const ProtocolDef& def;
    ReportOutput& out;
    std::vector<std::size_t> widths;  // of the message's values
};

// The last line of the rows and summary reports.
void WriteCounts(ReportOutput& out, const CheckCounts& counts);
