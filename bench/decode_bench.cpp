#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "decode/decoder.h"
#include "typical_message.h"

namespace {

void Load(AutoBuff& buffer, const std::string& units) {
    buffer.Reserve(static_cast<int>(units.size()) + 1, false);
    std::memcpy(buffer.Data(), units.data(), units.size());
    buffer.SetLength(static_cast<int>(units.size()));
    buffer.Terminate();
}

void DecodeLoop(benchmark::State& state, Dialect dialect, bool everyField) {
    auto def = std::make_unique<ProtocolDef>();
    DefineDialect(*def, dialect);
    AutoBuff message;
    Load(message, (everyField ? EveryField(*def) : TypicalRequest(*def)).units);
    AutoBuff verdict;
    int fields = 0;
    const FieldConsumer consumer = [&fields](const DecodedField& field) {
        benchmark::DoNotOptimize(field.value->Data());
        ++fields;
        return true;
    };
    for (auto _ : state) {
        const bool ok = DecodeMessage(message, *def, consumer, verdict);
        if (!ok) state.SkipWithError(verdict.Text());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fields"] =
        static_cast<double>(fields) / static_cast<double>(state.iterations());
    state.counters["units"] = message.Length();
}

void TypicalText(benchmark::State& state) {
    DecodeLoop(state, Dialect::kText, false);
}
void TypicalBinary(benchmark::State& state) {
    DecodeLoop(state, Dialect::kBinary, false);
}
void EveryFieldText(benchmark::State& state) {
    DecodeLoop(state, Dialect::kText, true);
}
void EveryFieldBinary(benchmark::State& state) {
    DecodeLoop(state, Dialect::kBinary, true);
}

}  // namespace

BENCHMARK(TypicalText);
BENCHMARK(TypicalBinary);
BENCHMARK(EveryFieldText);
BENCHMARK(EveryFieldBinary);
