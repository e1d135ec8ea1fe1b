#include "support/auto_buff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Fills the buffer the way callers outside it do: exact room, write, length, terminator.
void Fill(AutoBuff& buff, const std::string& bytes) {
    const int n = static_cast<int>(bytes.size());
    ASSERT_TRUE(buff.Reserve(n + 1, false));
    std::memcpy(buff.Data(), bytes.data(), bytes.size());
    ASSERT_TRUE(buff.SetLength(n));
    ASSERT_TRUE(buff.Terminate());
}

std::string Content(const AutoBuff& buff) {
    return std::string(reinterpret_cast<const char*>(buff.Data()),
                       static_cast<std::size_t>(buff.Length()));
}

TEST(AutoBuffStorage, NewBufferHasNoStorageAndAnEmptyText) {
    AutoBuff buff;
    EXPECT_EQ(buff.Capacity(), 0);
    EXPECT_EQ(buff.Data(), nullptr);
    ASSERT_NE(buff.Text(), nullptr);
    EXPECT_STREQ(buff.Text(), "");
}

TEST(AutoBuffStorage, TerminateOnNewBufferAllocatesOneByte) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Terminate());
    EXPECT_EQ(buff.Capacity(), 1);
    EXPECT_EQ(buff.Length(), 0);
    EXPECT_STREQ(buff.Text(), "");
}

struct ReserveCase {
    const char* name;
    int size;
    bool keep;
    bool ok;
    int capacity;
    std::string content;
};

class AutoBuffReserve : public testing::TestWithParam<ReserveCase> {};

// Every case starts from the five letters hello in a 6-byte storage.
TEST_P(AutoBuffReserve, SetsCapacityExactly) {
    const ReserveCase& c = GetParam();
    AutoBuff buff;
    Fill(buff, "hello");
    EXPECT_EQ(buff.Reserve(c.size, c.keep), c.ok);
    EXPECT_EQ(buff.Capacity(), c.capacity);
    EXPECT_EQ(Content(buff), c.content);
    EXPECT_EQ(buff.Data() == nullptr, c.capacity == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoBuffReserve,
    testing::Values(ReserveCase{"ZeroReleases", 0, true, true, 0, ""},
                    ReserveCase{"NegativeReleases", -4, true, true, 0, ""},
                    ReserveCase{"SameSizeKeepsContentWithoutKeep", 6, false, true, 6, "hello"},
                    ReserveCase{"ShrinkKeepingTruncates", 3, true, true, 3, "hel"},
                    ReserveCase{"ShrinkWithoutKeepEmpties", 3, false, true, 3, ""},
                    ReserveCase{"GrowKeeping", 100, true, true, 100, "hello"},
                    ReserveCase{"GrowWithoutKeepEmpties", 100, false, true, 100, ""},
                    ReserveCase{"GrowToTheBound", 65535, true, true, 65535, "hello"},
                    ReserveCase{"AboveTheBoundChangesNothing", 65536, false, false, 6, "hello"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AutoBuffStorage, TerminateAfterTruncatingShrinkGrowsByOneByte) {
    AutoBuff buff;
    Fill(buff, "hello");
    ASSERT_TRUE(buff.Reserve(3, true));
    ASSERT_TRUE(buff.Terminate());
    EXPECT_EQ(buff.Capacity(), 4);
    EXPECT_STREQ(buff.Text(), "hel");
}

TEST(AutoBuffStorage, TerminateOnAFullBufferAtTheBoundFailsWritingNothing) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Reserve(65535, false));
    std::memset(buff.Data(), 'x', 65535);
    ASSERT_TRUE(buff.SetLength(65535));
    EXPECT_FALSE(buff.Terminate());
    EXPECT_EQ(buff.Capacity(), 65535);
    EXPECT_EQ(buff.Length(), 65535);
    EXPECT_EQ(buff.Data()[65534], 'x');
}

struct SetLengthCase {
    const char* name;
    int reserve;
    int n;
    bool ok;
};

class AutoBuffSetLength : public testing::TestWithParam<SetLengthCase> {};

TEST_P(AutoBuffSetLength, AcceptsOnlyLengthsWithinTheStorage) {
    const SetLengthCase& c = GetParam();
    AutoBuff buff;
    ASSERT_TRUE(buff.Reserve(c.reserve, false));
    EXPECT_EQ(buff.SetLength(c.n), c.ok);
    EXPECT_EQ(buff.Length(), c.ok ? c.n : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, AutoBuffSetLength,
                         testing::Values(SetLengthCase{"EqualToCapacity", 8, 8, true},
                                         SetLengthCase{"Zero", 8, 0, true},
                                         SetLengthCase{"AboveCapacity", 8, 9, false},
                                         SetLengthCase{"Negative", 8, -1, false},
                                         SetLengthCase{"WithoutStorage", 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AutoBuffStorage, ClearKeepsStorageAndEmptiesText) {
    AutoBuff buff;
    Fill(buff, "hello");
    buff.Clear();
    EXPECT_EQ(buff.Capacity(), 6);
    EXPECT_EQ(buff.Length(), 0);
    EXPECT_EQ(buff.Data()[0], 0);
}

TEST(AutoBuffFormat, SizesStorageExactlyEvenWhenShrinking) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Reserve(500, false));
    ASSERT_TRUE(buff.Format("field %i", 12));
    EXPECT_STREQ(buff.Text(), "field 12");
    EXPECT_EQ(buff.Length(), 8);
    ASSERT_TRUE(buff.Format("%s", "0123456789"));
    EXPECT_EQ(buff.Capacity(), 11);
}

TEST(AutoBuffFormat, EmptyResultFailsAndKeepsThePreviousText) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Format("%s", "previous"));
    EXPECT_FALSE(buff.Format("%s", ""));
    EXPECT_STREQ(buff.Text(), "previous");
}

