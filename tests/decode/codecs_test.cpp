#include "decode/codecs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The EBCDIC form of an ASCII text of digits, letters and blanks (code page 037).
Bytes Ebcdic(const std::string& s) {
    Bytes out;
    for (unsigned char ch : s) {
        if (ch >= '0' && ch <= '9')
            out.push_back(static_cast<std::uint8_t>(0xF0 + ch - '0'));
        else if (ch >= 'A' && ch <= 'I')
            out.push_back(static_cast<std::uint8_t>(0xC1 + ch - 'A'));
        else if (ch >= 'a' && ch <= 'i')
            out.push_back(static_cast<std::uint8_t>(0x81 + ch - 'a'));
        else if (ch == ' ')
            out.push_back(0x40);
        else
            ADD_FAILURE() << "no EBCDIC form in this helper for " << ch;
    }
    return out;
}

// Caller memory that is never null, even for no bytes.
const std::uint8_t* P(const Bytes& bytes) {
    static const std::uint8_t none[1] = {0};
    return bytes.empty() ? none : bytes.data();
}

std::string S(const std::uint8_t* p, int n) {
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

template <typename T>
std::string CaseName(const testing::TestParamInfo<T>& info) {
    return info.param.name;
}

TEST(EbcdicTable, Maps131EntriesAndLeavesTheRestUnmapped) {
    int mapped = 0;
    for (int i = 0; i < 256; ++i)
        mapped += EbcdicToAsciiTable[i] != 0x7F;
    EXPECT_EQ(mapped, 131);
    for (int i = 0; i < 256; ++i)
        EXPECT_NE(EbcdicToAsciiTable[i], ']') << "source " << i;
}

TEST(EbcdicTable, KeepsTheDeliberateDeparturesFromCodePage037) {
    const std::pair<int, int> entries[] = {
        {0x4A, '['},  {0x4F, '!'},  {0x5A, '!'},  {0x5F, '^'},  {0x6A, '|'},  {0x79, '`'},
        {0x0A, '`'},  {0x14, '<'},  {0x4C, '<'},  {0x15, '\n'}, {0x25, '\n'}, {0x05, '\t'},
        {0x07, '\t'}, {0xBA, 0x7F}, {0xBB, 0x7F}, {0xA1, '~'},  {0xE0, '\\'}, {0xC0, '{'},
        {0xD0, '}'},  {0x7C, '@'},  {0x40, ' '},  {0xF9, '9'},  {0xE9, 'Z'},  {0xA9, 'z'}};
    for (const auto& [ebcdic, ascii] : entries) {
        EXPECT_EQ(EbcdicToAsciiTable[ebcdic], ascii) << "source " << ebcdic;
    }
}

struct TranslateCase {
    const char* name;
    Bytes ebcdic;
    Bytes ascii;
};

class EbcdicToAsciiTest : public testing::TestWithParam<TranslateCase> {};

TEST_P(EbcdicToAsciiTest, TranslatesExactlyCountBytes) {
    const TranslateCase& c = GetParam();
    Bytes out(c.ebcdic.size() + 1, 0xEE);
    EbcdicToAscii(static_cast<int>(c.ebcdic.size()), c.ebcdic.data(), out.data());
    EXPECT_EQ(Bytes(out.begin(), out.end() - 1), c.ascii);
    EXPECT_EQ(out.back(), 0xEE) << "no terminator is written";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EbcdicToAsciiTest,
    testing::Values(TranslateCase{"Digits", {0xF1, 0xF2, 0xF3}, B("123")},
                    TranslateCase{"LettersAndBlank", {0xC1, 0x81, 0x40}, B("Aa ")},
                    TranslateCase{"Unmapped", {0xBA}, {0x7F}}, TranslateCase{"Empty", {}, {}}),
    CaseName<TranslateCase>);

struct RadixCase {
    const char* name;
    Bytes text;
    int radix;
    bool ebcdic;
    std::int32_t value;
};

class ParseRadixTextTest : public testing::TestWithParam<RadixCase> {};

TEST_P(ParseRadixTextTest, GivesTheNumberOrZero) {
    const RadixCase& c = GetParam();
    const int n = static_cast<int>(c.text.size());
    const std::uint8_t* p = P(c.text);
    EXPECT_EQ(c.ebcdic ? ParseRadixTextEbcdic(p, n, c.radix) : ParseRadixText(p, n, c.radix),
              c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseRadixTextTest,
    testing::Values(RadixCase{"HexLetter", B("1A"), 16, false, 26},
                    RadixCase{"LetterInDecimal", B("1A"), 10, false, 0},
                    RadixCase{"LowerCaseHex", B("ff"), 16, false, 255},
                    RadixCase{"EmbeddedBlank", B("0 7"), 10, false, 0},
                    RadixCase{"Empty", B(""), 10, false, 0},
                    RadixCase{"LeadingZero", B("099"), 10, false, 99},
                    RadixCase{"ColonAfterNine", B("1:"), 10, false, 0},
                    RadixCase{"SlashBeforeZero", B("/1"), 10, false, 0},
                    RadixCase{"LetterG", B("1G"), 16, false, 0},
                    RadixCase{"SignNotAccepted", B("-1"), 10, false, 0},
                    RadixCase{"TrailingNul", {'1', 0}, 10, false, 0},
                    RadixCase{"LongTextWrapsUnsigned", B("100000000F"), 16, false, 15},
                    RadixCase{"EbcdicDecimal", {0xF0, 0xF4, 0xF2}, 10, true, 42},
                    RadixCase{"EbcdicHexUpper", {0xF1, 0xC6}, 16, true, 31},
                    RadixCase{"EbcdicHexLower", {0xF1, 0x86}, 16, true, 31},
                    RadixCase{"AsciiDigitsUnderEbcdic", B("42"), 10, true, 0},
                    RadixCase{"EbcdicBlank", {0xF1, 0x40}, 10, true, 0}),
    CaseName<RadixCase>);

struct BcdIntCase {
    const char* name;
    Bytes bytes;
    std::int32_t value;
};

class PackedBcdToIntTest : public testing::TestWithParam<BcdIntCase> {};

TEST_P(PackedBcdToIntTest, ReadsEveryNibble) {
    const BcdIntCase& c = GetParam();
    EXPECT_EQ(PackedBcdToInt(static_cast<int>(c.bytes.size()), c.bytes.data()), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackedBcdToIntTest,
    testing::Values(BcdIntCase{"TwoBytes", {0x01, 0x23}, 123},
                    BcdIntCase{"BadLowNibble", {0x1A}, 0}, BcdIntCase{"BadHighNibble", {0xA1}, 0},
                    BcdIntCase{"BadNibbleInFirstByte", {0xF1, 0x23}, 0}, BcdIntCase{"Empty", {}, 0},
                    BcdIntCase{"FourBytes", {0x99, 0x99, 0x99, 0x99}, 99999999},
                    // 9999999999 modulo 2^32: wraps as unsigned, no signed overflow
                    BcdIntCase{"FiveBytesWrap", {0x99, 0x99, 0x99, 0x99, 0x99}, 1410065407}),
    CaseName<BcdIntCase>);

struct BcdDigitsCase {
    const char* name;
    Bytes bytes;
    int width;
    bool ok;
    std::string digits;  // what the first width bytes hold afterwards
};

class PackedBcdToDigitsTest : public testing::TestWithParam<BcdDigitsCase> {};

TEST_P(PackedBcdToDigitsTest, WritesExactlyWidthDigits) {
    const BcdDigitsCase& c = GetParam();
    Bytes out(static_cast<std::size_t>(c.width) + 1, '#');
    EXPECT_EQ(PackedBcdToDigits(static_cast<int>(c.bytes.size()), c.width, P(c.bytes), out.data()),
              c.ok);
    EXPECT_EQ(S(out.data(), c.width), c.digits);
    EXPECT_EQ(out.back(), '#');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackedBcdToDigitsTest,
    testing::Values(BcdDigitsCase{"FullWidth", {0x01, 0x23}, 3, true, "123"},
                    BcdDigitsCase{"EvenFullWidth", {0x01, 0x23}, 4, true, "0123"},
                    BcdDigitsCase{"ZeroFilledLeft", {0x01, 0x23}, 5, true, "00123"},
                    BcdDigitsCase{"LeftBytesUnread", {0xFF, 0x23}, 2, true, "23"},
                    BcdDigitsCase{"OddWidthPadMustBeDigit", {0xA1, 0x23}, 3, false, "#23"},
                    BcdDigitsCase{"OddWidthPadDropped", {0x91, 0x23}, 3, true, "123"},
                    BcdDigitsCase{"BadNibbleKeepsDigitsWritten", {0x0A, 0x00}, 4, false, "##00"},
                    BcdDigitsCase{"BadLowNibbleOfLastByte", {0x12, 0x3F}, 4, false, "####"},
                    BcdDigitsCase{"ZeroWidth", {0xFF}, 0, true, ""},
                    BcdDigitsCase{"NoBytes", {}, 3, true, "000"}),
    CaseName<BcdDigitsCase>);

struct HexEbcdicCase {
    const char* name;
    Bytes text;
    int room;
    int result;
    Bytes out;  // the room bytes afterwards, from a fill of 0xEE
};

class HexTextToBytesEbcdicTest : public testing::TestWithParam<HexEbcdicCase> {};

TEST_P(HexTextToBytesEbcdicTest, DecodesTranslatedPairs) {
    const HexEbcdicCase& c = GetParam();
    Bytes out(static_cast<std::size_t>(c.room), 0xEE);
    EXPECT_EQ(
        HexTextToBytesEbcdic(static_cast<int>(c.text.size()), out.data(), c.text.data(), c.room),
        c.result);
    EXPECT_EQ(out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexTextToBytesEbcdicTest,
    testing::Values(
        HexEbcdicCase{"MixedCaseWithTerminator", Ebcdic("0a1B"), 3, 2, {0x0A, 0x1B, 0x00}},
        HexEbcdicCase{"ExactRoomNoTerminator", Ebcdic("0a1B"), 2, 2, {0x0A, 0x1B}},
        HexEbcdicCase{"TooLittleRoom", Ebcdic("0a1B"), 1, 0, {0xEE}},
        HexEbcdicCase{"OddCount", Ebcdic("0a1"), 2, 0, {0xEE, 0xEE}},
        HexEbcdicCase{"SingleDigit", Ebcdic("0"), 2, 0, {0xEE, 0xEE}},
        HexEbcdicCase{"BadPairAfterGoodOne", Ebcdic("0aG1"), 2, 0, {0x0A, 0xEE}},
        HexEbcdicCase{"AsciiDigitsRefused", B("0a"), 1, 0, {0xEE}}),
    CaseName<HexEbcdicCase>);

TEST(HexTextToBytesEbcdicTest, DecodesInPlace) {
    Bytes text = Ebcdic("C0FFEE");
    EXPECT_EQ(HexTextToBytesEbcdic(6, text.data(), text.data(), 6), 3);
    EXPECT_EQ(Bytes(text.begin(), text.begin() + 4), (Bytes{0xC0, 0xFF, 0xEE, 0x00}));
}

struct BitCase {
    const char* name;
    Bytes text;
    int count;
    bool ebcdic;
    bool ok;
    Bytes out;
};

class BitTextTest : public testing::TestWithParam<BitCase> {};

TEST_P(BitTextTest, SetsBitsMostSignificantFirst) {
    const BitCase& c = GetParam();
    Bytes out(static_cast<std::size_t>(c.count) + 1, 0xFF);
    const bool ok = c.ebcdic ? BitTextToBytesEbcdic(c.count, P(c.text), out.data())
                             : BitTextToBytes(c.count, P(c.text), out.data());
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(Bytes(out.begin(), out.end() - 1), c.out);
    EXPECT_EQ(out.back(), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitTextTest,
    testing::Values(
        BitCase{"OneByte", B("10000001"), 1, false, true, {0x81}},
        BitCase{"BadCharacterKeepsBitsSet", B("1000000x"), 1, false, false, {0x80}},
        BitCase{"TwoBytes", B("0000111111110000"), 2, false, true, {0x0F, 0xF0}},
        BitCase{"BadCharacterInSecondByte", B("1111111112000000"), 2, false, false, {0xFF, 0x80}},
        BitCase{"Ebcdic", Ebcdic("01000001"), 1, true, true, {0x41}},
        BitCase{"AsciiUnderEbcdic", B("01000001"), 1, true, false, {0x00}},
        BitCase{"ZeroCount", B(""), 0, false, true, {}}),
    CaseName<BitCase>);

struct PrefixCase {
    const char* name;
    Encoding lenEnc;
    Encoding chrEnc;
    std::int16_t s;
    Bytes prefix;
    std::uint16_t d;
};

class DecodeLengthPrefixTest : public testing::TestWithParam<PrefixCase> {};

TEST_P(DecodeLengthPrefixTest, ReadsThePrefixUnderTheLengthEncoding) {
    const PrefixCase& c = GetParam();
    ProtocolDef def;
    def.lenEnc = c.lenEnc;
    def.chrEnc = c.chrEnc;
    def.fields[35].type = FieldType::N;
    def.fields[35].size = 37;
    Bytes prefix = c.prefix;
    prefix.resize(8, 0);  // room for the cases that must not read it
    EXPECT_EQ(DecodeLengthPrefix(c.s, prefix.data(), def, 35), c.d);
}

constexpr Encoding kAscii = Encoding::ASCII;
constexpr Encoding kEbcdic = Encoding::EBCDIC;

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeLengthPrefixTest,
    testing::Values(
        PrefixCase{"BigEndOneByte", Encoding::BIGEND, kAscii, 1, {0xC8}, 200},
        PrefixCase{"BigEndTwoBytes", Encoding::BIGEND, kAscii, 2, {0x01, 0x2C}, 300},
        PrefixCase{"BigEndThreeBytesReadsFirst", Encoding::BIGEND, kAscii, 3, {0x01, 0x2C, 0}, 1},
        PrefixCase{"NoneLikeBigEnd", Encoding::NONE, kAscii, 2, {0xFF, 0xFF}, 65535},
        PrefixCase{"BigEndNotTranslated", Encoding::BIGEND, kEbcdic, 1, {0xF1}, 0xF1},
        PrefixCase{"Pbcd", Encoding::PBCD, kAscii, 2, {0x01, 0x23}, 123},
        PrefixCase{"PbcdNotTranslated", Encoding::PBCD, kEbcdic, 1, {0x42}, 42},
        PrefixCase{"PbcdBadNibble", Encoding::PBCD, kAscii, 2, {0x01, 0x2F}, 0},
        PrefixCase{"PbcdFiveBytesModulo65536",
                   Encoding::PBCD,
                   kAscii,
                   5,
                   {0x99, 0x99, 0x99, 0x99, 0x99},
                   static_cast<std::uint16_t>(9999999999ULL)},
        PrefixCase{"Pbcd65537", Encoding::PBCD, kAscii, 5, {0x00, 0x00, 0x06, 0x55, 0x37}, 1},
        PrefixCase{"Char", Encoding::CHAR, kAscii, 3, B("099"), 99},
        PrefixCase{"CharEbcdic", Encoding::CHAR, kEbcdic, 3, Ebcdic("099"), 99},
        PrefixCase{"CharEbcdicGivenAscii", Encoding::CHAR, kEbcdic, 3, B("099"), 0},
        PrefixCase{"CharBadDigit", Encoding::CHAR, kAscii, 2, B("9A"), 0},
        PrefixCase{"CharFiveDigitsModulo65536", Encoding::CHAR, kAscii, 5, B("99999"), 34463},
        PrefixCase{"Hex", Encoding::HEX, kAscii, 2, B("1f"), 31},
        PrefixCase{"HexEbcdic", Encoding::HEX, kEbcdic, 2, Ebcdic("1F"), 31},
        PrefixCase{"SizeSixRefused", Encoding::CHAR, kAscii, 6, B("000001"), 0},
        PrefixCase{"NegativeSizeRefused", Encoding::CHAR, kAscii, -1, B("1"), 0},
        PrefixCase{"FixedLengthGivesSize", Encoding::CHAR, kAscii, 0, {}, 37}),
    CaseName<PrefixCase>);

TEST(DecodeLengthPrefixTest, NullPrefixGivesZeroEvenForFixedLength) {
    ProtocolDef def;
    def.fields[3].type = FieldType::N;
    def.fields[3].size = 6;
    EXPECT_EQ(DecodeLengthPrefix(0, nullptr, def, 3), 0);
}

// Protocol with every encoding set for the case at hand.
struct Setup {
    Encoding numEnc = Encoding::PBCD;
    Encoding chrEnc = Encoding::ASCII;
    Encoding binEnc = Encoding::NONE;
};

constexpr int kField = 48;

void Define(ProtocolDef& def, FieldType type, std::int16_t size, const Setup& setup) {
    def.numEnc = setup.numEnc;
    def.chrEnc = setup.chrEnc;
    def.binEnc = setup.binEnc;
    def.fields[kField].type = type;
    def.fields[kField].size = size;
    def.fields[kField].sizeLen = 0;
}

struct SizeCase {
    const char* name;
    FieldType type;
    Setup setup;
    std::int16_t d;
    std::uint16_t c;
};

class FieldDataSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(FieldDataSizeTest, CountsMessageUnits) {
    const SizeCase& c = GetParam();
    ProtocolDef def;
    Define(def, c.type, 99, c.setup);
    EXPECT_EQ(FieldDataSize(kField, c.d, def), c.c);
}

constexpr Setup kPbcd{Encoding::PBCD, kAscii, Encoding::NONE};
constexpr Setup kBigEnd{Encoding::BIGEND, kAscii, Encoding::NONE};
constexpr Setup kHexNum{Encoding::HEX, kAscii, Encoding::HEX};
constexpr Setup kCharAll{Encoding::CHAR, kAscii, Encoding::CHAR};
constexpr Setup kNone{Encoding::PBCD, kAscii, Encoding::NONE};
constexpr Setup kEbcdicText{Encoding::CHAR, kEbcdic, Encoding::CHAR};

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldDataSizeTest,
    testing::Values(SizeCase{"NumericPbcd", FieldType::N, kPbcd, 6, 3},
                    SizeCase{"NumericPbcdOdd", FieldType::N, kPbcd, 3, 2},
                    SizeCase{"NumericPbcd19", FieldType::N, kPbcd, 19, 10},
                    SizeCase{"NumericChar", FieldType::N, kCharAll, 6, 6},
                    SizeCase{"NumericBigEnd", FieldType::N, kBigEnd, 6, 3},
                    SizeCase{"NumericBigEnd2", FieldType::N, kBigEnd, 2, 1},
                    SizeCase{"NumericBigEnd3", FieldType::N, kBigEnd, 3, 2},
                    SizeCase{"NumericBigEnd10", FieldType::N, kBigEnd, 10, 5},
                    SizeCase{"NumericBigEnd19", FieldType::N, kBigEnd, 19, 8},
                    SizeCase{"NumericHex", FieldType::N, kHexNum, 6, 5},
                    SizeCase{"NumericHex5", FieldType::N, kHexNum, 5, 5},
                    SizeCase{"NumericHex10", FieldType::N, kHexNum, 10, 9},
                    SizeCase{"NumericHex19", FieldType::N, kHexNum, 19, 16},
                    SizeCase{"BinaryNone", FieldType::B, kNone, 8, 8},
                    SizeCase{"BinaryHex", FieldType::B, kHexNum, 8, 16},
                    SizeCase{"BinaryChar", FieldType::B, kCharAll, 8, 64},
                    SizeCase{"ZLikeBinary", FieldType::Z, kCharAll, 8, 64},
                    SizeCase{"BinaryCharWrapsAt8192", FieldType::B, kCharAll, 8193, 8},
                    SizeCase{"TextAscii", FieldType::AN, kCharAll, 10, 10},
                    SizeCase{"TextEbcdic", FieldType::AN, kEbcdicText, 10, 10},
                    SizeCase{"NegativeTakesSize", FieldType::AN, kCharAll, -1, 99},
                    SizeCase{"UndefinedIsNone", FieldType::U, kCharAll, 7, 7}),
    CaseName<SizeCase>);

// 10^d - 1 grown one decimal digit at a time in 32-bit limbs, its binary and hexadecimal
// digits counted exactly, against the sizes of every d a definition can hold.
TEST(FieldDataSizeTest, LogarithmicSizesExactForEveryLength) {
    ProtocolDef bigEnd, hex;
    Define(bigEnd, FieldType::N, 1, kBigEnd);
    Define(hex, FieldType::N, 1, kHexNum);
    std::vector<std::uint32_t> limbs = {0};
    int mismatches = 0;
    for (int d = 1; d <= 32767; ++d) {
        std::uint64_t carry = 9;  // n := 10 n + 9
        for (auto& limb : limbs) {
            const std::uint64_t v = std::uint64_t{limb} * 10 + carry;
            limb = static_cast<std::uint32_t>(v);
            carry = v >> 32;
        }
        if (carry != 0) limbs.push_back(static_cast<std::uint32_t>(carry));
        const std::uint32_t top = limbs.back();
        int topBits = 0, topHex = 0;
        for (std::uint32_t t = top; t != 0; t >>= 1)
            ++topBits;
        for (std::uint32_t t = top; t != 0; t >>= 4)
            ++topHex;
        const int below = static_cast<int>(limbs.size()) - 1;
        const int bits = 32 * below + topBits;
        const int hexDigits = 8 * below + topHex;
        const auto d16 = static_cast<std::int16_t>(d);
        if (FieldDataSize(kField, d16, bigEnd) != (bits + 7) / 8 ||
            FieldDataSize(kField, d16, hex) != hexDigits) {
            if (++mismatches < 10) ADD_FAILURE() << "d = " << d;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

struct ConvertCase {
    const char* name;
    FieldType type;
    Setup setup;
    Bytes source;  // exactly c units
    std::int16_t d;
    bool ok;
    Bytes value;  // the d bytes written, when ok
};

class ConvertFieldDataTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertFieldDataTest, ConvertsUnderTheFieldEncoding) {
    const ConvertCase& c = GetParam();
    ProtocolDef def;
    Define(def, c.type, c.d, c.setup);
    // Exactly c units on the heap, so a read beyond them is a fault a sanitizer sees.
    const auto units = static_cast<std::int16_t>(c.source.size());
    std::unique_ptr<std::uint8_t[]> source(new std::uint8_t[c.source.size()]);
    std::memcpy(source.get(), c.source.data(), c.source.size());
    Bytes out(static_cast<std::size_t>(c.d) + 1, 0xEE);
    EXPECT_EQ(ConvertFieldData(source.get(), out.data(), c.d, def, kField, units), c.ok);
    if (c.ok) {
        EXPECT_EQ(Bytes(out.begin(), out.end() - 1), c.value);
    }
    EXPECT_EQ(out.back(), 0xEE) << "nothing beyond the d bytes";
}

constexpr Setup kHexEbcdic{Encoding::HEX, kEbcdic, Encoding::HEX};
constexpr Setup kAsciiNone{Encoding::CHAR, kAscii, Encoding::NONE};

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertFieldDataTest,
    testing::Values(
        ConvertCase{"BinaryHex", FieldType::B, kHexNum, B("0a1B"), 2, true, {0x0A, 0x1B}},
        ConvertCase{
            "BinaryHexEbcdic", FieldType::B, kHexEbcdic, Ebcdic("0a1B"), 2, true, {0x0A, 0x1B}},
        ConvertCase{"BinaryHexBadDigit", FieldType::B, kHexNum, B("0a1X"), 2, false, {}},
        ConvertCase{
            "BinaryChar", FieldType::B, kCharAll, B("0000101000011011"), 2, true, {0x0A, 0x1B}},
        ConvertCase{
            "BinaryCharBadCharacter", FieldType::B, kCharAll, B("0000101000012011"), 2, false, {}},
        ConvertCase{"BinaryCharEbcdic",
                    FieldType::Z,
                    kEbcdicText,
                    Ebcdic("1000000000000001"),
                    2,
                    true,
                    {0x80, 0x01}},
        ConvertCase{"BinaryNone",
                    FieldType::B,
                    kAsciiNone,
                    {0x00, 0xFF, 0x10},
                    3,
                    true,
                    {0x00, 0xFF, 0x10}},
        ConvertCase{"NumericPbcd", FieldType::N, kPbcd, {0x01, 0x23}, 3, true, B("123")},
        ConvertCase{"NumericPbcdBadNibble", FieldType::N, kPbcd, {0x01, 0x2C}, 3, false, {}},
        ConvertCase{"NumericChar", FieldType::N, kCharAll, B("004711"), 6, true, B("004711")},
        ConvertCase{"NumericCharEbcdic", FieldType::N, kEbcdicText, Ebcdic("004711"), 6, true,
                    B("004711")},
        ConvertCase{"NumericBigEndRawBytes",
                    FieldType::N,
                    kBigEnd,
                    {0x01, 0xE2, 0x40},
                    6,
                    true,
                    {0x01, 0xE2, 0x40, 0, 0, 0}},
        ConvertCase{
            "NumericHexEvenDigits", FieldType::N, kHexNum, B("0001"), 4, true, {0x00, 0x01, 0, 0}},
        ConvertCase{"TextAscii", FieldType::ANS, kCharAll, B("Hi there"), 8, true, B("Hi there")},
        ConvertCase{"TextEbcdic", FieldType::AN, kEbcdicText, Ebcdic("Abc 1"), 5, true,
                    B("Abc 1")}),
    CaseName<ConvertCase>);

// A definition can make the data size disagree with what the conversion would read; the
// conversion then refuses instead of leaving the units the decoder checked. The units beyond
// c are valid input, so only the bound makes these conversions fail.
TEST(ConvertFieldDataBounds, BinaryCharWhoseBitCountWrapsFails) {
    ProtocolDef def;
    Define(def, FieldType::B, 8193, kCharAll);
    const std::uint16_t c = FieldDataSize(kField, 8193, def);
    ASSERT_EQ(c, 8);  // 8 x 8193 modulo 65536
    const Bytes source(8 * 8193, '0');
    Bytes out(8194, 0xEE);
    EXPECT_FALSE(ConvertFieldData(source.data(), out.data(), 8193, def, kField,
                                  static_cast<std::int16_t>(c)));
}

struct BoundCase {
    const char* name;
    FieldType type;
    Setup setup;
    std::int16_t d;
    std::int16_t c;
};

class ConvertFieldDataBoundsTest : public testing::TestWithParam<BoundCase> {};

TEST_P(ConvertFieldDataBoundsTest, RefusesSizesBeyondTheCheckedUnits) {
    const BoundCase& b = GetParam();
    ProtocolDef def;
    Define(def, b.type, b.d, b.setup);
    const Bytes source(static_cast<std::size_t>(b.c) + 64, '0');
    Bytes out(static_cast<std::size_t>(b.d) + 1, 0xEE);
    EXPECT_FALSE(ConvertFieldData(source.data(), out.data(), b.d, def, kField, b.c));
    EXPECT_EQ(out.back(), 0xEE);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertFieldDataBoundsTest,
    testing::Values(BoundCase{"NoneCopyLongerThanUnits", FieldType::B, kAsciiNone, 9, 8},
                    BoundCase{"BitTextLongerThanUnits", FieldType::B, kCharAll, 2, 15},
                    BoundCase{"TextCopyLongerThanValue", FieldType::AN, kCharAll, 4, 5},
                    BoundCase{"ZeroUnits", FieldType::AN, kCharAll, 4, 0},
                    BoundCase{"ZeroLength", FieldType::AN, kCharAll, 0, 4}),
    CaseName<BoundCase>);

TEST(ConvertFieldDataBounds, PbcdReadsOnlyTheGivenBytes) {
    ProtocolDef def;
    Define(def, FieldType::N, 6, kPbcd);
    const Bytes source = {0x42, 0x11, 0x11};
    Bytes out(7, 0xEE);
    ASSERT_TRUE(ConvertFieldData(source.data(), out.data(), 6, def, kField, 1));
    EXPECT_EQ(S(out.data(), 6), "000042");
}

TEST(ConvertFieldDataBounds, NullPointersFail) {
    ProtocolDef def;
    Define(def, FieldType::AN, 4, kCharAll);
    std::uint8_t buf[8] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(ConvertFieldData(nullptr, buf, 4, def, kField, 4));
    EXPECT_FALSE(ConvertFieldData(buf, nullptr, 4, def, kField, 4));
}

}  // namespace

// Runs of every length up to several rounds of eight, translated byte by byte as the table says.
TEST(EbcdicToAsciiTest, TranslatesEveryByteOfRunsOfAnyLength) {
    std::uint8_t source[256];
    for (int i = 0; i < 256; ++i)
        source[i] = static_cast<std::uint8_t>(255 - i);
    for (int count = 0; count <= 40; ++count) {
        for (int start = 0; start + count <= 256; start += 37) {
            std::uint8_t out[42] = {};
            out[count] = 0xAA;
            EbcdicToAscii(count, source + start, out);
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(out[i], EbcdicToAsciiTable[source[start + i]]) << count << " " << i;
            ASSERT_EQ(out[count], 0xAA) << "wrote past the run of " << count;
        }
    }
}

// The vector translation against the scalar reference: runs across several rounds of 32 and
// their tails, at any alignment, never writing past the run, and in place.
TEST(EbcdicToAsciiTest, VectorTranslationEqualsScalarReference) {
    std::mt19937 random(37);
    for (int count = 0; count <= 200; ++count) {
        std::vector<std::uint8_t> source(static_cast<std::size_t>(count) + 40);
        for (std::uint8_t& b : source)
            b = static_cast<std::uint8_t>(random());
        const std::size_t start = random() % 32;
        std::vector<std::uint8_t> fast(source.size(), 0xAA);
        std::vector<std::uint8_t> scalar(source.size(), 0xAA);
        EbcdicToAscii(count, source.data() + start, fast.data() + start);
        EbcdicToAsciiScalar(count, source.data() + start, scalar.data() + start);
        ASSERT_EQ(fast, scalar) << count;
        std::vector<std::uint8_t> inPlace = source;
        EbcdicToAscii(count, inPlace.data() + start, inPlace.data() + start);
        ASSERT_TRUE(std::equal(inPlace.begin() + static_cast<long>(start),
                               inPlace.begin() + static_cast<long>(start) + count,
                               scalar.begin() + static_cast<long>(start)))
            << count;
    }
}
