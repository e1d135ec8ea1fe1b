// OPTION= BITMAP; FIXED128: both blocks of the bitmap are always there, whatever bit 1 says,
// for the decoder with and without its plan and for the diagnoser's walk of the same units.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decode/decode_plan.h"
#include "decode/decoder.h"
#include "diagnose/walk.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

const std::string kOnly3 = Bytes({0x20, 0, 0, 0, 0, 0, 0, 0});
const std::string kBit1And3 = Bytes({0xA0, 0, 0, 0, 0, 0, 0, 0});
const std::string kNone = Bytes({0, 0, 0, 0, 0, 0, 0, 0});
const std::string kOnly128 = Bytes({0, 0, 0, 0, 0, 0, 0, 1});

// Fields 3 and 128 of a text dialect, with a 0200 whose masks are the case's.
std::unique_ptr<ProtocolDef> Dialect(Encoding bitmap, bool fixed, std::vector<int> mandatory) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    def->mtiEnc = Encoding::CHAR;
    def->bmpEnc = bitmap;
    def->numEnc = Encoding::CHAR;
    def->binEnc = Encoding::HEX;
    def->options.fixedBitmap = fixed;
    DefineField(def->fields[3], FieldType::N, 6, 0, false, "Processing code");
    DefineField(def->fields[128], FieldType::B, 2, 0, false, "MAC");
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, *def);
    std::strcpy(msg->mti, "0200");
    for (int n : mandatory)
        SetBit(msg->mandatory, n);
    def->messages.PutIfEmpty(0, msg);
    return def;
}

struct Decoded {
    std::vector<int> fields;
    std::vector<int> offsets;
    std::string verdict;
};

Decoded Decode(const ProtocolDef& def, const std::string& bytes, const DecodePlan* plan) {
    AutoBuff message;
    EXPECT_TRUE(message.Reserve(static_cast<int>(bytes.size()) + 1, false));
    std::memcpy(message.Data(), bytes.data(), bytes.size());
    message.SetLength(static_cast<int>(bytes.size()));
    DecodeScratch scratch;
    scratch.plan = plan;
    Decoded out;
    AutoBuff verdict;
    DecodeMessage(
        message, def,
        [&](const DecodedField& f) {
            out.fields.push_back(f.number);
            out.offsets.push_back(f.offset);
            return true;
        },
        verdict, nullptr, scratch);
    out.verdict = verdict.Text();
    return out;
}

struct FixedCase {
    const char* name;
    Encoding bitmap;
    bool fixed;
    std::vector<int> mandatory;
    std::string bytes;
    std::vector<int> fields;
    std::vector<int> offsets;
    int secondaryUnits;  // of the diagnoser's walk
    const char* verdict;
};

class FixedBitmap : public testing::TestWithParam<FixedCase> {};

TEST_P(FixedBitmap, ReadsBothBlocksWhateverBitOneSays) {
    const FixedCase& c = GetParam();
    const auto def = Dialect(c.bitmap, c.fixed, c.mandatory);
    const DecodePlan plan(*def);
    for (const DecodePlan* used : {static_cast<const DecodePlan*>(nullptr), &plan}) {
        SCOPED_TRACE(used != nullptr ? "planned" : "field by field");
        const Decoded out = Decode(*def, c.bytes, used);
        EXPECT_EQ(out.fields, c.fields);
        EXPECT_EQ(out.offsets, c.offsets);
        EXPECT_EQ(out.verdict, c.verdict);
    }
    AutoBuff message;
    ASSERT_TRUE(message.Reserve(static_cast<int>(c.bytes.size()) + 1, false));
    std::memcpy(message.Data(), c.bytes.data(), c.bytes.size());
    message.SetLength(static_cast<int>(c.bytes.size()));
    AutoBuff value;
    WalkOutline walk;
    std::vector<int> walked;
    WalkMessage(message, 0, *def, value, walk,
                [&](const DecodedField& f) { walked.push_back(f.number); });
    EXPECT_EQ(walked, c.fields);
    EXPECT_EQ(walk.secondaryUnits, c.secondaryUnits);
}

constexpr const char* kOk = "... Parsing OK ...";

INSTANTIATE_TEST_SUITE_P(
    Decoder, FixedBitmap,
    testing::Values(FixedCase{"SecondBinaryBlockWithBitOneClear",
                              Encoding::NONE,
                              true,
                              {3, 128},
                              "0200" + kOnly3 + kOnly128 + "123456" + "0A1B",
                              {3, 128},
                              {20, 26},
                              8,
                              kOk},
                    FixedCase{"SecondHexBlockTakesSixteenMoreCharacters",
                              Encoding::HEX,
                              true,
                              {3, 128},
                              "0200"
                              "2000000000000000"
                              "0000000000000001"
                              "123456"
                              "0A1B",
                              {3, 128},
                              {36, 42},
                              16,
                              kOk},
                    FixedCase{"BitOneSetReadsNoThirdBlockAndCountsInTheMasks",
                              Encoding::NONE,
                              true,
                              {1, 3},
                              "0200" + kBit1And3 + kNone + "123456",
                              {3},
                              {20},
                              8,
                              kOk},
                    FixedCase{"BitOneSetOutsideTheMasksFailsAsItAlwaysDid",
                              Encoding::NONE,
                              true,
                              {3},
                              "0200" + kBit1And3 + kNone + "123456",
                              {3},
                              {20},
                              8,
                              "Missing or unexpected field n\u00b0 1"},
                    // Without the option, the same first block is all the bitmap there is.
                    FixedCase{"ClassicBitmapStopsAtTheFirstBlock",
                              Encoding::NONE,
                              false,
                              {3},
                              "0200" + kOnly3 + "123456",
                              {3},
                              {12},
                              0,
                              kOk},
                    FixedCase{"ClassicBitmapReadsTheSecondBlockAsFieldData",
                              Encoding::NONE,
                              false,
                              {3},
                              "0200" + kOnly3 + kOnly128 + "123456",
                              {3},
                              {12},
                              0,
                              kOk},
                    // A message that ends before the second block is read as one that has none.
                    FixedCase{"MissingSecondBlockLeavesTheFieldsAfterTheFirst",
                              Encoding::NONE,
                              true,
                              {3},
                              "0200" + kOnly3 + "123456",
                              {3},
                              {12},
                              0,
                              kOk}),
    [](const testing::TestParamInfo<FixedCase>& info) { return info.param.name; });

}  // namespace