TEST(AutoBuffFormat, NullFormatFailsAndKeepsThePreviousText) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Format("%s", "previous"));
    const char* none = nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    EXPECT_FALSE(buff.Format(none));
#pragma GCC diagnostic pop
    EXPECT_STREQ(buff.Text(), "previous");
}

TEST(AutoBuffFormat, TextAtTheBoundFailsAndKeepsThePreviousText) {
    const std::string big(65535, 'y');
    AutoBuff buff;
    ASSERT_TRUE(buff.Format("%s", "previous"));
    EXPECT_FALSE(buff.Format("%s", big.c_str()));
    EXPECT_STREQ(buff.Text(), "previous");
    EXPECT_EQ(buff.Capacity(), 9);
}

TEST(AutoBuffFormat, LongestTextFillsTheBound) {
    const std::string big(65534, 'y');
    AutoBuff buff;
    ASSERT_TRUE(buff.Format("%s", big.c_str()));
    EXPECT_EQ(buff.Capacity(), 65535);
    EXPECT_EQ(buff.Length(), 65534);
    EXPECT_EQ(buff.Data()[65534], 0);
}

struct HexDecodeCase {
    const char* name;
    std::string digits;
    std::string bytes;
};

class AutoBuffDecodeHex : public testing::TestWithParam<HexDecodeCase> {};

