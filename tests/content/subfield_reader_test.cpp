// The subfields InspectField reads out of one field's value: ids, values and where each lies
// in the message, where reading stops and why, and masking subfield by subfield.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../model/pro_text_io.h"
#include "content/field_content.h"
#include "hex_bytes.h"

namespace {

const std::string kText =
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= NONE\n";
const std::string kBinary =
    "MTI_Enc= PBCD\nBMP_Enc= NONE\nLEN_Enc= PBCD\nNUM_Enc= PBCD\nCHR_Enc= ASCII\nBIN_Enc= NONE\n";
constexpr int kAt = 10;  // the field's first unit (its prefix, if any) in the message

const std::string kElements =
    "FIELD= 48; ANS; 999; 3; Y; Private\n"
    "SUBFIELD= 48.01; ANS; 20; 0; N; One\nSUBFIELD= 48.03; ANS; 20; 0; N; Three\n";
const std::string kTagLen = kText + kElements + "STRUCTURE= 48; TAGGED; TAG 2; LEN 2\n";
const std::string kLenTag = kText + kElements + "STRUCTURE= 48; TAGGED; LEN 2; TAG 2\n";
const std::string kBinaryTags =
    kBinary +
    "FIELD= 63; B; 99; 1; Y; Tags\nSTRUCTURE= 63; TAGGED; TAG 1 BIGEND; LEN 1 PBCD\n"
    "SUBFIELD= 63.1F; ANS; 20; 0; N; Name\n";
const std::string kEbcdicTags =
    kBinary +
    "FIELD= 63; B; 99; 1; Y; Tags\nFIELD_OPTION= 63; CHR_Enc; EBCDIC\n"
    "STRUCTURE= 63; TAGGED; TAG 2; LEN 2\nSUBFIELD= 63.01; ANS; 20; 0; N; Name\n"
    "SUBFIELD_OPTION= 63.01; CHR_Enc; EBCDIC\n";
const std::string kPositional =
    kText +
    "FIELD= 43; ANS; 40; 2; Y; Place\nSTRUCTURE= 43; POSITIONAL\n"
    "SUBFIELD= 43.1; ANS; 3; 0; N; Fixed\nSUBFIELD= 43.2; ANS; 9; 2; N; Prefixed\n";
const std::string kRest =
    kPositional + "SUBFIELD= 43.3; ANS; 20; 0; N; Rest\nSUBFIELD_OPTION= 43.3; REST; Y\n";
const std::string kLast = kPositional + "SUBFIELD= 43.3; ANS; 2; 0; N; Last\n";
const std::string kBitmap =
    kText +
    "FIELD= 127; B; 999; 3; Y; Private\nSTRUCTURE= 127; BITMAP; 2\n"
    "SUBFIELD= 127.1; ANS; 2; 0; N; One\nSUBFIELD= 127.8; ANS; 1; 0; N; Eight\n"
    "SUBFIELD= 127.9; ANS; 3; 2; N; Nine\n";
const std::string kCps =
    kBinary +
    "FIELD= 62; B; 99; 1; Y; Payment service\nSTRUCTURE= 62; BITMAP; 8\n"
    "SUBFIELD= 62.1; AN; 1; 0; N; Indicator\nSUBFIELD_OPTION= 62.1; CHR_Enc; EBCDIC\n"
    "SUBFIELD= 62.2; N; 15; 0; N; Transaction id\n"
    "SUBFIELD= 62.3; AN; 4; 0; N; Code\nSUBFIELD_OPTION= 62.3; CHR_Enc; EBCDIC\n";
const std::string kOriginal =
    "FIELD= 90; N; 42; 0; Y; Original data\nSTRUCTURE= 90; POSITIONAL\n"
    "SUBFIELD= 90.1; N; 4; 0; N; Type\nSUBFIELD= 90.2; N; 6; 0; N; Trace\n"
    "SUBFIELD= 90.3; N; 10; 0; N; Time\nSUBFIELD= 90.4; N; 11; 0; N; Acquirer\n"
    "SUBFIELD= 90.5; N; 11; 0; N; Forwarder\n";
const std::string kNested =
    kText +
    "FIELD= 48; ANS; 999; 3; Y; Private\nSTRUCTURE= 48; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 48.42; ANS; 99; 0; Y; Outer\nSTRUCTURE= 48.42; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 48.42.01; ANS; 20; 0; Y; Inner\nSTRUCTURE= 48.42.01; POSITIONAL\n"
    "SUBFIELD= 48.42.01.1; N; 2; 0; N; Kind\nSUBFIELD= 48.42.01.2; ANS; 3; 0; N; Code\n";
// Binary data written as hex digits: each byte two units of the message.
const std::string kNestedInHex =
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD= 127; B; 999; 3; Y; Private\nSTRUCTURE= 127; BITMAP; 1\n"
    "SUBFIELD= 127.1; ANS; 20; 2; Y; Elements\nSTRUCTURE= 127.1; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 127.1.01; ANS; 20; 0; N; One\n";
const std::string kHolds =
    kText +
    "FIELD= 48; ANS; 999; 3; Y; Private\nSTRUCTURE= 48; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 48.10; N; 19; 0; N; Card\nSUBFIELD_OPTION= 48.10; HOLDS; PAN\n"
    "SUBFIELD= 48.20; ANS; 30; 0; N; Reference\n";

// One field of the definition pro, its value given as decoded, its data taking dataUnits
// units of the message (0: one per value element) after its prefix.
struct Inspected {
    ProtocolDef def;
    AutoBuff value;
    FieldInspection got;
    Inspected(const std::string& pro, int n, const std::vector<std::uint8_t>& bytes, int dataUnits,
              bool mask) {
        LoadProText(pro, def);
        const int size = static_cast<int>(bytes.size());
        value.Reserve(size + 1, false);
        if (size > 0) std::memcpy(value.Data(), bytes.data(), bytes.size());
        value.SetLength(size);
        value.Terminate();
        DecodedField field;
        field.number = static_cast<std::int16_t>(n);
        field.offset = kAt;
        field.consumed =
            static_cast<std::int16_t>(def.fields[n].sizeLen + (dataUnits > 0 ? dataUnits : size));
        field.value = &value;
        InspectOptions options;
        options.mask = mask;
        InspectField(def, field, options, got);
    }
};

struct Row {
    std::string id;
    std::string value;
    int offset;
    int consumed;
    bool unknown = false;
    int nibbleOffset = -1;
    int nibbles = 0;
};

struct ReadCase {
    ReadCase(const char* n, std::string definition, int number, std::vector<std::uint8_t> bytes,
             std::vector<Row> want, SubfieldError where = {}, int units = 0)
        : name(n),
          pro(std::move(definition)),
          field(number),
          value(std::move(bytes)),
          rows(std::move(want)),
          stop(std::move(where)),
          dataUnits(units) {}
    const char* name;
    std::string pro;
    int field;
    std::vector<std::uint8_t> value;
    std::vector<Row> rows;
    SubfieldError stop;  // id empty: read to the end
    int dataUnits;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadsSubfields : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadsSubfields, RowsInDocumentOrderThenWhereReadingStopped) {
    const ReadCase& c = GetParam();
    const Inspected in(c.pro, c.field, c.value, c.dataUnits, false);
    const SubfieldReading& got = in.got.subfields;
    ASSERT_TRUE(got.tried);
    ASSERT_EQ(got.rows.size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        const Row& want = c.rows[i];
        const SubfieldRow& row = got.rows[i];
        SCOPED_TRACE(want.id);
        EXPECT_EQ(row.id, want.id);
        EXPECT_EQ(row.value, want.value);
        EXPECT_EQ(row.offset, want.offset);
        EXPECT_EQ(row.consumed, want.consumed);
        EXPECT_EQ(row.unknown, want.unknown);
        EXPECT_EQ(row.nibbleOffset, want.nibbleOffset);
        EXPECT_EQ(row.nibbles, want.nibbles);
        EXPECT_EQ(row.depth, std::count(want.id.begin(), want.id.end(), '.'));
        // end: the rows after this one whose paths lie below it.
        std::size_t end = i + 1;
        while (end < c.rows.size() && c.rows[end].id.starts_with(want.id + "."))
            ++end;
        EXPECT_EQ(row.end, static_cast<int>(end));
    }
    EXPECT_EQ(got.failed, !c.stop.id.empty());
    EXPECT_EQ(got.error.id, c.stop.id);
    EXPECT_EQ(got.error.offset, c.stop.offset);
    EXPECT_NE(got.error.reason.find(c.stop.reason), std::string::npos) << got.error.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Structures, ReadsSubfields,
    testing::Values(
        ReadCase("TagBeforeLength", kTagLen, 48, TextBytes("0103ABC0301X"),
                 {{"48.01", "ABC", 13, 7}, {"48.03", "X", 20, 5}}),
        ReadCase("LengthBeforeTag", kLenTag, 48, TextBytes("0301ABC0103X"),
                 {{"48.01", "ABC", 13, 7}, {"48.03", "X", 20, 5}}),
        ReadCase("UnknownTagKeptAndReadingGoesOn", kTagLen, 48, TextBytes("7703XYZ0102AB"),
                 {{"48.77", "XYZ", 13, 7, true}, {"48.01", "AB", 20, 6}}),
        ReadCase("LengthPastTheEnd", kTagLen, 48, TextBytes("0102AB0309XY"),
                 {{"48.01", "AB", 13, 6}},
                 {"48.03", 19, "length 9 runs past the end: 2 units remain"}),
        ReadCase("TagAndLengthCutShort", kTagLen, 48, TextBytes("0102AB03"),
                 {{"48.01", "AB", 13, 6}}, {"48", 19, "tag and length take 4 units"}),
        ReadCase("BinaryTagAndPackedLength", kBinaryTags, 63,
                 HexBytes("1F10 4142434445464748494A 2A0100"),
                 {{"63.1F", "ABCDEFGHIJ", 11, 12}, {"63.2A", "00", 23, 3, true}}),
        ReadCase("TagAndLengthInTheFieldsCharacterSet", kEbcdicTags, 63, HexBytes("F0F1 F0F2 C1C2"),
                 {{"63.01", "AB", 11, 6}}),
        ReadCase("PrefixedThenRestTakesTheRest", kRest, 43, TextBytes("ABC04WXYZrest of it"),
                 {{"43.1", "ABC", 12, 3}, {"43.2", "WXYZ", 15, 6}, {"43.3", "rest of it", 21, 10}}),
        ReadCase("PrefixNotANumber", kRest, 43, TextBytes("ABCx4WXYZ"), {{"43.1", "ABC", 12, 3}},
                 {"43.2", 15, "length prefix 'x4' is not a number"}),
        ReadCase("PrefixLongerThanWhatRemains", kRest, 43, TextBytes("ABC09WXYZ"),
                 {{"43.1", "ABC", 12, 3}}, {"43.2", 15, "takes 11 units, and 6 units remain"}),
        ReadCase("FixedLongerThanTheValue", kRest, 43, TextBytes("AB"), {},
                 {"43.1", 12, "takes 3 units, and 2 units remain"}),
        ReadCase("ValueEndsBeforeASubfield", kLast, 43, TextBytes("ABC02WX"),
                 {{"43.1", "ABC", 12, 3}, {"43.2", "WX", 15, 4}},
                 {"43.3", 19, "the value ends before this subfield"}),
        ReadCase("UnitsAfterTheLastSubfield", kLast, 43, TextBytes("ABC02WXYZQ"),
                 {{"43.1", "ABC", 12, 3}, {"43.2", "WX", 15, 4}, {"43.3", "YZ", 19, 2}},
                 {"43", 21, "1 unit after the last subfield"}),
        ReadCase("BitOneIsTheHighestBitAndNineOpensTheSecondByte", kBitmap, 127,
                 HexBytes("8180 4142 51 3033 58595A"),
                 {{"127.1", "AB", 15, 2}, {"127.8", "Q", 17, 1}, {"127.9", "XYZ", 18, 5}}),
        ReadCase(
            "EbcdicTextAndPackedDigits", kCps, 62,
            HexBytes("E000000000000000 E8 0381234567890123 C1C2F1F2"),
            {{"62.1", "Y", 19, 1}, {"62.2", "381234567890123", 20, 8}, {"62.3", "AB12", 28, 4}}),
        ReadCase("UndeclaredBitNineStopsWithItsPath", kCps, 62, HexBytes("8080000000000000 E8"),
                 {{"62.1", "Y", 19, 1}},
                 {"62.9", 20, "bit 9 is set, and the definition declares no subfield 62.9"}),
        ReadCase("PackedDigitsPlacedByTheNibble", kBinary + kOriginal, 90,
                 TextBytes("010000012312312359590000001234500000000000"),
                 {{"90.1", "0100", 10, 2},
                  {"90.2", "000123", 12, 3},
                  {"90.3", "1231235959", 15, 5},
                  {"90.4", "00000012345", 20, 6, false, 40, 11},
                  {"90.5", "00000000000", 25, 6, false, 51, 11}},
                 {}, 21),
        ReadCase("ThreeLevelsDeep", kNested, 48, TextBytes("4209010512XYZ"),
                 {{"48.42", "010512XYZ", 13, 13},
                  {"48.42.01", "12XYZ", 17, 9},
                  {"48.42.01.1", "12", 21, 2},
                  {"48.42.01.2", "XYZ", 23, 3}}),
        ReadCase("NestedInBytesWrittenAsHex", kNestedInHex, 127, HexBytes("80 3036 303130324142"),
                 {{"127.1", "0102AB", 15, 16}, {"127.1.01", "AB", 19, 12}}, {}, 18),
        ReadCase("StopInsideANestedValueGivesTheInnerPath", kNested, 48, TextBytes("42070109ABC"),
                 {{"48.42", "0109ABC", 13, 11}},
                 {"48.42.01", 17, "length 9 runs past the end: 3 units remain"})),
    [](const auto& info) { return std::string(info.param.name); });

struct MaskCase {
    MaskCase(const char* n, std::string definition, int number, std::vector<std::uint8_t> bytes,
             std::vector<std::pair<std::string, std::string>> rows, std::string whole)
        : name(n),
          pro(std::move(definition)),
          field(number),
          value(std::move(bytes)),
          shown(std::move(rows)),
          fieldShown(std::move(whole)) {}
    const char* name;
    std::string pro;
    int field;
    std::vector<std::uint8_t> value;
    std::vector<std::pair<std::string, std::string>> shown;  // id, value as shown
    std::string fieldShown;
};

void PrintTo(const MaskCase& c, std::ostream* out) {
    *out << c.name;
}

class MasksSubfields : public testing::TestWithParam<MaskCase> {};

TEST_P(MasksSubfields, EachSubfieldAndTheFieldAsShown) {
    const MaskCase& c = GetParam();
    const Inspected in(c.pro, c.field, c.value, 0, true);
    for (const auto& [id, shown] : c.shown) {
        const auto& rows = in.got.subfields.rows;
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const SubfieldRow& r) { return r.id == id; });
        ASSERT_NE(row, rows.end()) << id;
        EXPECT_EQ(row->value, shown) << id;
        EXPECT_EQ(row->masked, shown.find('*') != std::string::npos) << id;
    }
    EXPECT_EQ(in.got.value, c.fieldShown);
}

