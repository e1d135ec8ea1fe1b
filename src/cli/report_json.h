// The JSON Lines report of `check`: one object per message, nothing else.
#pragma once

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "model/protocol.h"

class JsonReport : public ReportWriter {
  public:
    JsonReport(const ProtocolDef& protocol, ReportOutput& output) : def(protocol), out(output) {}

    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts&) override {}

  private:
    const ProtocolDef& def;
    ReportOutput& out;
};
