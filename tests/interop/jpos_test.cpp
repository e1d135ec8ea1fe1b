#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "content/field_content.h"
#include "content/hex_bytes.h"
#include "decode/decoder.h"
#include "interop/interop.h"
#include "interop/jpos_classes.h"
#include "interop/jpos_xml.h"
#include "model/pro_file.h"
#include "model/pro_subfields.h"
#include "model/pro_text_io.h"

namespace {

struct Imported {
    std::unique_ptr<ProtocolDef> def = std::make_unique<ProtocolDef>();
    InteropNotes notes;
    std::string error;
    bool ok = false;
};

Imported Import(const std::string& xml) {
    Imported got;
    got.def->Reset();
    got.ok = ImportJpos(xml, *got.def, got.notes, got.error);
    return got;
}

std::string Packager(const std::string& fields, const std::string& root = "<isopackager>") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
           "<!DOCTYPE isopackager SYSTEM \"genericpackager.dtd\">\n" +
           root + "\n" + fields + "</isopackager>\n";
}

std::string Field(int id, const char* cls, int length, const char* extra = "") {
    return "<isofield id=\"" + std::to_string(id) + "\" length=\"" + std::to_string(length) +
           "\" name=\"F" + std::to_string(id) + "\" class=\"org.jpos.iso." + cls + "\" " + extra +
           "/>\n";
}

// A binary dialect whose majorities no single field outvotes: packed numbers and prefixes,
// ASCII text, bytes as they are.
std::string BinaryDialect(const std::string& more) {
    return Packager(Field(0, "IFB_NUMERIC", 4, "pad=\"true\"") + Field(1, "IFB_BITMAP", 16) +
                    Field(2, "IFB_LLNUM", 19, "pad=\"true\"") + Field(3, "IFB_NUMERIC", 6) +
                    Field(4, "IFB_NUMERIC", 12) + Field(11, "IFB_NUMERIC", 6) +
                    Field(41, "IFA_CHAR", 8) + Field(42, "IFA_CHAR", 15) +
                    Field(52, "IFB_BINARY", 8) + Field(53, "IFB_BINARY", 8) +
                    Field(60, "IFB_LLBINARY", 99) + Field(63, "IFB_LLLBINARY", 999) + more);
}

std::string Joined(const InteropNotes& notes) {
    std::string all;
    for (const std::string& n : notes)
        all += n + "\n";
    return all;
}

// ---------------------------------------------------------------------------------------------
// Field classes

struct ClassCase {
    const char* cls;
    int length;
    const char* extra;
    FieldType type;
    int size;
    int sizeLen;
    Encoding lenEnc;  // NONE for a fixed field
    Encoding dataEnc;
    Encoding charset;  // NONE where nothing is written as characters
    std::optional<PadSide> pad;
    std::optional<std::uint8_t> padNibble;
    bool nibbles;
};

