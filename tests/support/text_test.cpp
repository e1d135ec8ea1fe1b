#include "support/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Normaliser = int (*)(char*);

struct CollapseCase {
    const char* name;
    Normaliser normalise;
    std::string input;
    std::string expected;
};

std::vector<CollapseCase> CollapseCases() {
    return {
        {"BlanksTabsAndLineEndBecomeSingleSpaces", CollapseBlanks,
         "  Primary\t\taccount  number \r\n", "Primary account number"},
        {"EmptyStaysEmpty", CollapseBlanks, "", ""},
        {"OnlyBlanksBecomeEmpty", CollapseBlanks, " \t \n ", ""},
        {"DeleteIsBlank", CollapseBlanks,
         "a\x7F"
         "b",
         "a b"},
        {"NoBreakSpaceKeptByPlainNormaliser", CollapseBlanks,
         "a\xA0"
         "b",
         "a\xA0"
         "b"},
        {"NoBreakSpaceBlankedIn1252", CollapseBlanks1252,
         "a\xA0"
         "b",
         "a b"},
        {"PrintableHighBytesKeptIn1252", CollapseBlanks1252, "\x80\x85", "\x80\x85"},
        {"UndefinedByteBlankedIn1252", CollapseBlanks1252,
         "a\x81"
         "b",
         "a b"},
        {"SoftHyphenBlankedIn1252", CollapseBlanks1252,
         "a\xAD\xAD"
         "b",
         "a b"},
        {"Utf8NoBreakSpaceBecomesBlank", CollapseBlanksUtf8,
         "a\xC2\xA0"
         "b",
         "a b"},
        {"Utf8AccentKept", CollapseBlanksUtf8, " caf\xC3\xA9 ", "caf\xC3\xA9"},
        {"Utf8C1ControlBlanked", CollapseBlanksUtf8,
         "a\xC2\x85"
         "b",
         "a b"},
        {"Utf8InvalidByteCutsTheRest", CollapseBlanksUtf8, "ab \xE9 cd", "ab"},
        {"Utf8FourByteSequenceKept", CollapseBlanksUtf8, "\xF0\x9F\x98\x80 x",
         "\xF0\x9F\x98\x80 x"},
        {"UnprintableKeepsHexLikeText", CollapseUnprintable, "0A 1B", "0A 1B"},
        {"UnprintableBlanksTabAndLineBreak", CollapseUnprintable, "0A\t1B\r\n2C", "0A 1B 2C"},
        {"UnprintableBlanksDegreeKeepsAccent", CollapseUnprintable,
         "a\xB0"
         "b\xE9",
         "a b\xE9"},
    };
}

TEST(CollapseBlanksTest, NormalisesEachKindOfBlank) {
    for (const auto& c : CollapseCases()) {
        std::vector<char> text(c.input.begin(), c.input.end());
        text.push_back('\0');
        const int length = c.normalise(text.data());
        EXPECT_EQ(std::string(text.data()), c.expected) << c.name;
        EXPECT_EQ(length, static_cast<int>(c.expected.size())) << c.name;
    }
}

TEST(CollapseBlanksTest, AbsentTextGivesZero) {
    EXPECT_EQ(CollapseBlanks(nullptr), 0);
    EXPECT_EQ(CollapseBlanks1252(nullptr), 0);
    EXPECT_EQ(CollapseBlanksUtf8(nullptr), 0);
}

TEST(TrimSpacesTest, TrimsOnlyTheSpaceCharacter) {
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {{"  12 ", "12"}, {"\t12", "\t12"}, {"   ", ""}, {"", ""}, {"a b", "a b"}};
    for (const auto& c : cases) {
        char text[16];
        std::strcpy(text, c.input);
        EXPECT_EQ(TrimSpaces(text), text);
        EXPECT_STREQ(text, c.expected) << '"' << c.input << '"';
    }
    EXPECT_EQ(TrimSpaces(nullptr), nullptr);
}

