// What a report writer of `check` is given: each checked message, then the counts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "content/field_content.h"
#include "decode/decoder.h"
#include "diagnose/findings.h"

struct FieldRow {
    int number = 0;
    int offset = 0;
    int consumed = 0;
    int length = 0;
    // The value as shown (hex for B and Z, else text up to the first NUL) and its hex, masked
    // unless asked otherwise, and what is inside it.
    const FieldInspection* inspection = nullptr;
};

struct CheckedMessage {
    long number = 0;  // counted from 1 over all inputs
    MessageHeader header;
    std::string_view verdict;  // empty when there is none
    bool ok = false;
    const char* error = nullptr;  // why the message could not be prepared; null otherwise
    bool hasHeader = false;       // whether a header was set aside (even an empty one)
    std::string_view headerHex;   // the units set aside before decoding, as hex
    std::string_view bitmapHex;   // both bitmaps as read, masked; for writers of fields only
    const FieldRow* rows = nullptr;
    std::size_t rowCount = 0;
    // Under --strict, what fails a message whose classic verdict passes (ok is false then);
    // null or empty otherwise.
    const std::vector<Finding>* strict = nullptr;

    bool FailedStrictly() const { return strict != nullptr && !strict->empty(); }
};

struct CheckCounts {
    long read = 0;
    long passed = 0;
    long failed = 0;
};

class ReportWriter {
  public:
    virtual ~ReportWriter() = default;
    // Whether Write needs the rows of the fields; a writer without them decodes faster.
    virtual bool WantsFields() const { return true; }
    // Whether Write shows the bitmaps (CheckedMessage::bitmapHex), which are masked for it.
    virtual bool WantsBitmap() const { return WantsFields(); }
    virtual void Write(const CheckedMessage& message) = 0;
    virtual void Finish(const CheckCounts& counts) = 0;
};
