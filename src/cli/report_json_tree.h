// The JSON Lines report of `check` as it was written through a tree of nlohmann::json, kept
// while the streaming writer is compared with it.
#pragma once

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "model/protocol.h"

class JsonTreeReport : public ReportWriter {
  public:
    JsonTreeReport(const ProtocolDef& protocol, ReportOutput& output)
        : def(protocol), out(output) {}

    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts&) override {}

  private:
    const ProtocolDef& def;
    ReportOutput& out;
};
