// What the reader of a definition tells lint: each line it skipped, cut, replaced or found
// contradictory, with the line's number.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "model/pro_file.h"
#include "pro_text_io.h"

namespace {

const std::string kZeros(32, '0');

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Each finding as "LINE: text".
std::vector<std::string> Findings(const std::string& content) {
    auto def = std::make_unique<ProtocolDef>();
    ProFindings findings;
    LoadProText(content, *def, &findings);
    std::vector<std::string> out;
    for (const ProFinding& f : findings)
        out.push_back(std::to_string(f.line) + ": " + f.text);
    return out;
}

std::string Written(const ProtocolDef& def) {
    return WrittenProText(def);
}

struct LintCase {
    const char* name;
    std::string text;
    std::vector<std::string> findings;
};

void PrintTo(const LintCase& c, std::ostream* os) {
    *os << c.name;
}

class Lint : public testing::TestWithParam<LintCase> {};

TEST_P(Lint, SaysWhatTheReaderDidWithEachLine) {
    EXPECT_EQ(Findings(GetParam().text), GetParam().findings);
}

std::string HundredMessages() {
    std::string text;
    char mti[8];
    for (int i = 0; i < 100; ++i) {
        std::snprintf(mti, sizeof mti, "%04d", i);
        text += std::string("MSG=") + mti + ";" + kZeros + ";" + kZeros + ";\n";
    }
    return text;
}

// A text dialect's encodings and a few fields the cases below refer to.
const std::string kFields =
    "LEN_Enc= CHAR\n"                            // 1
    "NUM_Enc= CHAR\n"                            // 2
    "BIN_Enc= NONE\n"                            // 3
    "FIELD=   3;    N;   6; 0; N; Code\n"        // 4
    "FIELD=  22;    N;   3; 0; N; Entry mode\n"  // 5
    "FIELD=  35;    Z;  37; 2; N; Track 2\n"     // 6
    "FIELD=  41;  ANS;   8; 0; N; Terminal\n"    // 7
    "FIELD=  52;    B;   8; 0; N; PIN\n"         // 8
    "FIELD=  55;    B; 255; 3; Y; Chip\n"        // 9
    "FIELD=  62;    B;  49; 2; N; Private\n"     // 10
    "FIELD=  63;  ANS; 999; 3; N; Reference\n";  // 11

const LintCase kLintCases[] = {
    // Nothing to say.
    {"CommentsBlanksAndFixedFieldLines",
     "\n// a comment\n\n   \n\t// indented comment\nFIELD=   0;    B;  16; 0; N;\n"
     "FIELD=   1;    B;  16; 0; N;\r\n",
     {}},
    {"ConsistentFieldsAndSettings",
     kFields + "FIELD_OPTION= 22; NUM_Enc; PBCD\nFIELD_OPTION= 22; PAD; RIGHT\n"
               "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 55; LEN_Enc; BIGEND\n"
               "FIELD_OPTION= 55; LEN_WHOLE; Y\nFIELD_OPTION= 62; LEN_NIBBLES; Y\n"
               "FIELD_OPTION= 63; LEN_Enc; PBCD\nOPTION= EMPTY_FIELDS; Y\nOPTION= HEADER; 5\n",
     {}},
    // Classic lines the reader skips, cuts or replaces.
    {"EncodingOutsideItsRole",
     "NUM_Enc= ASCII\n",
     {"1: NUM_Enc=ASCII is not a numeric encoding; read as PBCD"}},
    {"LineWithoutKey",
     "FIELD= 3; N; 6; 0; N; Code\nBOGUS line\n",
     {"2: line not read: it begins with no key (BOGUS line)"}},
    {"UnknownType",
     "FIELD= 7; n; 3; 0; N; d\n",
     {"1: field 7: type 'n' unknown; field left undefined"}},
    {"FieldLineEndsAfterTheSize",
     "FIELD= 5; N; 3\n",
     {"1: field 5: the line ends after the size; prefix size, subfield flag and description "
      "not read"}},
    {"FieldLineEndsAtTheType",
     "FIELD= 5; N\n",
     {"1: field 5: the line ends at the type, which then holds the line end; field left "
      "undefined"}},
    {"PrefixSizeOfSixOnTheFieldLine",
     "LEN_Enc= CHAR\nFIELD= 127; ANS; 999; 6; N; d\nFIELD_OPTION= 127; LEN_UNITS; 6\n",
     {"2: field 127: prefix size '6' is outside 0 to 5; the rest of the line is not read"}},
    {"FieldNumberOutsideTheTable",
     "\nFIELD= 200; N; 3; 0; N; d\n",
     {"2: FIELD: field number '200' is outside 2 to 128; line not read"}},
    {"MaskOf31Digits",
     "MSG=0200;" + std::string(31, '0') + ";" + kZeros + ";t\n",
     {"1: message 0200: mandatory mask has 31 digits, not 32; line not read"}},
    {"HundredthMti",
     HundredMessages(),
     {"100: message 0099: the table holds 99 messages already; line not read"}},
    // Later lines overriding earlier ones.
    {"NameAgain", "NAME= a\n\nNAME= b\n", {"3: NAME given again; line 1 is overridden"}},
    {"EncodingAgain",
     "LEN_Enc= CHAR\nLEN_Enc= HEX\n",
     {"2: LEN_Enc given again; line 1 is overridden"}},
    {"FieldAgain",
     "FIELD= 5; N; 3; 0; N; a\nFIELD= 5; N; 4; 0; N; b\n",
     {"2: field 5 given again; line 1 is overridden"}},
    {"MessageAgain",
     "FIELD= 2; N; 19; 2; N; PAN\nMSG=0200;" + kZeros + ";" + kZeros + ";a\nMSG=0200;" + kZeros +
         ";" + kZeros + ";b\n",
     {"3: message 0200 given again; line 2 is overridden"}},
    {"SettingAgain",
     kFields + "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 35; BIN_Enc; PBCD\n",
     {"13: field 35 BIN_Enc given again; line 12 is overridden"}},
    {"SameSettingOfAnotherFieldIsNoOverride",
     kFields + "FIELD_OPTION= 3; CHR_Enc; EBCDIC\nFIELD_OPTION= 41; CHR_Enc; EBCDIC\n",
     {}},
    {"OptionAgain",
     "OPTION= HEADER; 5\nOPTION= HEADER; 6\n",
     {"2: OPTION HEADER given again; line 1 is overridden"}},
    {"RefusedSettingIsNoOverride",
     kFields + "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 35; BIN_Enc; BIGEND\n",
     {"13: field 35: 'BIGEND' is not a binary encoding (NONE, HEX, CHAR, PBCD); line not read"}},
    // Masks.
    {"MandatoryFieldUndefined",
     "FIELD= 2; N; 19; 2; N; PAN\nMSG=0200;60000000000000000000000000000000;" + kZeros + ";\n",
     {"2: message 0200: mandatory field 3 is not defined"}},
    {"OptionalFieldUndefined",
     "FIELD= 2; N; 19; 2; N; PAN\nMSG=0200;" + kZeros + ";00000000000000000000000000000001;\n",
     {"2: message 0200: optional field 128 is not defined"}},
    {"FieldBothMandatoryAndOptional",
     "FIELD= 2; N; 19; 2; N; PAN\nMSG=0200;40000000000000000000000000000000;"
     "40000000000000000000000000000000;\n",
     {"2: message 0200: field 2 is both mandatory and optional"}},
    // Prefixes that cannot count up to their field's size, at the FIELD line.
    {"CharacterPrefixTooSmall",
     "LEN_Enc= CHAR\nFIELD= 2; N; 200; 1; N; PAN\n",
     {"2: field 2: a prefix of 1 unit under CHAR counts at most 9, below the size 200"}},
    {"OwnBigendPrefixOfThreeBytesReadsOne",
     kFields + "FIELD_OPTION= 63; LEN_Enc; BIGEND\n",
     {"11: field 63: a prefix of 3 units under BIGEND counts at most 255, below the size 999"}},
    {"WholeBigendPrefixOfThreeBytes",
     kFields + "FIELD_OPTION= 63; LEN_Enc; BIGEND\nFIELD_OPTION= 63; LEN_WHOLE; Y\n",
     {}},
    {"NibblePrefixCountsHalfAsManyBytes",
     "LEN_Enc= CHAR\nBIN_Enc= NONE\nFIELD= 62; B; 60; 2; N; d\nFIELD_OPTION= 62; LEN_NIBBLES; Y\n",
     {"3: field 62: a prefix of 2 units under CHAR counts at most 49, below the size 60"}},
    {"NibblePrefixOfPackedDigitsCountsDigits",
     "LEN_Enc= CHAR\nNUM_Enc= PBCD\nFIELD= 2; N; 60; 2; N; d\nFIELD_OPTION= 2; LEN_NIBBLES; Y\n",
     {}},
    {"LeftAlignedPackedPrefixLosesADigit",
     "LEN_Enc= PBCD\nFIELD= 63; ANS; 1000; 2; N; d\nFIELD_OPTION= 63; LEN_LEFT; Y\n",
     {"2: field 63: a prefix of 2 units under PBCD counts at most 999, below the size 1000"}},
    // New lines that cannot be read.
    {"BadEncodingValue",
     "FIELD_OPTION= 35; LEN_Enc; NONE\n",
     {"1: field 35: 'NONE' is not a length encoding (BIGEND, PBCD, HEX, CHAR); line not read"}},
    {"UnknownSetting",
     "FIELD_OPTION= 35; TRACK; Y\n",
     {"1: field 35: unknown setting 'TRACK'; line not read"}},
    {"LenUnitsFive",
     "FIELD_OPTION= 35; LEN_UNITS; 5\n",
     {"1: field 35: LEN_UNITS takes 6; a prefix of 1 to 5 units is the FIELD line's; line not "
      "read"}},
    {"PadValue",
     "FIELD_OPTION= 35; PAD; CENTRE\n",
     {"1: field 35: 'CENTRE' is neither LEFT nor RIGHT; line not read"}},
    {"PadNibbleValue",
     "FIELD_OPTION= 35; PAD_NIBBLE; 1\n",
     {"1: field 35: '1' is neither 0 nor F; line not read"}},
    {"FlagValue",
     "FIELD_OPTION= 35; LEN_LEFT; yes\n",
     {"1: field 35: 'yes' is neither Y nor N; line not read"}},
    {"FieldZero",
     "FIELD_OPTION= 0; LEN_Enc; HEX\n",
     {"1: field '0' is not a field number from 2 to 128; line not read"}},
    {"FieldOne",
     "FIELD_OPTION= 1; LEN_Enc; HEX\n",
     {"1: field '1' is not a field number from 2 to 128; line not read"}},
    {"Field129",
     "FIELD_OPTION= 129; LEN_Enc; HEX\n",
     {"1: field '129' is not a field number from 2 to 128; line not read"}},
    {"FieldOptionWithTwoItems",
     "FIELD_OPTION= 35; LEN_Enc\n",
     {"1: FIELD_OPTION= takes a field, a name and a value: FIELD_OPTION= N; NAME; VALUE; line "
      "not read"}},
    {"OptionWithThreeItems",
     "OPTION= HEADER; 5; 6\n",
     {"1: OPTION= takes a name and a value: OPTION= NAME; VALUE; line not read"}},
    {"UnknownOption", "OPTION= FOO; Y\n", {"1: unknown option 'FOO'; line not read"}},
    {"HeaderValue",
     "OPTION= HEADER; -1\n",
     {"1: HEADER '-1' is not a number of units from 0 to 32767; line not read"}},
    {"FlagOptionValue", "OPTION= EMPTY_FIELDS; y\n", {"1: 'y' is neither Y nor N; line not read"}},
    {"BitmapValue",
     "OPTION= BITMAP; 128\n",
     {"1: BITMAP '128' is neither FIXED128 nor BIT1; line not read"}},
    {"BitmapAgain",
     "OPTION= BITMAP; FIXED128\nOPTION= BITMAP; BIT1\n",
     {"2: OPTION BITMAP given again; line 1 is overridden"}},
    // Settings their field contradicts, at the field's first setting line.
    {"NumericEncodingOnACharacterField",
     kFields + "FIELD_OPTION= 41; NUM_Enc; PBCD\n",
     {"12: field 41: NUM_Enc applies to N fields, and field 41 is ANS"}},
    {"BinaryEncodingOnANumericField",
     kFields + "FIELD_OPTION= 3; BIN_Enc; HEX\n",
     {"12: field 3: BIN_Enc applies to B and Z fields, and field 3 is N"}},
    {"PackedTrackOnABinaryField",
     kFields + "FIELD_OPTION= 52; BIN_Enc; PBCD\n",
     {"12: field 52: BIN_Enc=PBCD is for packed track data, a Z field"}},
    {"PadOnCharacterDigits",
     kFields + "FIELD_OPTION= 22; PAD; RIGHT\n",
     {"12: field 22: PAD settings apply to packed data, not CHAR"}},
    {"PadNibbleOnBinaryData",
     kFields + "FIELD_OPTION= 52; PAD_NIBBLE; F\n",
     {"12: field 52: PAD settings apply to packed data, not NONE"}},
    {"SettingsOfAnUndefinedField",
     kFields + "FIELD_OPTION= 7; CHR_Enc; EBCDIC\n",
     {"12: field 7: settings for a field that is not defined"}},
    {"PrefixSettingOnAFixedField",
     kFields + "FIELD_OPTION= 22; LEN_Enc; PBCD\n",
     {"12: field 22: length prefix settings for a field of fixed length"}},
    {"SixUnitsOnAFixedField",
     kFields + "FIELD_OPTION= 41; LEN_UNITS; 6\n",
     {"12: field 41: length prefix settings for a field of fixed length"}},
    {"LeftAlignedCharacterPrefix",
     kFields + "FIELD_OPTION= 63; LEN_LEFT; Y\n",
     {"12: field 63: LEN_LEFT applies to a PBCD length prefix, not CHAR"}},
    {"WholeNumberOfAPackedPrefix",
     kFields + "FIELD_OPTION= 55; LEN_Enc; PBCD\nFIELD_OPTION= 55; LEN_WHOLE; Y\n",
     {"12: field 55: LEN_WHOLE applies to a BIGEND length prefix, not PBCD"}},
    {"WholeNumberOfFiveBytes",
     "LEN_Enc= BIGEND\nFIELD= 127; ANS; 999; 5; N; d\nFIELD_OPTION= 127; LEN_WHOLE; Y\n",
     {"3: field 127: LEN_WHOLE reads at most 4 bytes, and the prefix has 5"}},
    {"NibblePrefixOfHexData",
     "LEN_Enc= CHAR\nBIN_Enc= HEX\nFIELD= 62; B; 49; 2; N; d\nFIELD_OPTION= 62; LEN_NIBBLES; Y\n",
     {"4: field 62: LEN_NIBBLES applies to packed or binary data, not HEX"}},
    {"ContradictionAtTheFirstSettingLineOfItsField",
     kFields + "FIELD_OPTION= 41; CHR_Enc; EBCDIC\n\nFIELD_OPTION= 41; NUM_Enc; PBCD\n",
     {"12: field 41: NUM_Enc applies to N fields, and field 41 is ANS"}},
    {"FindingsInLineOrder",
     "FIELD_OPTION= 7; PAD; LEFT\nNUM_Enc= ASCII\nFIELD= 5; x; 3; 0; N; d\n"
     "MSG=0200;" +
         kZeros + ";" + kZeros + ";a\nNAME= a\nNAME= b\n",
     {"1: field 7: settings for a field that is not defined",
      "2: NUM_Enc=ASCII is not a numeric encoding; read as PBCD",
      "3: field 5: type 'x' unknown; field left undefined",
      "6: NAME given again; line 5 is overridden"}},
    {"CrLfLinesCountOnce",
     "// heading\r\n\r\nFIELD_OPTION= 7; PAD; LEFT\r\nNUM_Enc= ASCII\r\n",
     {"3: field 7: settings for a field that is not defined",
      "4: NUM_Enc=ASCII is not a numeric encoding; read as PBCD"}},
};

INSTANTIATE_TEST_SUITE_P(Pro, Lint, testing::ValuesIn(kLintCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the writer writes from a definition the reader took without a finding, the reader takes
// again without one: format never makes lint speak.
TEST(LintTest, FilesTheWriterWroteHaveNoFinding) {
    std::vector<std::string> texts = {ReadAll(ISO_EXAMPLES_DIR "/demo.pro"),
                                      ReadAll(ISO_EXAMPLES_DIR "/dialect.pro"),
                                      kFields +
                                          "FIELD_OPTION= 22; NUM_Enc; PBCD\n"
                                          "FIELD_OPTION= 22; PAD; RIGHT\n"
                                          "FIELD_OPTION= 22; PAD_NIBBLE; F\n"
                                          "FIELD_OPTION= 35; BIN_Enc; PBCD\n"
                                          "FIELD_OPTION= 41; CHR_Enc; EBCDIC\n"
                                          "FIELD_OPTION= 55; LEN_Enc; BIGEND\n"
                                          "FIELD_OPTION= 55; LEN_WHOLE; Y\n"
                                          "FIELD_OPTION= 62; LEN_NIBBLES; Y\n"
                                          "FIELD_OPTION= 63; LEN_Enc; PBCD\n"
                                          "FIELD_OPTION= 63; LEN_LEFT; Y\n"
                                          "FIELD= 127; ANS; 9999; 5; N; Original\n"
                                          "FIELD_OPTION= 127; LEN_UNITS; 6\n"
                                          "OPTION= HEADER; 0\nOPTION= EMPTY_FIELDS; Y\n"};
    for (const std::string& text : texts) {
        ASSERT_EQ(Findings(text), std::vector<std::string>{}) << text;
        auto def = std::make_unique<ProtocolDef>();
        std::FILE* stream = std::tmpfile();
        std::fwrite(text.data(), 1, text.size(), stream);
        std::rewind(stream);
        ReadProtocolStream(stream, *def);
        std::fclose(stream);
        EXPECT_EQ(Findings(Written(*def)), std::vector<std::string>{}) << Written(*def);
    }
}

}  // namespace
