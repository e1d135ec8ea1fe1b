#include "diagnose/diagnoser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include "diagnose/reading_words.h"
#include "model/pro_file.h"

namespace {

const std::string kDemoPro = ISO_EXAMPLES_DIR "/demo.pro";

// The demo's first request (0200 with fields 2, 3, 4, 11 and 41), in parts.
const std::string kMti = "30323030";
const std::string kBitmap = "7020000000800000";
const std::string kFields = "104111111111111111000000000000001000000123";
const std::string kTerminal = "5445524D30303031";
const std::string kRequest = kMti + kBitmap + kFields + kTerminal;

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string HexText(const std::string& text) {
    std::string hex;
    char pair[3];
    for (unsigned char c : text) {
        std::snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    return hex;
}

void Load(AutoBuff& buffer, const std::string& hex) {
    const std::string bytes = Bytes(hex);
    ASSERT_TRUE(buffer.Reserve(static_cast<int>(bytes.size()) + 1, false));
    std::memcpy(buffer.Data(), bytes.data(), bytes.size());
    buffer.SetLength(static_cast<int>(bytes.size()));
    buffer.Terminate();
}

std::unique_ptr<ProtocolDef> Demo() {
    auto def = std::make_unique<ProtocolDef>();
    std::string error;
    EXPECT_TRUE(LoadProtocolFile(kDemoPro, *def, error)) << error;
    return def;
}

void LengthsInPbcd(ProtocolDef& def) {
    PickEncoding(def, EncodingRole::kLength, Encoding::PBCD);
}

Diagnosis DiagnoseHex(const ProtocolDef& def, const std::string& hex, int header = 0) {
    AutoBuff message;
    Load(message, hex);
    return DiagnoseMessage(message, header, def);
}

struct FirstReadingCase {
    const char* name;
    void (*adjust)(ProtocolDef&);
    std::string hex;
    std::string words;
};

void PrintTo(const FirstReadingCase& c, std::ostream* os) {
    *os << c.name;
}

class DiagnoseFindsReading : public testing::TestWithParam<FirstReadingCase> {};

TEST_P(DiagnoseFindsReading, BestReadingFirst) {
    const FirstReadingCase& c = GetParam();
    auto def = Demo();
    if (c.adjust != nullptr) c.adjust(*def);
    const Diagnosis d = DiagnoseHex(*def, c.hex);
    EXPECT_FALSE(d.ok);
    ASSERT_FALSE(d.readings.empty());
    const Reading& best = d.readings.front();
    EXPECT_EQ(ReadingWords(best), c.words);
    EXPECT_TRUE(best.ok);
    EXPECT_EQ(best.verdict, "... Parsing OK ...");
}

INSTANTIATE_TEST_SUITE_P(
    Readings, DiagnoseFindsReading,
    testing::Values(
        FirstReadingCase{"Tpdu", nullptr, "6000030000" + kRequest,
                         "a header of 5 units (6000030000), then passes as 0200"},
        FirstReadingCase{"TwelveUnitHeader", nullptr, HexText("ISO026000050") + kRequest,
                         "a header of 12 units (49534F303236303030303530), then passes as 0200"},
        FirstReadingCase{"HexTextBitmap", nullptr, kMti + HexText(kBitmap) + kFields + kTerminal,
                         "BMP_Enc=HEX: passes as 0200"},
        FirstReadingCase{"EbcdicText", nullptr, "F0F2F0F0" + kBitmap + kFields + "E3C5D9D4F0F0F0F1",
                         "CHR_Enc=EBCDIC: passes as 0200"},
        FirstReadingCase{
            "BigEndianLengths", LengthsInPbcd,
            kMti + "7020000000800200" + kFields + kTerminal + "059F02060000",
            "LEN_Enc=BIGEND with prefix sizes 2 \u2192 1 for field 55: passes as 0200"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Diagnose, ExampleMessagesFailAndNameTheirRepairFirst) {
    auto def = Demo();
    const char* expected[] = {
        "a header of 5 units (6000030000), then passes as 0200",
        "BMP_Enc=HEX: passes as 0200",
        "CHR_Enc=EBCDIC: passes as 0210",
    };
    std::ifstream in(ISO_EXAMPLES_DIR "/diagnose-messages.hex");
    std::string line;
    std::size_t i = 0;
    for (; std::getline(in, line); ++i) {
        ASSERT_LT(i, std::size(expected));
        const Diagnosis d = DiagnoseHex(*def, line);
        EXPECT_FALSE(d.ok) << line;
        ASSERT_FALSE(d.readings.empty()) << line;
        EXPECT_EQ(ReadingWords(d.readings[0]), expected[i]);
    }
    EXPECT_EQ(i, std::size(expected));
}

TEST(Diagnose, PassingMessageHasNoReadingsAndAMapOfEveryUnit) {
    auto def = Demo();
    const Diagnosis d = DiagnoseHex(*def, kRequest);
    EXPECT_TRUE(d.ok);
    EXPECT_FALSE(d.searched);
    EXPECT_TRUE(d.readings.empty());
    EXPECT_FALSE(d.stopped);
    EXPECT_TRUE(d.warnings.empty());
    const char* parts[] = {"mti", "bitmap", "field", "field", "field", "field", "field"};
    const int fields[] = {0, 0, 2, 3, 4, 11, 41};
    ASSERT_EQ(d.map.size(), std::size(parts));
    int at = 0;
    for (std::size_t i = 0; i < d.map.size(); ++i) {
        EXPECT_STREQ(NameOf(d.map[i].part), parts[i]);
        EXPECT_EQ(d.map[i].field, fields[i]);
        EXPECT_EQ(d.map[i].offset, at);
        at += d.map[i].units;
    }
    EXPECT_EQ(at, static_cast<int>(kRequest.size() / 2));
    EXPECT_EQ(d.map[2].prefixUnits, 1);
    EXPECT_EQ(d.map[2].value, "4111111111111111");
    EXPECT_EQ(d.map[6].value, "TERM0001");
}

TEST(Diagnose, MessageNoReadingRepairsSaysSo) {
    auto def = Demo();
    // Field 41 cut short by five units.
    const Diagnosis d = DiagnoseHex(*def, kMti + kBitmap + kFields + "544552");
    EXPECT_TRUE(d.searched);
    EXPECT_TRUE(d.readings.empty());
    ASSERT_TRUE(d.stopped);
    EXPECT_EQ(d.stopped->text, "field 41: needs 8 units at offset 33, 3 remain");
    ASSERT_FALSE(d.map.empty());
    EXPECT_TRUE(d.map.back().stopped);
    EXPECT_EQ(d.map.back().offset, 33);
    EXPECT_EQ(d.map.back().units, 3);
}

TEST(Diagnose, TrailingUnitsAreMappedAndWarned) {
    auto def = Demo();
    const Diagnosis d = DiagnoseHex(*def, kRequest + "FFFF");
    EXPECT_TRUE(d.ok);
    ASSERT_FALSE(d.map.empty());
    EXPECT_STREQ(NameOf(d.map.back().part), "trailing");
    EXPECT_EQ(d.map.back().offset, 41);
    EXPECT_EQ(d.map.back().units, 2);
    ASSERT_EQ(d.warnings.size(), 1u);
    EXPECT_EQ(d.warnings[0].text, "2 trailing units at offset 41");
}

TEST(Diagnose, HeaderSetAsideIsMappedAndOffsetsCountFromTheFirstUnit) {
    auto def = Demo();
    const Diagnosis d = DiagnoseHex(*def, "6000030000" + kRequest, 5);
    EXPECT_TRUE(d.ok);
    ASSERT_GE(d.map.size(), 2u);
    EXPECT_STREQ(NameOf(d.map[0].part), "header");
    EXPECT_EQ(d.map[0].units, 5);
    EXPECT_EQ(d.map[1].offset, 5);
    EXPECT_EQ(d.map[1].value, "0200");
}

void HexBitmap(ProtocolDef& def) {
    def.bmpEnc = Encoding::HEX;
}

struct WarningCase {
    const char* name;
    void (*adjust)(ProtocolDef&);
    std::string hex;
    std::vector<std::string> warnings;
};

void PrintTo(const WarningCase& c, std::ostream* os) {
    *os << c.name;
}

class DiagnoseWarns : public testing::TestWithParam<WarningCase> {};

TEST_P(DiagnoseWarns, ListsWhatTheVerdictDoesNotSay) {
    auto def = Demo();
    if (GetParam().adjust != nullptr) GetParam().adjust(*def);
    const Diagnosis d = DiagnoseHex(*def, GetParam().hex);
    std::vector<std::string> texts;
    for (const Finding& w : d.warnings)
        texts.push_back(w.text);
    EXPECT_EQ(texts, GetParam().warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Warnings, DiagnoseWarns,
    testing::Values(
        WarningCase{"ControlCharacterInAns",
                    nullptr,
                    kMti + kBitmap + kFields + "5445524D07303031",
                    {"field 41: '\x07' at offset 37 does not fit ANS"}},
        WarningCase{"PrefixAboveMaximum",
                    nullptr,
                    kMti + "4000000000000000" + "14" + "41111111111111111111",
                    {"field 2: length 20 above the maximum 19 at offset 12"}},
        // 0210 allows neither a secondary bitmap (field 1) nor field 55; the verdict names 1.
        WarningCase{
            "EveryFieldNotAllowed",
            nullptr,
            "30323130F020000000800200" + std::string(16, '0') + kFields + kTerminal +
                "059F02060000",
            {"field 1: not allowed in message 0210", "field 55: not allowed in message 0210"}},
        WarningCase{"BitmapTextThatDoesNotConvert",
                    HexBitmap,
                    kMti + HexText("70200000008000X0") + kFields + kTerminal,
                    {"bitmap unit 18 ('X') is not hexadecimal, read as zero bits from there"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct StopCase {
    const char* name;
    std::string hex;
    std::string reason;
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class DiagnoseStop : public testing::TestWithParam<StopCase> {};

TEST_P(DiagnoseStop, SaysWhichStepFailedAndWhy) {
    auto def = Demo();
    const Diagnosis d = DiagnoseHex(*def, GetParam().hex);
    ASSERT_TRUE(d.stopped);
    EXPECT_EQ(d.stopped->text, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, DiagnoseStop,
    testing::Values(StopCase{"NoDataElement", kMti + "7220000000800000" + kFields + kTerminal,
                             "field 7: bit set, no data element"},
                    StopCase{"PackedNibble",
                             kMti + kBitmap + "1041111111111111110A0000" + "000000001000" +
                                 "000123" + kTerminal,
                             "field 3: PBCD nibble A at offset 21"},
                    StopCase{"ZeroLength",
                             kMti + kBitmap + "00" + "000000000000001000000123" + kTerminal,
                             "field 2: length prefix 00 (1 unit at offset 12) gives length 0"},
                    StopCase{"TooShortForAnything", "30323030",
                             "4 units: too short for the MTI (8 under "
                             "CHAR) and for the bitmap (8 under NONE)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Diagnose, CharacterLengthPrefixThatIsNoNumber) {
    ProtocolDef def;
    def.lenEnc = Encoding::CHAR;
    def.numEnc = Encoding::CHAR;
    DefineField(def.fields[2], FieldType::N, 19, 2, false, "PAN");
    const std::string hex = HexText("0200") + "4000000000000000" + HexText("9A12345678");
    const Diagnosis d = DiagnoseHex(def, hex);
    ASSERT_TRUE(d.stopped);
    EXPECT_EQ(d.stopped->text,
              "field 2: length prefix '9A' (2 units at offset 12) is not a number under CHAR");
}

std::string Written(const ProtocolDef& def) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    WriteProtocolLines(file, def);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

TEST(Diagnose, SearchLeavesTheUsersDefinitionAsItWas) {
    auto def = Demo();
    // A prefix size unlike the one the length encoding gives, as a file may hold it.
    def->fields[55].sizeLen = 3;
    const std::string before = Written(*def);
    const Diagnosis d =
        DiagnoseHex(*def, "6000030000" + kMti + HexText(kBitmap) + kFields + kTerminal);
    EXPECT_TRUE(d.searched);
    EXPECT_EQ(Written(*def), before);
    // Nor does it change the copy for the next message: the demo request still passes.
    Diagnoser diagnoser(*def);
    Diagnosis again;
    AutoBuff message;
    Load(message, "30313030" + kBitmap);
    diagnoser.Diagnose(message, 0, again);
    Load(message, kRequest);
    diagnoser.Diagnose(message, 0, again);
    EXPECT_TRUE(again.ok);
}

TEST(Diagnose, ReadingsRankPassingBeforeFewerChanges) {
    auto def = Demo();
    const Diagnosis d =
        DiagnoseHex(*def, "6000030000" + kMti + HexText(kBitmap) + kFields + kTerminal);
    ASSERT_FALSE(d.readings.empty());
    EXPECT_EQ(ReadingWords(d.readings[0]),
              "a header of 5 units (6000030000) and BMP_Enc=HEX, then passes as 0200");
    EXPECT_LE(d.readings.size(), static_cast<std::size_t>(Diagnoser::kKept));
}

struct WordsCase {
    Reading reading;
    std::string words;
};

Reading Make(int header, bool headerChanged, std::optional<EncodingChange> change, bool ok,
             int warnings, const char* verdict) {
    Reading r;
    r.header = header;
    r.headerChanged = headerChanged;
    r.change = change;
    r.ok = ok;
    r.warnings = warnings;
    std::strcpy(r.mti, "0400");
    r.verdict = verdict;
    r.headerHex = std::string(2 * header, 'A');
    return r;
}

TEST(ReadingWords, SayChangesThenOutcome) {
    const EncodingChange hex{EncodingRole::kBitmap, Encoding::HEX};
    const WordsCase cases[] = {
        {Make(0, false, hex, true, 0, "... Parsing OK ..."), "BMP_Enc=HEX: passes as 0400"},
        {Make(1, true, std::nullopt, true, 2, "... Parsing OK ..."),
         "a header of 1 unit (AA), then passes as 0400 (2 warnings)"},
        {Make(2, true, EncodingChange{EncodingRole::kCharacter, Encoding::EBCDIC}, false, 1,
              "Unknown message 0400"),
         "a header of 2 units (AAAA) and CHR_Enc=EBCDIC, then decodes exactly as 0400 with the "
         "verdict \"Unknown message 0400\" (1 warning)"},
    };
    for (const WordsCase& c : cases)
        EXPECT_EQ(ReadingWords(c.reading), c.words);
}

}  // namespace
