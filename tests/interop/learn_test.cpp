// Message definitions learned from traffic: the masks each MTI's messages teach, which
// messages teach nothing, and how the proposals go into a definition.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "decode/decoder.h"
#include "input/input_lines.h"
#include "interop/learn_messages.h"
#include "model/pro_file.h"
#include "model/pro_text_io.h"
#include "support/hex_line.h"

namespace {

FieldMask MaskOf(const std::vector<int>& fields) {
    FieldMask mask = {};
    for (int n : fields)
        SetBit(mask, n);
    return mask;
}

std::vector<int> FieldsOf(const FieldMask& mask) {
    std::vector<int> fields;
    for (int n = 1; n <= kLastField; ++n) {
        if (TestBit(mask, n)) fields.push_back(n);
    }
    return fields;
}

struct TallyCase {
    const char* name;
    std::vector<std::vector<int>> messages;
    std::vector<int> mandatory;
    std::vector<int> optional;
};

const TallyCase kTallyCases[] = {
    {"one message: every field mandatory", {{2, 3, 4}}, {2, 3, 4}, {}},
    {"the same fields twice", {{2, 3}, {2, 3}}, {2, 3}, {}},
    {"chip data in some",
     {{2, 3, 4, 11, 41}, {2, 3, 4, 11, 41, 55}, {2, 3, 4, 11, 41, 55}},
     {2, 3, 4, 11, 41},
     {55}},
    {"a field the later message drops", {{2, 3, 4}, {2, 3}}, {2, 3}, {4}},
    {"a field only the last message brings", {{2, 3}, {2, 3}, {2, 3, 4}}, {2, 3}, {4}},
    {"no field in common", {{2}, {3}}, {}, {2, 3}},
    {"a first message with no field", {{}, {2}}, {}, {2}},
    {"a second bitmap in some", {{1, 2, 128}, {2}}, {2}, {1, 128}},
    {"a second bitmap in all", {{1, 2, 65}, {1, 2, 128}}, {1, 2}, {65, 128}},
    {"the last field", {{64, 128}, {64, 128}}, {64, 128}, {}},
};

TEST(FieldTally, MandatoryIsInEveryMessageOptionalInSomeButNotAll) {
    for (const TallyCase& c : kTallyCases) {
        FieldTally tally;
        for (const std::vector<int>& fields : c.messages)
            tally.Add(MaskOf(fields));
        EXPECT_EQ(tally.Messages(), static_cast<long>(c.messages.size())) << c.name;
        EXPECT_EQ(FieldsOf(tally.Mandatory()), c.mandatory) << c.name;
        EXPECT_EQ(FieldsOf(tally.Optional()), c.optional) << c.name;
    }
}

TEST(FieldTally, EveryMessageAddedPassesTheLearnedMasks) {
    for (const TallyCase& c : kTallyCases) {
        FieldTally tally;
        for (const std::vector<int>& fields : c.messages)
            tally.Add(MaskOf(fields));
        for (const std::vector<int>& fields : c.messages) {
            EXPECT_EQ(CheckFieldMasks(MaskOf(fields), tally.Mandatory(), tally.Optional()), 0)
                << c.name;
        }
    }
}

std::unique_ptr<ProtocolDef> Example(const char* name) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    std::string error;
    EXPECT_TRUE(LoadProtocolFile(std::string(ISO_EXAMPLES_DIR "/") + name, *def, error)) << error;
    return def;
}

