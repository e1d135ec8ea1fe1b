// The OPTION= and FIELD_OPTION= lines of a definition file: what they are read as, what is
// refused, and that the writer gives them back without touching a classic file.
#include "model/pro_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "model/pro_file.h"
#include "model/pro_text.h"
#include "pro_text_io.h"

namespace {

const std::string kDemoPath = ISO_EXAMPLES_DIR "/demo.pro";
const std::string kDialectPath = ISO_EXAMPLES_DIR "/dialect.pro";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Load(const std::string& content, ProtocolDef& def) {
    LoadProText(content, def);
}

std::string Written(const ProtocolDef& def) {
    return WrittenProText(def);
}

const char* Shown(const std::optional<Encoding>& e) {
    return e ? NameOf(*e) : "-";
}

}  // namespace

// Readable failures for the tables below.
void PrintTo(const FieldSettings& s, std::ostream* os) {
    *os << "{len " << Shown(s.lenEnc) << ", num " << Shown(s.numEnc) << ", bin " << Shown(s.binEnc)
        << ", chr " << Shown(s.charset) << ", pad "
        << (s.padSide ? (*s.padSide == PadSide::kLeft ? "LEFT" : "RIGHT") : "-") << "/"
        << (s.padNibble ? std::to_string(*s.padNibble) : "-") << ", nibbles " << s.prefixNibbles
        << ", left " << s.prefixLeftAligned << ", whole " << s.prefixNumber << ", six "
        << s.sixUnitPrefix << "}";
}

void PrintTo(const DialectOptions& o, std::ostream* os) {
    *os << "{empty " << o.emptyFields << ", header " << o.header << ", fixed bitmap "
        << o.fixedBitmap << ", trailing " << o.trailing << "}";
}

