// The summary report of `check`: how many messages had each verdict, most frequent first,
// the first 1000 distinct verdicts, then all others together, then the counts.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "cli/report_output.h"
#include "cli/report_writer.h"

// How many messages had one verdict.
struct VerdictTally {
    std::string text;
    long count = 0;
};

class SummaryReport : public ReportWriter {
  public:
    // Memory stays flat on any input: verdicts past the first maxTallies distinct ones are
    // counted together.
    static constexpr std::size_t kMaxTallies = 1000;

    explicit SummaryReport(ReportOutput& output, std::size_t maxTallies = kMaxTallies)
        : out(output), limit(maxTallies) {}

    bool WantsFields() const override { return false; }
    void Write(const CheckedMessage& message) override;
    void Finish(const CheckCounts& counts) override;

    // Moves the tallies so far, first seen first, to into (which it empties first), and
    // counts from nothing again; for a report that counts a block of messages.
    void TakeTallies(std::vector<VerdictTally>& into);
    // Counts tallies taken from another report as if their messages came next.
    void AddTallies(const std::vector<VerdictTally>& more);

  private:
    using Tally = VerdictTally;

    void Count(const std::string& text, long messages = 1);

    ReportOutput& out;
    std::size_t limit;
    std::vector<Tally> tallies;
    std::unordered_map<std::string, std::size_t> index;
    std::size_t last = 0;
    std::string key;
    long others = 0;
    std::string lastVerdict;  // as the decoder gave it, of the message before
};
