// Decodes each message a reader delivers, checks it against the protocol definition and
// hands the result to a report writer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"
#include "content/field_content.h"
#include "content/value_mask.h"
#include "diagnose/diagnoser.h"
#include "input/message_sink.h"
#include "model/protocol.h"

class Checker : public MessageSink {
  public:
    Checker(const ProtocolDef& protocol, ReportWriter& writer, ReportOutput& output);

    AutoBuff& Message() override { return message; }
    bool Take() override;
    bool Fail(std::string_view reason) override;

    // The first units units of every message are set aside before decoding; offsets still
    // count from the first unit of the message as read.
    void SetHeader(int units) { headerUnits = units; }
    // What the rows show inside their fields and which values they mask; masked by default.
    void SetInspection(const InspectOptions& options) { inspect = options; }
    // A message that passes fails for the findings of a strict diagnosis; trailingAllowed: units
    // after the last field are no finding. False when there is no memory for it.
    bool SetStrict(bool trailingAllowed);

    const CheckCounts& Counts() const { return counts; }
    // Counts from nothing again, numbering messages on from read.
    void CountFrom(long read) { counts = CheckCounts{read, 0, 0}; }
    // Take and Fail return false from the first report write that fails on.
    // Ends the report; false when it could not be written.
    bool Finish();

  private:
    bool TakeField(const DecodedField& field);
    bool KeepWhole();
    void TakeStrict(const DecodedField& field);
    const AutoBuff& Whole() const;
    bool Deliver(CheckedMessage& checked);

    const ProtocolDef& def;
    ReportWriter& writer;
    ReportOutput& output;
    FieldConsumer consumer;
    MtiIndex index;         // the definition does not change during a run
    DecodePlan plan;        // nor do its field rules
    DecodeScratch scratch;  // its value buffer serves every message
    AutoBuff message;
    AutoBuff verdict;
    std::vector<FieldRow> rows;
    // One per field number, so that a field's inspection keeps the storage the same field took
    // in the messages before: chip data its data objects, track data its parts.
    std::unique_ptr<FieldInspection[]> inspections;
    std::string reason;
    int headerUnits = -1;  // none
    std::string header;
    ValueMask headerMask;
    std::string bitmap;
    ValueMask bitmapMask;
    InspectOptions inspect;
    CheckCounts counts;
    // Under --strict only, so that the classic check costs nothing more.
    std::unique_ptr<Diagnoser> strict;
    std::vector<Finding> findings;
    AutoBuff whole;      // the message with its header, whose offsets the findings count from
    int fieldsEnd = -1;  // of the last field decoded, counted as the findings' offsets
};