// 90.1 to 90.5: 0100, 411111, 1111111111, 10000000000, 00000000000.
const std::string kSpelled = "010041111111111111111000000000000000000000";

INSTANTIATE_TEST_SUITE_P(
    Masking, MasksSubfields,
    testing::Values(
        MaskCase("HoldsPanKeepsFirstSixAndLastFour", kHolds, 48, TextBytes("10165555555555554444"),
                 {{"48.10", "555555******4444"}}, "1016555555******4444"),
        MaskCase("HoldsPanThatIsNoNumberHiddenWhole", kHolds, 48, TextBytes("10045X55"),
                 {{"48.10", "****"}}, "1004****"),
        MaskCase("CardNumberInAnUnmarkedSubfield", kHolds, 48,
                 TextBytes("2020REF4111111111111111X"), {{"48.20", "REF411111******1111X"}},
                 "2020REF411111******1111X"),
        MaskCase("FailedReadingLeavesTheFieldToTheBackstop", kHolds, 48,
                 TextBytes("10165555555555554444 9"), {{"48.10", "555555******4444"}},
                 "1016555555******4444 9"),
        MaskCase("ShortSubfieldsSpellingACardNumberStayShown", kText + kOriginal, 90,
                 TextBytes(kSpelled),
                 {{"90.2", "411111"}, {"90.3", "1111111111"}, {"90.4", "10000000000"}}, kSpelled),
        MaskCase("SameDigitsAsOneValueMasked", kText + "FIELD= 90; N; 42; 0; N; Original\n", 90,
                 TextBytes(kSpelled), {}, "0100411111******11111000000000000000000000"),
        MaskCase("PackedPanAfterAPadNibble", kCps + "SUBFIELD_OPTION= 62.2; HOLDS; PAN\n", 62,
                 HexBytes("4000000000000000 0378282246310005"), {{"62.2", "378282*****0005"}},
                 "40000000000000000378282*****0005"),
        // The importers declare data objects under their constructed parent.
        MaskCase("HoldsOnADataObjectInsideAConstructedOne",
                 kText + "FIELD= 55; B; 255; 3; Y; Chip\nSTRUCTURE= 55; BER_TLV\n"
                         "SUBFIELD= 55.BF0C; B; 99; 0; Y; Template\nSTRUCTURE= 55.BF0C; BER_TLV\n"
                         "SUBFIELD= 55.BF0C.9F4D; B; 2; 0; N; Log entry\n"
                         "SUBFIELD_OPTION= 55.BF0C.9F4D; HOLDS; SECRET\n",
                 55, HexBytes("BF0C05 9F4D020B0A 5A00"), {}, "BF0C059F4D02****5A00")),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