std::vector<std::string> ExampleLines(const char* name) {
    std::ifstream in(std::string(ISO_EXAMPLES_DIR "/") + name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Feeds the lines to the learner through the reader of hexadecimal lines, as `learn --hex`.
void LearnHex(MessageLearner& learner, const std::vector<std::string>& lines) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    for (const std::string& line : lines)
        std::fprintf(stream, "%s\n", line.c_str());
    std::rewind(stream);
    EXPECT_EQ(ReadHexLines(learner, stream), 0);
    std::fclose(stream);
}

// Lines of examples/demo-messages.hex.
const std::string kPasses =
    "3032303070200000008000001041111111111111110000000000000010000001235445524D30303031";
const std::string kWithChipData =
    "3032303070200000008002001041111111111111110000000000000010000001235445524D30303031059F0206"
    "0000";
const std::string kResponse =
    "3032313070200000008000000F03782822463100050000000000000010000001235445524D30303031";
const std::string kUndefinedField7 =
    "3032303072200000008000001041111111111111110000000000000010000001235445524D30303031";

struct DecodeCase {
    const char* name;
    std::string hex;
    const char* mti;  // where the message is counted; empty: without an MTI
    bool decoded;
};

const DecodeCase kDecodeCases[] = {
    {"passes", kPasses, "0200", true},
    {"fails the masks (no field 11)",
     "3032303070000000008000001041111111111111110000000000000010005445524D30303031", "0200", true},
    {"MTI the definition does not know",
     "3034303070200000008000001041111111111111110000000000000010000001235445524D30303031", "0400",
     true},
    {"second bitmap of no field",
     "30323030F02000000080000000000000000000001041111111111111110000000000000010000001235445524D"
     "30303031",
     "0200", true},
    {"units after the last field", kPasses + "FFFF", "0200", true},
    {"bit of a field with no definition", kUndefinedField7, "0200", false},
    {"cut short in the last field",
     "3032303070200000008000001041111111111111110000000000000010000001235445524D30", "0200", false},
    {"a field that does not convert",
     "3032303070200000008000001041111111111111110A00000000000010000001235445524D30303031", "0200",
     false},
    {"bitmap cut short", "3032303070200000", "0200", false},
    {"second bitmap cut short", "30323030800000000000000000000000", "0200", false},
    {"only an MTI", "30323030", "", false},
    {"not hexadecimal", kPasses + "Z0", "", false},
    {"an MTI no MSG line holds", "30323B30" + kPasses.substr(8), "", false},
};

TEST(MessageLearner, CountsEachMessageUnderItsMtiAndLeavesOutThoseThatFailedToDecode) {
    const auto def = Example("demo.pro");
    for (const DecodeCase& c : kDecodeCases) {
        MessageLearner learner(*def);
        LearnHex(learner, {c.hex});
        EXPECT_EQ(learner.Read(), 1) << c.name;
        EXPECT_EQ(learner.Failed(), c.decoded ? 0 : 1) << c.name;
        if (c.mti[0] == '\0') {
            EXPECT_TRUE(learner.Learned().empty()) << c.name;
            EXPECT_EQ(learner.FailedWithoutMti(), 1) << c.name;
            continue;
        }
        EXPECT_EQ(learner.FailedWithoutMti(), 0) << c.name;
        ASSERT_EQ(learner.Learned().size(), 1u) << c.name;
        const LearnedMti& learned = learner.Learned()[0];
        EXPECT_STREQ(learned.mti, c.mti) << c.name;
        EXPECT_EQ(learned.read, 1) << c.name;
        EXPECT_EQ(learned.failed, c.decoded ? 0 : 1) << c.name;
        EXPECT_EQ(learned.fields.Messages(), c.decoded ? 1 : 0) << c.name;
    }
}

// OPTION= BITMAP; FIXED128: a message is whole only with both halves of its bitmap.
TEST(MessageLearner, AFixedBitmapTeachesOnlyMessagesThatCarryBothHalves) {
    struct Case {
        const char* name;
        std::string hex;
        bool fixed;
        bool decoded;
    };
    const std::string noFields =
        "30323030"
        "0000000000000000";
    const Case cases[] = {
        {"one half, bit 1 clear", noFields, false, true},
        {"one half of a fixed bitmap", noFields, true, false},
        {"both halves of a fixed bitmap",
         "30323030"
         "7020000000800000"
         "0000000000000000" +
             kPasses.substr(24),
         true, true},
    };
    for (const Case& c : cases) {
        auto def = Example("demo.pro");
        def->options.fixedBitmap = c.fixed;
        MessageLearner learner(*def);
        LearnHex(learner, {c.hex});
        EXPECT_EQ(learner.Failed(), c.decoded ? 0 : 1) << c.name;
        ASSERT_EQ(learner.Learned().size(), 1u) << c.name;
        EXPECT_EQ(learner.Learned()[0].fields.Messages(), c.decoded ? 1 : 0) << c.name;
    }
}

TEST(MessageLearner, AMessageThatFailedToDecodeTeachesNoField) {
    const auto def = Example("demo.pro");
    MessageLearner learner(*def);
    LearnHex(learner, {kPasses, kUndefinedField7});
    ASSERT_EQ(learner.Learned().size(), 1u);
    const LearnedMti& learned = learner.Learned()[0];
    EXPECT_EQ(learned.read, 2);
    EXPECT_EQ(learned.failed, 1);
    EXPECT_EQ(FieldsOf(learned.fields.Mandatory()), (std::vector<int>{2, 3, 4, 11, 41}));
    EXPECT_EQ(FieldsOf(learned.fields.Optional()), std::vector<int>{});
}

TEST(MessageLearner, MtisComeInTheOrderTheyFirstAppeared) {
    const auto def = Example("demo.pro");
    MessageLearner learner(*def);
    LearnHex(learner, {kResponse, kPasses, kResponse, kWithChipData});
    ASSERT_EQ(learner.Learned().size(), 2u);
    EXPECT_STREQ(learner.Learned()[0].mti, "0210");
    EXPECT_EQ(learner.Learned()[0].read, 2);
    EXPECT_STREQ(learner.Learned()[1].mti, "0200");
    EXPECT_EQ(learner.Learned()[1].read, 2);
}

TEST(MessageLearner, HeaderIsSetAsideBeforeDecoding) {
    const auto def = Example("demo.pro");
    MessageLearner learner(*def);
    learner.SetHeader(5);
    LearnHex(learner, {"6000030000" + kPasses, "60000300"});
    EXPECT_EQ(learner.Read(), 2);
    EXPECT_EQ(learner.FailedWithoutMti(), 1);  // shorter than its header
    ASSERT_EQ(learner.Learned().size(), 1u);
    EXPECT_EQ(learner.Learned()[0].failed, 0);
    EXPECT_EQ(FieldsOf(learner.Learned()[0].fields.Mandatory()),
              (std::vector<int>{2, 3, 4, 11, 41}));
}

TEST(ProposedMessage, KeepsTheDefinitionsTitleOrSaysWhatItWasLearnedFrom) {
    const auto def = Example("demo.pro");  // 0200 "Financial request", 0210 with no title
    MessageLearner learner(*def);
    LearnHex(
        learner,
        {kPasses, kResponse, kResponse,
         "3034303070200000008000001041111111111111110000000000000010000001235445524D30303031"});
    ASSERT_EQ(learner.Learned().size(), 3u);
    EXPECT_STREQ(ProposedMessage(learner.Learned()[0], *def).title, "Financial request");
    EXPECT_STREQ(ProposedMessage(learner.Learned()[1], *def).title, "Learned from 2 messages");
    EXPECT_STREQ(ProposedMessage(learner.Learned()[2], *def).title, "Learned from 1 message");
}

TEST(ProposedMessage, IsWrittenAsTheMasksOfTheDemoTraffic) {
    const auto def = Example("demo.pro");
    MessageLearner learner(*def);
    LearnHex(learner, {kPasses, kWithChipData, kResponse});
    char value[kMsgValueMax];
    ASSERT_TRUE(FormatMsgValue(value, sizeof value, ProposedMessage(learner.Learned()[0], *def)));
    EXPECT_STREQ(value,
                 "0200;70200000008000000000000000000000;00000000000002000000000000000000;"
                 "Financial request");
}

// The definition's text without its MSG lines.
std::string WithoutMessages(const std::string& text) {
    std::string kept;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.compare(start, 4, "MSG=") != 0) kept.append(text, start, end - start);
        start = end;
    }
    return kept;
}

