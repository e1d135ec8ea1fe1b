#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "acquirer_corpus.h"
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

// The acquirer corpus in turn, one message an iteration; planned: with the value buffer, the
// MTI index and the field plan kept from one message to the next, as the checker does.
void CorpusLoop(benchmark::State& state, CorpusDialect dialect, bool planned = false) {
    auto def = std::make_unique<ProtocolDef>();
    DefineAcquirer(*def, dialect);
    const std::vector<std::string> corpus = AcquirerCorpus(*def);
    std::vector<std::unique_ptr<AutoBuff>> messages;
    double units = 0;
    for (const std::string& m : corpus) {
        messages.push_back(std::make_unique<AutoBuff>());
        Load(*messages.back(), m);
        units += static_cast<double>(m.size());
    }
    AutoBuff verdict;
    const FieldConsumer consumer = [](const DecodedField& field) {
        benchmark::DoNotOptimize(field.value->Data());
        return true;
    };
    const MtiIndex index(def->messages);
    const DecodePlan plan(*def);
    DecodeScratch scratch;
    scratch.index = &index;
    scratch.plan = &plan;
    std::size_t next = 0;
    for (auto _ : state) {
        const bool ok =
            planned ? DecodeMessage(*messages[next], *def, consumer, verdict, nullptr, scratch)
                    : DecodeMessage(*messages[next], *def, consumer, verdict);
        if (!ok) state.SkipWithError(verdict.Text());
        if (++next == messages.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) *
                                                      units / static_cast<double>(corpus.size())));
}

void CorpusText(benchmark::State& state) {
    CorpusLoop(state, CorpusDialect::kText);
}
void CorpusEbcdic(benchmark::State& state) {
    CorpusLoop(state, CorpusDialect::kEbcdic);
}

void CorpusTextPlanned(benchmark::State& state) {
    CorpusLoop(state, CorpusDialect::kText, true);
}
void CorpusEbcdicPlanned(benchmark::State& state) {
    CorpusLoop(state, CorpusDialect::kEbcdic, true);
}

}  // namespace

BENCHMARK(CorpusText);
BENCHMARK(CorpusEbcdic);
BENCHMARK(CorpusTextPlanned);
BENCHMARK(CorpusEbcdicPlanned);
BENCHMARK(TypicalText);
BENCHMARK(TypicalBinary);
BENCHMARK(EveryFieldText);
BENCHMARK(EveryFieldBinary);
