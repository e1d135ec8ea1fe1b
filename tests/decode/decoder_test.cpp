#include "decode/decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Bytes from hexadecimal pairs; blanks between pairs are ignored.
std::string Hex(const char* digits) {
    std::string bytes;
    for (const char* p = digits; *p != '\0';) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        bytes.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return bytes;
}

void Load(AutoBuff& buffer, const std::string& bytes) {
    ASSERT_TRUE(buffer.Reserve(static_cast<int>(bytes.size()) + 1, false));
    std::memcpy(buffer.Data(), bytes.data(), bytes.size());
    buffer.SetLength(static_cast<int>(bytes.size()));
    buffer.Terminate();
}

FieldMask Mask(const std::vector<int>& fields) {
    FieldMask mask{};
    for (int n : fields)
        SetBit(mask, n);
    return mask;
}

void AddMessage(ProtocolDef& def, const char* mti, const std::vector<int>& mandatory,
                const std::vector<int>& optional = {}) {
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    std::strcpy(msg->mti, mti);
    msg->mandatory = Mask(mandatory);
    msg->optional = Mask(optional);
    def.messages.PutIfEmpty(def.messages.FirstEmpty(), msg);
}

// Characters on the wire: CHAR MTI and lengths, CHAR numbers, HEX binary data.
void TextDialect(ProtocolDef& def) {
    def.mtiEnc = Encoding::CHAR;
    def.bmpEnc = Encoding::NONE;
    def.lenEnc = Encoding::CHAR;
    def.numEnc = Encoding::CHAR;
    def.chrEnc = Encoding::ASCII;
    def.binEnc = Encoding::HEX;
    DefineField(def.fields[2], FieldType::N, 19, 2, false, "Primary account number");
    DefineField(def.fields[3], FieldType::N, 6, 0, false, "Processing code");
    DefineField(def.fields[4], FieldType::N, 12, 0, false, "Amount");
    DefineField(def.fields[41], FieldType::ANS, 8, 0, false, "Terminal");
    DefineField(def.fields[52], FieldType::B, 8, 0, false, "PIN block");
    DefineField(def.fields[128], FieldType::B, 8, 0, false, "MAC");
}

// The demo's binary dialect: CHAR MTI, binary bitmap and lengths, packed BCD numbers.
void BinaryDialect(ProtocolDef& def) {
    def.mtiEnc = Encoding::CHAR;
    def.bmpEnc = Encoding::NONE;
    def.lenEnc = Encoding::BIGEND;
    def.numEnc = Encoding::PBCD;
    def.chrEnc = Encoding::ASCII;
    def.binEnc = Encoding::NONE;
    DefineField(def.fields[2], FieldType::N, 19, 1, false, "Primary account number");
    DefineField(def.fields[3], FieldType::N, 6, 0, false, "Processing code");
    DefineField(def.fields[11], FieldType::N, 6, 0, false, "STAN");
    DefineField(def.fields[55], FieldType::B, 255, 1, true, "Chip data");
}

struct Field {
    int number;
    int offset;
    int consumed;
    std::string value;
    bool operator==(const Field&) const = default;
};

void PrintTo(const Field& f, std::ostream* os) {
    *os << "{" << f.number << " @" << f.offset << " +" << f.consumed << " '" << f.value << "'}";
}

struct Outcome {
    bool ok = false;
    std::string verdict;
    std::vector<Field> fields;
    MessageHeader header;
};

Outcome Decode(const ProtocolDef& def, const std::string& bytes, DecodeScratch* scratch = nullptr) {
    DecodeScratch fresh;
    AutoBuff message;
    Load(message, bytes);
    Outcome out;
    AutoBuff verdict;
    out.ok = DecodeMessage(
        message, def,
        [&](const DecodedField& f) {
            out.fields.push_back(
                {f.number, f.offset, f.consumed,
                 std::string(reinterpret_cast<const char*>(f.value->Data()), f.value->Length())});
            return true;
        },
        verdict, &out.header, scratch != nullptr ? *scratch : fresh);
    out.verdict = verdict.Text();
    return out;
}

const std::string kPrimary3 = Hex("20 00 00 00 00 00 00 00");  // field 3 only