TEST_P(AutoBuffDecodeHex, ReplacesDigitsByBytesOrEmpties) {
    const HexDecodeCase& c = GetParam();
    AutoBuff buff;
    Fill(buff, c.digits);
    EXPECT_EQ(buff.DecodeHexInPlace(), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(Content(buff), c.bytes);
    EXPECT_EQ(buff.Data()[buff.Length()], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoBuffDecodeHex,
    testing::Values(HexDecodeCase{"MixedCase", "0a1B", std::string("\x0a\x1b", 2)},
                    HexDecodeCase{"ZeroBytes", "00ff00", std::string("\x00\xff\x00", 3)},
                    HexDecodeCase{"OddDigitCount", "0a1", ""},
                    HexDecodeCase{"SingleDigit", "0", ""}, HexDecodeCase{"LetterG", "0a1G", ""},
                    HexDecodeCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AutoBuffDecodeHex, FullBufferWithoutTerminatorDecodesAndTerminates) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Reserve(4, false));
    std::memcpy(buff.Data(), "C0DE", 4);
    ASSERT_TRUE(buff.SetLength(4));
    EXPECT_EQ(buff.DecodeHexInPlace(), 2);
    EXPECT_EQ(Content(buff), "\xc0\xde");
}

TEST(AutoBuffHex, SetHexOfGivesUppercaseDigits) {
    AutoBuff source, hex;
    Fill(source, std::string("\x00\xff", 2));
    EXPECT_EQ(hex.SetHexOf(source), 4);
    EXPECT_STREQ(hex.Text(), "00FF");
}

TEST(AutoBuffHex, SetHexOfEmptySourceGivesEmptyText) {
    AutoBuff source, hex;
    Fill(hex, "stale");
    EXPECT_EQ(hex.SetHexOf(source), 0);
    EXPECT_STREQ(hex.Text(), "");
}

TEST(AutoBuffHex, SetHexOfBeyondTheBoundGivesEmptyText) {
    AutoBuff fits, tooBig, hex;
    Fill(fits, std::string(32767, '\x5a'));
    EXPECT_EQ(hex.SetHexOf(fits), 65534);
    EXPECT_EQ(hex.Capacity(), 65535);
    Fill(tooBig, std::string(32768, '\x5a'));
    EXPECT_EQ(hex.SetHexOf(tooBig), 0);
    EXPECT_EQ(hex.Length(), 0);
}

struct MaskCase {
    const char* name;
    int field;  // 0: no field set
    const char* text;
};

class AutoBuffFieldMask : public testing::TestWithParam<MaskCase> {};

TEST_P(AutoBuffFieldMask, Gives32DigitsInBitmapOrder) {
    const MaskCase& c = GetParam();
    FieldMask mask = {};
    if (c.field > 0)
        mask[(c.field - 1) / 8] = static_cast<std::uint8_t>(0x80 >> ((c.field - 1) % 8));
    AutoBuff buff;
    Fill(buff, "a much longer previous content than thirty-two characters");
    ASSERT_TRUE(buff.SetFromFieldMask(mask));
    EXPECT_STREQ(buff.Text(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoBuffFieldMask,
    testing::Values(MaskCase{"Field1", 1, "80000000000000000000000000000000"},
                    MaskCase{"Field12", 12, "00100000000000000000000000000000"},
                    MaskCase{"Field128", 128, "00000000000000000000000000000001"},
                    MaskCase{"Empty", 0, "00000000000000000000000000000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AutoBuffCodePage, EmptyBufferFails) {
    AutoBuff buff;
    EXPECT_FALSE(buff.ConvertCodePage(true));
    EXPECT_FALSE(buff.ConvertCodePageAs(1252, true));
}

TEST(AutoBuffCodePage, NarrowSetIsUtf8AndConversionChangesNothing) {
    EXPECT_EQ(AnsiCodePage(), 65001);
    AutoBuff buff;
    Fill(buff, "caf\xc3\xa9");
    EXPECT_TRUE(buff.ConvertCodePage(true));
    EXPECT_TRUE(buff.ConvertCodePage(false));
    EXPECT_EQ(Content(buff), "caf\xc3\xa9");
    EXPECT_EQ(buff.Capacity(), 6);
}

struct ConvertCase {
    const char* name;
    bool toUtf8;
    std::string from;
    std::string to;
};

class AutoBuffCodePage1252 : public testing::TestWithParam<ConvertCase> {};

TEST_P(AutoBuffCodePage1252, ConvertsThroughUtf16) {
    const ConvertCase& c = GetParam();
    AutoBuff buff;
    Fill(buff, c.from);
    EXPECT_EQ(buff.ConvertCodePageAs(1252, c.toUtf8), !c.to.empty());
    EXPECT_EQ(Content(buff), c.to);
    EXPECT_EQ(buff.Data()[buff.Length()], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoBuffCodePage1252,
    testing::Values(
        ConvertCase{"AccentAndEuroToUtf8", true, "caf\xe9 \x80", "caf\xc3\xa9 \xe2\x82\xac"},
        ConvertCase{"UndefinedByteToC1Control", true, "\x81", "\xc2\x81"},
        ConvertCase{"AccentAndEuroFromUtf8", false, "caf\xc3\xa9 \xe2\x82\xac", "caf\xe9 \x80"},
        ConvertCase{"UnmappableBecomesQuestionMark", false, "\xe6\x97\xa5!", "?!"},
        ConvertCase{"InvalidUtf8BecomesQuestionMark", false, "a\xe9z", "a?z"},
        ConvertCase{"EmbeddedNulConverted", true, std::string("a\0\xe9", 3),
                    std::string("a\0\xc3\xa9", 4)},
        ConvertCase{"SupplementaryCharacterUnmappable", false, "\xf0\x9f\x98\x80", "?"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AutoBuffCodePage, UnknownCodePageFailsChangingNothing) {
    AutoBuff buff;
    Fill(buff, "caf\xe9");
    EXPECT_FALSE(buff.ConvertCodePageAs(437, true));
    EXPECT_EQ(Content(buff), "caf\xe9");
}

TEST(AutoBuffCodePage, ConversionAboveTheBoundLeavesEmptyContent) {
    AutoBuff buff;
    Fill(buff, std::string(40000, '\xe9'));  // 80000 bytes in UTF-8
    EXPECT_FALSE(buff.ConvertCodePageAs(1252, true));
    EXPECT_EQ(buff.Length(), 0);
    EXPECT_STREQ(buff.Text(), "");
}

struct BlankCase {
    const char* name;
    bool cp1252;
    std::string from;
    std::string to;
};

class AutoBuffBlanks : public testing::TestWithParam<BlankCase> {};

TEST_P(AutoBuffBlanks, NormalisesInPlace) {
    const BlankCase& c = GetParam();
    AutoBuff buff;
    Fill(buff, c.from);
    buff.NormaliseBlanks(c.cp1252);
    EXPECT_EQ(Content(buff), c.to);
    EXPECT_EQ(buff.Data()[buff.Length()], 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, AutoBuffBlanks,
                         testing::Values(BlankCase{"TabsAndRuns1252", true, "  A \t B  ", "A B"},
                                         BlankCase{"TabsAndRunsUtf8", false, "  A \t B  ", "A B"},
                                         BlankCase{"NoBreakSpace1252", true,
                                                   "A\xa0"
                                                   "B",
                                                   "A B"},
                                         BlankCase{"NoBreakSpaceUtf8", false,
                                                   "A\xc2\xa0"
                                                   "B",
                                                   "A B"},
                                         BlankCase{"BlanksOnly", false, " \t ", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AutoBuffBlanks, UnterminatedFullBufferIsReadOnlyWithinItsContent) {
    AutoBuff buff;
    ASSERT_TRUE(buff.Reserve(5, false));
    std::memcpy(buff.Data(), " A  B", 5);
    ASSERT_TRUE(buff.SetLength(5));
    buff.NormaliseBlanks(false);
    EXPECT_STREQ(buff.Text(), "A B");
}

TEST(AutoBuffBlanks, NoStorageStaysWithoutStorage) {
    AutoBuff buff;
    buff.NormaliseBlanks(true);
    EXPECT_EQ(buff.Capacity(), 0);
}

}  // namespace
