#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "../model/pro_text_io.h"
#include "diagnose/diagnoser.h"
#include "diagnose/reading_words.h"

namespace {

// A text dialect whose 0800 takes any field and needs none, so that the classic verdict passes
// whatever fields a case sends: what fails it is the strict finding alone.
const std::string kText =
    "NAME= Strict\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  41;  ANS;   8; 0; N; Terminal\n"
    "FIELD=  42;   AS;   4; 0; N; Acceptor\n"
    "FIELD=  43;    A;   4; 0; N; Name\n"
    "FIELD=  44;   AN;   4; 0; N; Response data\n"
    "FIELD=  47;  ANS; 999; 3; Y; Additional data\n"
    "FIELD=  48;  ANS; 999; 3; N; Private data\n"
    "FIELD=  70;    N;   3; 0; N; Network code\n"
    "MSG=0800;00000000000000000000000000000000;FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF;Network\n"
    "STRUCTURE= 47; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 47.10;  ANS;  19; 0; N; Reference\n";

void Load(AutoBuff& buffer, const std::string& bytes) {
    ASSERT_TRUE(buffer.Reserve(static_cast<int>(bytes.size()) + 1, false));
    std::memcpy(buffer.Data(), bytes.data(), bytes.size());
    buffer.SetLength(static_cast<int>(bytes.size()));
    buffer.Terminate();
}

std::unique_ptr<ProtocolDef> Definition(const std::string& text) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    LoadProText(text, *def);
    return def;
}

Diagnosis Strictly(const ProtocolDef& def, const std::string& message, bool allowTrailing = false,
                   bool strict = true) {
    AutoBuff buffer;
    Load(buffer, message);
    Diagnoser diagnoser(def);
    diagnoser.SetStrict(strict, allowTrailing);
    Diagnosis out;
    diagnoser.Diagnose(buffer, 0, out);
    return out;
}

struct StrictCase {
    const char* name;
    const std::string* definition;
    std::string message;  // as the units are
    FindingKind kind;
    int field;
    int offset;
    std::string text;
};

void PrintTo(const StrictCase& c, std::ostream* os) {
    *os << c.name;
}

class StrictFinding : public testing::TestWithParam<StrictCase> {};

// The classic verdict passes; the strict diagnosis fails the message for exactly one finding,
// which no longer counts among its warnings.
TEST_P(StrictFinding, FailsAMessageThatPassesClassically) {
    const StrictCase& c = GetParam();
    const auto def = Definition(*c.definition);
    const Diagnosis d = Strictly(*def, c.message);
    EXPECT_EQ(d.verdict, "... Parsing OK ...");
    EXPECT_FALSE(d.ok);
    ASSERT_EQ(d.strict.size(), 1u);
    EXPECT_EQ(d.strict[0].kind, c.kind);
    EXPECT_EQ(d.strict[0].field, c.field);
    EXPECT_EQ(d.strict[0].offset, c.offset);
    EXPECT_EQ(d.strict[0].text, c.text);
    for (const Finding& warning : d.warnings)
        EXPECT_NE(warning.text, c.text);
}

// Without --strict the same message passes and the finding is a warning.
TEST_P(StrictFinding, IsAWarningOnlyWithoutStrict) {
    const StrictCase& c = GetParam();
    const auto def = Definition(*c.definition);
    const Diagnosis d = Strictly(*def, c.message, false, false);
    EXPECT_TRUE(d.ok);
    EXPECT_TRUE(d.strict.empty());
    bool warned = false;
    for (const Finding& warning : d.warnings)
        warned = warned || warning.text == c.text;
    EXPECT_TRUE(warned) << c.text;
}

// MTI 0800 (4 units), then a bitmap of 16 hexadecimal characters from offset 4.
const std::string kNet = "0800";

