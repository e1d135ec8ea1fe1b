#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "content/field_content.h"
#include "content/hex_bytes.h"
#include "interop/interop.h"
#include "model/pro_file.h"
#include "model/pro_text_io.h"

namespace {

std::unique_ptr<ProtocolDef> NewDef() {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    return def;
}

struct Imported {
    std::unique_ptr<ProtocolDef> def = NewDef();
    InteropNotes notes;
    std::string error;
    bool ok = false;
};

Imported Import(const std::string& json) {
    Imported got;
    got.ok = ImportMoov(json, *got.def, got.notes, got.error);
    return got;
}

bool HasNote(const InteropNotes& notes, const std::string& text) {
    return std::any_of(notes.begin(), notes.end(), [&](const std::string& note) {
        return note.find(text) != std::string::npos;
    });
}

std::string Joined(const InteropNotes& notes) {
    std::string all;
    for (const std::string& note : notes)
        all += note + "\n";
    return all;
}

// A moov field list of an ASCII MTI, a binary bitmap, field 2 as given, and two fields each of
// decimal prefixes, characters for digits and bytes, which make those the dialect's encodings.
std::string FieldListWithField2(const std::string& field2) {
    return R"({"name": "t", "fields": {
        "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "1": {"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
        "2": )" +
           field2 + R"(,
        "60": {"type": "Numeric", "length": 9, "enc": "ASCII", "prefix": "ASCII.LL"},
        "61": {"type": "Numeric", "length": 9, "enc": "ASCII", "prefix": "ASCII.LL"},
        "62": {"type": "Binary", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
        "63": {"type": "Binary", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"}}})";
}

FieldSettings Settings(std::optional<Encoding> lenEnc, std::optional<Encoding> numEnc,
                       std::optional<Encoding> binEnc, std::optional<Encoding> charset) {
    FieldSettings s;
    s.lenEnc = lenEnc;
    s.numEnc = numEnc;
    s.binEnc = binEnc;
    s.charset = charset;
    return s;
}

struct FieldCase {
    const char* json;
    FieldType type;
    int size;
    int sizeLen;
    FieldSettings settings;
};

TEST(ImportMoov, MapsEachTypeEncodingAndPrefixOntoTheFieldItReadsAs) {
    using enum Encoding;
    auto lbcd = Settings({}, PBCD, {}, {});
    lbcd.padSide = PadSide::kRight;
    auto whole = Settings(BIGEND, {}, {}, {});
    whole.prefixNumber = true;
    auto six = Settings(HEX, {}, {}, {});
    six.sixUnitPrefix = true;
    const FieldCase cases[] = {
        {R"({"type": "String", "length": 19, "enc": "ASCII", "prefix": "ASCII.LL"})",
         FieldType::ANS,
         19,
         2,
         {}},
        {R"({"type": "String", "length": 999, "enc": "EBCDIC", "prefix": "EBCDIC.LLL"})",
         FieldType::ANS, 999, 3, Settings({}, {}, {}, EBCDIC)},
        {R"({"type": "Numeric", "length": 6, "enc": "ASCII", "prefix": "ASCII.Fixed",
             "padding": {"type": "Left", "pad": "0"}})",
         FieldType::N,
         6,
         0,
         {}},
        {R"({"type": "Numeric", "length": 19, "enc": "BCD", "prefix": "BCD.LL"})", FieldType::N, 19,
         1, Settings(PBCD, PBCD, {}, {})},
        {R"({"type": "Numeric", "length": 999, "enc": "BCD", "prefix": "BCD.LLL"})", FieldType::N,
         999, 2, Settings(PBCD, PBCD, {}, {})},
        {R"({"type": "Numeric", "length": 3, "enc": "LBCD", "prefix": "BCD.Fixed"})", FieldType::N,
         3, 0, lbcd},
        {R"({"type": "String", "length": 4, "enc": "BCD", "prefix": "BCD.Fixed"})", FieldType::N, 4,
         0, Settings({}, PBCD, {}, {})},
        {R"({"type": "Numeric", "length": 4, "enc": "Binary", "prefix": "ASCII.Fixed"})",
         FieldType::N,
         4,
         0,
         {}},
        {R"({"type": "Numeric", "length": 12, "enc": "EBCDIC", "prefix": "BCD.LL"})", FieldType::N,
         12, 1, Settings(PBCD, {}, {}, EBCDIC)},
        {R"({"type": "Binary", "length": 999, "enc": "Binary", "prefix": "Binary.LL"})",
         FieldType::B, 999, 2, Settings(BIGEND, {}, {}, {})},
        {R"({"type": "Binary", "length": 9999, "enc": "Binary", "prefix": "Binary.LLLL"})",
         FieldType::B, 9999, 4, whole},
        {R"({"type": "Hex", "length": 8, "enc": "Binary", "prefix": "Binary.L"})", FieldType::B, 8,
         1, Settings(BIGEND, {}, {}, {})},
        {R"({"type": "Binary", "length": 255, "enc": "HexToASCII", "prefix": "ASCII.LLL"})",
         FieldType::B, 255, 3, Settings({}, {}, HEX, {})},
        {R"({"type": "Binary", "length": 99, "enc": "Binary", "prefix": "EBCDIC.LL"})",
         FieldType::B, 99, 2, Settings({}, {}, {}, EBCDIC)},
        {R"({"type": "String", "length": 300, "enc": "ASCII", "prefix": "Hex.LL"})", FieldType::ANS,
         300, 4, Settings(HEX, {}, {}, {})},
        {R"({"type": "String", "length": 999, "enc": "ASCII", "prefix": "Hex.LLL"})",
         FieldType::ANS, 999, 6, six},
        {R"({"type": "Track2", "length": 37, "enc": "ASCII", "prefix": "ASCII.LL"})",
         FieldType::ANS,
         37,
         2,
         {}},
    };
    for (const FieldCase& c : cases) {
        const Imported got = Import(FieldListWithField2(c.json));
        ASSERT_TRUE(got.ok) << got.error;
        const ProtocolDef& def = *got.def;
        EXPECT_EQ(def.lenEnc, CHAR) << c.json;
        EXPECT_EQ(def.numEnc, CHAR) << c.json;
        EXPECT_EQ(def.binEnc, NONE) << c.json;
        EXPECT_EQ(def.chrEnc, ASCII) << c.json;
        EXPECT_EQ(def.fields[2].type, c.type) << c.json;
        EXPECT_EQ(def.fields[2].size, c.size) << c.json;
        EXPECT_EQ(def.fields[2].sizeLen, c.sizeLen) << c.json;
        EXPECT_TRUE(def.settings[2] == c.settings) << c.json;
        EXPECT_FALSE(HasNote(got.notes, "field 2:")) << c.json << "\n" << Joined(got.notes);
    }
}

