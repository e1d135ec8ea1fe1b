#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "diagnose/diagnoser.h"
#include "typical_message.h"

namespace {

void Load(AutoBuff& buffer, const std::string& units) {
    buffer.Reserve(static_cast<int>(units.size()) + 1, false);
    std::memcpy(buffer.Data(), units.data(), units.size());
    buffer.SetLength(static_cast<int>(units.size()));
    buffer.Terminate();
}

enum class Fault { kTpdu, kHexBitmap, kCutShort };

// The typical request with one fault: a 5-unit TPDU in front (found by the header tier), a
// bitmap sent as hex text to a binary-bitmap definition (the first tier), or its last three
// units lost (no reading repairs it: every tier is searched).
void SearchLoop(benchmark::State& state, Dialect dialect, Fault fault, bool whole,
                bool everyField = false) {
    auto def = std::make_unique<ProtocolDef>();
    DefineDialect(*def, dialect);
    std::string units = (everyField ? EveryField(*def) : TypicalRequest(*def)).units;
    if (fault == Fault::kTpdu) units.insert(0, "\x60\x00\x03\x00\x00", 5);
    if (fault == Fault::kCutShort) units.resize(units.size() - 3);
    if (fault == Fault::kHexBitmap) def->bmpEnc = Encoding::NONE;
    AutoBuff message;
    Load(message, units);
    Diagnoser diagnoser(*def);
    std::vector<Reading> readings;
    Diagnosis diagnosis;
    for (auto _ : state) {
        if (whole) {
            diagnoser.Diagnose(message, 0, diagnosis);
            benchmark::DoNotOptimize(diagnosis.readings.data());
        } else {
            diagnoser.Search(message, 0, readings);
            benchmark::DoNotOptimize(readings.data());
        }
    }
    const std::vector<Reading>& found = whole ? diagnosis.readings : readings;
    const bool expectPass = fault != Fault::kCutShort;
    if (expectPass && (found.empty() || !found.front().ok))
        state.SkipWithError("no passing reading");
    state.SetItemsProcessed(state.iterations());
    state.counters["units"] = message.Length();
    state.counters["readings"] = static_cast<double>(found.size());
}

void SearchTpduBinary(benchmark::State& state) {
    SearchLoop(state, Dialect::kBinary, Fault::kTpdu, false);
}
void SearchTpduText(benchmark::State& state) {
    SearchLoop(state, Dialect::kText, Fault::kTpdu, false);
}
void SearchHexBitmapText(benchmark::State& state) {
    SearchLoop(state, Dialect::kText, Fault::kHexBitmap, false);
}
void SearchCutShortText(benchmark::State& state) {
    SearchLoop(state, Dialect::kText, Fault::kCutShort, false);
}
// Every field 2 to 128, about 1.2 KB, cut short: every tier is searched.
void SearchCutShortEveryFieldBinary(benchmark::State& state) {
    SearchLoop(state, Dialect::kBinary, Fault::kCutShort, false, true);
}
void DiagnoseTpduText(benchmark::State& state) {
    SearchLoop(state, Dialect::kText, Fault::kTpdu, true);
}

}  // namespace

BENCHMARK(SearchTpduBinary);
BENCHMARK(SearchTpduText);
BENCHMARK(SearchHexBitmapText);
BENCHMARK(SearchCutShortText);
BENCHMARK(SearchCutShortEveryFieldBinary);
BENCHMARK(DiagnoseTpduText);