TEST(ImportJpos, ReadsEachFieldClassAsItsPrefixerInterpreterAndPadderDo) {
    using enum Encoding;
    using F = FieldType;
    const auto R = PadSide::kRight;
    const ClassCase cases[] = {
        {"IFA_NUMERIC", 6, "", F::N, 6, 0, NONE, CHAR, ASCII, {}, {}, false},
        {"IFE_NUMERIC", 6, "", F::N, 6, 0, NONE, CHAR, EBCDIC, {}, {}, false},
        {"IFB_NUMERIC", 6, "", F::N, 6, 0, NONE, PBCD, NONE, {}, {}, false},
        // GenericPackager sets pad false when the attribute is missing: right-aligned.
        {"IFB_NUMERIC", 3, "", F::N, 3, 0, NONE, PBCD, NONE, R, {}, false},
        {"IFB_NUMERIC", 3, "pad=\"true\"", F::N, 3, 0, NONE, PBCD, NONE, {}, {}, false},
        {"IFB_FNUMERIC", 3, "", F::N, 3, 0, NONE, PBCD, NONE, R, 0xF, false},
        {"IFA_CHAR", 10, "", F::ANS, 10, 0, NONE, ASCII, ASCII, {}, {}, false},
        {"IF_CHAR", 10, "", F::ANS, 10, 0, NONE, ASCII, ASCII, {}, {}, false},
        {"IFE_CHAR", 10, "", F::ANS, 10, 0, NONE, EBCDIC, EBCDIC, {}, {}, false},
        {"IFA_AMOUNT", 9, "", F::AN, 9, 0, NONE, ASCII, ASCII, {}, {}, false},
        {"IFA_BINARY", 8, "", F::B, 8, 0, NONE, HEX, ASCII, {}, {}, false},
        {"IFE_BINARY", 8, "", F::B, 8, 0, NONE, HEX, EBCDIC, {}, {}, false},
        {"IFB_BINARY", 8, "", F::B, 8, 0, NONE, NONE, NONE, {}, {}, false},
        {"IFA_LLNUM", 19, "", F::N, 19, 2, CHAR, CHAR, ASCII, {}, {}, false},
        {"IFA_LLLNUM", 999, "", F::N, 999, 3, CHAR, CHAR, ASCII, {}, {}, false},
        {"IFE_LLNUM", 19, "", F::N, 19, 2, CHAR, CHAR, EBCDIC, {}, {}, false},
        {"IFB_LLNUM", 19, "", F::N, 19, 1, PBCD, PBCD, NONE, R, {}, false},
        {"IFB_LLLNUM", 999, "pad=\"true\"", F::N, 999, 2, PBCD, PBCD, NONE, {}, {}, false},
        {"IFB_FLLNUM", 19, "", F::N, 19, 1, PBCD, PBCD, NONE, R, 0xF, false},
        {"IFB_LLHNUM", 19, "", F::N, 19, 1, BIGEND, PBCD, NONE, R, {}, false},
        {"IFB_LLLHNUM", 999, "pad=\"true\"", F::N, 999, 2, BIGEND, PBCD, NONE, {}, {}, false},
        {"IFA_LLBNUM", 19, "pad=\"true\"", F::N, 19, 2, CHAR, PBCD, ASCII, {}, {}, false},
        {"IFA_LCHAR", 9, "", F::ANS, 9, 1, CHAR, ASCII, ASCII, {}, {}, false},
        {"IFA_LLCHAR", 25, "", F::ANS, 25, 2, CHAR, ASCII, ASCII, {}, {}, false},
        {"IFA_LLLCHAR", 999, "", F::ANS, 999, 3, CHAR, ASCII, ASCII, {}, {}, false},
        {"IFA_LLLLCHAR", 9999, "", F::ANS, 9999, 4, CHAR, ASCII, ASCII, {}, {}, false},
        {"IFA_LLLLLLCHAR", 30000, "", F::ANS, 30000, 6, CHAR, ASCII, ASCII, {}, {}, false},
        {"IFE_LLLCHAR", 999, "", F::ANS, 999, 3, CHAR, EBCDIC, EBCDIC, {}, {}, false},
        {"IFB_LLCHAR", 99, "", F::ANS, 99, 1, PBCD, ASCII, ASCII, {}, {}, false},
        {"IFB_LLLCHAR", 999, "", F::ANS, 999, 2, PBCD, ASCII, ASCII, {}, {}, false},
        {"IFB_LLHCHAR", 255, "", F::ANS, 255, 1, BIGEND, ASCII, ASCII, {}, {}, false},
        {"IFB_LLHECHAR", 255, "", F::ANS, 255, 1, BIGEND, EBCDIC, EBCDIC, {}, {}, false},
        {"IFA_LLBINARY", 99, "", F::B, 99, 2, CHAR, NONE, ASCII, {}, {}, false},
        {"IFA_LLLBINARY", 999, "", F::B, 999, 3, CHAR, NONE, ASCII, {}, {}, false},
        {"IFA_LLABINARY", 99, "", F::B, 99, 2, CHAR, HEX, ASCII, {}, {}, false},
        {"IFE_LLLBINARY", 999, "", F::B, 999, 3, CHAR, NONE, EBCDIC, {}, {}, false},
        {"IFB_LLBINARY", 99, "", F::B, 99, 1, PBCD, NONE, NONE, {}, {}, false},
        {"IFB_LLLBINARY", 999, "", F::B, 999, 2, PBCD, NONE, NONE, {}, {}, false},
        {"IFB_LLHBINARY", 255, "", F::B, 255, 1, BIGEND, NONE, NONE, {}, {}, false},
        {"IFB_LLLHBINARY", 999, "", F::B, 999, 2, BIGEND, NONE, NONE, {}, {}, false},
        {"IFB_LLHEX", 49, "", F::B, 49, 1, PBCD, NONE, NONE, {}, {}, true},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + c.extra);
        const Imported got = Import(BinaryDialect(Field(70, c.cls, c.length, c.extra)));
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_EQ(got.notes, InteropNotes{});
        const ProtocolDef& def = *got.def;
        EXPECT_EQ(def.fields[70].type, c.type);
        EXPECT_EQ(def.fields[70].size, c.size);
        EXPECT_EQ(def.fields[70].sizeLen, c.sizeLen);
        EXPECT_STREQ(def.fields[70].description, "F70");
        if (c.sizeLen > 0) {
            EXPECT_EQ(LengthEncoding(def, 70), c.lenEnc);
        }
        EXPECT_EQ(def.DataEncoding(70), c.dataEnc);
        if (c.charset != NONE) {
            EXPECT_EQ(FieldCharset(def, 70), c.charset);
        }
        EXPECT_EQ(def.settings[70].padSide, c.pad);
        EXPECT_EQ(def.settings[70].padNibble, c.padNibble);
        EXPECT_EQ(def.settings[70].prefixNibbles, c.nibbles);
        EXPECT_EQ(def.settings[70].sixUnitPrefix, c.sizeLen == 6);
    }
}

TEST(ImportJpos, KeepsTheDialectOfMostFieldsAndGivesTheOthersSettings) {
    const Imported got = Import(BinaryDialect(Field(70, "IFA_LLCHAR", 25)));
    ASSERT_TRUE(got.ok);
    const ProtocolDef& def = *got.def;
    EXPECT_EQ(def.mtiEnc, Encoding::PBCD);
    EXPECT_EQ(def.bmpEnc, Encoding::NONE);
    EXPECT_EQ(def.lenEnc, Encoding::PBCD);
    EXPECT_EQ(def.numEnc, Encoding::PBCD);
    EXPECT_EQ(def.chrEnc, Encoding::ASCII);
    EXPECT_EQ(def.binEnc, Encoding::NONE);
    for (int n : {2, 3, 4, 11, 41, 42, 52, 53, 60, 63})
        EXPECT_FALSE(def.settings[n].Any()) << n;
    EXPECT_EQ(def.settings[70].lenEnc, Encoding::CHAR);
    EXPECT_FALSE(def.settings[70].charset.has_value());
}

TEST(ImportJpos, TakesTheMtiAndBitmapClassesForTheirEncodings) {
    struct Case {
        const char* mti;
        const char* bitmap;
        Encoding mtiEnc, bmpEnc, chrEnc;
    };
    const Case cases[] = {
        {"IFA_NUMERIC", "IFA_BITMAP", Encoding::CHAR, Encoding::HEX, Encoding::ASCII},
        {"IFA_NUMERIC", "IFB_BITMAP", Encoding::CHAR, Encoding::NONE, Encoding::ASCII},
        {"IFB_NUMERIC", "IFB_BITMAP", Encoding::PBCD, Encoding::NONE, Encoding::ASCII},
        // The MTI's character set is the dialect's, however many fields are in ASCII.
        {"IFE_NUMERIC", "IFE_BITMAP", Encoding::CHAR, Encoding::HEX, Encoding::EBCDIC},
        {"IFB_NUMERIC", "IFE_BITMAP", Encoding::PBCD, Encoding::HEX, Encoding::EBCDIC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mti) + " " + c.bitmap);
        const Imported got =
            Import(Packager(Field(0, c.mti, 4) + Field(1, c.bitmap, 16) +
                            Field(2, "IFA_LLNUM", 19) + Field(3, "IFA_NUMERIC", 6)));
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.notes, InteropNotes{});
        EXPECT_EQ(got.def->mtiEnc, c.mtiEnc);
        EXPECT_EQ(got.def->bmpEnc, c.bmpEnc);
        EXPECT_EQ(got.def->chrEnc, c.chrEnc);
        EXPECT_EQ(FieldCharset(*got.def, 2), Encoding::ASCII);
    }
}