TEST(ImportMoov, TheCommonestEncodingsBecomeTheDialectsAndTheOthersSettings) {
    const Imported got = Import(R"({"fields": {
        "0": {"type": "String", "length": 4, "enc": "BCD", "prefix": "BCD.Fixed"},
        "1": {"type": "Bitmap", "length": 8, "enc": "HexToASCII", "prefix": "Hex.Fixed"},
        "2": {"type": "Numeric", "length": 19, "enc": "BCD", "prefix": "BCD.LL"},
        "3": {"type": "Numeric", "length": 6, "enc": "BCD", "prefix": "BCD.Fixed"},
        "4": {"type": "Numeric", "length": 12, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "32": {"type": "Numeric", "length": 11, "enc": "BCD", "prefix": "BCD.LL"},
        "35": {"type": "String", "length": 37, "enc": "ASCII", "prefix": "ASCII.LL"}}})");
    ASSERT_TRUE(got.ok) << got.error;
    const ProtocolDef& def = *got.def;
    EXPECT_EQ(def.mtiEnc, Encoding::PBCD);
    EXPECT_EQ(def.bmpEnc, Encoding::HEX);
    EXPECT_EQ(def.lenEnc, Encoding::PBCD);
    EXPECT_EQ(def.numEnc, Encoding::PBCD);
    EXPECT_EQ(def.chrEnc, Encoding::ASCII);
    EXPECT_FALSE(def.settings[2].Any());
    EXPECT_TRUE(def.settings[4] == Settings({}, Encoding::CHAR, {}, {}));
    EXPECT_TRUE(def.settings[35] == Settings(Encoding::CHAR, {}, {}, {}));
    EXPECT_TRUE(got.notes.empty()) << Joined(got.notes);
}

struct NoteCase {
    const char* field2;
    const char* note;
    bool defined;
};

TEST(ImportMoov, SaysWhatItCannotCarryOverAndLeavesItUndefined) {
    const NoteCase cases[] = {
        {R"({"type": "String", "length": 8, "enc": "Hex", "prefix": "Hex.Fixed"})",
         "field 2: encoding 'Hex' is not a moov encoding; left undefined", false},
        {R"({"type": "String", "length": 99, "enc": "ASCII", "prefix": "Hex.LLLL"})",
         "field 2: prefix 'Hex.LLLL' is longer than the 6 hexadecimal digits", false},
        {R"({"type": "String", "length": 99, "enc": "ASCII", "prefix": "ASCII.LLLLL"})",
         "field 2: prefix 'ASCII.LLLLL' is not a moov prefix; left undefined", false},
        {R"({"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"})",
         "field 2: a Bitmap is the bitmap of the message or of a composite", false},
        {R"({"type": "Decimal", "length": 8, "enc": "ASCII", "prefix": "ASCII.Fixed"})",
         "field 2: type 'Decimal' is not a moov field type", false},
        {R"({"type": "String", "length": 10000, "enc": "ASCII", "prefix": "ASCII.Fixed"})",
         "field 2: its length is not a whole number from 1 to 9999", false},
        {R"({"type": "String", "length": 2.5, "enc": "ASCII", "prefix": "ASCII.Fixed"})",
         "field 2: its length is not a whole number", false},
        {R"({"type": "String", "enc": "ASCII", "prefix": "ASCII.Fixed"})",
         "field 2: it has no length", false},
        {R"({"type": "String", "length": 76, "enc": "ASCII", "prefix": "EBCDIC.LL"})",
         "field 2: its length prefix is in EBCDIC and its data in ASCII", false},
        {R"({"type": "Numeric", "length": 8, "enc": "HexToASCII", "prefix": "ASCII.Fixed"})",
         "field 2: a Numeric value in HexToASCII is not one a definition reads", false},
        {R"({"type": "Binary", "length": 8, "enc": "Binary", "prefix": "BerTLV"})",
         "field 2: BerTLV is the length of a data object", false},
        {R"({"type": "Composite", "length": 8, "prefix": "ASCII.Fixed", "subfields": {}})",
         "field 2: a composite without subfields", false},
        {R"("ASCII")", "field 2: not an object", false},
        {R"({"type": "Track2", "length": 19, "enc": "ASCIIToHex", "prefix": "Binary.L"})",
         "field 2: moov reads ASCIIToHex data as bytes", true},
    };
    for (const NoteCase& c : cases) {
        const Imported got = Import(FieldListWithField2(c.field2));
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_TRUE(HasNote(got.notes, c.note)) << c.field2 << "\n" << Joined(got.notes);
        EXPECT_EQ(got.def->fields[2].type != FieldType::U, c.defined) << c.field2;
    }
}