struct VerdictCase {
    const char* name;
    void (*dialect)(ProtocolDef&);
    void (*messages)(ProtocolDef&);
    std::string bytes;
    std::vector<Field> fields;
    std::string verdict;
};

class DecodeMessageVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(DecodeMessageVerdict, ReportsFieldsAndVerdict) {
    const VerdictCase& c = GetParam();
    ProtocolDef def;
    c.dialect(def);
    if (c.messages != nullptr) c.messages(def);
    const Outcome out = Decode(def, c.bytes);
    EXPECT_EQ(out.fields, c.fields);
    EXPECT_EQ(out.verdict, c.verdict);
    EXPECT_EQ(out.ok, c.verdict == "... Parsing OK ...");

    // A caller's value buffer, dirtied by an earlier message, and its index of the table.
    const MtiIndex index(def.messages);
    DecodeScratch kept;
    kept.index = &index;
    kept.value.Reserve(4096, false);
    std::memset(kept.value.Data(), 'x', 4096);
    const Outcome again = Decode(def, c.bytes, &kept);
    EXPECT_EQ(again.fields, c.fields);
    EXPECT_EQ(again.verdict, c.verdict);
}

void Only3(ProtocolDef& def) {
    AddMessage(def, "0200", {3});
}
void Only4(ProtocolDef& def) {
    AddMessage(def, "0200", {4});
}
void Card(ProtocolDef& def) {
    AddMessage(def, "0200", {2, 3}, {55});
}
void CardSecondary(ProtocolDef& def) {
    AddMessage(def, "0200", {1, 2, 128});
}

const std::string kCard =
    "0200" + Hex("60 00 00 00 00 00 00 00") + "16" + "4111111111111111" + "000000";