TEST(ImportJpos, ReadsTheHeaderLengthAsTheDialectsHeader) {
    const Imported got = Import(Packager(Field(0, "IFA_NUMERIC", 4) + Field(1, "IFA_BITMAP", 16),
                                         "<isopackager headerLength=\"5\">"));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.def->options.header, 5);
}

// jPOS packs an empty value of a variable field as a length of 0 and unpacks that length as an
// empty value, whatever the prefixer: a definition read from a packager does the same.
TEST(ImportJpos, AllowsEmptyFieldsOnceThePackagerHasAVariableField) {
    struct Case {
        std::string fields;
        bool empty;
    };
    const std::string head = Field(0, "IFA_NUMERIC", 4) + Field(1, "IFA_BITMAP", 16);
    const Case cases[] = {
        {head + Field(3, "IFA_NUMERIC", 6) + Field(41, "IFA_CHAR", 8), false},
        {head + Field(2, "IFA_LLNUM", 19), true},
        {head + Field(3, "IFA_NUMERIC", 6) + Field(55, "IFB_LLLHBINARY", 255), true},
        {head + Field(35, "IFB_LLNUM", 37), true},
    };
    for (const Case& c : cases) {
        const Imported got = Import(Packager(c.fields));
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_EQ(got.def->options.emptyFields, c.empty) << c.fields;
    }
}

TEST(ImportJpos, DecodesAnEmptyVariableFieldAsJposPacksIt) {
    const Imported got = Import(Packager(Field(0, "IFA_NUMERIC", 4) + Field(1, "IFA_BITMAP", 16) +
                                         Field(2, "IFA_LLNUM", 19) + Field(3, "IFA_NUMERIC", 6) +
                                         Field(32, "IFA_LLNUM", 11)));
    ASSERT_TRUE(got.ok) << got.error;
    // A reversal as jPOS packs it with field 2 set to "": its prefix 00 and no digits.
    const std::string text =
        "0400"
        "6000000100000000"
        "00"
        "000000"
        "06123456";
    AutoBuff input;
    ASSERT_TRUE(input.Reserve(static_cast<int>(text.size()) + 1, false));
    std::memcpy(input.Data(), text.data(), text.size());
    input.SetLength(static_cast<int>(text.size()));
    std::vector<std::string> seen;
    AutoBuff verdict;
    DecodeMessage(
        input, *got.def,
        [&](const DecodedField& field) {
            seen.push_back(std::to_string(field.number) + "=" +
                           std::string(reinterpret_cast<const char*>(field.value->Data()),
                                       field.value->Length()));
            return true;
        },
        verdict);
    EXPECT_EQ(seen, (std::vector<std::string>{"2=", "3=000000", "32=123456"})) << verdict.Text();
}

TEST(ImportJpos, ReadsPackedTrackFieldsAsTrackDataWithTheirEqualsSign) {
    const Imported got = Import(BinaryDialect(Field(35, "IFB_LLNUM", 37)));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.def->fields[35].type, FieldType::Z);
    EXPECT_EQ(got.def->settings[35].binEnc, Encoding::PBCD);
    EXPECT_EQ(got.def->settings[35].padSide, PadSide::kRight);
}

struct NoteCase {
    std::string fields;
    const char* note;  // the start of the note
    int field;         // left undefined, or 0
};

TEST(ImportJpos, NamesWhatItCannotCarryOver) {
    const NoteCase cases[] = {
        {"<isofield id=\"52\" length=\"8\" name=\"PIN\" class=\"org.example.MyPinPackager\"/>\n",
         "field 52: class org.example.MyPinPackager is not a known packager; left undefined", 52},
        {Field(70, "IFEA_LLCHAR", 99),
         "field 70: class org.jpos.iso.IFEA_LLCHAR writes its length "
         "prefix and its text in different character sets",
         70},
        {Field(70, "IFB_LLHFBINARY", 16),
         "field 70: class org.jpos.iso.IFB_LLHFBINARY writes a "
         "length byte, then always 16 bytes; read as B of 17",
         0},
        {Field(70, "IFEB_LLNUM", 19), "field 70: class org.jpos.iso.IFEB_LLNUM counts bytes", 0},
        {Field(28, "IFB_AMOUNT", 9), "field 28: class org.jpos.iso.IFB_AMOUNT (a sign character",
         0},
        {Field(129, "IFA_CHAR", 8), "field 129: above 128, which the model holds; left out", 0},
        {"<isofield id=\"x\" length=\"8\" name=\"X\" class=\"org.jpos.iso.IFA_CHAR\"/>\n",
         "<isofield> at line ", 0},
        {"<isofield id=\"70\" length=\"ab\" name=\"X\" class=\"org.jpos.iso.IFA_CHAR\"/>\n",
         "field 70: length 'ab' is not a number from 1; left undefined", 70},
        {"<isofieldpackager id=\"70\" length=\"99\" name=\"X\" class=\"org.jpos.iso.IFA_LLCHAR\" "
         "packager=\"org.example.Mine\"><isofield id=\"1\" length=\"2\" name=\"A\" "
         "class=\"org.jpos.iso.IFA_CHAR\"/></isofieldpackager>\n",
         "field 70: packager org.example.Mine is not a subfield packager the model reads", 0},
    };
    for (const NoteCase& c : cases) {
        SCOPED_TRACE(c.note);
        const Imported got = Import(BinaryDialect(c.fields));
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_NE(Joined(got.notes).find(c.note), std::string::npos) << Joined(got.notes);
        if (c.field != 0) {
            EXPECT_EQ(got.def->fields[c.field].type, FieldType::U);
        }
    }
}

TEST(ImportJpos, ReadsIfbAmountAsItsSignAndPackedDigits) {
    const Imported got = Import(BinaryDialect(Field(28, "IFB_AMOUNT", 9, "pad=\"true\"")));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.def->fields[28].type, FieldType::B);
    EXPECT_EQ(got.def->fields[28].size, 5);
    const SubfieldNode* amount = got.def->subfields.Find("28.2");
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->def.type, FieldType::N);
    EXPECT_EQ(amount->def.size, 8);
    EXPECT_EQ(got.def->subfields.Find("28.1")->def.size, 1);
}

// ---------------------------------------------------------------------------------------------
// Subfield packagers