TEST(DecodeUtf8Test, ReportsLengthCodePointOrError) {
    const struct {
        const char* bytes;
        int result;
        std::uint32_t codePoint;  // checked only when result >= 0
    } cases[] = {
        {"\x41", 1, 0x41},
        {"\xC3\xA9", 2, 0xE9},
        {"\xE2\x82\xAC", 3, 0x20AC},
        {"\xF0\x9F\x98\x80", 4, 0x1F600},
        {"", 0, 0},
        {"\xC0\x80", -4, 0},
        {"\xE0\x80\x80", -4, 0},
        {"\xC3\x41", -3, 0},
        {"\xC3", -3, 0},  // the NUL is not a continuation byte
        {"\x80", -2, 0},
        {"\xF8\x80\x80\x80", -2, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t cp = 0xDEAD;
        EXPECT_EQ(DecodeUtf8(c.bytes, &cp), c.result) << c.bytes;
        EXPECT_EQ(cp, c.result >= 0 ? c.codePoint : 0xDEAD) << c.bytes;
    }
    EXPECT_EQ(DecodeUtf8(nullptr, nullptr), 0);
}

TEST(HexPairValueTest, AcceptsDigitsOfEitherCase) {
    EXPECT_EQ(HexPairValue("af"), 0xAF);
    EXPECT_EQ(HexPairValue("AF"), 0xAF);
    EXPECT_EQ(HexPairValue("09"), 0x09);
    EXPECT_EQ(HexPairValue("G0"), -1);
    EXPECT_EQ(HexPairValue("0G"), -1);
    EXPECT_EQ(HexPairValue("0"), -1);
}

TEST(EncodeHexTest, WritesUppercaseDigitsAndNulOnlyWhenRoomAllows) {
    const std::uint8_t bytes[] = {0x00, 0xAB, 0xFF};
    const struct {
        int room;
        int result;
        const char* expected;  // the buffer starts as "xxxxxxxx"
    } cases[] = {{6, 6, "00ABFFxx"}, {7, 6, "00ABFF"}, {5, 0, "xxxxxxxx"}};
    for (const auto& c : cases) {
        char out[9] = "xxxxxxxx";
        EXPECT_EQ(EncodeHex(3, c.room, out, bytes), c.result) << c.room;
        EXPECT_STREQ(out, c.expected) << c.room;
    }
    char out[8];
    EXPECT_EQ(EncodeHex(0, 8, out, bytes), 0);
    EXPECT_EQ(EncodeHex(1, 8, nullptr, bytes), 0);
    EXPECT_EQ(EncodeHex(1, 8, out, nullptr), 0);
}

TEST(DecodeHexTest, DecodesPairsOrRefuses) {
    const struct {
        const char* name;
        const char* input;
        int m;
        int room;
        int result;
    } cases[] = {
        {"WholeInput", "00abFF", 6, 3, 3},  {"OddCount", "00abFF", 5, 3, 0},
        {"SingleDigit", "00abFF", 1, 3, 0}, {"NoRoom", "00abFF", 6, 2, 0},
        {"InvalidPair", "00zz", 4, 2, 0},
    };
    for (const auto& c : cases) {
        std::uint8_t out[4] = {0x55, 0x55, 0x55, 0x55};
        EXPECT_EQ(DecodeHex(c.m, out, c.input, c.room), c.result) << c.name;
    }

    std::uint8_t out[4] = {0x55, 0x55, 0x55, 0x55};
    ASSERT_EQ(DecodeHex(6, out, "00abFF", 4), 3);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0xAB);
    EXPECT_EQ(out[2], 0xFF);
    EXPECT_EQ(out[3], 0x00);  // terminator written because room allowed it

    std::uint8_t partial[2] = {0x55, 0x55};
    EXPECT_EQ(DecodeHex(4, partial, "00zz", 2), 0);
    EXPECT_EQ(partial[0], 0x00);  // bytes before the bad pair stay
}

TEST(DecodeHexTest, DecodesInPlace) {
    char text[] = "30313233";
    auto* bytes = reinterpret_cast<std::uint8_t*>(text);
    ASSERT_EQ(DecodeHex(8, bytes, text, 9), 4);
    EXPECT_STREQ(text, "0123");
}

