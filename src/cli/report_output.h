// The text of a report, gathered in blocks and written to a stream when a block is full.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "support/text.h"  // AssignHex, which the report writers use

class ReportOutput {
  public:
    // With no stream the text is kept, however long, for its owner to take from Text().
    explicit ReportOutput(std::FILE* stream);

    std::string& Text() { return text; }

    template <typename... Parts>
    void Line(const Parts&... parts) {
        (Append(parts), ...);
        text.push_back('\n');
    }
    void Append(std::string_view part) { text.append(part); }
    void Append(const char* part) { text.append(part); }
    void Append(long number);

    // Both return false once a write has failed; the text is dropped then.
    bool FlushIfFull() { return text.size() < kFlushAt ? !failed : Flush(); }
    bool Flush();
    bool Failed() const { return failed; }
    // The error number of the failed write (0 when none failed).
    int Error() const { return error; }

  private:
    // Large writes cost the kernel less for each byte: about a quarter of the rows' CPU time
    // went to writes of 64 KB, about a tenth to writes of 1 MB.
    static constexpr std::size_t kFlushAt = 1 << 20;

    std::FILE* stream;
    std::string text;
    bool failed = false;
    int error = 0;
};