TEST(ImportMoov, SaysWhatTheMtiAndBitmapAreNotAndKeepsFieldsInRange) {
    const Imported got = Import(R"({"fields": {
        "0": {"type": "String", "length": 3, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "1": {"type": "Bitmap", "length": 16, "enc": "HexToASCII", "prefix": "Hex.Fixed",
              "disableautoexpand": true},
        "65": {"type": "Binary", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
        "129": {"type": "String", "length": 1, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "x2": {"type": "String", "length": 1, "enc": "ASCII", "prefix": "ASCII.Fixed"}}})");
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_TRUE(HasNote(got.notes, "field 0: an MTI that is not 4 long")) << Joined(got.notes);
    // A bitmap fixed at 16 bytes is the dialect's fixed bitmap, which needs no note.
    EXPECT_FALSE(HasNote(got.notes, "field 1:")) << Joined(got.notes);
    EXPECT_TRUE(got.def->options.fixedBitmap);
    EXPECT_TRUE(HasNote(got.notes, "key '129' is not a field number from 0 to 128; left out"));
    EXPECT_TRUE(HasNote(got.notes, "key 'x2' is not a field number"));
    // A bitmap that never expands has no third bitmap to announce with bit 65.
    EXPECT_FALSE(HasNote(got.notes, "field 65:"));
    EXPECT_EQ(got.def->fields[65].type, FieldType::B);
    EXPECT_EQ(got.def->bmpEnc, Encoding::HEX);
}

struct BitmapCase {
    const char* bitmap;
    bool fixed;
    const char* note;  // "" for none
};

TEST(ImportMoov, ReadsTheBitmapAsFixedOnlyWhenMoovNeverExpandsItsSixteenBytes) {
    const BitmapCase cases[] = {
        {R"({"type": "Bitmap", "length": 16, "enc": "Binary", "prefix": "Binary.Fixed",
             "disableautoexpand": true})",
         true, ""},
        {R"({"type": "Bitmap", "length": 16, "enc": "HexToASCII", "prefix": "Hex.Fixed",
             "disableautoexpand": true})",
         true, ""},
        {R"({"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"})", false,
         ""},
        {R"({"type": "Bitmap", "length": 16, "enc": "Binary", "prefix": "Binary.Fixed"})", false,
         "field 1: a bitmap of 16 bytes; the definition reads blocks of 8, a second when bit 1 "
         "is set"},
        {R"({"type": "Bitmap", "length": 16, "enc": "Binary", "prefix": "Binary.Fixed",
             "disableautoexpand": false})",
         false, "field 1: a bitmap of 16 bytes"},
        {R"({"type": "Bitmap", "length": 24, "enc": "Binary", "prefix": "Binary.Fixed",
             "disableautoexpand": true})",
         false, "field 1: a bitmap of 24 bytes"},
    };
    for (const BitmapCase& c : cases) {
        const Imported got = Import(std::string(R"({"fields": {
            "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
            "1": )") + c.bitmap + R"(,
            "3": {"type": "Numeric", "length": 6, "enc": "ASCII", "prefix": "ASCII.Fixed"}}})");
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_EQ(got.def->options.fixedBitmap, c.fixed) << c.bitmap;
        if (*c.note == '\0') {
            EXPECT_TRUE(got.notes.empty()) << c.bitmap << "\n" << Joined(got.notes);
        } else {
            EXPECT_TRUE(HasNote(got.notes, c.note)) << c.bitmap << "\n" << Joined(got.notes);
        }
    }
}

struct Refused {
    const char* text;
    const char* error;
};

TEST(ImportMoov, RefusesWhatIsNotAMoovFieldListWithTheReason) {
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const Refused cases[] = {
        {"", "not well-formed JSON"},
        {R"({"fields": {"0": )", "not well-formed JSON"},
        {R"({"fields": {"2": {"length": 1e999}}})", "a number too large for JSON to hold"},
        {"[1, 2]", "no \"fields\" object"},
        {R"({"name": "x"})", "no \"fields\" object"},
        {R"({"fields": [1]})", "no \"fields\" object"},
        {R"({"fields": {}})", "its \"fields\" object is empty"},
        {deep.c_str(), "nested deeper than 64 levels"},
    };
    for (const Refused& c : cases) {
        const Imported got = Import(c.text);
        EXPECT_FALSE(got.ok) << c.text;
        EXPECT_NE(got.error.find(c.error), std::string::npos) << c.text << ": " << got.error;
    }
}

// The definition a .pro text holds, against an imported one: dialect, fields, settings and
// subfields.
void ExpectSameDefinition(const ProtocolDef& got, const ProtocolDef& want) {
    EXPECT_EQ(got.mtiEnc, want.mtiEnc);
    EXPECT_EQ(got.bmpEnc, want.bmpEnc);
    EXPECT_EQ(got.lenEnc, want.lenEnc);
    EXPECT_EQ(got.numEnc, want.numEnc);
    EXPECT_EQ(got.chrEnc, want.chrEnc);
    EXPECT_EQ(got.binEnc, want.binEnc);
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        const FldDef& a = got.fields[n];
        const FldDef& b = want.fields[n];
        EXPECT_EQ(a.type, b.type) << "field " << n;
        EXPECT_EQ(a.size, b.size) << "field " << n;
        EXPECT_EQ(a.sizeLen, b.sizeLen) << "field " << n;
        EXPECT_EQ(a.subfield, b.subfield) << "field " << n;
        EXPECT_STREQ(a.description, b.description) << "field " << n;
        EXPECT_TRUE(got.settings[n] == want.settings[n]) << "field " << n;
    }
    EXPECT_TRUE(got.subfields == want.subfields) << WrittenProText(got) << "\n-- wanted --\n"
                                                 << WrittenProText(want);
}

void ExpectImportsAs(const std::string& json, const std::string& pro,
                     const std::vector<std::string>& notes = {}) {
    const Imported got = Import(json);
    ASSERT_TRUE(got.ok) << got.error;
    auto want = NewDef();
    LoadProText(pro, *want);
    ExpectSameDefinition(*got.def, *want);
    for (const std::string& note : notes)
        EXPECT_TRUE(HasNote(got.notes, note)) << note << "\n" << Joined(got.notes);
    if (notes.empty()) {
        EXPECT_TRUE(got.notes.empty()) << Joined(got.notes);
    }
}

constexpr char kAsciiHead[] = R"({"fields": {
    "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
    "1": {"type": "Bitmap", "length": 8, "enc": "HexToASCII", "prefix": "Hex.Fixed"},
    )";
constexpr char kAsciiDialect[] =
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= NONE\n";

TEST(ImportMoov, APositionalCompositeOfTextIsATextFieldOfRunsOfIt) {
    ExpectImportsAs(std::string(kAsciiHead) + R"(
        "90": {"type": "Composite", "length": 42, "description": "Original data",
               "prefix": "ASCII.Fixed", "tag": {"sort": "StringsByInt"}, "subfields": {
            "1": {"type": "Numeric", "length": 4, "description": "MTI", "enc": "ASCII",
                  "prefix": "ASCII.Fixed", "padding": {"type": "Left", "pad": "0"}},
            "2": {"type": "Numeric", "length": 6, "description": "STAN", "enc": "ASCII",
                  "prefix": "ASCII.Fixed"},
            "3": {"type": "Numeric", "length": 32, "description": "Rest", "enc": "ASCII",
                  "prefix": "ASCII.Fixed"}}},
        "43": {"type": "Composite", "length": 99, "description": "Acceptor",
               "prefix": "ASCII.LL", "subfields": {
            "1": {"type": "String", "length": 25, "description": "Name", "enc": "ASCII",
                  "prefix": "ASCII.LL"},
            "2": {"type": "String", "length": 2, "description": "Country", "enc": "ASCII",
                  "prefix": "ASCII.Fixed"}}}}})",
                    std::string(kAsciiDialect) + R"(
