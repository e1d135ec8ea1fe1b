// How `build` and `convert` write the messages they make: one line of hexadecimal digits each,
// bytes back to back, each after its length (the framings `check --stream` reads), or an xxd
// hexdump each, a blank line between, which `check --dump` reads back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "cli/report_output.h"

enum class OutputFraming { kHex, kRaw, kLen2, kLen4, kAscii4, kDump };

// The names --out takes, in the order of OutputFraming.
inline constexpr std::string_view kOutputFramingNames[] = {"hex",  "raw",    "len2",
                                                           "len4", "ascii4", "dump"};

// The framing of a name of kOutputFramingNames; hex for any other.
OutputFraming OutputFramingNamed(std::string_view name) noexcept;

class MessageOutput {
  public:
    MessageOutput(std::FILE* stream, OutputFraming framing);

    // False, with the reason, when the framing cannot carry a message of size units: "10000
    // units do not fit the 4 digits of ascii4".
    bool Fits(std::size_t size, std::string& reason) const;
    // Adds one message that fits. False once a write has failed.
    bool Write(std::span<const std::uint8_t> units);
    // Writes what is left; false when a write failed.
    bool Finish() { return out.Flush(); }
    bool Failed() const { return out.Failed(); }
    // The error number of the failed write.
    int Error() const { return out.Error(); }

  private:
    void Dump(std::span<const std::uint8_t> units);

    ReportOutput out;
    OutputFraming framing;
    bool first = true;
};
