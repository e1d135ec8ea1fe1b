// The JSON Lines report of `check`: one object per message, nothing else.
#pragma once

#include <string>

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "model/protocol.h"

class JsonReport : public ReportWriter {
  public:
    // The definition must not change while the report is written.
    JsonReport(const ProtocolDef& protocol, ReportOutput& output);

    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts&) override {}

  private:
    const ProtocolDef& def;
    ReportOutput& out;
    // Each field's members that come from the definition, as JSON: "number":2, "type":"N",
    // "description":"...".
    std::string openings[kFieldCount];
    std::string types[kFieldCount];
    std::string descriptions[kFieldCount];
};