TEST(AddLearnedMessages, ReplacesTheSameMtiInItsSlotAddsNewOnesAndKeepsTheRest) {
    const auto def = Example("demo.pro");
    const std::string before = WrittenProText(*def);
    MessageLearner learner(*def);
    LearnHex(
        learner,
        {"3034303070200000008000001041111111111111110000000000000010000001235445524D30303031",
         kPasses, "3032303070000000008000001041111111111111110000000000000010005445524D30303031"});
    std::vector<std::string> notes;
    AddLearnedMessages(learner.Learned(), *def, notes);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(WithoutMessages(WrittenProText(*def)), WithoutMessages(before));
    const MsgTable& messages = def->messages;
    ASSERT_TRUE(messages.At(0) && messages.At(1) && messages.At(2));
    EXPECT_STREQ(messages.At(0)->mti, "0200");
    EXPECT_EQ(FieldsOf(messages.At(0)->mandatory), (std::vector<int>{2, 3, 4, 41}));
    EXPECT_EQ(FieldsOf(messages.At(0)->optional), std::vector<int>{11});
    EXPECT_STREQ(messages.At(0)->title, "Financial request");
    EXPECT_STREQ(messages.At(1)->mti, "0210");  // not seen: left as it was
    EXPECT_EQ(FieldsOf(messages.At(1)->mandatory), (std::vector<int>{2, 3, 4, 11, 41}));
    EXPECT_STREQ(messages.At(2)->mti, "0400");
    EXPECT_EQ(messages.At(2)->owner, def.get());
    EXPECT_STREQ(messages.At(2)->title, "Learned from 1 message");
}