const char kPositional[] =
    "<isofieldpackager id=\"48\" length=\"999\" name=\"Private\" "
    "class=\"org.jpos.iso.IFA_LLLCHAR\" "
    "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" emitBitmap=\"false\">\n"
    "  <isofield id=\"1\" length=\"3\" name=\"Code\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
    "  <isofield id=\"2\" length=\"10\" name=\"Text\" class=\"org.jpos.iso.IFA_LLCHAR\"/>\n"
    "  <isofield id=\"3\" length=\"4\" name=\"Tail\" class=\"org.jpos.iso.IFA_CHAR\"/>\n"
    "</isofieldpackager>\n";

const char kBitmapped[] =
    "<isofieldpackager id=\"62\" length=\"99\" name=\"CPS\" class=\"org.jpos.iso.IFB_LLBINARY\" "
    "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" emitBitmap=\"true\">\n"
    "  <isofield id=\"1\" length=\"8\" name=\"Bitmap\" class=\"org.jpos.iso.IFB_BITMAP\"/>\n"
    "  <isofield id=\"2\" length=\"15\" name=\"Id\" class=\"org.jpos.iso.IFB_NUMERIC\" "
    "pad=\"true\"/>\n"
    "  <isofield id=\"3\" length=\"4\" name=\"Code\" class=\"org.jpos.iso.IFE_CHAR\"/>\n"
    "  <isofield id=\"5\" length=\"20\" name=\"Note\" class=\"org.jpos.iso.IFB_LLHCHAR\"/>\n"
    "</isofieldpackager>\n";

const char kTagged[] =
    "<isofieldpackager id=\"48\" length=\"999\" name=\"Tagged\" class=\"org.jpos.iso.IFA_LLLCHAR\" "
    "packager=\"org.jpos.iso.packager.GenericTaggedFieldsPackager\" "
    "tagMapper=\"org.jpos.iso.packager.TTDecimalTagMapper\">\n"
    "  <isofield id=\"1\" length=\"20\" name=\"Invoice\" class=\"org.jpos.iso.IFA_TTLLCHAR\"/>\n"
    "  <isofieldpackager id=\"42\" length=\"99\" name=\"Ecom\" class=\"org.jpos.iso.IFA_TTLLCHAR\" "
    "packager=\"org.jpos.iso.packager.GenericTaggedFieldsPackager\" "
    "tagMapper=\"org.jpos.iso.packager.TTDecimalTagMapper\">\n"
    "    <isofield id=\"1\" length=\"3\" name=\"Level\" class=\"org.jpos.iso.IFA_TTLLCHAR\"/>\n"
    "  </isofieldpackager>\n"
    "</isofieldpackager>\n";

// One line per node: path, structure, and a subfield's columns and settings.
std::string Tree(const ProtocolDef& def, const SubfieldNode& node, const std::string& path) {
    std::ostringstream out;
    out << path;
    if (node.structure.layout != SubfieldLayout::kNone)
        out << " {" << StructureItems(node.structure) << "}";
    if (path.find('.') != std::string::npos) {
        out << " " << NameOf(node.def.type) << " " << node.def.size << " " << node.def.sizeLen
            << (node.def.subfield ? " Y" : "") << " " << node.def.description;
        if (node.def.settings.lenEnc) out << " LEN_Enc=" << NameOf(*node.def.settings.lenEnc);
        if (node.def.settings.charset) out << " CHR_Enc=" << NameOf(*node.def.settings.charset);
        if (node.def.settings.numEnc) out << " NUM_Enc=" << NameOf(*node.def.settings.numEnc);
    }
    out << "\n";
    for (const SubfieldNode& child : node.children)
        out << Tree(def, child, path + "." + child.id);
    return out.str();
}

std::string TreeOf(const ProtocolDef& def, int n) {
    const SubfieldNode* node = def.subfields.Field(n);
    return node != nullptr ? Tree(def, *node, std::to_string(n)) : "";
}

struct TreeCase {
    const char* what;
    std::string fields;
    int field;
    FieldType type;  // the field's, after the packager
    const char* tree;
};

TEST(ImportJpos, ReadsSubfieldPackagersIntoTheirSubfieldTrees) {
    const TreeCase cases[] = {
        {"positional text", kPositional, 48, FieldType::ANS,
         "48 {}\n48.1 N 3 0 Code\n48.2 ANS 10 2 Text\n48.3 ANS 4 0 Tail\n"},
        {"bitmapped bytes", kBitmapped, 62, FieldType::B,
         "62 {8}\n62.2 N 15 0 Id\n62.3 ANS 4 0 Code CHR_Enc=EBCDIC\n"
         "62.5 ANS 20 1 Note LEN_Enc=BIGEND\n"},
        {"tagged text", kTagged, 48, FieldType::ANS,
         "48 {TAG 2; LEN 2}\n48.01 ANS 20 0 Invoice\n48.42 {TAG 2; LEN 2} ANS 99 0 Y Ecom\n"
         "48.42.01 ANS 3 0 Level\n"},
        {"hex bitmap",
         "<isofieldpackager id=\"127\" length=\"999\" name=\"P\" "
         "class=\"org.jpos.iso.IFA_LLLCHAR\" "
         "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" emitBitmap=\"true\">"
         "<isofield id=\"1\" length=\"8\" name=\"B\" class=\"org.jpos.iso.IFA_BITMAP\"/>"
         "<isofield id=\"2\" length=\"6\" name=\"Two\" class=\"org.jpos.iso.IFA_NUMERIC\"/>"
         "</isofieldpackager>",
         127, FieldType::ANS, "127 {8; HEX}\n127.2 N 6 0 Two\n"},
        {"Base1 bitmap at 0 flags subfield 1",
         "<isofieldpackager id=\"126\" length=\"255\" name=\"P\" "
         "class=\"org.jpos.iso.IFB_LLHBINARY\" "
         "packager=\"org.jpos.iso.packager.Base1SubFieldPackager\">"
         "<isofield id=\"0\" length=\"8\" name=\"B\" class=\"org.jpos.iso.IFB_BITMAP\"/>"
         "<isofield id=\"1\" length=\"25\" name=\"One\" class=\"org.jpos.iso.IFA_CHAR\"/>"
         "</isofieldpackager>",
         126, FieldType::B, "126 {8}\n126.1 ANS 25 0 One\n"},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Imported got = Import(BinaryDialect(c.fields));
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_EQ(got.notes, InteropNotes{});
        EXPECT_EQ(got.def->fields[c.field].type, c.type);
        EXPECT_TRUE(got.def->fields[c.field].subfield);
        EXPECT_EQ(TreeOf(*got.def, c.field), c.tree);
    }
}