INSTANTIATE_TEST_SUITE_P(
    Decoder, DecodeMessageVerdict,
    testing::Values(
        VerdictCase{"FixedFieldAfterCharMtiAndBinaryBitmap",
                    TextDialect,
                    Only3,
                    "0200" + kPrimary3 + "123456",
                    {{3, 12, 6, "123456"}},
                    "... Parsing OK ..."},
        VerdictCase{"NoDefinitionForMti",
                    TextDialect,
                    nullptr,
                    "0200" + kPrimary3 + "123456",
                    {{3, 12, 6, "123456"}},
                    "Unknown message 0200"},
        VerdictCase{"PresentFieldOutsideMasksBeforeMissingOne",
                    TextDialect,
                    Only4,
                    "0200" + kPrimary3 + "123456",
                    {{3, 12, 6, "123456"}},
                    "Missing or unexpected field n\u00b0 3"},
        VerdictCase{"TrailingDataKeepsVerdict",
                    TextDialect,
                    Only3,
                    "0200" + kPrimary3 + "123456" + "XYZ",
                    {{3, 12, 6, "123456"}},
                    "... Parsing OK ..."},
        VerdictCase{"VariableFieldOffsetsIncludePrefix",
                    TextDialect,
                    Card,
                    kCard,
                    {{2, 12, 18, "4111111111111111"}, {3, 30, 6, "000000"}},
                    "... Parsing OK ..."},
        VerdictCase{"UndefinedFieldAfterEarlierFields",
                    TextDialect,
                    Card,
                    "0200" + Hex("68 00 00 00 00 00 00 00") + "16" + "4111111111111111" + "000000",
                    {{2, 12, 18, "4111111111111111"}, {3, 30, 6, "000000"}},
                    "Error : field n\u00b0 5 is undefined"},
        VerdictCase{"ZeroLengthPrefix",
                    TextDialect,
                    Card,
                    "0200" + Hex("40 00 00 00 00 00 00 00") + "00",
                    {},
                    "Error reading or converting field n\u00b0 2"},
        VerdictCase{"BadDigitInLengthPrefix",
                    TextDialect,
                    Card,
                    "0200" + Hex("40 00 00 00 00 00 00 00") + "1x4111111111",
                    {},
                    "Error reading or converting field n\u00b0 2"},
        VerdictCase{"PrefixAnnouncesMoreThanMessageHolds",
                    TextDialect,
                    Card,
                    "0200" + Hex("40 00 00 00 00 00 00 00") + "19" + "4111111111111111",
                    {},
                    "Error reading or converting field n\u00b0 2"},
        VerdictCase{"MessageEndsInsidePrefix",
                    TextDialect,
                    Card,
                    "0200" + Hex("40 00 00 00 00 00 00 00") + "1",
                    {},
                    "Error reading or converting field n\u00b0 2"},
        VerdictCase{"MessageEndsInsideFixedData",
                    TextDialect,
                    Card,
                    kCard.substr(0, 33),
                    {{2, 12, 18, "4111111111111111"}},
                    "Error reading or converting field n\u00b0 3"},
        VerdictCase{"SecondaryBitmapWithoutField1InMasks",
                    TextDialect,
                    Card,
                    "0200" + Hex("E0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00") + "16" +
                        "4111111111111111" + "000000",
                    {{2, 20, 18, "4111111111111111"}, {3, 38, 6, "000000"}},
                    "Missing or unexpected field n\u00b0 1"},
        VerdictCase{"SecondaryBitmapReachesField128",
                    TextDialect,
                    CardSecondary,
                    "0200" + Hex("C0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01") + "04" +
                        "4111" + "0A1B2C3D4E5F6071",
                    {{2, 20, 6, "4111"}, {128, 26, 16, Hex("0A 1B 2C 3D 4E 5F 60 71")}},
                    "... Parsing OK ..."},
        VerdictCase{"BadPackedDigitInBinaryDialect",
                    BinaryDialect,
                    Card,
                    "0200" + Hex("60 00 00 00 00 00 00 00 04 12 34 0A 00 00"),
                    {{2, 12, 3, "1234"}},
                    "Error reading or converting field n\u00b0 3"},
        VerdictCase{
            "BinaryDialectOffsetsAndBinaryValue",
            BinaryDialect,
            Card,
            "0200" + Hex("60 00 00 00 00 00 02 00 0F 03 78 28 22 46 31 00 05 "
                         "00 00 01 02 0A 1B"),
            {{2, 12, 9, "378282246310005"}, {3, 21, 3, "000001"}, {55, 24, 3, Hex("0A 1B")}},
            "... Parsing OK ..."},
        VerdictCase{"MtiWithoutRoomForBitmap",
                    TextDialect,
                    Card,
                    "0200abcd",
                    {},
                    "Missing or unexpected field n\u00b0 2"},
        VerdictCase{"SixUnitsReadNeitherMtiNorBitmap", TextDialect, Card, "0200ab", {}, ""},
        VerdictCase{"EmptyMessage", TextDialect, Card, "", {}, ""}),
    [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

TEST(DecodeMessageLookup, LowerSlotDecidesAndSlotsAfterGapsAreFound) {
    ProtocolDef def;
    TextDialect(def);
    AddMessage(def, "0100", {3});
    AddMessage(def, "0200", {3});
    AddMessage(def, "0200", {4});  // a duplicate in a higher slot
    def.messages.At(0).reset();
    EXPECT_EQ(Decode(def, "0200" + kPrimary3 + "123456").verdict, "... Parsing OK ...");
}

TEST(DecodeMessageConsumer, RefusalStopsWithoutVerdict) {
    ProtocolDef def;
    TextDialect(def);
    Card(def);
    AutoBuff message;
    Load(message, kCard);
    AutoBuff verdict;
    int calls = 0;
    const bool ok = DecodeMessage(
        message, def, [&](const DecodedField&) { return ++calls > 1; }, verdict);
    EXPECT_FALSE(ok);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(verdict.Length(), 0);
}

TEST(DecodeMessageLength, LongerThan32767UnitsIsRefusedWithoutFieldsOrVerdict) {
    ProtocolDef def;
    TextDialect(def);
    Only3(def);
    std::string bytes = "0200" + kPrimary3 + "123456";
    bytes.resize(kMaxMessageUnits, ' ');
    EXPECT_EQ(Decode(def, bytes).verdict, "... Parsing OK ...");  // the longest accepted

    bytes.push_back(' ');
    const Outcome out = Decode(def, bytes);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.fields.empty());
    EXPECT_EQ(out.verdict, "");
    EXPECT_EQ(out.header.mti[0], '\0');
}

TEST(DecodeMessageValues, BigEndianNumberIsZeroFilledBeyondItsBytes) {
    ProtocolDef def;
    TextDialect(def);
    def.numEnc = Encoding::BIGEND;
    DefineField(def.fields[2], FieldType::ANS, 6, 0, false, "Text first");
    DefineField(def.fields[3], FieldType::N, 6, 0, false, "Amount");
    const Outcome out =
        Decode(def, "0200" + Hex("60 00 00 00 00 00 00 00") + "ABCDEF" + Hex("01 E2 40"));
    ASSERT_EQ(out.fields.size(), 2u);
    EXPECT_EQ(out.fields[1].consumed, 3);
    EXPECT_EQ(out.fields[1].value, Hex("01 E2 40 00 00 00"));
}

struct HeaderCase {
    const char* name;
    Encoding mtiEnc;
    Encoding bmpEnc;
    Encoding chrEnc;
    std::string bytes;
    const char* mti;
    std::vector<int> present;
    int firstFieldOffset;
};

class DecodeMessageHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(DecodeMessageHeader, ReadsMtiAndBitmapUnderTheirEncodings) {
    const HeaderCase& c = GetParam();
    ProtocolDef def;
    def.mtiEnc = c.mtiEnc;
    def.bmpEnc = c.bmpEnc;
    def.chrEnc = c.chrEnc;
    def.numEnc = Encoding::PBCD;
    DefineField(def.fields[3], FieldType::N, 2, 0, false, "");
    DefineField(def.fields[70], FieldType::N, 2, 0, false, "");
    const Outcome out = Decode(def, c.bytes);
    EXPECT_STREQ(out.header.mti, c.mti);
    FieldMask expected{};
    for (int n : c.present)
        SetBit(expected, n);
    EXPECT_EQ(out.header.bitmap, expected);
    ASSERT_FALSE(out.fields.empty());
    EXPECT_EQ(out.fields[0].offset, c.firstFieldOffset);
}

const std::string kCharBits3 = std::string(2, '0') + "1" + std::string(61, '0');

INSTANTIATE_TEST_SUITE_P(Decoder, DecodeMessageHeader,
                         testing::Values(HeaderCase{"PackedMtiTakesTwoBytes",
                                                    Encoding::PBCD,
                                                    Encoding::NONE,
                                                    Encoding::ASCII,
                                                    Hex("02 00 20 00 00 00 00 00 00 00 42"),
                                                    "0200",
                                                    {3},
                                                    10},
                                         HeaderCase{"PackedMtiWithBadNibbleIsEmpty",
                                                    Encoding::PBCD,
                                                    Encoding::NONE,
                                                    Encoding::ASCII,
                                                    Hex("0A 00 20 00 00 00 00 00 00 00 42"),
                                                    "",
                                                    {3},
                                                    10},
                                         HeaderCase{"EbcdicCharMti",
                                                    Encoding::CHAR,
                                                    Encoding::NONE,
                                                    Encoding::EBCDIC,
                                                    Hex("F0 F2 F0 F0 20 00 00 00 00 00 00 00 42"),
                                                    "0200",
                                                    {3},
                                                    12},
                                         HeaderCase{"HexBitmapWithSecondary",
                                                    Encoding::CHAR,
                                                    Encoding::HEX,
                                                    Encoding::ASCII,
                                                    "0200A000000000000000"
                                                    "0400000000000000" +
                                                        Hex("42 42"),
                                                    "0200",
                                                    {1, 3, 70},
                                                    36},
                                         HeaderCase{"CharBitmap",
                                                    Encoding::CHAR,
                                                    Encoding::CHAR,
                                                    Encoding::ASCII,
                                                    "0200" + kCharBits3 + Hex("42"),
                                                    "0200",
                                                    {3},
                                                    68}),
                         [](const testing::TestParamInfo<HeaderCase>& info) {
                             return info.param.name;
                         });

struct MaskCase {
    const char* name;
    std::vector<int> present;
    std::vector<int> mandatory;
    std::vector<int> optional;
    int expected;
};

class CheckFieldMasksOrder : public testing::TestWithParam<MaskCase> {};

TEST_P(CheckFieldMasksOrder, ReturnsLowestFailingField) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(CheckFieldMasks(Mask(c.present), Mask(c.mandatory), Mask(c.optional)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, CheckFieldMasksOrder,
    testing::Values(MaskCase{"AllMandatoryPresent", {2, 3}, {2, 3}, {}, 0},
                    MaskCase{"OptionalMayBeAbsentOrPresent", {2, 64}, {2}, {64, 65}, 0},
                    MaskCase{"UnexpectedBeforeMissing", {3}, {4}, {}, 3},
                    MaskCase{"MissingBeforeUnexpected", {5}, {4}, {}, 4},
                    MaskCase{"SecondaryBitmapNeedsField1", {1, 2}, {2}, {}, 1},
                    MaskCase{"MandatoryField1NeedsSecondaryBitmap", {2}, {1, 2}, {}, 1},
                    MaskCase{"OverlappingMasksMeanMandatory", {}, {3}, {3}, 3},
                    MaskCase{"LastField", {2, 128}, {2}, {}, 128}),
    [](const testing::TestParamInfo<MaskCase>& info) { return info.param.name; });

struct StepCase {
    const char* name;
    FieldType type;
    std::int16_t size;
    std::int16_t sizeLen;
    std::string bytes;  // from the field's start
    int code;
};

class NextFieldCode : public testing::TestWithParam<StepCase> {};

TEST_P(NextFieldCode, NamesTheFailure) {
    const StepCase& c = GetParam();
    ProtocolDef def;
    def.lenEnc = Encoding::BIGEND;
    def.binEnc = Encoding::CHAR;
    def.fields[2].type = c.type;
    def.fields[2].size = c.size;
    def.fields[2].sizeLen = c.sizeLen;
    AutoBuff message;
    Load(message, c.bytes);
    ParseCursor cursor{def, message};
    SetBit(cursor.bitmap, 2);
    std::int16_t number = -1;
    std::int16_t offset = -1;
    AutoBuff value;
    EXPECT_EQ(NextField(cursor, number, offset, value), c.code);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(offset, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, NextFieldCode,
    testing::Values(
        StepCase{"Undefined", FieldType::U, 0, 0, "", kFieldUndefined},
        StepCase{"PrefixLongerThanFive", FieldType::B, 8, 6, std::string(64, '0'),
                 kBadLengthPrefix},
        StepCase{"ZeroPrefix", FieldType::B, 8, 1, Hex("00"), kBadLengthPrefix},
        StepCase{"PrefixOf32768OrMore", FieldType::B, 8, 2, Hex("80 00"), kBadLengthPrefix},
        StepCase{"EndInsidePrefix", FieldType::B, 8, 2, Hex("01"), kMessageTooShort},
        StepCase{"EndInsideData", FieldType::B, 2, 0, std::string(15, '1'), kMessageTooShort},
        // 8193 bytes of bit text are 65544 units, which a 16-bit size wraps to 8.
        StepCase{"BitTextSizeDoesNotWrap", FieldType::B, 9000, 2,
                 Hex("20 01") + std::string(64, '1'), kMessageTooShort},
        StepCase{"BadBitCharacter", FieldType::B, 1, 0, "1010x010", kConversionFailed},
        StepCase{"Decoded", FieldType::B, 1, 0, "10100101", 8}),
    [](const testing::TestParamInfo<StepCase>& info) { return info.param.name; });

TEST(NextFieldWalk, EndsAfterField128AndNeverReportsField1) {
    ProtocolDef def;
    def.numEnc = Encoding::CHAR;
    DefineField(def.fields[128], FieldType::N, 1, 0, false, "");
    AutoBuff message;
    Load(message, "7");
    ParseCursor cursor{def, message};
    SetBit(cursor.bitmap, 1);
    SetBit(cursor.bitmap, 128);
    std::int16_t number = 0;
    std::int16_t offset = 0;
    AutoBuff value;
    EXPECT_EQ(NextField(cursor, number, offset, value), 1);
    EXPECT_EQ(number, 128);
    EXPECT_STREQ(value.Text(), "7");
    EXPECT_EQ(NextField(cursor, number, offset, value), kNoMoreFields);
    EXPECT_EQ(number, 0);
}

}  // namespace