TEST(AddLearnedMessages, AnMtiOfWhichNoMessageDecodedChangesNothing) {
    const auto def = Example("demo.pro");
    const std::string before = WrittenProText(*def);
    MessageLearner learner(*def);
    LearnHex(learner, {kUndefinedField7, "3039393970200000"});
    ASSERT_EQ(learner.Learned().size(), 2u);
    std::vector<std::string> notes;
    AddLearnedMessages(learner.Learned(), *def, notes);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(WrittenProText(*def), before);
}

TEST(AddLearnedMessages, AFullTableSaysWhatWasNotAdded) {
    auto def = Example("demo.pro");
    std::string text = WrittenProText(*def);
    for (int i = 0; def->messages.FirstEmpty() != MsgTable::kNone; ++i) {
        text += "MSG=" + std::to_string(1000 + i) + ";" + std::string(32, '0') + ";" +
                std::string(32, '0') + ";\n";
        LoadProText(text, *def);
    }
    MessageLearner learner(*def);
    LearnHex(
        learner,
        {kPasses,
         "3034303070200000008000001041111111111111110000000000000010000001235445524D30303031"});
    std::vector<std::string> notes;
    AddLearnedMessages(learner.Learned(), *def, notes);
    EXPECT_EQ(notes, std::vector<std::string>{
                         "message 0400: the table holds 99 messages already; not added"});
    EXPECT_EQ(FieldsOf(def->messages.At(def->messages.FindByMti("0200"))->mandatory),
              (std::vector<int>{2, 3, 4, 11, 41}));
}

// Whatever the traffic, each message that decoded passes the definition learned from it: the
// masks of its MTI allow its fields, the bit of a second bitmap included.
TEST(AddLearnedMessages, EveryMessageThatDecodedPassesTheLearnedDefinition) {
    const std::pair<const char*, const char*> examples[] = {
        {"demo.pro", "demo-messages.hex"},
        {"dialect.pro", "dialect-messages.hex"},
        {"subfields.pro", "subfields-messages.hex"},
        {"subfields-binary.pro", "subfields-binary-messages.hex"},
    };
    for (const auto& [pro, hex] : examples) {
        const auto def = Example(pro);
        const std::vector<std::string> lines = ExampleLines(hex);
        MessageLearner learner(*def);
        LearnHex(learner, lines);
        std::vector<std::string> notes;
        AddLearnedMessages(learner.Learned(), *def, notes);
        int passed = 0;
        for (const std::string& line : lines) {
            const auto original = Example(pro);
            MessageLearner alone(*original);
            LearnHex(alone, {line});
            if (alone.Failed() != 0) continue;
            std::vector<char> digits(line.begin(), line.end());
            digits.push_back('\0');
            AutoBuff message;
            ASSERT_EQ(DecodeHexLine(digits.data(), line.size(), message, kMaxMessageUnits),
                      HexLineResult::kMessage);
            AutoBuff verdict;
            EXPECT_TRUE(DecodeMessage(message, *def, {}, verdict)) << hex << ": " << line;
            ++passed;
        }
        EXPECT_GT(passed, 0) << hex;
    }
}

}  // namespace