FIELD= 43; ANS; 99; 2; Y; Acceptor
FIELD= 90; N; 42; 0; Y; Original data
STRUCTURE= 43; POSITIONAL
SUBFIELD= 43.1; ANS; 25; 2; N; Name
SUBFIELD= 43.2; ANS; 2; 0; N; Country
STRUCTURE= 90; POSITIONAL
SUBFIELD= 90.1; N; 4; 0; N; MTI
SUBFIELD= 90.2; N; 6; 0; N; STAN
SUBFIELD= 90.3; N; 32; 0; N; Rest
)",
                    {"field 43: moov reads its subfields only as far as its length goes"});
}

TEST(ImportMoov, ATaggedCompositeTakesItsTagsAsTheDataHoldsThemAndNestsInnerOnes) {
    ExpectImportsAs(std::string(kAsciiHead) + R"(
        "48": {"type": "Composite", "length": 999, "description": "Additional data",
               "prefix": "ASCII.LLL",
               "tag": {"length": 2, "enc": "ASCII", "padding": {"type": "Left", "pad": "0"},
                       "sort": "StringsByInt"}, "subfields": {
            "1": {"type": "String", "length": 20, "description": "Invoice", "enc": "ASCII",
                  "prefix": "ASCII.LL"},
            "42": {"type": "Composite", "length": 99, "description": "E-commerce",
                   "prefix": "ASCII.LL", "tag": {"length": 2, "enc": "ASCII"}, "subfields": {
                "01": {"type": "Numeric", "length": 3, "description": "Level", "enc": "ASCII",
                       "prefix": "ASCII.LL"}}}}}}})",
                    std::string(kAsciiDialect) + R"(
FIELD= 48; ANS; 999; 3; Y; Additional data
STRUCTURE= 48; TAGGED; TAG 2; LEN 2
SUBFIELD= 48.01; ANS; 20; 0; N; Invoice
SUBFIELD= 48.42; ANS; 99; 0; Y; E-commerce
STRUCTURE= 48.42; TAGGED; TAG 2; LEN 2
SUBFIELD= 48.42.01; N; 3; 0; N; Level
)");
}

TEST(ImportMoov, ACompositeOfBinaryPartsIsBytesWhoseSubfieldsKeepTheirOwnEncodings) {
    ExpectImportsAs(R"({"fields": {
        "0": {"type": "String", "length": 4, "enc": "BCD", "prefix": "BCD.Fixed"},
        "1": {"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
        "3": {"type": "Numeric", "length": 6, "enc": "BCD", "prefix": "BCD.Fixed"},
        "55": {"type": "Composite", "length": 255, "description": "Chip", "prefix": "Binary.L",
               "tag": {"enc": "BerTLVTag", "sort": "StringsByHex"}, "subfields": {
            "9F02": {"type": "Numeric", "length": 12, "description": "Amount", "enc": "BCD",
                     "prefix": "BerTLV"},
            "82": {"type": "Binary", "description": "AIP", "enc": "Binary", "prefix": "BerTLV"},
            "BF0C": {"type": "Composite", "description": "Discretionary", "prefix": "BerTLV",
                     "tag": {"enc": "BerTLVTag"}, "subfields": {
                "9F4D": {"type": "Binary", "length": 2, "enc": "Binary", "prefix": "BerTLV"}}}}},
        "62": {"type": "Composite", "length": 99, "description": "Private", "prefix": "BCD.LL",
               "bitmap": {"type": "Bitmap", "length": 8, "enc": "Binary",
                          "prefix": "Binary.Fixed", "disableautoexpand": true}, "subfields": {
            "1": {"type": "String", "length": 1, "description": "Indicator", "enc": "EBCDIC",
                  "prefix": "EBCDIC.Fixed"},
            "2": {"type": "Numeric", "length": 15, "description": "Id", "enc": "BCD",
                  "prefix": "BCD.Fixed"},
            "5": {"type": "String", "length": 30, "description": "Note", "enc": "ASCII",
                  "prefix": "Binary.LLL"}}},
        "104": {"type": "Composite", "length": 999, "description": "Data sets",
                "prefix": "Binary.LL", "tag": {"length": 1, "enc": "ASCIIToHex"},
                "subfields": {
            "5A": {"type": "Binary", "length": 99, "description": "Set", "enc": "Binary",
                   "prefix": "Binary.LL"}}}}})",
                    R"(
MTI_Enc= PBCD
BMP_Enc= NONE
LEN_Enc= BIGEND
NUM_Enc= PBCD
CHR_Enc= ASCII
BIN_Enc= NONE
FIELD= 3; N; 6; 0; N;
FIELD= 55; B; 255; 1; Y; Chip
FIELD= 62; B; 99; 1; Y; Private
FIELD= 104; B; 999; 2; Y; Data sets
FIELD_OPTION= 62; LEN_Enc; PBCD
STRUCTURE= 55; BER_TLV
SUBFIELD= 55.82; B; 255; 0; N; AIP
SUBFIELD= 55.9F02; N; 12; 0; N; Amount
SUBFIELD= 55.BF0C; B; 255; 0; Y; Discretionary
STRUCTURE= 55.BF0C; BER_TLV
SUBFIELD= 55.BF0C.9F4D; B; 2; 0; N;
STRUCTURE= 62; BITMAP; 8
SUBFIELD= 62.1; ANS; 1; 0; N; Indicator
SUBFIELD_OPTION= 62.1; CHR_Enc; EBCDIC
SUBFIELD= 62.2; N; 15; 0; N; Id
SUBFIELD= 62.5; ANS; 30; 3; N; Note
SUBFIELD_OPTION= 62.5; LEN_WHOLE; Y
STRUCTURE= 104; TAGGED; TAG 1 BIGEND; LEN 2 BIGEND
SUBFIELD= 104.5A; B; 99; 0; N; Set
)");
}

