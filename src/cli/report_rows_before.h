// The rows report of `check` as it was written with printf and std::to_string, kept while the
// faster writer is compared with it.
#pragma once

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "model/protocol.h"

class RowsReportBefore : public ReportWriter {
  public:
    RowsReportBefore(const ProtocolDef& protocol, ReportOutput& output)
        : def(protocol), out(output) {}

    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts& counts) override;

  private:
    void WriteRow(const FieldRow& row, std::size_t width);

    const ProtocolDef& def;
    ReportOutput& out;
};