TEST(ImportJpos, SaysHowItReadsSubfieldPackagersItCannotTakeAsTheyAre) {
    const TreeCase cases[] = {
        {"field 48: positional subfields 1 to 4 are numbered 1 to 3",
         "<isofieldpackager id=\"48\" length=\"99\" name=\"P\" class=\"org.jpos.iso.IFA_LLCHAR\" "
         "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" emitBitmap=\"false\">"
         "<isofield id=\"1\" length=\"2\" name=\"A\" class=\"org.jpos.iso.IFA_CHAR\"/>"
         "<isofield id=\"2\" length=\"2\" name=\"B\" class=\"org.jpos.iso.IFA_CHAR\"/>"
         "<isofield id=\"4\" length=\"2\" name=\"D\" class=\"org.jpos.iso.IFA_CHAR\"/>"
         "</isofieldpackager>",
         48, FieldType::ANS, "48 {}\n48.1 ANS 2 0 A\n48.2 ANS 2 0 B\n48.3 ANS 2 0 D\n"},
        {"field 48: its subfields are not all ASCII characters; the field is read as bytes (B)",
         "<isofieldpackager id=\"48\" length=\"99\" name=\"P\" class=\"org.jpos.iso.IFA_LLCHAR\" "
         "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" emitBitmap=\"false\">"
         "<isofield id=\"1\" length=\"4\" name=\"A\" class=\"org.jpos.iso.IFB_NUMERIC\"/>"
         "</isofieldpackager>",
         48, FieldType::B, "48 {}\n48.1 N 4 0 A\n"},
        {"field 48: without emitBitmap=\"false\" jPOS expects a bitmap in subfield 1",
         "<isofieldpackager id=\"48\" length=\"99\" name=\"P\" class=\"org.jpos.iso.IFA_LLCHAR\" "
         "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\">"
         "<isofield id=\"1\" length=\"2\" name=\"A\" class=\"org.jpos.iso.IFA_CHAR\"/>"
         "</isofieldpackager>",
         48, FieldType::ANS, "48 {}\n48.1 ANS 2 0 A\n"},
        {"field 48: without subfield 2 none after it can be placed",
         "<isofieldpackager id=\"48\" length=\"99\" name=\"P\" class=\"org.jpos.iso.IFA_LLCHAR\" "
         "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" emitBitmap=\"false\">"
         "<isofield id=\"1\" length=\"2\" name=\"A\" class=\"org.jpos.iso.IFA_CHAR\"/>"
         "<isofield id=\"2\" length=\"2\" name=\"B\" class=\"org.example.Odd\"/>"
         "</isofieldpackager>",
         48, FieldType::ANS, ""},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Imported got = Import(BinaryDialect(c.fields));
        ASSERT_TRUE(got.ok) << got.error;
        EXPECT_NE(Joined(got.notes).find(c.what), std::string::npos) << Joined(got.notes);
        EXPECT_EQ(got.def->fields[c.field].type, c.type);
        EXPECT_EQ(TreeOf(*got.def, c.field), c.tree);
    }
}

TEST(ImportJpos, ReadsABerTlvPackagerAsTheSubfieldFlagOfABinaryField) {
    const Imported got = Import(BinaryDialect(
        "<isofieldpackager id=\"55\" length=\"255\" name=\"ICC\" "
        "class=\"org.jpos.iso.IFB_LLLHBINARY\""
        " packager=\"org.jpos.tlv.packager.bertlv.BERTLVBinaryPackager\" emitBitmap=\"false\"/>"));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.notes, InteropNotes{});
    EXPECT_TRUE(got.def->fields[55].subfield);
    EXPECT_EQ(got.def->fields[55].type, FieldType::B);
    EXPECT_EQ(got.def->subfields.Field(55), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Reading XML safely

TEST(ImportJpos, ReadsAFileThatNamesItsDtdWithoutLoadingIt) {
    const Imported got = Import(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE isopackager SYSTEM "
        "\"/nonexistent/genericpackager.dtd\">"
        "\n<isopackager>" +
        Field(0, "IFA_NUMERIC", 4) + Field(1, "IFA_BITMAP", 16) + "</isopackager>");
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.notes, InteropNotes{});
    EXPECT_EQ(got.def->mtiEnc, Encoding::CHAR);
}

TEST(ImportJpos, RefusesABillionLaughs) {
    std::string doc =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE isopackager [\n"
        "<!ENTITY l0 \"lollollollollollollollollollollollollollollollollol\">\n";
    for (int i = 1; i <= 9; ++i) {
        doc += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            doc += "&l" + std::to_string(i - 1) + ";";
        doc += "\">\n";
    }
    doc +=
        "]>\n<isopackager><isofield id=\"2\" length=\"9\" name=\"&l9;\" "
        "class=\"org.jpos.iso.IFA_CHAR\"/></isopackager>\n";
    const Imported got = Import(doc);
    EXPECT_FALSE(got.ok);
    EXPECT_TRUE(got.error.starts_with("not well-formed XML: ")) << got.error;
    EXPECT_NE(got.error.find("amplification"), std::string::npos) << got.error;
    EXPECT_NE(got.error.find(" at line 14"), std::string::npos) << got.error;
}

TEST(ImportJpos, NeverLoadsAnExternalEntity) {
    const std::string entity =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE isopackager [ <!ENTITY secret "
        "SYSTEM \"file:///etc/passwd\"> ]>\n";
    // In content the reference is passed over; in an attribute it is an error.
    const Imported content =
        Import(entity + "<isopackager>&secret;" + Field(0, "IFA_NUMERIC", 4) +
               Field(1, "IFA_BITMAP", 16) + Field(2, "IFA_LLNUM", 19) + "</isopackager>");
    ASSERT_TRUE(content.ok) << content.error;
    EXPECT_EQ(WrittenProText(*content.def).find("root"), std::string::npos);
    const Imported attribute = Import(entity +
                                      "<isopackager><isofield id=\"2\" length=\"9\" "
                                      "name=\"&secret;\" class=\"org.jpos.iso.IFA_CHAR\"/>"
                                      "</isopackager>");
    EXPECT_FALSE(attribute.ok);
    EXPECT_EQ(attribute.error,
              "not well-formed XML: reference to external entity in attribute at line 3");
}

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<isopackager>";
    return text;
}

TEST(ImportJpos, RefusesWhatIsNoPackager) {
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"<isopackager>\n<isofield id=\"2\">\n</isopackager>",
         "not well-formed XML: mismatched tag at line 3"},
        {"<packager/>", "not a jPOS packager: the root element is <packager>, not <isopackager>"},
        {Nested(40), "not a jPOS packager: elements nested more than 24 deep at line 1"},
    };
    for (const Case& c : cases) {
        const Imported got = Import(c.text);
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.error, c.error);
    }
}

