#include "decode/decode_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "acquirer_corpus.h"
#include "decode/decoder.h"
#include "model/pro_file.h"
#include "random_dialect.h"
#include "support/hex_line.h"
#include "typical_message.h"

namespace {

// Everything a decode shows: its result, the header, every field handed over, and the value
// buffer it leaves.
struct Outcome {
    bool ok = false;
    std::string verdict;
    std::string mti;
    FieldMask bitmap{};
    std::vector<std::string> fields;  // number, offset, consumed, length and value bytes
    int valueLength = 0;

    bool operator==(const Outcome&) const = default;
};

void Load(AutoBuff& buffer, const std::string& units) {
    ASSERT_TRUE(buffer.Reserve(static_cast<int>(units.size()) + 1, false));
    std::memcpy(buffer.Data(), units.data(), units.size());
    buffer.SetLength(static_cast<int>(units.size()));
    buffer.Terminate();
}

// refuseAt: the consumer refuses the field of that index (-1: none).
Outcome Decode(const std::string& units, const ProtocolDef& def, DecodeScratch& scratch,
               int refuseAt) {
    AutoBuff message;
    Load(message, units);
    Outcome out;
    const FieldConsumer consumer = [&out, refuseAt](const DecodedField& field) {
        const AutoBuff& value = *field.value;
        std::string row = std::to_string(field.number) + ' ' + std::to_string(field.offset) + ' ' +
                          std::to_string(field.consumed) + ' ' + std::to_string(value.Length()) +
                          ' ';
        // An empty value may come without storage; the two decodes must agree on that too.
        if (value.Data() == nullptr) {
            row += "(no storage)";
        } else {
            row.append(reinterpret_cast<const char*>(value.Data()),
                       static_cast<std::size_t>(value.Length()) + 1);  // and the NUL
        }
        out.fields.push_back(row);
        return static_cast<int>(out.fields.size()) - 1 != refuseAt;
    };
    AutoBuff verdict;
    MessageHeader header;
    out.ok = DecodeMessage(message, def, consumer, verdict, &header, scratch);
    out.verdict.assign(verdict.Text(), static_cast<std::size_t>(verdict.Length()));
    out.mti = header.mti;
    out.bitmap = header.bitmap;
    out.valueLength = scratch.value.Length();
    return out;
}

struct Tally {
    int passed = 0;
    int fields = 0;
};

// Decodes without a plan and with one, and tells how many messages passed and how many fields
// were handed over.
Tally ExpectSameDecodes(const std::vector<std::string>& messages, const ProtocolDef& def,
                        std::uint32_t seed = 1) {
    const DecodePlan plan(def);
    const MtiIndex index(def.messages);
    DecodeScratch plain;
    DecodeScratch planned;
    planned.plan = &plan;
    planned.index = &index;
    std::mt19937 random(seed);
    Tally tally;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const int refuseAt = random() % 8 == 0 ? static_cast<int>(random() % 30) : -1;
        const Outcome expected = Decode(messages[i], def, plain, refuseAt);
        const Outcome actual = Decode(messages[i], def, planned, refuseAt);
        EXPECT_EQ(actual, expected) << "message " << i << ": " << expected.verdict;
        if (actual != expected) break;
        tally.passed += expected.ok ? 1 : 0;
        tally.fields += static_cast<int>(expected.fields.size());
    }
    return tally;
}

// Each message cut short at a few points, with a few units overwritten, and with bits of its
// bitmap area flipped.
std::vector<std::string> Damaged(const std::vector<std::string>& messages, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::string> out;
    for (const std::string& m : messages) {
        if (m.empty()) continue;
        for (int k = 0; k < 3; ++k)
            out.push_back(m.substr(0, random() % m.size()));
        std::string units = m;
        for (int k = 0; k < 3; ++k)
            units[random() % units.size()] = static_cast<char>(random());
        out.push_back(units);
        units = m;
        const std::size_t head = std::min<std::size_t>(units.size(), 40);
        units[random() % head] ^= static_cast<char>(1u << (random() % 8));
        out.push_back(units);
    }
    return out;
}

struct CorpusCase {
    const char* name;
    CorpusDialect dialect;
};

constexpr CorpusCase kCorpora[] = {{"text", CorpusDialect::kText},
                                   {"ebcdic", CorpusDialect::kEbcdic}};

TEST(DecodePlanTest, AcquirerCorpusDecodesAsWithoutPlan) {
    for (const CorpusCase& c : kCorpora) {
        SCOPED_TRACE(c.name);
        auto def = std::make_unique<ProtocolDef>();
        DefineAcquirer(*def, c.dialect);
        const std::vector<std::string> corpus = AcquirerCorpus(*def);
        EXPECT_GT(ExpectSameDecodes(corpus, *def).passed, 200);
        ExpectSameDecodes(Damaged(corpus, 7), *def, 2);
    }
}

TEST(DecodePlanTest, TypicalMessagesDecodeAsWithoutPlan) {
    for (const Dialect dialect : {Dialect::kText, Dialect::kBinary}) {
        auto def = std::make_unique<ProtocolDef>();
        DefineDialect(*def, dialect);
        const std::vector<std::string> messages = {TypicalRequest(*def).units,
                                                   EveryField(*def).units};
        EXPECT_EQ(ExpectSameDecodes(messages, *def).passed, 2);
        ExpectSameDecodes(Damaged(messages, 11), *def, 3);
    }
}