TEST(CopyTextCutTest, CutsWithoutSplittingUtf8) {
    const struct {
        const char* name;
        const char* source;
        std::size_t size;
        const char* expected;
    } cases[] = {
        {"FitsWhole", "abc", 4, "abc"},
        {"AsciiCut", "abcdef", 4, "abc"},
        {"TwoByteSequenceAtCutDropped", "ab\xC3\xA9", 4, "ab"},
        {"TwoByteSequenceBeforeCutKept", "a\xC3\xA9z", 4, "a\xC3\xA9"},
        {"ThreeByteSequenceDropped", "a\xE2\x82\xAC", 4, "a"},
        {"FourByteSequenceDropped", "ab\xF0\x9F\x98\x80", 5, "ab"},
        {"Latin1BytesCutPlainly", "ab\xE9\xE9\xE9", 4, "ab\xE9"},
        {"AbsentSourceGivesEmpty", nullptr, 4, ""},
    };
    for (const auto& c : cases) {
        char out[8] = "zzzzzzz";
        CopyTextCut(out, c.size, c.source);
        EXPECT_STREQ(out, c.expected) << c.name;
    }
}

TEST(CopyTextCutTest, CutsLongTextTo128Bytes) {
    std::string text(127, 'a');
    text += "\xC3\xA9\xC3\xA9";
    char out[129];
    CopyTextCut(out, sizeof out, text.c_str());
    EXPECT_EQ(std::strlen(out), 127u);
    text = std::string(126, 'a') + "\xC3\xA9xyz";
    CopyTextCut(out, sizeof out, text.c_str());
    EXPECT_EQ(std::strlen(out), 128u);
}

TEST(Cp1252Test, HighBytesAreTheCodePagesCharactersAndUndefinedOnesTheirC1Codes) {
    const std::u16string high = u"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ";
    ASSERT_EQ(high.size(), 32u);
    for (int b = 0x80; b < 0xA0; ++b)
        EXPECT_EQ(Cp1252ToWide(static_cast<std::uint8_t>(b)), high[b - 0x80]) << b;
    EXPECT_EQ(Cp1252ToWide(0x41), u'A');
    EXPECT_EQ(Cp1252ToWide(0xE9), u'é');
}

TEST(Cp1252Test, EveryByteComesBackAndForeignCharactersBecomeQuestionMarks) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(WideToCp1252(Cp1252ToWide(static_cast<std::uint8_t>(b))), b) << b;
    for (char16_t foreign : {u'\u0100', u'\u2028', u'\u4E2D', u'\uFFFD'})
        EXPECT_EQ(WideToCp1252(foreign), '?') << int(foreign);
}

struct EscapeCase {
    const char* name;
    std::string_view units;
    const char* shown;
};

// Every unit outside 0x20 to 0x7E as \xHH, whatever it would be in a code page; the others,
// backslash included, as they are.
TEST(EscapeUnitsTest, EscapesEveryUnitOutsidePrintableAscii) {
    using namespace std::string_view_literals;
    const EscapeCase cases[] = {
        {"printable as it is", "0200 ~!", "0200 ~!"},
        {"EBCDIC MTI", "\xF0\xF2\xF1\xF0", "\\xF0\\xF2\\xF1\\xF0"},
        {"NUL inside, not an end", "AB\0CD"sv, "AB\\x00CD"},
        {"edges of the printable range", "\x1F\x20\x7E\x7F", "\\x1F ~\\x7F"},
        {"backslash as it is", "a\\b", "a\\b"},
        {"nothing", "", ""},
    };
    for (const EscapeCase& c : cases) {
        std::string out = "<";
        EscapeUnits(out, reinterpret_cast<const unsigned char*>(c.units.data()),
                    static_cast<int>(c.units.size()));
        EXPECT_EQ(out, std::string("<") + c.shown) << c.name;
    }
}

}  // namespace