TEST(ImportMoov, LeavesOutAStructureItCannotReadExactlyAndKeepsTheFieldWhole) {
    // moov counts a packed element's length in digits; a tagged structure counts units.
    ExpectImportsAs(
        std::string(kAsciiHead) + R"(
        "48": {"type": "Composite", "length": 99, "description": "Data", "prefix": "Binary.L",
               "tag": {"length": 1, "enc": "ASCIIToHex"}, "subfields": {
            "01": {"type": "Numeric", "length": 9, "enc": "BCD", "prefix": "Binary.L"}}},
        "62": {"type": "Composite", "length": 99, "prefix": "ASCII.LL",
               "tag": {"sort": "StringsByHex"}, "subfields": {
            "0A": {"type": "String", "length": 1, "enc": "ASCII", "prefix": "ASCII.Fixed"},
            "0B": {"type": "String", "length": 1, "enc": "ASCII", "prefix": "ASCII.Fixed"}}},
        "63": {"type": "Composite", "length": 99, "prefix": "ASCII.LL",
               "bitmap": {"type": "Bitmap", "length": 1, "enc": "HexToASCII",
                          "prefix": "Hex.Fixed"}, "subfields": {
            "9": {"type": "String", "length": 1, "enc": "ASCII", "prefix": "ASCII.Fixed"},
            "2": {"type": "String", "length": 2, "enc": "ASCII", "prefix": "ASCII.Fixed"}}}}})",
        std::string(kAsciiDialect) + R"(
FIELD= 48; B; 99; 1; N; Data
FIELD= 62; ANS; 99; 2; Y;
FIELD= 63; ANS; 99; 2; Y;
FIELD_OPTION= 48; LEN_Enc; BIGEND
STRUCTURE= 62; POSITIONAL
SUBFIELD= 62.1; ANS; 1; 0; N;
SUBFIELD= 62.2; ANS; 1; 0; N;
STRUCTURE= 63; BITMAP; 1; HEX
SUBFIELD= 63.2; ANS; 2; 0; N;
)",
        {"field 48: subfield 48.01: moov counts its length in digits", "its subfields are left out",
         "field 62: its subfields are numbered 1 to 2 in the order of their keys",
         "field 63: moov reads a further bitmap when bit 1 of its bitmap is set",
         "subfield 63.9: not a bit of its 8-bit bitmap; left out"});
}

// An EBCDIC dialect whose field 48 is bytes holding tagged elements of ASCII tags and lengths.
constexpr char kEbcdicWithAsciiTags[] = R"({"fields": {
    "0": {"type": "String", "length": 4, "enc": "EBCDIC", "prefix": "EBCDIC.Fixed"},
    "1": {"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
    "2": {"type": "String", "length": 19, "enc": "EBCDIC", "prefix": "EBCDIC.LL"},
    "48": {"type": "Composite", "length": 99, "description": "Data", "prefix": "Binary.L",
           "tag": {"length": 2, "enc": "ASCII", "sort": "StringsByInt"}, "subfields": {
        "01": {"type": "String", "length": 9, "enc": "ASCII", "prefix": "ASCII.LL"},
        "02": {"type": "Binary", "length": 4, "enc": "Binary", "prefix": "ASCII.LL"}}}}})";

TEST(ImportMoov, TagsInAnotherCharacterSetThanTheDialectsBecomeTheFieldsOwn) {
    ExpectImportsAs(kEbcdicWithAsciiTags, R"(MTI_Enc= CHAR
BMP_Enc= NONE
LEN_Enc= CHAR
NUM_Enc= CHAR
CHR_Enc= EBCDIC
BIN_Enc= NONE
FIELD= 2; ANS; 19; 2; N;
FIELD= 48; B; 99; 1; Y; Data
FIELD_OPTION= 48; LEN_Enc; BIGEND
FIELD_OPTION= 48; CHR_Enc; ASCII
STRUCTURE= 48; TAGGED; TAG 2; LEN 2
SUBFIELD= 48.01; ANS; 9; 0; N;
SUBFIELD_OPTION= 48.01; CHR_Enc; ASCII
SUBFIELD= 48.02; B; 4; 0; N;
)");
    // Written back, the tags keep the field's own characters.
    const Imported first = Import(kEbcdicWithAsciiTags);
    std::string json;
    InteropNotes notes;
    ExportMoov(*first.def, json, notes);
    EXPECT_TRUE(notes.empty()) << Joined(notes);
    const Imported again = Import(json);
    ASSERT_TRUE(again.ok) << again.error;
    ExpectSameDefinition(*again.def, *first.def);

    // A length prefix in the dialect's characters leaves the field no set of its own to take.
    std::string prefixed = kEbcdicWithAsciiTags;
    prefixed.replace(prefixed.find("\"Binary.L\""), 10, "\"EBCDIC.LL\"");
    const Imported got = Import(prefixed);
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.notes, (InteropNotes{"field 48: its length prefix is in EBCDIC and its tags, "
                                       "lengths or bitmap in ASCII; its subfields are left out"}));
    EXPECT_EQ(got.def->subfields.Field(48), nullptr);
    EXPECT_FALSE(got.def->settings[48].charset.has_value());
}

TEST(ImportMoov, StopsSubfieldsAtTheDepthADefinitionHolds) {
    std::string nested =
        R"({"type": "String", "length": 1, "enc": "ASCII", "prefix": "ASCII.Fixed"})";
    for (int level = 0; level < kMaxSubfieldDepth + 1; ++level) {
        nested =
            R"({"type": "Composite", "length": 1, "prefix": "ASCII.Fixed", "subfields": {"1": )" +
            nested + "}}";
    }
    const Imported got = Import(FieldListWithField2(nested));
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_TRUE(HasNote(got.notes, "deeper than the 8 levels a definition holds"))
        << Joined(got.notes);
    const SubfieldNode* node = got.def->subfields.Field(2);
    int depth = 0;
    while (node != nullptr && !node->children.empty()) {
        node = &node->children.front();
        ++depth;
    }
    EXPECT_LE(depth, kMaxSubfieldDepth);
}

// Export, then import what was written: the definition moov holds of the example.
struct RoundTrip {
    std::unique_ptr<ProtocolDef> original = NewDef();
    InteropNotes exportNotes;
    Imported back;
};

RoundTrip ThroughMoov(const std::string& example) {
    RoundTrip trip;
    std::string error;
    EXPECT_TRUE(
        LoadProtocolFile(std::string(ISO_EXAMPLES_DIR) + "/" + example, *trip.original, error))
        << error;
    std::string json;
    ExportMoov(*trip.original, json, trip.exportNotes);
    trip.back = Import(json);
    EXPECT_TRUE(trip.back.ok) << trip.back.error << "\n" << json;
    return trip;
}

void ClearField(ProtocolDef& def, int n, bool keepField) {
    if (!keepField) def.fields[n].Clear();
    def.fields[n].subfield = false;
    if (!keepField) def.settings[n] = FieldSettings{};
    auto& fields = def.subfields.Fields();
    const std::string id = std::to_string(n);
    fields.erase(std::remove_if(fields.begin(), fields.end(),
                                [&](const SubfieldNode& node) { return node.id == id; }),
                 fields.end());
}

