// Field values written from subfields under every structure, read back by the checker's own
// subfield and data-object readers into the same subfields; and the reasons subfields are
// refused for.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../content/hex_bytes.h"
#include "../model/pro_text_io.h"
#include "content/field_content.h"
#include "encode/subfield_writer.h"
#include "support/text.h"

namespace {

std::string Example(const char* name) {
    std::ifstream in(std::string(ISO_EXAMPLES_DIR) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kText = Example("subfields.pro");
const std::string kBinary = Example("subfields-binary.pro");
const std::string kTexts =
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= NONE\n";
const std::string kBytes =
    "MTI_Enc= PBCD\nBMP_Enc= NONE\nLEN_Enc= PBCD\nNUM_Enc= PBCD\nCHR_Enc= ASCII\nBIN_Enc= NONE\n";
const std::string kBinaryTags =
    kBytes +
    "FIELD= 63; B; 99; 1; Y; Tags\nSTRUCTURE= 63; TAGGED; TAG 1 BIGEND; LEN 1 PBCD\n"
    "SUBFIELD= 63.1F; ANS; 20; 0; N; Name\nSUBFIELD= 63.20; N; 5; 0; N; Count\n"
    "SUBFIELD= 63.30; N; 6; 0; N; Amount\nSUBFIELD_OPTION= 63.30; NUM_Enc; BIGEND\n";
const std::string kEbcdicTags =
    kBytes +
    "FIELD= 63; B; 99; 1; Y; Tags\nFIELD_OPTION= 63; CHR_Enc; EBCDIC\n"
    "STRUCTURE= 63; TAGGED; TAG 2; LEN 2\nSUBFIELD= 63.01; ANS; 20; 0; N; Name\n"
    "SUBFIELD_OPTION= 63.01; CHR_Enc; EBCDIC\n";
const std::string kRest =
    kTexts +
    "FIELD= 43; ANS; 40; 2; Y; Place\nSTRUCTURE= 43; POSITIONAL\n"
    "SUBFIELD= 43.1; ANS; 3; 0; N; Fixed\nSUBFIELD= 43.2; ANS; 9; 2; N; Prefixed\n"
    "SUBFIELD= 43.3; ANS; 20; 0; N; Rest\nSUBFIELD_OPTION= 43.3; REST; Y\n";
const std::string kHexBitmap =
    kTexts +
    "FIELD= 62; ANS; 99; 3; Y; Private\nSTRUCTURE= 62; BITMAP; 2; HEX\n"
    "SUBFIELD= 62.1; AN; 2; 0; N; One\nSUBFIELD= 62.16; AN; 4; 0; N; Sixteen\n";
const std::string kChip =
    kBytes +
    "FIELD= 55; B; 255; 2; Y; Chip\nSTRUCTURE= 55; BER_TLV\n"
    "SUBFIELD= 55.9F02; N; 12; 0; N; Amount\n"
    "SUBFIELD= 55.BF0C; B; 20; 0; Y; Discretionary\nSTRUCTURE= 55.BF0C; BER_TLV\n"
    "SUBFIELD= 55.BF0C.9F4D; B; 2; 0; N; Log entry\n"
    "FIELD= 104; B; 999; 2; Y; Data sets\n"
    "STRUCTURE= 104; TAGGED; TAG 1 BIGEND; LEN 2 BIGEND\n"
    "SUBFIELD= 104.01; B; 252; 0; Y; Set\nSTRUCTURE= 104.01; BER_TLV\n";
const std::string kNested =
    kTexts +
    "FIELD= 48; ANS; 999; 3; Y; Private\nSTRUCTURE= 48; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 48.42; ANS; 99; 0; Y; Outer\nSTRUCTURE= 48.42; TAGGED; TAG 2; LEN 2\n"
    "SUBFIELD= 48.42.01; ANS; 20; 0; Y; Inner\nSTRUCTURE= 48.42.01; POSITIONAL\n"
    "SUBFIELD= 48.42.01.1; N; 2; 0; N; Kind\nSUBFIELD= 48.42.01.2; ANS; 3; 0; N; Code\n"
    "FIELD= 61; ANS; 99; 2; Y; Kind and chip data\nSTRUCTURE= 61; POSITIONAL\n"
    "SUBFIELD= 61.1; N; 2; 0; N; Kind\nSUBFIELD= 61.2; ANS; 90; 0; Y; Chip data\n"
    "SUBFIELD_OPTION= 61.2; REST; Y\nSTRUCTURE= 61.2; BER_TLV\n"
    "FIELD= 49; ANS; 999; 3; Y; Length first\nSTRUCTURE= 49; TAGGED; LEN 2; TAG 2\n";
const std::string kInsideBytes =
    kBytes +
    "FIELD= 63; B; 99; 1; Y; Nested\nSTRUCTURE= 63; POSITIONAL\n"
    "SUBFIELD= 63.1; ANS; 20; 1; Y; Elements\nSUBFIELD_OPTION= 63.1; CHR_Enc; EBCDIC\n"
    "STRUCTURE= 63.1; TAGGED; TAG 2; LEN 2\nSUBFIELD= 63.1.01; ANS; 10; 0; N; Name\n"
    "SUBFIELD= 63.2; B; 4; 0; Y; Flags\nSUBFIELD_OPTION= 63.2; CHR_Enc; EBCDIC\n"
    "STRUCTURE= 63.2; BITMAP; 1; HEX\nSUBFIELD= 63.2.1; B; 1; 0; N; First\n"
    "SUBFIELD= 63.2.2; B; 1; 0; N; Second\n"
    "FIELD= 64; B; 99; 1; Y; Mixed\nSTRUCTURE= 64; POSITIONAL\n"
    "SUBFIELD= 64.1; N; 4; 0; N; Count\nSUBFIELD_OPTION= 64.1; NUM_Enc; BIGEND\n"
    "SUBFIELD= 64.2; B; 2; 0; N; Flags\nSUBFIELD= 64.3; B; 10; 1; N; Key\n";

// Field 48 with one subfield at each level, as deep as a definition nests them.
std::string Deepest() {
    std::string pro = kTexts + "FIELD= 48; ANS; 999; 3; Y; Deep\n";
    std::string path = "48";
    for (int level = 1; level <= kMaxSubfieldDepth; ++level) {
        pro += "STRUCTURE= " + path + "; POSITIONAL\n";
        path += ".1";
        pro += "SUBFIELD= " + path + "; ANS; 9; 0; " + (level < kMaxSubfieldDepth ? "Y" : "N") +
               "; Level\nSUBFIELD_OPTION= " + path + "; REST; Y\n";
    }
    return pro;
}

// A subfield in a draft: a value, or subfields of its own.
struct Sub {
    std::string id;
    std::string value;
    std::vector<Sub> children;
    bool structured = false;
    ValueForm form = ValueForm::kShown;
};

Sub V(std::string id, std::string value) {
    return {std::move(id), std::move(value), {}, false, ValueForm::kShown};
}
Sub U(std::string id, const std::string& hex) {
    const std::vector<std::uint8_t> bytes = HexBytes(hex);
    return {std::move(id), std::string(bytes.begin(), bytes.end()), {}, false, ValueForm::kUnits};
}
Sub S(std::string id, std::vector<Sub> children) {
    return {std::move(id), "", std::move(children), true, ValueForm::kShown};
}

void Add(MessageDraft& draft, std::int32_t parent, const Sub& sub) {
    if (!sub.structured) {
        draft.AddSubfield(parent, sub.id, sub.value, sub.form);
        return;
    }
    const std::int32_t node = draft.AddStructuredSubfield(parent, sub.id);
    for (const Sub& child : sub.children)
        Add(draft, node, child);
}

struct Written {
    bool ok = false;
    std::vector<std::uint8_t> value;
    std::string error;
    bool binary = false;  // the field's value is bytes
};

Written Write(const std::string& pro, int n, const std::vector<Sub>& subs, bool pad = false) {
    ProtocolDef def;
    LoadProText(pro, def);
    MessageDraft draft;
    const std::int32_t top = draft.SetStructuredField(n);
    for (const Sub& sub : subs)
        Add(draft, top, sub);
    EncodeOptions options;
    options.padNumbers = pad;
    EncodeScratch scratch;
    Written out;
    out.ok = WriteSubfields(def, n, draft, top, options, out.value, out.error, scratch);
    out.binary = ValueIsBinary(def, n);
    return out;
}

std::string HexOf(const std::string& bytes) {
    std::string hex;
    AssignHex(hex, reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<int>(bytes.size()));
    return hex;
}

using Leaves = std::vector<std::pair<std::string, std::string>>;

// The values given, by path, empty ones left out: a subfield left out reads back empty.
void Flatten(const std::string& path, const std::vector<Sub>& subs, Leaves& out) {
    for (const Sub& sub : subs) {
        if (sub.structured) {
            Flatten(path + "." + sub.id, sub.children, out);
        } else if (!sub.value.empty() && sub.id != "head") {
            out.emplace_back(path + "." + sub.id, sub.value);
        }
    }
}

// The subfields and data objects the checker reads out of field n's value, unmasked.
Leaves ReadBack(const std::string& pro, int n, const std::vector<std::uint8_t>& bytes) {
    ProtocolDef def;
    LoadProText(pro, def);
    AutoBuff buffer;
    buffer.Reserve(static_cast<int>(bytes.size()) + 1, false);
    std::copy(bytes.begin(), bytes.end(), buffer.Data());
    buffer.SetLength(static_cast<int>(bytes.size()));
    buffer.Terminate();
    DecodedField field;
    field.number = static_cast<std::int16_t>(n);
    field.consumed = static_cast<std::int16_t>(def.fields[n].sizeLen + bytes.size());
    field.value = &buffer;
    InspectOptions options;
    options.mask = false;
    const FieldInspection got = InspectField(def, field, options);
    Leaves leaves;
    const auto& rows = got.subfields.rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].end == static_cast<int>(i + 1) && !rows[i].value.empty())
            leaves.emplace_back(rows[i].id, rows[i].value);
    }
    if (got.subfields.failed) leaves.emplace_back("error", got.subfields.error.reason);
    for (std::size_t i = 0; i < got.tags.size(); ++i) {
        if (got.tags[i].end != static_cast<int>(i + 1)) continue;
        std::string path;
        for (int p = static_cast<int>(i); p >= 0; p = got.tags[static_cast<std::size_t>(p)].parent)
            path.insert(0, "." + got.tags[static_cast<std::size_t>(p)].tagHex);
        leaves.emplace_back(std::to_string(n) + path, got.tags[i].hex);
    }
    if (!got.tlvError.empty()) leaves.emplace_back("error", got.tlvError);
    std::sort(leaves.begin(), leaves.end());
    return leaves;
}