std::vector<std::string> HexFile(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> messages;
    AutoBuff message;
    for (std::string line; std::getline(in, line);) {
        line.push_back('\0');  // the decoder's writable end
        if (DecodeHexLine(line.data(), line.size() - 1, message, kMaxMessageUnits) !=
            HexLineResult::kMessage) {
            continue;
        }
        messages.emplace_back(reinterpret_cast<const char*>(message.Data()),
                              static_cast<std::size_t>(message.Length()));
    }
    return messages;
}

TEST(DecodePlanTest, ExampleMessagesDecodeAsWithoutPlan) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    ASSERT_TRUE(LoadProtocolFile(ISO_EXAMPLES_DIR "/demo.pro", *def, error)) << error;
    // The diagnose examples all fail under the demo's definition, by design.
    const std::pair<const char*, int> files[] = {{"/demo-messages.hex", 5},
                                                 {"/diagnose-messages.hex", 0}};
    for (const auto& [file, passing] : files) {
        SCOPED_TRACE(file);
        const std::vector<std::string> messages = HexFile(std::string(ISO_EXAMPLES_DIR) + file);
        ASSERT_GE(messages.size(), 3u);
        EXPECT_EQ(ExpectSameDecodes(messages, *def).passed, passing);
        ExpectSameDecodes(Damaged(messages, 5), *def, 4);
    }
}

// A thousand random dialects, each with 20 random messages decoded with and without a plan;
// addSettings gives each dialect field settings as well.
Tally DecodeRandomDialects(std::uint32_t seed, void (*addSettings)(std::mt19937&, ProtocolDef&)) {
    std::mt19937 random(seed);
    Tally all;
    for (int round = 0; round < 1000; ++round) {
        auto def = std::make_unique<ProtocolDef>();
        RandomDialect(random, *def);
        if (addSettings != nullptr) addSettings(random, *def);
        const std::vector<std::string> messages = RandomMessages(random, *def, 20);
        const Tally tally = ExpectSameDecodes(messages, *def, round);
        all.passed += tally.passed;
        all.fields += tally.fields;
        if (testing::Test::HasFailure()) break;
    }
    return all;
}

TEST(DecodePlanTest, EveryEncodingDecodesAsWithoutPlan) {
    EXPECT_GT(DecodeRandomDialects(8583, nullptr).fields, 3000);
}

// Settings of every kind and value, sensible or not, on random fields, and empty fields now
// and then: the fields with settings take the general routine, the others their planned one,
// and the whole decodes as without a plan.
void RandomSettings(std::mt19937& random, ProtocolDef& def) {
    const auto encoding = [&random] { return static_cast<Encoding>(random() % kEncodingCount); };
    def.options.emptyFields = random() % 2 == 0;
    for (int n = 2; n <= kLastField; ++n) {
        if (random() % 3 != 0) continue;
        FieldSettings& s = def.settings[n];
        if (random() % 3 == 0) s.lenEnc = encoding();
        if (random() % 3 == 0) s.numEnc = encoding();
        if (random() % 3 == 0) s.binEnc = encoding();
        if (random() % 3 == 0) s.charset = random() % 2 ? Encoding::EBCDIC : Encoding::ASCII;
        if (random() % 3 == 0) s.padSide = random() % 2 ? PadSide::kLeft : PadSide::kRight;
        if (random() % 3 == 0) s.padNibble = random() % 2 ? 0 : 0xF;
        s.prefixNibbles = random() % 4 == 0;
        s.prefixLeftAligned = random() % 4 == 0;
        s.prefixNumber = random() % 4 == 0;
        s.sixUnitPrefix = random() % 6 == 0;
        if (s.sixUnitPrefix && def.fields[n].sizeLen > 0) def.fields[n].sizeLen = 6;
    }
}

TEST(DecodePlanTest, FieldSettingsDecodeAsWithoutPlan) {
    EXPECT_GT(DecodeRandomDialects(35, RandomSettings).fields, 3000);
}

TEST(DecodePlanTest, DialectExampleDecodesAsWithoutPlan) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    ASSERT_TRUE(LoadProtocolFile(ISO_EXAMPLES_DIR "/dialect.pro", *def, error)) << error;
    const std::vector<std::string> messages =
        HexFile(std::string(ISO_EXAMPLES_DIR) + "/dialect-messages.hex");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(ExpectSameDecodes(messages, *def).passed, 2);
    ExpectSameDecodes(Damaged(messages, 9), *def, 6);
}

TEST(DecodePlanTest, PlanOfAnotherDefinitionIsNotUsed) {
    auto text = std::make_unique<ProtocolDef>();
    auto ebcdic = std::make_unique<ProtocolDef>();
    DefineAcquirer(*text, CorpusDialect::kText);
    DefineAcquirer(*ebcdic, CorpusDialect::kEbcdic);
    const DecodePlan plan(*text);
    DecodeScratch plain;
    DecodeScratch wrong;
    wrong.plan = &plan;
    for (const std::string& units : AcquirerCorpus(*ebcdic, 20)) {
        const Outcome expected = Decode(units, *ebcdic, plain, -1);
        EXPECT_TRUE(expected.ok) << expected.verdict;
        EXPECT_EQ(Decode(units, *ebcdic, wrong, -1), expected);
    }
}

}  // namespace