TEST(MoovRoundTrip, TheDemoDefinitionComesBackWholeButForChipDataWithoutObjects) {
    RoundTrip trip = ThroughMoov("demo.pro");
    // moov reads data objects only of the tags it is given, and field 55 names none.
    ASSERT_TRUE(HasNote(trip.exportNotes, "field 55: moov reads only the data objects it is given"))
        << Joined(trip.exportNotes);
    ClearField(*trip.original, 55, true);
    ExpectSameDefinition(*trip.back.def, *trip.original);
}

TEST(MoovRoundTrip, TheTextExampleComesBackButForWhatMoovCannotHold) {
    RoundTrip trip = ThroughMoov("subfields.pro");
    const InteropNotes& notes = trip.exportNotes;
    ASSERT_TRUE(HasNote(notes, "field 48: its subfields are not written: moov has no head"))
        << Joined(notes);
    ASSERT_TRUE(HasNote(notes,
                        "field 55: its subfields are not written: moov reads a composite "
                        "by the subfields it is given"));
    ASSERT_TRUE(HasNote(notes, "field 127: moov has no length prefix of 6 units under CHAR"));
    ASSERT_TRUE(HasNote(notes, "a moov field list holds no message definitions; 1 not written"));
    ClearField(*trip.original, 48, true);
    ClearField(*trip.original, 55, true);
    ClearField(*trip.original, 127, false);
    ExpectSameDefinition(*trip.back.def, *trip.original);
}

TEST(MoovRoundTrip, TheBinaryExampleComesBackButForItsTextTypes) {
    RoundTrip trip = ThroughMoov("subfields-binary.pro");
    ASSERT_TRUE(HasNote(trip.exportNotes,
                        "subfield 62.1: moov's String does not tell AN from "
                        "other text; read back as ANS"))
        << Joined(trip.exportNotes);
    ASSERT_TRUE(HasNote(trip.exportNotes, "subfield 62.3: moov's String does not tell AN"));
    SubfieldNode* node = trip.original->subfields.Fields().front().Child("1");
    ASSERT_NE(node, nullptr);
    node->def.type = FieldType::ANS;
    trip.original->subfields.Fields().front().Child("3")->def.type = FieldType::ANS;
    ExpectSameDefinition(*trip.back.def, *trip.original);
}

TEST(MoovRoundTrip, EveryStructureMoovCanHoldComesBackExactly) {
    auto original = NewDef();
    LoadProText(R"(NAME= Mixed
MTI_Enc= PBCD
BMP_Enc= NONE
LEN_Enc= BIGEND
NUM_Enc= PBCD
CHR_Enc= EBCDIC
BIN_Enc= NONE
FIELD= 3; N; 6; 0; N; Processing code
FIELD= 22; N; 3; 0; N; Entry mode
FIELD= 41; ANS; 8; 0; N; Terminal
FIELD= 42; ANS; 15; 0; N; Acceptor id
FIELD= 43; ANS; 40; 0; Y; Acceptor
FIELD= 48; ANS; 999; 3; Y; Private
FIELD= 52; B; 8; 0; N; PIN
FIELD= 55; B; 255; 1; Y; Chip
FIELD= 60; ANS; 300; 4; N; Hex length
FIELD= 62; B; 255; 2; Y; Private bitmapped
FIELD= 104; B; 999; 2; Y; Sets
FIELD= 120; B; 99; 1; Y; Packed tags
FIELD_OPTION= 22; PAD; RIGHT
FIELD_OPTION= 43; CHR_Enc; ASCII
FIELD_OPTION= 48; LEN_Enc; CHAR
FIELD_OPTION= 60; LEN_Enc; HEX
FIELD_OPTION= 60; CHR_Enc; ASCII
FIELD_OPTION= 120; LEN_Enc; PBCD
STRUCTURE= 43; POSITIONAL
SUBFIELD= 43.1; ANS; 38; 0; N; Name
SUBFIELD= 43.2; ANS; 2; 0; N; Country
STRUCTURE= 48; TAGGED; TAG 3; LEN 2
SUBFIELD= 48.001; ANS; 20; 0; N; Invoice
SUBFIELD= 48.002; ANS; 99; 0; Y; Inner
STRUCTURE= 48.002; POSITIONAL
SUBFIELD= 48.002.1; ANS; 2; 0; N; Kind
SUBFIELD= 48.002.2; ANS; 97; 2; N; Text
STRUCTURE= 55; BER_TLV
SUBFIELD= 55.9F02; N; 12; 0; N; Amount
SUBFIELD= 55.5A; B; 10; 0; N; PAN
STRUCTURE= 62; BITMAP; 8
SUBFIELD= 62.1; ANS; 1; 0; N; Indicator
SUBFIELD= 62.2; N; 15; 0; N; Id
SUBFIELD= 62.3; B; 40; 1; N; Key
SUBFIELD= 62.4; ANS; 20; 2; N; Note
SUBFIELD_OPTION= 62.4; CHR_Enc; ASCII
SUBFIELD_OPTION= 62.4; LEN_Enc; PBCD
STRUCTURE= 104; TAGGED; TAG 1 BIGEND; LEN 2 BIGEND
SUBFIELD= 104.01; B; 252; 0; Y; Set
STRUCTURE= 104.01; BER_TLV
SUBFIELD= 104.01.9A; B; 3; 0; N; Date
STRUCTURE= 120; TAGGED; TAG 1 PBCD; LEN 1 PBCD
SUBFIELD= 120.01; B; 10; 0; N; Key
)",
                *original);
    std::string json;
    InteropNotes notes;
    ExportMoov(*original, json, notes);
    EXPECT_TRUE(notes.empty()) << Joined(notes) << json;
    const Imported back = Import(json);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_STREQ(back.def->name, "Mixed");
    ExpectSameDefinition(*back.def, *original);
}

struct ExportCase {
    const char* pro;
    const char* note;
};

