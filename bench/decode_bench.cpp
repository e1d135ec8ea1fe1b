#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "acquirer_corpus.h"
#include "decode/decoder.h"
#include "encode/encoder.h"
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

// The same corpus encoded again from its decoded fields, one message an iteration, with the
// scratch and the plan kept as a caller encoding many messages keeps them: beside the planned
// decode, the cost of writing what it read.
void EncodeLoop(benchmark::State& state, CorpusDialect dialect) {
    auto def = std::make_unique<ProtocolDef>();
    DefineAcquirer(*def, dialect);
    const std::vector<std::string> corpus = AcquirerCorpus(*def);
    std::vector<MessageDraft> drafts(corpus.size());
    double units = 0;
    for (std::size_t i = 0; i < corpus.size(); ++i) {
        AutoBuff message;
        Load(message, corpus[i]);
        MessageDraft& draft = drafts[i];
        const FieldConsumer consumer = [&draft](const DecodedField& field) {
            const auto* value = reinterpret_cast<const char*>(field.value->Data());
            draft.SetField(field.number, {value, static_cast<std::size_t>(field.value->Length())},
                           ValueForm::kUnits);
            return true;
        };
        AutoBuff verdict;
        MessageHeader header;
        DecodeMessage(message, *def, consumer, verdict, &header);
        draft.SetMti(header.mti);
        draft.AnnounceSecondaryBitmap(TestBit(header.bitmap, 1));
        units += static_cast<double>(corpus[i].size());
    }
    const DecodePlan plan(*def);
    EncodeScratch scratch;
    scratch.plan = &plan;
    std::vector<std::uint8_t> out;
    std::string error;
    std::size_t next = 0;
    for (auto _ : state) {
        out.clear();
        if (!EncodeMessage(drafts[next], *def, {}, out, error, scratch)) {
            state.SkipWithError(error.c_str());
        }
        benchmark::DoNotOptimize(out.data());
        if (++next == drafts.size()) next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) *
                                                      units / static_cast<double>(corpus.size())));
}

void CorpusTextEncode(benchmark::State& state) {
    EncodeLoop(state, CorpusDialect::kText);
}
void CorpusEbcdicEncode(benchmark::State& state) {
    EncodeLoop(state, CorpusDialect::kEbcdic);
}

}  // namespace

BENCHMARK(CorpusText);
BENCHMARK(CorpusEbcdic);
BENCHMARK(CorpusTextPlanned);
BENCHMARK(CorpusEbcdicPlanned);
BENCHMARK(CorpusTextEncode);
BENCHMARK(CorpusEbcdicEncode);
BENCHMARK(TypicalText);
BENCHMARK(TypicalBinary);
BENCHMARK(EveryFieldText);
BENCHMARK(EveryFieldBinary);