namespace {

// One setting each; | puts them together, the right one standing where both say something.
FieldSettings Len(Encoding e) {
    FieldSettings s;
    s.lenEnc = e;
    return s;
}
FieldSettings Num(Encoding e) {
    FieldSettings s;
    s.numEnc = e;
    return s;
}
FieldSettings Bin(Encoding e) {
    FieldSettings s;
    s.binEnc = e;
    return s;
}
FieldSettings Chr(Encoding e) {
    FieldSettings s;
    s.charset = e;
    return s;
}
FieldSettings Pad(PadSide side) {
    FieldSettings s;
    s.padSide = side;
    return s;
}
FieldSettings PadNibble(std::uint8_t nibble) {
    FieldSettings s;
    s.padNibble = nibble;
    return s;
}
FieldSettings Flag(bool FieldSettings::*flag) {
    FieldSettings s;
    s.*flag = true;
    return s;
}
const FieldSettings kNibbles = Flag(&FieldSettings::prefixNibbles);
const FieldSettings kLeftAligned = Flag(&FieldSettings::prefixLeftAligned);
const FieldSettings kWhole = Flag(&FieldSettings::prefixNumber);
const FieldSettings kSixUnits = Flag(&FieldSettings::sixUnitPrefix);

FieldSettings operator|(FieldSettings a, const FieldSettings& b) {
    if (b.lenEnc) a.lenEnc = b.lenEnc;
    if (b.numEnc) a.numEnc = b.numEnc;
    if (b.binEnc) a.binEnc = b.binEnc;
    if (b.charset) a.charset = b.charset;
    if (b.padSide) a.padSide = b.padSide;
    if (b.padNibble) a.padNibble = b.padNibble;
    a.prefixNibbles |= b.prefixNibbles;
    a.prefixLeftAligned |= b.prefixLeftAligned;
    a.prefixNumber |= b.prefixNumber;
    a.sixUnitPrefix |= b.sixUnitPrefix;
    return a;
}

DialectOptions Options(bool emptyFields, int header, bool fixedBitmap = false,
                       bool trailing = false) {
    DialectOptions o;
    o.emptyFields = emptyFields;
    o.header = header;
    o.fixedBitmap = fixedBitmap;
    o.trailing = trailing;
    return o;
}

// The classic lines every case below starts from: its settings must not touch them.
const char kClassic[] =
    "NAME= Settings\n"
    "LEN_Enc= CHAR\n"
    "FIELD=  35;    Z;  37; 2; N; Track 2 data\n";

struct SettingCase {
    const char* name;
    std::string lines;
    int field;  // whose settings are compared; the others must stay empty
    FieldSettings settings;
    DialectOptions options;
};

void PrintTo(const SettingCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingLines : public testing::TestWithParam<SettingCase> {};

TEST_P(SettingLines, ReadAsTheirFieldsSettingsAndOptions) {
    const SettingCase& c = GetParam();
    auto def = std::make_unique<ProtocolDef>();
    Load(kClassic + c.lines, *def);
    for (int n = 0; n < kFieldCount; ++n) {
        const FieldSettings expected = n == c.field ? c.settings : FieldSettings{};
        EXPECT_EQ(def->settings[n], expected) << "field " << n;
    }
    EXPECT_EQ(def->options, c.options);
    EXPECT_EQ(def->lenEnc, Encoding::CHAR);
    EXPECT_EQ(def->fields[35].type, FieldType::Z);
    EXPECT_EQ(def->fields[35].sizeLen, 2);
}

using enum Encoding;

const SettingCase kSettingCases[] = {
    // Dialect options.
    {"EmptyFields", "OPTION= EMPTY_FIELDS; Y\n", 0, {}, Options(true, -1)},
    {"EmptyFieldsNo", "OPTION= EMPTY_FIELDS; N\n", 0, {}, {}},
    {"LaterEmptyFieldsLineStands", "OPTION= EMPTY_FIELDS; Y\nOPTION= EMPTY_FIELDS; N\n", 0, {}, {}},
    {"Header", "OPTION= HEADER; 5\n", 0, {}, Options(false, 5)},
    {"HeaderZeroIsSaid", "OPTION= HEADER; 0\n", 0, {}, Options(false, 0)},
    {"HeaderAtItsLimit", "OPTION= HEADER; 32767\n", 0, {}, Options(false, 32767)},
    {"BlanksAroundItems", "  OPTION=   HEADER  ;\t 7 \r\n", 0, {}, Options(false, 7)},
    {"BothOptions", "OPTION= HEADER; 2\nOPTION= EMPTY_FIELDS; Y\n", 0, {}, Options(true, 2)},
    {"FixedBitmap", "OPTION= BITMAP; FIXED128\n", 0, {}, Options(false, -1, true)},
    {"BitmapByBitOne", "OPTION= BITMAP; BIT1\n", 0, {}, {}},
    {"LaterBitmapLineStands", "OPTION= BITMAP; FIXED128\nOPTION= BITMAP; BIT1\n", 0, {}, {}},
    {"TrailingAllowed", "OPTION= TRAILING; Y\n", 0, {}, Options(false, -1, false, true)},
    {"TrailingNo", "OPTION= TRAILING; N\n", 0, {}, {}},
    {"EveryOption",
     "OPTION= BITMAP; FIXED128\nOPTION= HEADER; 2\nOPTION= EMPTY_FIELDS; Y\nOPTION= TRAILING; Y\n",
     0,
     {},
     Options(true, 2, true, true)},
    // Refused option lines change nothing.
    {"HeaderPastItsLimit", "OPTION= HEADER; 32768\n", 0, {}, {}},
    {"NegativeHeader", "OPTION= HEADER; -1\n", 0, {}, {}},
    {"HeaderWithText", "OPTION= HEADER; 5x\n", 0, {}, {}},
    {"LowercaseFlag", "OPTION= EMPTY_FIELDS; y\n", 0, {}, {}},
    {"FlagWord", "OPTION= EMPTY_FIELDS; YES\n", 0, {}, {}},
    {"BitmapLowercase", "OPTION= BITMAP; fixed128\n", 0, {}, {}},
    {"BitmapOfOtherWidth", "OPTION= BITMAP; FIXED192\n", 0, {}, {}},
    {"BitmapAsFlag", "OPTION= BITMAP; Y\n", 0, {}, {}},
    {"TrailingWord", "OPTION= TRAILING; ALLOWED\n", 0, {}, {}},
    {"UnknownOption", "OPTION= EMPTY; Y\n", 0, {}, {}},
    {"OptionWithoutValue", "OPTION= EMPTY_FIELDS\n", 0, {}, {}},
    {"OptionWithThreeItems", "OPTION= EMPTY_FIELDS; Y; N\n", 0, {}, {}},
    {"LowercaseOptionKey", "option= EMPTY_FIELDS; Y\n", 0, {}, {}},
    {"CommentedOption", "// OPTION= EMPTY_FIELDS; Y\n", 0, {}, {}},
    // Each setting, each value it takes.
    {"LenBigend", "FIELD_OPTION= 35; LEN_Enc; BIGEND\n", 35, Len(BIGEND), {}},
    {"LenPbcd", "FIELD_OPTION= 35; LEN_Enc; PBCD\n", 35, Len(PBCD), {}},
    {"LenHex", "FIELD_OPTION= 35; LEN_Enc; HEX\n", 35, Len(HEX), {}},
    {"LenChar", "FIELD_OPTION= 35; LEN_Enc; CHAR\n", 35, Len(CHAR), {}},
    {"NumBigend", "FIELD_OPTION= 35; NUM_Enc; BIGEND\n", 35, Num(BIGEND), {}},
    {"NumPbcd", "FIELD_OPTION= 35; NUM_Enc; PBCD\n", 35, Num(PBCD), {}},
    {"NumHex", "FIELD_OPTION= 35; NUM_Enc; HEX\n", 35, Num(HEX), {}},
    {"NumChar", "FIELD_OPTION= 35; NUM_Enc; CHAR\n", 35, Num(CHAR), {}},
    {"BinNone", "FIELD_OPTION= 35; BIN_Enc; NONE\n", 35, Bin(NONE), {}},
    {"BinHex", "FIELD_OPTION= 35; BIN_Enc; HEX\n", 35, Bin(HEX), {}},
    {"BinChar", "FIELD_OPTION= 35; BIN_Enc; CHAR\n", 35, Bin(CHAR), {}},
    {"BinPackedTrack", "FIELD_OPTION= 35; BIN_Enc; PBCD\n", 35, Bin(PBCD), {}},
    {"CharsetAscii", "FIELD_OPTION= 35; CHR_Enc; ASCII\n", 35, Chr(ASCII), {}},
    {"CharsetEbcdic", "FIELD_OPTION= 35; CHR_Enc; EBCDIC\n", 35, Chr(EBCDIC), {}},
    {"PadLeft", "FIELD_OPTION= 35; PAD; LEFT\n", 35, Pad(PadSide::kLeft), {}},
    {"PadRight", "FIELD_OPTION= 35; PAD; RIGHT\n", 35, Pad(PadSide::kRight), {}},
    {"PadNibbleZero", "FIELD_OPTION= 35; PAD_NIBBLE; 0\n", 35, PadNibble(0), {}},
    {"PadNibbleF", "FIELD_OPTION= 35; PAD_NIBBLE; F\n", 35, PadNibble(0xF), {}},
    {"LenNibbles", "FIELD_OPTION= 35; LEN_NIBBLES; Y\n", 35, kNibbles, {}},
    {"LenLeft", "FIELD_OPTION= 35; LEN_LEFT; Y\n", 35, kLeftAligned, {}},
    {"LenWhole", "FIELD_OPTION= 35; LEN_WHOLE; Y\n", 35, kWhole, {}},
    {"FlagNoAfterYes",
     "FIELD_OPTION= 35; LEN_WHOLE; Y\nFIELD_OPTION= 35; LEN_WHOLE; N\n",
     35,
     {},
     {}},
    {"SeveralSettingsAddUp",
     "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION=35;PAD;RIGHT\n"
     "FIELD_OPTION=  35 ; PAD_NIBBLE ; F \r\n",
     35,
     Bin(PBCD) | Pad(PadSide::kRight) | PadNibble(0xF),
     {}},
    {"LaterValueStands",
     "FIELD_OPTION= 35; LEN_Enc; PBCD\nFIELD_OPTION= 35; LEN_Enc; HEX\n",
     35,
     Len(HEX),
     {}},
    {"LeadingZerosInTheNumber", "FIELD_OPTION= 035; LEN_Enc; HEX\n", 35, Len(HEX), {}},
    {"LastField", "FIELD_OPTION= 128; CHR_Enc; EBCDIC\n", 128, Chr(EBCDIC), {}},
    {"FirstDataElement", "FIELD_OPTION= 2; LEN_Enc; HEX\n", 2, Len(HEX), {}},
    {"UndefinedFieldStillKeepsIt", "FIELD_OPTION= 7; PAD; LEFT\n", 7, Pad(PadSide::kLeft), {}},
    // Refused values, names and numbers change nothing, not even what was read before.
    {"BadValueKeepsTheEarlierOne",
     "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 35; BIN_Enc; BIGEND\n",
     35,
     Bin(PBCD),
     {}},
    {"LenNone", "FIELD_OPTION= 35; LEN_Enc; NONE\n", 35, {}, {}},
    {"LenAscii", "FIELD_OPTION= 35; LEN_Enc; ASCII\n", 35, {}, {}},
    {"NumEbcdic", "FIELD_OPTION= 35; NUM_Enc; EBCDIC\n", 35, {}, {}},
    {"NumNone", "FIELD_OPTION= 35; NUM_Enc; NONE\n", 35, {}, {}},
    {"BinBigend", "FIELD_OPTION= 35; BIN_Enc; BIGEND\n", 35, {}, {}},
    {"BinAscii", "FIELD_OPTION= 35; BIN_Enc; ASCII\n", 35, {}, {}},
    {"CharsetChar", "FIELD_OPTION= 35; CHR_Enc; CHAR\n", 35, {}, {}},
    {"LowercaseEncoding", "FIELD_OPTION= 35; LEN_Enc; pbcd\n", 35, {}, {}},
    {"LowercaseName", "FIELD_OPTION= 35; len_enc; PBCD\n", 35, {}, {}},
    {"PadCentre", "FIELD_OPTION= 35; PAD; CENTRE\n", 35, {}, {}},
    {"PadLowercase", "FIELD_OPTION= 35; PAD; right\n", 35, {}, {}},
    {"PadNibbleOne", "FIELD_OPTION= 35; PAD_NIBBLE; 1\n", 35, {}, {}},
    {"PadNibbleLowercase", "FIELD_OPTION= 35; PAD_NIBBLE; f\n", 35, {}, {}},
    {"FlagWordYes", "FIELD_OPTION= 35; LEN_NIBBLES; YES\n", 35, {}, {}},
    {"LenUnitsFive", "FIELD_OPTION= 35; LEN_UNITS; 5\n", 35, {}, {}},
    {"LenUnitsSeven", "FIELD_OPTION= 35; LEN_UNITS; 7\n", 35, {}, {}},
    {"UnknownName", "FIELD_OPTION= 35; TRACK; Y\n", 35, {}, {}},
    {"FieldZero", "FIELD_OPTION= 0; LEN_Enc; HEX\n", 0, {}, {}},
    {"FieldOne", "FIELD_OPTION= 1; LEN_Enc; HEX\n", 1, {}, {}},
    {"Field129", "FIELD_OPTION= 129; LEN_Enc; HEX\n", 35, {}, {}},
    {"NegativeField", "FIELD_OPTION= -35; LEN_Enc; HEX\n", 35, {}, {}},
    {"FieldNumberWithText", "FIELD_OPTION= 35x; LEN_Enc; HEX\n", 35, {}, {}},
    {"TwoItems", "FIELD_OPTION= 35; LEN_Enc\n", 35, {}, {}},
    {"FourItems", "FIELD_OPTION= 35; LEN_Enc; HEX; PBCD\n", 35, {}, {}},
    {"NoItems", "FIELD_OPTION=\n", 35, {}, {}},
    {"OptionKeyWithFieldItems", "OPTION= 35; LEN_Enc; HEX\n", 35, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Pro, SettingLines, testing::ValuesIn(kSettingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingLinesTest, ASixUnitPrefixReplacesTheFiveOfItsFieldLine) {
    auto def = std::make_unique<ProtocolDef>();
    // The setting may come before its FIELD line.
    Load("FIELD_OPTION= 127; LEN_UNITS; 6\nFIELD= 127; ANS; 999; 5; N; Original\n", *def);
    EXPECT_TRUE(def->settings[127].sixUnitPrefix);
    EXPECT_EQ(def->fields[127].sizeLen, 6);
    // A fixed field keeps its prefix of none.
    Load("FIELD= 127; ANS; 999; 0; N; Original\nFIELD_OPTION= 127; LEN_UNITS; 6\n", *def);
    EXPECT_EQ(def->fields[127].sizeLen, 0);
}

TEST(SettingLinesTest, ReadingAgainClearsWhatTheLastFileSaid) {
    auto def = std::make_unique<ProtocolDef>();
    Load("OPTION= HEADER; 5\nOPTION= EMPTY_FIELDS; Y\nFIELD_OPTION= 35; BIN_Enc; PBCD\n", *def);
    ASSERT_TRUE(HasSettings(*def));
    Load(kClassic, *def);
    EXPECT_FALSE(HasSettings(*def));
    EXPECT_EQ(def->options.header, -1);
}

// Every setting on some field and both options: what the writer writes after the MSG lines.
std::unique_ptr<ProtocolDef> EverySetting() {
    auto def = std::make_unique<ProtocolDef>();
    Load(ReadAll(kDemoPath), *def);
    def->options = Options(true, 0, true);
    DefineField(def->fields[35], FieldType::Z, 37, 1, false, "Track 2 data");
    DefineField(def->fields[62], FieldType::B, 49, 1, false, "Private");
    DefineField(def->fields[127], FieldType::ANS, 999, 6, false, "Original");
    def->settings[2] = Len(PBCD) | kLeftAligned;
    def->settings[3] = Num(HEX);
    def->settings[35] = Bin(PBCD) | Chr(EBCDIC) | Pad(PadSide::kRight) | PadNibble(0xF);
    def->settings[55] = Len(BIGEND) | Bin(NONE) | kWhole;
    def->settings[62] = Len(CHAR) | kNibbles;
    def->settings[127] = kSixUnits;
    return def;
}

TEST(SettingLinesTest, WrittenAfterTheMessagesInAStableOrder) {
    const std::string text = Written(*EverySetting());
    const std::string demo = ReadAll(kDemoPath);
    const std::string messages = demo.substr(demo.find("\nMSG="));
    const std::string expected =
        messages +
        "\n// dialect options and field settings\n"
        "// OPTION= name; value, FIELD_OPTION= field number; name; value\n\n"
        "OPTION= EMPTY_FIELDS; Y\n"
        "OPTION= HEADER; 0\n"
        "OPTION= BITMAP; FIXED128\n"
        "FIELD_OPTION=   2; LEN_Enc; PBCD\n"
        "FIELD_OPTION=   2; LEN_LEFT; Y\n"
        "FIELD_OPTION=   3; NUM_Enc; HEX\n"
        "FIELD_OPTION=  35; BIN_Enc; PBCD\n"
        "FIELD_OPTION=  35; CHR_Enc; EBCDIC\n"
        "FIELD_OPTION=  35; PAD; RIGHT\n"
        "FIELD_OPTION=  35; PAD_NIBBLE; F\n"
        "FIELD_OPTION=  55; LEN_Enc; BIGEND\n"
        "FIELD_OPTION=  55; LEN_WHOLE; Y\n"
        "FIELD_OPTION=  55; BIN_Enc; NONE\n"
        "FIELD_OPTION=  62; LEN_Enc; CHAR\n"
        "FIELD_OPTION=  62; LEN_NIBBLES; Y\n"
        "FIELD_OPTION= 127; LEN_UNITS; 6\n";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
    // The FIELD line of the six-unit prefix says 5, which a classic reader accepts.
    EXPECT_NE(text.find("FIELD= 127;  ANS; 999; 5; N; Original\n"), std::string::npos);
}

TEST(SettingLinesTest, EverySettingSurvivesWriteAndRead) {
    const auto def = EverySetting();
    auto back = std::make_unique<ProtocolDef>();
    Load(Written(*def), *back);
    for (int n = 0; n < kFieldCount; ++n) {
        EXPECT_EQ(back->settings[n], def->settings[n]) << "field " << n;
        EXPECT_EQ(back->fields[n].sizeLen, def->fields[n].sizeLen) << "field " << n;
    }
    EXPECT_EQ(back->options, def->options);
}

// Each value of each setting alone on the first and the last data element, written and read.
TEST(SettingLinesTest, EachValueSurvivesWriteAndReadAlone) {
    std::vector<FieldSettings> values;
    for (Encoding e : {BIGEND, PBCD, HEX, CHAR}) {
        values.push_back(Len(e));
        values.push_back(Num(e));
    }
    for (Encoding e : {NONE, HEX, CHAR, PBCD})
        values.push_back(Bin(e));
    for (Encoding e : {ASCII, EBCDIC})
        values.push_back(Chr(e));
    for (PadSide side : {PadSide::kLeft, PadSide::kRight})
        values.push_back(Pad(side));
    for (std::uint8_t nibble : {0, 0xF})
        values.push_back(PadNibble(nibble));
    values.push_back(kNibbles);
    values.push_back(kLeftAligned);
    values.push_back(kWhole);
    values.push_back(kSixUnits);
    for (int n : {kFirstDataElement, kLastField}) {
        for (const FieldSettings& s : values) {
            auto def = std::make_unique<ProtocolDef>();
            DefineField(def->fields[n], FieldType::ANS, 99, s.sixUnitPrefix ? 6 : 2, false, "d");
            def->settings[n] = s;
            auto back = std::make_unique<ProtocolDef>();
            Load(Written(*def), *back);
            EXPECT_EQ(back->settings[n], s) << "field " << n << ": " << testing::PrintToString(s);
            EXPECT_EQ(back->fields[n].sizeLen, def->fields[n].sizeLen);
        }
    }
}

TEST(SettingLinesTest, DialectOptionsSurviveWriteAndRead) {
    for (int header : {-1, 0, 1, 5, kMaxHeaderUnits}) {
        for (bool empty : {false, true}) {
            for (bool fixed : {false, true}) {
                for (bool trailing : {false, true}) {
                    auto def = std::make_unique<ProtocolDef>();
                    def->options = Options(empty, header, fixed, trailing);
                    auto back = std::make_unique<ProtocolDef>();
                    Load(Written(*def), *back);
                    EXPECT_EQ(back->options, def->options)
                        << header << " " << empty << " " << fixed << " " << trailing;
                }
            }
        }
    }
}

// Classic files, written as the writer before settings wrote them.
struct ClassicCase {
    const char* name;
    std::string text;
};

const ClassicCase kClassicFiles[] = {
    {"NoFieldsNoMessages",
     "\n// protocole name\n\nNAME= Empty\n\n// protocol encoding definition\n\n"
     "MTI_Enc= PBCD\nBMP_Enc= NONE\nLEN_Enc= PBCD\nNUM_Enc= PBCD\nCHR_Enc= ASCII\n"
     "BIN_Enc= NONE\n"
     "\n// data elements definition\n"
     "// field number, type, size, size len, subfield, description\n\n"
     "FIELD=   0;    B;  16; 0; N;\nFIELD=   1;    B;  16; 0; N;\n"
     "\n// message definition\n// MTI, mandatory et optional masks, description\n\n"},
    {"EbcdicWithEveryType",
     "\n// protocole name\n\nNAME= Mainframe\n\n// protocol encoding definition\n\n"
     "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= EBCDIC\n"
     "BIN_Enc= CHAR\n"
     "\n// data elements definition\n"
     "// field number, type, size, size len, subfield, description\n\n"
     "FIELD=   0;    B;  16; 0; N;\nFIELD=   1;    B;  16; 0; N;\n"
     "FIELD=   2;    N;  19; 2; N; Primary account number\n"
     "FIELD=  35;    Z;  37; 2; N; Track 2 data\n"
     "FIELD=  37;   AN;  12; 0; N; Retrieval reference\n"
     "FIELD=  43;  ANS;  40; 0; N; \n"
     "FIELD=  44;   AS;  25; 2; N; Additional response data\n"
     "FIELD=  45;    A;  76; 2; N; Track 1 data\n"
     "FIELD=  55;    B; 255; 3; Y; Chip data\n"
     "FIELD= 127;  ANS; 9999; 5; N; Five-unit prefix\n"
     "\n// message definition\n// MTI, mandatory et optional masks, description\n\n"
     "MSG=0800;82200000000000000400000000000000;00000000000000000000000000000000;Network\n"
     "MSG=0810;82200000020000000400000000000000;00000000000000000000000000000000;\n"},
};

class ClassicFile : public testing::TestWithParam<ClassicCase> {};

TEST_P(ClassicFile, IsWrittenBackByteForByteWithoutSettingLines) {
    auto def = std::make_unique<ProtocolDef>();
    Load(GetParam().text, *def);
    EXPECT_FALSE(HasSettings(*def));
    EXPECT_EQ(Written(*def), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Pro, ClassicFile, testing::ValuesIn(kClassicFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingLinesTest, DemoIsWrittenBackByteForByte) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    ASSERT_TRUE(LoadProtocolFile(kDemoPath, *def, error)) << error;
    EXPECT_FALSE(HasSettings(*def));
    EXPECT_EQ(Written(*def), ReadAll(kDemoPath));
    std::string text;
    ASSERT_TRUE(FormatProtocolText(*def, text));
    EXPECT_EQ(text, ReadAll(kDemoPath));
}

TEST(SettingLinesTest, SettingsTakenAwayAgainLeaveTheClassicText) {
    auto def = std::make_unique<ProtocolDef>();
    Load(ReadAll(kDemoPath), *def);
    def->settings[2].padSide = PadSide::kRight;
    def->options.header = 0;
    EXPECT_NE(Written(*def), ReadAll(kDemoPath));
    def->settings[2] = {};
    def->options = {};
    EXPECT_EQ(Written(*def), ReadAll(kDemoPath));
}

// Files whose setting lines are out of order, repeated, mixed with classic lines, or refused:
// one format puts them in the writer's order, and a second changes nothing.
TEST(SettingLinesTest, FormatIsIdempotentWithSettings) {
    const std::string shuffled =
        "FIELD_OPTION= 127; LEN_UNITS; 6\n"
        "OPTION= HEADER; 3\n"
        "FIELD_OPTION= 35; PAD_NIBBLE; F\n"
        "NAME= Shuffled\n"
        "FIELD_OPTION= 35; PAD; RIGHT\n"
        "FIELD=  35;    Z;  37; 2; N; Track 2 data\n"
        "FIELD_OPTION= 35; BIN_Enc; PBCD\n"
        "FIELD_OPTION= 35; BIN_Enc; PBCD\n"
        "FIELD_OPTION= 2; LEN_Enc; ASCII\n"
        "FIELD= 127;  ANS; 999; 5; N; Original\n"
        "OPTION= EMPTY_FIELDS; Y\n"
        "FIELD_OPTION= 7; CHR_Enc; EBCDIC\n"
        "LEN_Enc= CHAR\n";
    const std::string paths[] = {kDialectPath, kDemoPath};
    std::vector<std::string> inputs = {shuffled};
    for (const std::string& path : paths)
        inputs.push_back(ReadAll(path));
    for (const std::string& input : inputs) {
        auto first = std::make_unique<ProtocolDef>();
        Load(input, *first);
        const std::string once = Written(*first);
        auto second = std::make_unique<ProtocolDef>();
        Load(once, *second);
        EXPECT_EQ(Written(*second), once) << input;
        for (int n = 0; n < kFieldCount; ++n)
            EXPECT_EQ(second->settings[n], first->settings[n]) << "field " << n;
        EXPECT_EQ(second->options, first->options);
    }
}

TEST(SettingLinesTest, DialectExampleReadsEverySetting) {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    ASSERT_TRUE(LoadProtocolFile(kDialectPath, *def, error)) << error;
    EXPECT_EQ(def->options, Options(true, -1));
    EXPECT_EQ(def->settings[22], Num(PBCD) | Pad(PadSide::kRight) | PadNibble(0xF));
    EXPECT_EQ(def->settings[35], Bin(PBCD) | Pad(PadSide::kRight) | PadNibble(0xF));
    EXPECT_EQ(def->settings[41], Chr(EBCDIC));
    EXPECT_EQ(def->settings[55], Len(BIGEND) | Bin(NONE) | kWhole);
    EXPECT_EQ(def->settings[62], Bin(NONE) | kNibbles);
    EXPECT_EQ(def->settings[63], Len(PBCD) | kLeftAligned);
    EXPECT_EQ(def->settings[127], kSixUnits);
    EXPECT_EQ(def->fields[127].sizeLen, 6);
    EXPECT_FALSE(HasFieldSettings(*def, 2));
}

// A new dialect length encoding gives every variable field the prefix size it needs, except a
// field whose prefix is its own: its LEN_Enc or its six units.
TEST(RecomputeLengthPrefixSizesTest, LeavesFieldsWithTheirOwnPrefixAlone) {
    auto def = std::make_unique<ProtocolDef>();
    Load(
        "LEN_Enc= BIGEND\n"
        "FIELD=   2;    N;  19; 1; N; Own LEN_Enc\n"
        "FIELD=  22;    N;   3; 0; N; Fixed\n"
        "FIELD=  32;    N;  11; 1; N; Own NUM_Enc only\n"
        "FIELD=  63;  ANS; 999; 2; N; No setting\n"
        "FIELD= 127;  ANS; 999; 5; N; Six units\n"
        "FIELD_OPTION= 2; LEN_Enc; BIGEND\n"
        "FIELD_OPTION= 32; NUM_Enc; PBCD\n"
        "FIELD_OPTION= 127; LEN_UNITS; 6\n",
        *def);
    ASSERT_EQ(def->fields[127].sizeLen, 6);
    const struct {
        Encoding lenEnc;
        int sizes[5];  // of fields 2, 22, 32, 63, 127
    } cases[] = {
        {CHAR, {1, 0, 2, 3, 6}},
        {PBCD, {1, 0, 1, 2, 6}},
        {HEX, {1, 0, 1, 3, 6}},
        {BIGEND, {1, 0, 1, 2, 6}},
    };
    const int fields[] = {2, 22, 32, 63, 127};
    for (const auto& c : cases) {
        PickEncoding(*def, EncodingRole::kLength, c.lenEnc);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(def->fields[fields[i]].sizeLen, c.sizes[i])
                << NameOf(c.lenEnc) << " field " << fields[i];
        }
    }
}

TEST(FieldSettingsTest, OwnEncodingsStandInForTheDialectsInTheirRoleOnly) {
    auto def = std::make_unique<ProtocolDef>();
    Load(
        "LEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
        "FIELD=   2;    N;  19; 2; N; Packed\n"
        "FIELD=   3;    N;   6; 0; N; Dialect's\n"
        "FIELD=  35;    Z;  37; 2; N; Packed track\n"
        "FIELD=  41;  ANS;   8; 0; N; EBCDIC\n"
        "FIELD=  52;    B;   8; 0; N; Binary\n"
        "FIELD_OPTION= 2; NUM_Enc; PBCD\n"
        "FIELD_OPTION= 2; LEN_Enc; BIGEND\n"
        "FIELD_OPTION= 35; BIN_Enc; PBCD\n"
        "FIELD_OPTION= 41; CHR_Enc; EBCDIC\n",
        *def);
    const struct {
        int field;
        Encoding data;
        Encoding length;
        Encoding charset;
        bool binary;
    } cases[] = {
        {2, PBCD, BIGEND, ASCII, false}, {3, CHAR, CHAR, ASCII, false},
        {35, PBCD, CHAR, ASCII, false},  {41, EBCDIC, CHAR, EBCDIC, false},
        {52, HEX, CHAR, ASCII, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(def->DataEncoding(c.field), c.data) << c.field;
        EXPECT_EQ(LengthEncoding(*def, c.field), c.length) << c.field;
        EXPECT_EQ(FieldCharset(*def, c.field), c.charset) << c.field;
        EXPECT_EQ(ValueIsBinary(*def, c.field), c.binary) << c.field;
        EXPECT_EQ(EffectiveEncoding(*def, c.field, DataRole(def->fields[c.field].type)), c.data)
            << c.field;
    }
    EXPECT_EQ(def->numEnc, CHAR);
    EXPECT_EQ(def->lenEnc, CHAR);
    EXPECT_EQ(def->binEnc, HEX);
}

TEST(FieldSettingsTest, EachRoleAcceptsTheEncodingsOfItsClass) {
    const struct {
        EncodingRole role;
        FieldType type;
        const char* accepted;  // the names, in Encoding order
    } cases[] = {
        {EncodingRole::kLength, FieldType::ANS, "BIGEND PBCD HEX CHAR"},
        {EncodingRole::kNumeric, FieldType::N, "BIGEND PBCD HEX CHAR"},
        {EncodingRole::kNumeric, FieldType::AN, ""},
        {EncodingRole::kBinary, FieldType::B, "NONE HEX CHAR"},
        {EncodingRole::kBinary, FieldType::Z, "NONE PBCD HEX CHAR"},
        {EncodingRole::kBinary, FieldType::N, ""},
        {EncodingRole::kCharacter, FieldType::N, "ASCII EBCDIC"},
        {EncodingRole::kMti, FieldType::N, ""},
        {EncodingRole::kBitmap, FieldType::B, ""},
    };
    for (const auto& c : cases) {
        std::string names;
        for (int e = 0; e < kEncodingCount; ++e) {
            if (!AcceptsFieldEncoding(c.role, c.type, static_cast<Encoding>(e))) continue;
            names += std::string(names.empty() ? "" : " ") + NameOf(static_cast<Encoding>(e));
        }
        EXPECT_EQ(names, c.accepted) << KeyOf(c.role) << " " << NameOf(c.type);
    }
}

}  // namespace