// ---------------------------------------------------------------------------------------------
// A message as jPOS packs it

TEST(ImportJpos, DecodesAMessageAsJposPacksAndUnpacksIt) {
    const std::string xml = Packager(
        Field(0, "IFB_NUMERIC", 4, "pad=\"true\"") + Field(1, "IFB_BITMAP", 16) +
        Field(2, "IFB_LLNUM", 19) + Field(3, "IFB_NUMERIC", 6) + Field(22, "IFB_NUMERIC", 3) +
        Field(35, "IFB_LLNUM", 37) + Field(41, "IFA_CHAR", 8) +
        "<isofieldpackager id=\"48\" length=\"999\" name=\"Private\" "
        "class=\"org.jpos.iso.IFB_LLLCHAR\" "
        "packager=\"org.jpos.iso.packager.GenericSubFieldPackager\" "
        "emitBitmap=\"false\">\n"
        "  <isofield id=\"1\" length=\"3\" name=\"Code\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
        "  <isofield id=\"2\" length=\"10\" name=\"Text\" class=\"org.jpos.iso.IFA_LLCHAR\"/>\n"
        "  <isofield id=\"3\" length=\"4\" name=\"Tail\" class=\"org.jpos.iso.IFA_CHAR\"/>\n"
        "</isofieldpackager>\n" +
        kBitmapped);
    const Imported got = Import(xml);
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.notes, InteropNotes{});
    // Packed by hand as the classes pack: MTI 0200; bits 2, 3, 22, 35, 41, 48, 62; PAN of 19
    // digits right-padded (no pad attribute); 22 "051" as 05 10; track 2 with D for '=';
    // field 48 behind a 2-byte BCD length, "007" "05HELLO" "AB  "; field 62: its bitmap of
    // bits 2, 3, 5, 15 digits left-padded, "AB12" in EBCDIC, "HI" behind a binary length.
    const std::string message =
        "0200 6000040020810004"
        "19 4000123412341234567 0"
        "000000"
        "0510"
        "25 4000123412341234D25121011 0"
        "5445524D30303031"
        "0014 303037 303548454C4C4F 41422020"
        "23 6800000000000000 0381234567890123 C1C2F1F2 024849";
    const std::vector<std::uint8_t> raw = HexBytes(message);
    AutoBuff input;
    ASSERT_TRUE(input.Reserve(static_cast<int>(raw.size()) + 1, false));
    std::memcpy(input.Data(), raw.data(), raw.size());
    input.SetLength(static_cast<int>(raw.size()));
    std::vector<std::string> seen;
    auto consumer = [&](const DecodedField& field) {
        InspectOptions options;
        options.mask = false;
        const FieldInspection inspected = InspectField(*got.def, field, options);
        std::string row = std::to_string(field.number) + "=" + inspected.value;
        for (const SubfieldRow& sub : inspected.subfields.rows)
            row += " " + sub.id + "=" + sub.value;
        if (inspected.subfields.failed) row += " error " + inspected.subfields.error.reason;
        seen.push_back(row);
        return true;
    };
    AutoBuff verdict;
    DecodeMessage(input, *got.def, consumer, verdict);
    const std::vector<std::string> expected = {
        "2=4000123412341234567",
        "3=000000",
        "22=051",
        "35=4000123412341234=25121011",
        "41=TERM0001",
        "48=00705HELLOAB   48.1=007 48.2=HELLO 48.3=AB  ",
        "62=68000000000000000381234567890123C1C2F1F2024849 62.2=381234567890123 62.3=AB12 "
        "62.5=HI",
    };
    EXPECT_EQ(seen, expected) << verdict.Text();
}

// ---------------------------------------------------------------------------------------------
// Writing

struct ExportCase {
    const char* pro;  // field lines after a text dialect's encodings
    const char* element;
    const char* note;  // "" when none
};

