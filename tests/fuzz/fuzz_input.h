// What the targets over the input readers share: a text read as a stream, a sink that keeps
// each report and checks what every reader promises of a message, and a plain split of a text
// into lines to judge the line reader by.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decoder.h"
#include "fuzz_check.h"
#include "input/message_sink.h"

// A copy of text, open for reading as a stream; fmemopen reads NULs and any byte as they are.
class TextStream {
  public:
    explicit TextStream(std::string_view text) : copy(text) {
        stream = fmemopen(copy.data(), copy.size(), "rb");
        FUZZ_CHECK(stream != nullptr);
    }
    ~TextStream() { std::fclose(stream); }
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    std::FILE* get() const { return stream; }

  private:
    std::string copy;
    std::FILE* stream = nullptr;
};

struct Report {
    bool taken = false;
    std::string text;  // the message's units, or the reason it failed

    bool operator==(const Report&) const = default;
};

class ReportSink : public MessageSink {
  public:
    // Take and Fail answer false once stopAfter reports are in, as a failed report would.
    explicit ReportSink(std::size_t stopAfter = static_cast<std::size_t>(-1))
        : stopAfter(stopAfter) {}

    AutoBuff& Message() override { return message; }
    bool Take() override {
        FUZZ_CHECK(reports.size() < stopAfter);  // a reader told to stop went on
        const int n = message.Length();
        FUZZ_CHECK(n >= 0 && n <= kMaxMessageUnits);
        FUZZ_CHECK(n < message.Capacity() && message.Data()[n] == 0);
        reports.push_back({true, std::string(reinterpret_cast<const char*>(message.Data()),
                                             static_cast<std::size_t>(n))});
        return reports.size() < stopAfter;
    }
    bool Fail(std::string_view reason) override {
        FUZZ_CHECK(reports.size() < stopAfter);
        FUZZ_CHECK(!reason.empty());
        reports.push_back({false, std::string(reason)});
        return reports.size() < stopAfter;
    }

    std::vector<Report> reports;

  private:
    std::size_t stopAfter;
    AutoBuff message;
};

// The lines of text as the line reader promises them: a line feed ends a line, and so does a
// carriage return when carriageReturnEnds (with a line feed right after it, both end one line);
// otherwise a carriage return before a line feed is not part of the line. A last line needs no
// line end.
inline std::vector<std::string> SplitLines(std::string_view text, bool carriageReturnEnds) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\n' && !(carriageReturnEnds && c == '\r')) continue;
        std::size_t end = i;
        if (c == '\n' && end > start && text[end - 1] == '\r') --end;
        lines.emplace_back(text.substr(start, end - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}
