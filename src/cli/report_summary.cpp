#include "cli/report_summary.h"

#include <algorithm>

#include "cli/report_rows.h"
#include "cli/report_text.h"

void SummaryReport::Write(const CheckedMessage& message) {
    if (message.error != nullptr) {
        key.assign("error: ").append(message.error);
    } else if (message.FailedStrictly()) {
        key.assign("strict: ").append(NameOf(message.strict->front().kind));
    } else if (message.verdict.empty()) {
        key.assign("no verdict");
    } else if (message.verdict == lastVerdict) {
        return Count(key);  // nearly every message: the verdict of the one before
    } else {
        lastVerdict.assign(message.verdict);
        key.clear();
        AppendVerdict(key, message.verdict);
        return Count(key);
    }
    lastVerdict.clear();
    Count(key);
}

void SummaryReport::Count(const std::string& text, long messages) {
    if (last < tallies.size() && tallies[last].text == text) {
        tallies[last].count += messages;
        return;
    }
    const auto found = index.find(text);
    if (found != index.end()) {
        last = found->second;
    } else if (tallies.size() < limit) {
        last = tallies.size();
        index.emplace(text, last);
        tallies.push_back({text, 0});
    } else {
        others += messages;
        return;
    }
    tallies[last].count += messages;
}

void SummaryReport::TakeTallies(std::vector<VerdictTally>& into) {
    into.clear();
    into.swap(tallies);
    index.clear();
    last = 0;
}

void SummaryReport::AddTallies(const std::vector<VerdictTally>& more) {
    // Replayed first seen first, each verdict takes the place in the order, or falls among
    // the others, that it would have had if these messages had been counted here.
    for (const VerdictTally& tally : more)
        Count(tally.text, tally.count);
}

void SummaryReport::Finish(const CheckCounts& counts) {
    std::vector<const Tally*> order;
    order.reserve(tallies.size());
    for (const Tally& tally : tallies)
        order.push_back(&tally);
    std::stable_sort(order.begin(), order.end(),
                     [](const Tally* a, const Tally* b) { return a->count > b->count; });
    for (const Tally* tally : order)
        out.Line(tally->count, "  ", tally->text);
    if (others > 0) out.Line(others, "  other verdicts");
    WriteCounts(out, counts);
}
