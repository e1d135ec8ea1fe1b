// The summary report of `check`: how many messages had each verdict, most frequent first,
// the first 1000 distinct verdicts, then all others together, then the counts.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"

class SummaryReport : public ReportWriter {
  public:
    explicit SummaryReport(ReportOutput& output) : out(output) {}

    bool WantsFields() const override { return false; }
    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts& counts) override;

  private:
    struct Tally {
        std::string text;
        long count = 0;
    };

    // Memory stays flat on any input: verdicts past the first kMaxTallies distinct ones are
    // counted together.
    static constexpr std::size_t kMaxTallies = 1000;

    void Count(const std::string& text);

    ReportOutput& out;
    std::vector<Tally> tallies;
    std::unordered_map<std::string, std::size_t> index;
    std::size_t last = 0;
    std::string key;
    long others = 0;
    std::string lastVerdict;  // as the decoder gave it, of the message before
};