TEST(ExportMoov, SaysWhatMoovCannotHold) {
    const ExportCase cases[] = {
        {"BMP_Enc= CHAR\nFIELD= 2; N; 4; 0; N;\n", "field 1: moov has no bitmap of '0' and '1'"},
        {"FIELD= 2; N; 3; 0; N;\nFIELD_OPTION= 2; PAD_NIBBLE; F\n",
         "field 2: moov pads packed digits with 0, not F; not written"},
        {"FIELD= 35; Z; 37; 1; N;\nFIELD_OPTION= 35; BIN_Enc; PBCD\n",
         "field 35: moov has no packed track data in its JSON field list; not written"},
        {"FIELD= 2; B; 99; 1; N;\nFIELD_OPTION= 2; LEN_NIBBLES; Y\n",
         "field 2: moov's length prefix counts bytes, not nibbles; not written"},
        {"LEN_Enc= CHAR\nFIELD= 2; B; 9999; 5; N;\n",
         "field 2: moov has no length prefix of 5 units under CHAR; not written"},
        {"LEN_Enc= BIGEND\nFIELD= 2; B; 999; 3; N;\n",
         "field 2: moov has no length prefix of 3 units under BIGEND read by its first byte"},
        {"BIN_Enc= CHAR\nFIELD= 52; B; 8; 0; N;\n", "field 52: moov has no binary data under CHAR"},
        {"FIELD= 41; AN; 8; 0; N;\n", "field 41: moov's String does not tell AN from other text"},
        {"CHR_Enc= ASCII\nFIELD= 48; ANS; 99; 2; Y;\nSTRUCTURE= 48; TAGGED; LEN 2; TAG 2\n"
         "SUBFIELD= 48.01; ANS; 9; 0; N;\n",
         "field 48: its subfields are not written: moov writes an element's tag before its length"},
        {"FIELD= 48; ANS; 99; 2; Y;\nSTRUCTURE= 48; POSITIONAL\nSUBFIELD= 48.1; ANS; 9; 0; N;\n"
         "SUBFIELD_OPTION= 48.1; REST; Y\n",
         "field 48: its subfields are not written: subfield 48.1: moov has no subfield that takes "
         "the rest"},
        {"OPTION= HEADER; 5\nFIELD= 2; N; 4; 0; N;\n",
         "a moov field list holds no header before the MTI; HEADER 5 not written"},
    };
    for (const ExportCase& c : cases) {
        auto def = NewDef();
        LoadProText(std::string("MTI_Enc= CHAR\n") + c.pro, *def);
        std::string json;
        InteropNotes notes;
        ExportMoov(*def, json, notes);
        EXPECT_TRUE(HasNote(notes, c.note)) << c.pro << "\n" << Joined(notes);
        EXPECT_TRUE(Import(json).ok) << json;
    }
}

TEST(ExportMoov, WritesAFixedBitmapAsMoovsBitmapOfSixteenBytesThatNeverExpands) {
    auto def = NewDef();
    LoadProText(
        std::string(kAsciiDialect) +
            "OPTION= BITMAP; FIXED128\n"
            "FIELD= 3; N; 6; 0; N; Processing code\nFIELD= 65; B; 8; 0; N; Extended bitmap\n",
        *def);
    std::string json;
    InteropNotes notes;
    ExportMoov(*def, json, notes);
    // Bit 65 is a field of moov's fixed bitmap, not the announcement of a third.
    EXPECT_TRUE(notes.empty()) << Joined(notes);
    EXPECT_NE(json.find("\"length\": 16"), std::string::npos) << json;
    EXPECT_NE(json.find("\"disableautoexpand\": true"), std::string::npos) << json;
    const Imported back = Import(json);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_TRUE(back.def->options.fixedBitmap);
    EXPECT_TRUE(back.notes.empty()) << Joined(back.notes);
    ExpectSameDefinition(*back.def, *def);

    // Without the option, the bitmap moov expands stays 8 bytes.
    def->options.fixedBitmap = false;
    ExportMoov(*def, json, notes);
    EXPECT_EQ(json.find("\"length\": 16"), std::string::npos) << json;
    EXPECT_EQ(json.find("disableautoexpand"), std::string::npos) << json;
    EXPECT_TRUE(HasNote(notes, "field 65: moov reads bit 65 as announcing a third bitmap"));
}

TEST(ExportMoov, AFieldMoovReadsBackOtherwiseSaysHowWhenNothingElseDoes) {
    // Bytes made only of text subfields are, to moov, a composite of text.
    auto def = NewDef();
    LoadProText(R"(MTI_Enc= CHAR
LEN_Enc= CHAR
CHR_Enc= ASCII
FIELD= 48; B; 99; 2; Y; Private
STRUCTURE= 48; POSITIONAL
SUBFIELD= 48.1; ANS; 2; 0; N; Kind
SUBFIELD= 48.2; ANS; 97; 2; N; Text
)",
                *def);
    std::string json;
    InteropNotes notes;
    ExportMoov(*def, json, notes);
    ASSERT_EQ(notes.size(), 1u) << Joined(notes);
    EXPECT_EQ(notes[0].rfind("field 48: read back from moov as 48 ANS 99 LEN 2 CHAR ASCII Y", 0),
              0u)
        << notes[0];
}

// A message as moov packs it, decoded under the imported moov field list: each field and subfield
// holds what moov unpacks.
struct Decoded {
    std::string verdict;
    std::vector<int> numbers;
    std::vector<std::string> values;
    std::vector<std::vector<std::pair<std::string, std::string>>> subfields;
};

Decoded DecodeUnder(const ProtocolDef& def, const std::vector<std::uint8_t>& bytes) {
    AutoBuff message;
    message.Reserve(static_cast<int>(bytes.size()) + 1, false);
    std::memcpy(message.Data(), bytes.data(), bytes.size());
    message.SetLength(static_cast<int>(bytes.size()));
    Decoded out;
    InspectOptions options;
    options.mask = false;
    AutoBuff verdict;
    DecodeMessage(
        message, def,
        [&](const DecodedField& field) {
            const FieldInspection inspection = InspectField(def, field, options);
            out.numbers.push_back(field.number);
            out.values.push_back(inspection.value);
            out.subfields.emplace_back();
            for (const SubfieldRow& row : inspection.subfields.rows)
                out.subfields.back().emplace_back(row.id, row.value);
            return true;
        },
        verdict);
    out.verdict = verdict.Length() > 0 ? verdict.Text() : "";
    return out;
}

using Rows = std::vector<std::pair<std::string, std::string>>;