TEST(ExportJpos, ChoosesTheClassThatReadsAsTheFieldsEncodingsOrSaysWhyNone) {
    const ExportCase cases[] = {
        {"FIELD=  2; N; 19; 2; N; PAN", "class=\"org.jpos.iso.IFA_LLNUM\"", ""},
        {"FIELD=  2; N; 19; 1; N; PAN\nFIELD_OPTION= 2; LEN_Enc; PBCD\nFIELD_OPTION= 2; NUM_Enc; "
         "PBCD",
         "class=\"org.jpos.iso.IFB_LLNUM\" pad=\"true\"", ""},
        {"FIELD=  2; N; 19; 1; N; PAN\nFIELD_OPTION= 2; LEN_Enc; PBCD\nFIELD_OPTION= 2; NUM_Enc; "
         "PBCD\n"
         "FIELD_OPTION= 2; PAD; RIGHT\nFIELD_OPTION= 2; PAD_NIBBLE; F",
         "class=\"org.jpos.iso.IFB_FLLNUM\" pad=\"false\"", ""},
        {"FIELD= 35; Z; 37; 1; N; Track\nFIELD_OPTION= 35; LEN_Enc; PBCD\nFIELD_OPTION= 35; "
         "BIN_Enc; PBCD\n"
         "FIELD_OPTION= 35; PAD; RIGHT",
         "class=\"org.jpos.iso.IFB_LLNUM\" pad=\"false\"", ""},
        {"FIELD= 41; ANS; 8; 0; N; Terminal\nFIELD_OPTION= 41; CHR_Enc; EBCDIC",
         "class=\"org.jpos.iso.IFE_CHAR\"", ""},
        {"FIELD= 52; B; 8; 0; N; PIN", "class=\"org.jpos.iso.IFA_BINARY\"", ""},
        {"FIELD= 55; B; 255; 3; N; ICC\nFIELD_OPTION= 55; BIN_Enc; NONE",
         "class=\"org.jpos.iso.IFA_LLLBINARY\"", ""},
        {"FIELD= 43; AN; 40; 0; N; Name", "class=\"org.jpos.iso.IFA_CHAR\"",
         "field 43: type AN has no jPOS class of its own"},
        {"FIELD=  4; N; 12; 0; N; Amount\nFIELD_OPTION= 4; NUM_Enc; BIGEND", "",
         "field 4: no jPOS class holds N 12, NUM_Enc BIGEND; left out"},
        {"FIELD=  2; N; 19; 2; N; PAN\nFIELD_OPTION= 2; LEN_Enc; HEX", "",
         "field 2: no jPOS class holds N 19, NUM_Enc CHAR, LEN_Enc HEX of 2 units"},
        {"FIELD= 48; ANS; 150; 2; N; Long", "length=\"99\"",
         "field 48: size 150 is more than class org.jpos.iso.IFA_LLCHAR counts; written as 99"},
    };
    for (const ExportCase& c : cases) {
        SCOPED_TRACE(c.pro);
        ProtocolDef def;
        LoadProText(std::string("MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\n"
                                "CHR_Enc= ASCII\nBIN_Enc= HEX\n") +
                        c.pro + "\n",
                    def);
        std::string xml;
        InteropNotes notes;
        ExportJpos(def, xml, notes);
        // Empty fields are the dialect's, which another test looks at.
        std::erase_if(notes, [](const std::string& n) { return n.starts_with("OPTION "); });
        if (*c.element != '\0') {
            EXPECT_NE(xml.find(c.element), std::string::npos) << xml;
        }
        if (*c.note == '\0') {
            EXPECT_EQ(notes, InteropNotes{});
        } else {
            EXPECT_NE(Joined(notes).find(c.note), std::string::npos) << Joined(notes);
        }
    }
}

// The class a written packager gives field n, and its pad attribute.
std::pair<const JposClass*, bool> WrittenClass(const std::string& xml, int n) {
    XmlDocument doc;
    std::string error;
    if (!ReadXml(xml, doc, error)) return {nullptr, false};
    for (const XmlElement& e : doc.root.children) {
        if (*e.Attribute("id") != std::to_string(n)) continue;
        const std::string* pad = e.Attribute("pad");
        return {FindJposClass(*e.Attribute("class")), pad != nullptr && *pad == "true"};
    }
    return {nullptr, false};
}

TEST(ExportJpos, WritesEveryClassItReadsAsAClassThatReadsTheSame) {
    for (const JposClass& c : JposClasses()) {
        if (!c.written || c.kind != JposKind::kValue) continue;
        for (const bool pad : {true, false}) {
            const std::string name(c.name);
            SCOPED_TRACE(name + (pad ? " pad" : ""));
            const Imported got =
                Import(BinaryDialect(Field(70, name.c_str(), 7, pad ? "pad=\"true\"" : "")));
            ASSERT_TRUE(got.ok);
            std::string xml;
            InteropNotes notes;
            ExportJpos(*got.def, xml, notes);
            EXPECT_EQ(notes, InteropNotes{});
            const auto [written, writtenPad] = WrittenClass(xml, 70);
            ASSERT_NE(written, nullptr) << xml;
            EXPECT_EQ(LayoutOf(*written, 7, writtenPad), LayoutOf(c, 7, pad)) << written->name;
            const Imported back = Import(xml);
            EXPECT_EQ(WrittenProText(*back.def), WrittenProText(*got.def));
        }
    }
}

// The DTD jPOS validates a packager against: the elements and attributes it declares, and a
// packager element's content beginning with a plain field.
void ExpectValidPackager(const XmlElement& e) {
    static const std::set<std::string> field = {"id", "length", "name", "class", "pad"};
    static const std::set<std::string> packager = {"id",         "length",    "name",
                                                   "class",      "pad",       "packager",
                                                   "emitBitmap", "tagMapper", "firstField"};
    if (e.name == "isofield" || e.name == "isofieldpackager") {
        const std::set<std::string>& allowed = e.name == "isofield" ? field : packager;
        for (const auto& [key, value] : e.attributes)
            EXPECT_TRUE(allowed.contains(key)) << key;
        for (const char* required : {"id", "length", "name", "class"}) {
            EXPECT_NE(e.Attribute(required), nullptr) << required << " at line " << e.line;
        }
        const std::string* cls = e.Attribute("class");
        const std::string* pad = e.Attribute("pad");
        if (cls != nullptr) {
            EXPECT_NE(FindJposClass(*cls), nullptr) << *cls;
        }
        if (pad != nullptr) {
            EXPECT_TRUE(*pad == "true" || *pad == "false");
        }
    } else {
        EXPECT_EQ(e.name, "isopackager");
    }
    if (!e.children.empty()) {
        EXPECT_EQ(e.children.front().name, "isofield") << "line " << e.line;
    }
    for (const XmlElement& child : e.children)
        ExpectValidPackager(child);
}

// Lines of a written definition, less an explicit BER_TLV structure of a binary field flagged
// Y, which says what the flag already does.
std::vector<std::string> Lines(const ProtocolDef& def) {
    std::vector<std::string> lines;
    std::istringstream in(WrittenProText(def));
    for (std::string line; std::getline(in, line);) {
        // Headings come and go with the lines under them.
        if (line.starts_with("//")) continue;
        if (line.starts_with("STRUCTURE= ") && line.ends_with("; BER_TLV") &&
            line.find('.') == std::string::npos) {
            const int n = std::stoi(line.substr(11));
            if (def.fields[n].type == FieldType::B && def.fields[n].subfield) continue;
        }
        lines.push_back(line);
    }
    return lines;
}

// "field 48" of "SUBFIELD= 48.42; ...", "messages" of a MSG line, "OPTION EMPTY_FIELDS" of an
// option, "" for a line of no field.
std::string Subject(const std::string& line) {
    if (line.starts_with("MSG=")) return "messages";
    if (line.starts_with("OPTION= ")) return "OPTION " + line.substr(8, line.find(';') - 8);
    for (const char* key :
         {"FIELD_OPTION=", "SUBFIELD_OPTION=", "SUBFIELD=", "STRUCTURE=", "FIELD="}) {
        if (!line.starts_with(key)) continue;
        std::string path = line.substr(std::strlen(key));
        path = path.substr(0, path.find(';'));
        path.erase(std::remove(path.begin(), path.end(), ' '), path.end());
        return "field " + path;
    }
    return "";
}

