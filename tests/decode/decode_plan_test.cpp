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
        row.append(reinterpret_cast<const char*>(value.Data()),
                   static_cast<std::size_t>(value.Length()) + 1);  // and the NUL
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

// A bitmap in the definition's form, so that random messages reach their fields.
std::string BitmapUnits(const ProtocolDef& def, const FieldMask& mask) {
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    const auto digit = [ebcdic](int v) {
        return static_cast<char>(v < 10 ? (ebcdic ? 0xF0 : '0') + v
                                        : (ebcdic ? 0xC1 : 'A') + v - 10);
    };
    std::string units;
    for (int i = 0; i < (TestBit(mask, 1) ? 16 : 8); ++i) {
        if (def.bmpEnc == Encoding::HEX) {
            units += {digit(mask[i] >> 4), digit(mask[i] & 15)};
        } else if (def.bmpEnc == Encoding::CHAR) {
            for (int b = 7; b >= 0; --b)
                units.push_back(digit(mask[i] >> b & 1));
        } else {
            units.push_back(static_cast<char>(mask[i]));
        }
    }
    return units;
}

// Definitions drawn at random over every encoding, type, size and prefix size the tables
// allow, and some they do not (prefixes of 6 units, negative sizes), with messages of a few
// fields over units that mostly look like small digits, so that lengths read and values
// convert often enough to reach every rule.
TEST(DecodePlanTest, EveryEncodingDecodesAsWithoutPlan) {
    std::mt19937 random(8583);
    constexpr std::int16_t kPrefixSizes[] = {0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, -1};
    constexpr std::int16_t kSizes[] = {1, 1, 2, 3, 4, 4, 6, 8, 8, 12, 19, 37, 99, 999, 8192, 0, -3};
    const auto encoding = [&random] { return static_cast<Encoding>(random() % kEncodingCount); };
    const auto unit = [&random](int mode) -> char {
        const unsigned small = random() % 4 == 0 ? random() % 10 : random() % 2;
        switch (mode) {
            case 0:
                return static_cast<char>('0' + small);
            case 1:
                return static_cast<char>(0xF0 + small);  // EBCDIC digits
            case 2:
                return static_cast<char>(small);
            case 3:
                return "0123456789ABCDEF"[random() % 16];
            default:
                return static_cast<char>(random());
        }
    };
    Tally all;
    for (int round = 0; round < 1000; ++round) {
        auto def = std::make_unique<ProtocolDef>();
        def->mtiEnc = encoding();
        def->bmpEnc = encoding();
        def->lenEnc = encoding();
        def->numEnc = encoding();
        def->chrEnc = random() % 2 ? Encoding::EBCDIC : encoding();
        def->binEnc = encoding();
        for (int n = 2; n <= kLastField; ++n) {
            FldDef& field = def->fields[n];
            field.type = static_cast<FieldType>(random() % kFieldTypeCount);
            field.size = kSizes[random() % std::size(kSizes)];
            field.sizeLen = kPrefixSizes[random() % std::size(kPrefixSizes)];
        }
        auto msg = std::make_unique<MsgDef>();
        InitMsgDef(*msg, *def);
        std::memcpy(msg->mti, "0100", 5);
        for (int n = 1; n <= kLastField; ++n)
            SetBit(random() % 4 == 0 ? msg->mandatory : msg->optional, n);
        def->messages.PutIfEmpty(0, msg);
        std::vector<std::string> messages;
        for (int k = 0; k < 20; ++k) {
            std::string units = def->mtiEnc == Encoding::PBCD     ? std::string("\x01\x00", 2)
                                : def->chrEnc == Encoding::EBCDIC ? "\xF0\xF1\xF0\xF0"
                                                                  : "0100";
            FieldMask mask{};
            for (int f = random() % 6; f >= 0; --f)
                SetBit(mask, 2 + static_cast<int>(random() % 127));
            if (random() % 3 == 0) SetBit(mask, 1);
            units += BitmapUnits(*def, mask);
            const int mode = static_cast<int>(random() % 5);
            for (std::size_t i = random() % 600; i > 0; --i)
                units.push_back(unit(mode));
            messages.push_back(units);
        }
        const Tally tally = ExpectSameDecodes(messages, *def, round);
        all.passed += tally.passed;
        all.fields += tally.fields;
        if (HasFailure()) break;
    }
    EXPECT_GT(all.fields, 3000);
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