INSTANTIATE_TEST_SUITE_P(
    Kinds, StrictFinding,
    testing::Values(
        StrictCase{"BitmapCutShort", &kText, kNet + "0000", FindingKind::kBitmap, 0, 4,
                   "bitmap: 4 units, needs 16"},
        StrictCase{"SecondaryAnnouncedAndAbsent", &kText, kNet + "8000000000000000",
                   FindingKind::kBitmap, 0, 20,
                   "secondary bitmap announced (bit 1) but the message ends at unit 20"},
        StrictCase{"SecondaryAnnouncedAndCutShort", &kText, kNet + "8000000000000000" + "04",
                   FindingKind::kBitmap, 0, 20,
                   "secondary bitmap announced (bit 1): 2 units at offset 20, needs 16"},
        StrictCase{"BitmapUnitNotHexadecimal", &kText, kNet + "20000G0000000000" + "000000",
                   FindingKind::kBitmap, 0, 9,
                   "bitmap unit 9 ('G') is not hexadecimal, read as zero bits from there"},
        StrictCase{"SecondaryBitmapUnitNotHexadecimal", &kText,
                   kNet + "A000000000000000" + "040000000000000Z" + "000000" + "301",
                   FindingKind::kBitmap, 0, 35,
                   "secondary bitmap unit 35 ('Z') is not hexadecimal, read as zero bits from "
                   "there"},
        StrictCase{"LetterInNumeric", &kText, kNet + "2000000000000000" + "00A000",
                   FindingKind::kType, 3, 22, "field 3: 'A' at offset 22 does not fit N"},
        StrictCase{"DigitInAlphabetic", &kText, kNet + "0000000000200000" + "AB1 ",
                   FindingKind::kType, 43, 22, "field 43: '1' at offset 22 does not fit A"},
        StrictCase{"SignInAlphanumeric", &kText, kNet + "0000000000100000" + "AB-1",
                   FindingKind::kType, 44, 22, "field 44: '-' at offset 22 does not fit AN"},
        StrictCase{"ControlInAns", &kText, kNet + "0000000000800000" + "TERM\x07" + "001",
                   FindingKind::kType, 41, 24, "field 41: '\x07' at offset 24 does not fit ANS"},
        StrictCase{"HighByteInAs", &kText, kNet + "0000000000400000" + "AB\xE9" + "1",
                   FindingKind::kType, 42, 22, "field 42: '\xE9' at offset 22 does not fit AS"},
        // Long values are judged sixteen units at a time: a unit past the first sixteen, and a
        // byte from 0x80, which a signed comparison would take for one below 0x20.
        StrictCase{"LetterLateInLongNumeric", &kText,
                   kNet + "4000000000000000" + "18" + "41111111111111111X", FindingKind::kType, 2,
                   39, "field 2: 'X' at offset 39 does not fit N"},
        StrictCase{"DelLateInLongAns", &kText,
                   kNet + "0000000000010000" + "040" + std::string(39, 'A') + "\x7F",
                   FindingKind::kType, 48, 62, "field 48: '\x7F' at offset 62 does not fit ANS"},
        StrictCase{"HighByteInLongAns", &kText,
                   kNet + "0000000000010000" + "040" + std::string(20, ' ') + "\xE9" +
                       std::string(19, '~'),
                   FindingKind::kType, 48, 43, "field 48: '\xE9' at offset 43 does not fit ANS"},
        StrictCase{"LengthAboveMaximum", &kText,
                   kNet + "4000000000000000" + "20" + "41111111111111111111", FindingKind::kLength,
                   2, 20, "field 2: length 20 above the maximum 19 at offset 20"},
        StrictCase{"TrailingUnits", &kText, kNet + "2000000000000000" + "000000" + "XY",
                   FindingKind::kTrailing, 0, 26, "2 trailing units at offset 26"},
        StrictCase{"SubfieldThatDoesNotFit", &kText, kNet + "0000000000020000" + "006" + "100912",
                   FindingKind::kSubfield, 47, 23,
                   "subfield 47.10: length 9 runs past the end: 2 units remain"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StrictDiagnosis, PassesAMessageWithoutFindings) {
    const auto def = Definition(kText);
    const Diagnosis d = Strictly(*def, kNet + "2000000000000000" + "000000");
    EXPECT_TRUE(d.ok);
    EXPECT_TRUE(d.strict.empty());
}

// Units after the last field are no finding where --allow-trailing or the definition says so;
// every other kind still is.
TEST(StrictDiagnosis, TrailingUnitsAllowedByOptionOrDefinition) {
    const std::string trailing = kNet + "2000000000000000" + "000000" + "XY";
    const std::string both = kNet + "2000000000000000" + "00A000" + "XY";
    const auto def = Definition(kText);
    const auto allowing = Definition(kText + "OPTION= TRAILING; Y\n");
    EXPECT_TRUE(Strictly(*def, trailing, true).ok);
    EXPECT_TRUE(Strictly(*allowing, trailing).ok);
    const Diagnosis d = Strictly(*allowing, both);
    ASSERT_EQ(d.strict.size(), 1u);
    EXPECT_EQ(d.strict[0].kind, FindingKind::kType);
}

// A classic failure is left to its verdict: no strict finding is added to it.
TEST(StrictDiagnosis, LeavesAClassicFailureToItsVerdict) {
    const auto def = Definition(kText);
    const Diagnosis d = Strictly(*def, "0900" + std::string("2000000000000000") + "00A000");
    EXPECT_FALSE(d.ok);
    EXPECT_TRUE(d.strict.empty());
}

// The findings a check reads without the map are those of the diagnosis, offsets counted from
// the first unit of the message whatever header was set aside.
TEST(StrictDiagnosis, CheckFindingsAreTheDiagnosisFindings) {
    const auto def = Definition(kText);
    const std::string message =
        "HDR" + kNet + "4000000000000000" + "20" + "41111111111111111111" + "XY";
    AutoBuff buffer;
    Load(buffer, message);
    Diagnoser diagnoser(*def);
    diagnoser.SetStrict(true, false);
    Diagnosis d;
    diagnoser.Diagnose(buffer, 3, d);
    std::vector<Finding> findings;
    diagnoser.StrictFindings(buffer, 3, findings);
    ASSERT_EQ(findings.size(), d.strict.size());
    ASSERT_EQ(findings.size(), 2u);
    for (std::size_t i = 0; i < findings.size(); ++i) {
        EXPECT_EQ(findings[i].text, d.strict[i].text);
        EXPECT_EQ(findings[i].offset, d.strict[i].offset);
    }
    EXPECT_EQ(findings[0].text, "field 2: length 20 above the maximum 19 at offset 23");
    EXPECT_EQ(findings[1].text, "2 trailing units at offset 45");
}

}  // namespace