struct Case {
    const char* name;
    std::string pro;
    int field;
    std::vector<Sub> subs;
    std::string want;             // the value written, as text (hex when binary); or the error
    std::vector<Sub> units = {};  // the same subfields given as the decoded values' units
};

Case C(const char* name, std::string pro, int field, std::vector<Sub> subs, std::string want,
       std::vector<Sub> units = {}) {
    return {name, std::move(pro), field, std::move(subs), std::move(want), std::move(units)};
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const std::string kRouting(48, 'R');

const Case kRoundTrips[] = {
    C("ManualTaggedValueWithHeadAndNestedElements", kText, 48,
      {V("head", "R"), V("01", "INV042"), S("42", {V("01", "210"), V("02", "01")})},
      "R0106INV04242130103210020201"),
    C("PositionalInTheStructuresOrderNotTheDrafts", kText, 43,
      {V("3", "US"), V("1", "CORNER SHOP              "), V("2", "SPRINGFIELD  ")},
      "CORNER SHOP              SPRINGFIELD  US"),
    C("InnerBitmapComputedFromTheSubfieldsGiven", kText, 127,
      {S("22", {V("01", "ORDER-7781"), V("02", "WEB")}), V("2", "SWITCHKEY"), V("3", kRouting)},
      "6000040000000000" + HexOf("09SWITCHKEY" + kRouting + "0002301010ORDER-778102003WEB")),
    C("DataObjectsNestedInAConstructedOne", kText, 55,
      {V("9F02", "000000001000"), V("5A", "4111111111111111"), S("70", {V("9F03", "0000")})},
      "9F02060000000010005A084111111111111111"
      "70059F03020000"),
    C("ManualBitmapOfAPaymentServiceField", kBinary, 62,
      {V("1", "Y"), V("2", "381234567890123"), V("3", "AB12")},
      "E000000000000000E80381234567890123C1C2F1F2"),
    C("BinaryTagAndPackedLength", kBinaryTags, 63, {V("1F", "NAME"), V("20", "1234")},
      "1F044E414D4520021234"),
    C("EbcdicTagsLengthsAndValues", kEbcdicTags, 63, {V("01", "JOHN")}, "F0F1F0F4D1D6C8D5"),
    C("LengthBeforeTagInTheDraftsOrder", kNested, 49, {V("03", "abc"), V("01", "x")},
      "0303abc0101x"),
    C("RestOfAPositionalValue", kRest, 43, {V("1", "ABC"), V("2", "HELLO"), V("3", "the rest")},
      "ABC05HELLOthe rest"),
    C("RestLeftOutAndAnEmptyPrefixedSubfield", kRest, 43, {V("1", "ABC"), V("2", "")}, "ABC00"),
    C("HexBitmapInATextValue", kHexBitmap, 62, {V("16", "WXYZ"), V("1", "AB")}, "8001ABWXYZ"),
    C("LongLengthOfTwoBytes", kText, 55, {V("DF8101", std::string(600, 'B'))},
      "DF810182012C" + std::string(600, 'B')),
    C("DataObjectDefinedUnderItsConstructedParent", kChip, 55, {S("BF0C", {V("9F4D", "0B0A")})},
      "BF0C059F4D020B0A"),
    C("DataObjectsInsideABinaryElement", kChip, 104, {S("01", {V("9A", "240131")})},
      "0100059A03240131"),
    C("ThreeLevelsOfStructures", kNested, 48, {S("42", {S("01", {V("1", "07"), V("2", "ABC")})})},
      "4209010507ABC"),
    C("ElementOfAnUnknownTagWrittenAsGiven", kNested, 48, {V("77", "zz")}, "7702zz"),
    C("DataObjectsInTheRestOfATextValue", kNested, 61,
      {V("1", "07"), S("2", {V("9F02", "000000001000")})}, "079F0206000000001000"),
    C("StructuresInsideEbcdicSubfields", kInsideBytes, 63,
      {S("1", {V("01", "JOHN")}), S("2", {V("1", "AB"), V("2", "CD")})},
      "08F0F1F0F4D1D6C8D5C3F0ABCD"),
    C("AsDeepAsADefinitionNests", Deepest(), 48,
      {S("1", {S("1", {S("1", {S("1", {S("1", {S("1", {S("1", {V("1", "x")})})})})})})})}, "x"),
};

class WritesAndReadsBack : public testing::TestWithParam<Case> {};

TEST_P(WritesAndReadsBack, TheSameSubfields) {
    const Case& c = GetParam();
    const Written written = Write(c.pro, c.field, c.subs);
    ASSERT_TRUE(written.ok) << written.error;
    const std::string value(written.value.begin(), written.value.end());
    EXPECT_EQ(written.binary ? HexOf(value) : value, c.want);
    Leaves want;
    Flatten(std::to_string(c.field), c.subs, want);
    std::sort(want.begin(), want.end());
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(ReadBack(c.pro, c.field, written.value), want);
}

INSTANTIATE_TEST_SUITE_P(Structures, WritesAndReadsBack, testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

const Case kForms[] = {
    C("NumberHeldInBinaryAndBytes", kInsideBytes, 64,
      {V("1", "1000"), V("2", "abcd"), V("3", "0102")}, "03E8ABCD020102",
      {U("1", "03E80000"), U("2", "ABCD"), U("3", "0102")}),
    C("NumberHeldInBinaryInAnElement", kBinaryTags, 63, {V("30", "123456")}, "300301E240",
      {U("30", "01E24000000000")}),
    C("DataObjectsAndTheirBytes", kChip, 55, {V("9F02", "000000001000")}, "9F0206000000001000",
      {U("9F02", "000000001000")}),
    C("UnknownElementOfABinaryValue", kBinaryTags, 63, {V("2A", "C0FFEE")}, "2A03C0FFEE",
      {U("2A", "C0FFEE")}),
};

class GivenShownOrAsUnits : public testing::TestWithParam<Case> {};

TEST_P(GivenShownOrAsUnits, WritesTheSameValue) {
    const Case& c = GetParam();
    for (const auto* subs : {&c.subs, &c.units}) {
        const Written written = Write(c.pro, c.field, *subs);
        ASSERT_TRUE(written.ok) << written.error;
        EXPECT_EQ(HexOf(std::string(written.value.begin(), written.value.end())), c.want);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, GivenShownOrAsUnits, testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SubfieldWriter, PadsAFixedNumberOnlyWhenAsked) {
    const std::vector<Sub> subs = {V("1", "100"), V("2", "123"), V("3", "1231235959"),
                                   V("4", "12345"), V("5", "0")};
    EXPECT_EQ(Write(kText, 90, subs).error, "field 90.1: 3 digits, fixed at 4");
    const Written padded = Write(kText, 90, subs, true);
    EXPECT_EQ(std::string(padded.value.begin(), padded.value.end()),
              "010000012312312359590000001234500000000000");
}

const Case kRefusals[] = {
    C("PositionalSubfieldMissingBeforeAGivenOne", kRest, 43, {V("1", "ABC"), V("3", "x")},
      "field 43.2: not given, and only one that takes the rest of the value may be left out"),
    C("SubfieldTheDefinitionDoesNotDeclare", kText, 43, {V("7", "x")},
      "field 43.7: the definition declares no such subfield"),
    C("SubfieldGivenTwice", kText, 90, {V("1", "0100"), V("01", "0200")},
      "field 90.1: given twice"),
    C("FixedTextTooShort", kText, 43, {V("1", "SHOP"), V("2", ""), V("3", "")},
      "field 43.1: 4 characters, fixed at 25"),
    C("ElementAboveItsSize", kText, 48, {V("head", "R"), V("01", std::string(21, 'I'))},
      "field 48.01: 21 characters, at most 20"),
    C("ElementLongerThanItsLengthHolds", kText, 48,
      {V("head", "R"), V("77", std::string(100, 'x'))},
      "field 48.77: its value takes 100 characters, and a length of 2 units holds at most 99"),
    C("TagOfTheWrongWidth", kText, 48, {V("head", "R"), V("1", "x")},
      "field 48.1: tag '1' is not 2 characters, as TAG says"),
    C("HeadMissing", kText, 48, {V("01", "INV")},
      "field 48.head: not given: the structure begins with a head of 1 unit"),
    C("MaskedCardNumber", kText, 48, {V("head", "R"), V("10", "555555******4444")},
      "field 48.10: the value is masked (555555******4444)"),
    C("BitTheDefinitionDoesNotDeclare", kText, 127, {V("4", "x")},
      "field 127.4: the definition declares no such subfield"),
    C("PackedDigitsThatReadBackLonger", kBinaryTags, 63, {V("20", "123")},
      "field 63.20: 3 digits take 2 units under PBCD, which read back as 4 digits"),
    C("TagCharacterWithoutEbcdicCode", kEbcdicTags, 63, {V("0]", "x")},
      "field 63.0]: tag '0]' has a character EBCDIC does not write"),
    C("DataObjectAboveItsDefinedSize", kChip, 55, {V("9F02", "00000000001000")},
      "field 55.9F02: 7 bytes, at most 6 in one short length"),
    C("DataObjectTagThatDoesNotEnd", kText, 55, {V("9F", "00")},
      "field 55.9F: tag 9F does not end where its bytes say (the last without its top bit)"),
    C("PrimitiveDataObjectGivenDataObjects", kText, 55, {S("9F02", {V("9F03", "00")})},
      "field 55.9F02: a primitive data object holds no data objects"),
    C("ConstructedDataObjectOfNoDataObjects", kText, 55, {V("70", "9F02")},
      "field 55.70: a constructed data object, and its value is no data objects: length missing "
      "at byte 2"),
    C("NoDataObject", kText, 55, std::vector<Sub>{},
      "field 55: no data object given, and BER-TLV data holds at least one"),
    C("SubfieldsForAValueWithoutStructure", kText, 43, {S("1", {V("1", "x")})},
      "field 43.1: given as subfields, and the definition declares no structure for it"),
};

class RefusesSubfields : public testing::TestWithParam<Case> {};

TEST_P(RefusesSubfields, SayingWhy) {
    const Case& c = GetParam();
    const Written written = Write(c.pro, c.field, c.subs);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.error, c.want);
}

INSTANTIATE_TEST_SUITE_P(Reasons, RefusesSubfields, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