TEST(MoovMessages, ATextMessageMoovPacksDecodesToWhatMoovUnpacks) {
    const Imported listed = Import(R"({"fields": {
        "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "1": {"type": "Bitmap", "length": 8, "enc": "HexToASCII", "prefix": "Hex.Fixed"},
        "2": {"type": "String", "length": 19, "enc": "ASCII", "prefix": "ASCII.LL"},
        "3": {"type": "Numeric", "length": 6, "enc": "ASCII", "prefix": "ASCII.Fixed",
              "padding": {"type": "Left", "pad": "0"}},
        "48": {"type": "Composite", "length": 999, "prefix": "ASCII.LLL",
               "tag": {"length": 2, "enc": "ASCII", "padding": {"type": "Left", "pad": "0"},
                       "sort": "StringsByInt"}, "subfields": {
            "1": {"type": "String", "length": 20, "enc": "ASCII", "prefix": "ASCII.LL"},
            "2": {"type": "Numeric", "length": 9, "enc": "ASCII", "prefix": "ASCII.LL"}}}}})");
    ASSERT_TRUE(listed.ok) << listed.error;
    // MTI 0100; bitmap of fields 2, 3 and 48 in hexadecimal; PAN behind "16"; 123 padded to
    // six digits; field 48 behind "016": tag 01 (key 1 padded), "06INV001", tag 02, "0242".
    const Decoded got = DecodeUnder(*listed.def, TextBytes("0100"
                                                           "6000000000010000"
                                                           "164111111111111111"
                                                           "000123"
                                                           "016"
                                                           "01"
                                                           "06INV001"
                                                           "02"
                                                           "0242"));
    ASSERT_EQ(got.numbers, (std::vector<int>{2, 3, 48})) << got.verdict;
    EXPECT_EQ(got.values[0], "4111111111111111");
    // moov's Numeric unpacks 123; the definition keeps the digits the wire holds.
    EXPECT_EQ(got.values[1], "000123");
    EXPECT_EQ(got.subfields[2], (Rows{{"48.01", "INV001"}, {"48.02", "42"}}));
}

TEST(MoovMessages, AFixedBitmapCarriesBothHalvesAndBit65AsAField) {
    Imported listed = Import(R"({"fields": {
        "0": {"type": "String", "length": 4, "enc": "ASCII", "prefix": "ASCII.Fixed"},
        "1": {"type": "Bitmap", "length": 16, "enc": "HexToASCII", "prefix": "Hex.Fixed",
              "disableautoexpand": true},
        "3": {"type": "Numeric", "length": 6, "enc": "ASCII", "prefix": "ASCII.Fixed",
              "padding": {"type": "Left", "pad": "0"}},
        "65": {"type": "String", "length": 2, "enc": "ASCII", "prefix": "ASCII.Fixed"}}})");
    ASSERT_TRUE(listed.ok) << listed.error;
    // moov writes all 32 digits of its fixed bitmap and never sets bit 1: field 3 in the first
    // half, field 65 in the second.
    const Decoded got = DecodeUnder(*listed.def, TextBytes("0100"
                                                           "2000000000000000"
                                                           "8000000000000000"
                                                           "000123"
                                                           "OK"));
    ASSERT_EQ(got.numbers, (std::vector<int>{3, 65})) << got.verdict;
    EXPECT_EQ(got.values[0], "000123");
    EXPECT_EQ(got.values[1], "OK");
    // Read as a bitmap that bit 1 extends, the second half is field 3's data.
    listed.def->options.fixedBitmap = false;
    const Decoded classic = DecodeUnder(*listed.def, TextBytes("0100"
                                                               "2000000000000000"
                                                               "8000000000000000"
                                                               "000123"
                                                               "OK"));
    ASSERT_EQ(classic.numbers, (std::vector<int>{3}));
    EXPECT_EQ(classic.values[0], "800000");
}

TEST(MoovMessages, AsciiTagsInsideAnEbcdicMessageDecodeToWhatMoovUnpacks) {
    const Imported listed = Import(kEbcdicWithAsciiTags);
    ASSERT_TRUE(listed.ok) << listed.error;
    // MTI 0200 in EBCDIC; bitmap of field 48; 13 bytes: tag "01", length "03", "ABC", tag
    // "02", length "02", the bytes DE AD, tags, lengths and text in ASCII.
    const Decoded got = DecodeUnder(*listed.def, HexBytes("F0F2F0F0 0000000000010000 0D "
                                                          "3031 3033 414243 3032 3032 DEAD"));
    ASSERT_EQ(got.numbers, (std::vector<int>{48})) << got.verdict;
    EXPECT_EQ(got.subfields[0], (Rows{{"48.01", "ABC"}, {"48.02", "DEAD"}}));
}

TEST(MoovMessages, ABinaryMessageWithABitmappedCompositeDecodesToWhatMoovUnpacks) {
    const Imported listed = Import(R"({"fields": {
        "0": {"type": "String", "length": 4, "enc": "BCD", "prefix": "BCD.Fixed"},
        "1": {"type": "Bitmap", "length": 8, "enc": "Binary", "prefix": "Binary.Fixed"},
        "3": {"type": "Numeric", "length": 6, "enc": "BCD", "prefix": "BCD.Fixed",
              "padding": {"type": "Left", "pad": "0"}},
        "62": {"type": "Composite", "length": 99, "prefix": "Binary.L",
               "bitmap": {"type": "Bitmap", "length": 8, "enc": "Binary",
                          "prefix": "Binary.Fixed", "disableautoexpand": true}, "subfields": {
            "1": {"type": "String", "length": 1, "enc": "EBCDIC", "prefix": "EBCDIC.Fixed"},
            "2": {"type": "Numeric", "length": 15, "enc": "BCD", "prefix": "BCD.Fixed"},
            "5": {"type": "Numeric", "length": 2, "enc": "BCD", "prefix": "BCD.LL"}}}}})");
    ASSERT_TRUE(listed.ok) << listed.error;
    // MTI 0200 packed; bitmap of fields 3 and 62; 1000 padded to 001000 and packed; field 62
    // of 19 bytes: its bitmap of subfields 1, 2 and 5, "Y" in EBCDIC, fifteen digits packed
    // behind a pad nibble, and 42 behind its packed length 02.
    const Decoded got =
        DecodeUnder(*listed.def, HexBytes("0200 2000000000000004 001000 13 C800000000000000 E8 "
                                          "0123456789012345 02 42"));
    ASSERT_EQ(got.numbers, (std::vector<int>{3, 62})) << got.verdict;
    EXPECT_EQ(got.values[0], "001000");
    EXPECT_EQ(got.subfields[1], (Rows{{"62.1", "Y"}, {"62.2", "123456789012345"}, {"62.5", "42"}}));
}

}  // namespace
