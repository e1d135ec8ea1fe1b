#include "cli/report_summary.h"

#include <algorithm>

#include "cli/report_rows.h"

void SummaryReport::Write(const CheckedMessage& message) {
    if (message.error != nullptr) {
        key.assign("error: ").append(message.error);
        Count(key);
    } else {
        Count(message.verdict.empty() ? std::string_view("no verdict") : message.verdict);
    }
}

void SummaryReport::Count(std::string_view text) {
    if (last < tallies.size() && tallies[last].text == text) {
        ++tallies[last].count;
        return;
    }
    std::string lookup(text);
    auto [it, added] = index.try_emplace(lookup, tallies.size());
    if (added) tallies.push_back({std::move(lookup), 0});
    last = it->second;
    ++tallies[last].count;
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
    WriteCounts(out, counts);
}