bool Explains(const std::string& note, const std::string& subject) {
    const std::string about = note.substr(0, note.find(':'));
    return !subject.empty() && (subject == about || subject.starts_with(about + "."));
}

constexpr char kRefusesEmptyFields[] =
    "OPTION EMPTY_FIELDS: jPOS reads a variable field of length 0 as an empty value, which this "
    "definition refuses";

TEST(ExportJpos, ExamplesComeBackAsTheyWereSaveWhatANoteNames) {
    struct Case {
        const char* file;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {"demo.pro",
         {"messages: 2 message definitions have no place in a jPOS packager; left out",
          kRefusesEmptyFields}},
        {"subfields.pro",
         {"field 48: a head of 1 unit before its elements, which no jPOS tagged packager reads; "
          "written as one value",
          "messages: 1 message definition has no place in a jPOS packager; left out",
          kRefusesEmptyFields}},
        {"subfields-binary.pro",
         {"field 62.1: type AN has no jPOS class of its own; written as characters, which read "
          "back as ANS",
          "field 62.3: type AN has no jPOS class of its own; written as characters, which read "
          "back as ANS",
          "messages: 1 message definition has no place in a jPOS packager; left out",
          kRefusesEmptyFields}},
        {"dialect.pro",
         {"field 35: no jPOS class holds N 37, NUM_Enc PBCD padded on the right with F, LEN_Enc "
          "CHAR of 2 units, in ASCII; left out",
          "field 55: no jPOS class holds B 255, BIN_Enc NONE, LEN_Enc BIGEND of 3 units; left out",
          "field 62: no jPOS class holds B 49, BIN_Enc NONE, LEN_Enc CHAR of 2 units counting "
          "nibbles, in ASCII; left out",
          "field 63: no jPOS class holds ANS 999, LEN_Enc PBCD of 2 units left-aligned, in ASCII; "
          "left out",
          "messages: 2 message definitions have no place in a jPOS packager; left out"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto def = std::make_unique<ProtocolDef>();
        std::string error;
        ASSERT_TRUE(LoadProtocolFile(std::string(ISO_EXAMPLES_DIR) + "/" + c.file, *def, error));
        std::string xml;
        InteropNotes notes;
        ExportJpos(*def, xml, notes);
        EXPECT_EQ(notes, c.notes);
        XmlDocument doc;
        ASSERT_TRUE(ReadXml(xml, doc, error)) << error;
        ExpectValidPackager(doc.root);
        const Imported back = Import(xml);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.notes, InteropNotes{});
        const std::vector<std::string> before = Lines(*def);
        const std::vector<std::string> after = Lines(*back.def);
        for (const auto& [from, to] : {std::pair{&before, &after}, std::pair{&after, &before}}) {
            for (const std::string& line : *from) {
                if (std::find(to->begin(), to->end(), line) != to->end()) continue;
                const bool named =
                    std::any_of(notes.begin(), notes.end(),
                                [&](const std::string& n) { return Explains(n, Subject(line)); });
                EXPECT_TRUE(named) << "no note explains: " << line;
            }
        }
    }
}

TEST(ExportJpos, KeepsTheNameInACommentTheReaderTakesBack) {
    ProtocolDef def;
    LoadProText("NAME= Acquirer -- test\nMTI_Enc= CHAR\nFIELD= 2; N; 19; 2; N; PAN\n", def);
    std::string xml;
    InteropNotes notes;
    ExportJpos(def, xml, notes);
    EXPECT_NE(xml.find("<!-- name: Acquirer - - test -->"), std::string::npos) << xml;
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1], kRefusesEmptyFields);
    const Imported back = Import(xml);
    EXPECT_STREQ(back.def->name, "Acquirer - - test");
}

TEST(ExportJpos, SaysWhichSubfieldStructuresNoJposPackagerReads) {
    const ExportCase cases[] = {
        {"FIELD= 48; ANS; 99; 2; Y; P\nSTRUCTURE= 48; TAGGED; LEN 2; TAG 2\n"
         "SUBFIELD= 48.01; ANS; 9; 0; N; A",
         "", "field 48: the length before the tag, which no jPOS tagged packager reads"},
        {"FIELD= 48; ANS; 99; 2; Y; P\nSTRUCTURE= 48; POSITIONAL\nSUBFIELD= 48.1; ANS; 2; 0; N; A\n"
         "SUBFIELD= 48.2; ANS; 9; 0; N; B\nSUBFIELD_OPTION= 48.2; REST; Y",
         "", "field 48.2: takes the rest of the value, which no jPOS class does"},
        {"FIELD= 48; ANS; 99; 2; Y; P\nSTRUCTURE= 48; TAGGED; TAG 2; LEN 3\n"
         "SUBFIELD= 48.AB; ANS; 9; 0; N; A",
         "", "field 48: tag AB, which is not 2 decimal digits"},
        {"FIELD= 48; ANS; 99; 2; Y; P\nSTRUCTURE= 48; TAGGED; TAG 2; LEN 3\n"
         "SUBFIELD= 48.07; ANS; 9; 0; N; A\nSUBFIELD_OPTION= 48.07; HOLDS; PAN",
         "class=\"org.jpos.iso.IFA_TTLLLCHAR\"",
         "field 48.07: what it holds (HOLDS) is for masking"},
    };
    for (const ExportCase& c : cases) {
        SCOPED_TRACE(c.pro);
        ProtocolDef def;
        LoadProText(std::string("MTI_Enc= CHAR\nLEN_Enc= CHAR\nNUM_Enc= CHAR\n") + c.pro + "\n",
                    def);
        std::string xml;
        InteropNotes notes;
        ExportJpos(def, xml, notes);
        // Empty fields are the dialect's, which another test looks at.
        std::erase_if(notes, [](const std::string& n) { return n.starts_with("OPTION "); });
        if (*c.element != '\0') {
            EXPECT_NE(xml.find(c.element), std::string::npos) << xml;
        }
        EXPECT_NE(Joined(notes).find(c.note), std::string::npos) << Joined(notes);
    }
}

}  // namespace
