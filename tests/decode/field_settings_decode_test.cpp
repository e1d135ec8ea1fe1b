// Decoding fields under settings of their own and under the dialect's empty fields, by the
// plain decoder and by a plan alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "../model/pro_text_io.h"
#include "decode/decode_plan.h"
#include "decode/decoder.h"
#include "diagnose/definition_copy.h"
#include "model/pro_file.h"
#include "random_dialect.h"

namespace {

const char kOk[] = "... Parsing OK ...";

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string Hex(const std::uint8_t* bytes, int count) {
    std::string hex;
    char pair[3];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        hex += pair;
    }
    return hex;
}

std::string HexOfText(const std::string& text) {
    return Hex(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
}

void Load(const std::string& content, ProtocolDef& def) {
    LoadProText(content, def);
}

void Put(AutoBuff& buffer, const std::string& units) {
    ASSERT_TRUE(buffer.Reserve(static_cast<int>(units.size()) + 1, false));
    std::memcpy(buffer.Data(), units.data(), units.size());
    buffer.SetLength(static_cast<int>(units.size()));
    buffer.Terminate();
}

// A text MTI, a binary bitmap and a message definition that allows every field: what a case
// says about its fields alone decides its verdict.
const std::string kDialect =
    "MTI_Enc= CHAR\nBMP_Enc= NONE\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\n"
    "BIN_Enc= NONE\n"
    "MSG=0100;00000000000000000000000000000000;FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF;Any\n";

struct Unit {
    int field;
    std::string hex;  // the field's units: prefix and data
};

// "0100", the bitmap of the fields (a second one when a field is above 64), their units.
std::string MessageOf(const std::vector<Unit>& fields) {
    FieldMask mask{};
    for (const Unit& u : fields)
        SetBit(mask, u.field);
    const bool secondary =
        std::any_of(fields.begin(), fields.end(), [](const Unit& u) { return u.field > 64; });
    if (secondary) SetBit(mask, 1);
    std::string units = "0100";
    units.append(reinterpret_cast<const char*>(mask.data()), secondary ? 16 : 8);
    for (const Unit& u : fields)
        units += Bytes(u.hex);
    return units;
}

struct Field {
    int number;
    int consumed;
    std::string value;  // hexadecimal for a binary value, else the characters
    bool operator==(const Field&) const = default;
};

void PrintTo(const Field& f, std::ostream* os) {
    *os << "{" << f.number << " +" << f.consumed << " '" << f.value << "'}";
}

struct Outcome {
    std::vector<Field> fields;
    std::string verdict;
};

Outcome Decode(const ProtocolDef& def, const std::string& units, const DecodePlan* plan) {
    AutoBuff message;
    Put(message, units);
    DecodeScratch scratch;
    scratch.plan = plan;
    Outcome out;
    AutoBuff verdict;
    DecodeMessage(
        message, def,
        [&](const DecodedField& f) {
            const AutoBuff& v = *f.value;
            out.fields.push_back(
                {f.number, f.consumed,
                 ValueIsBinary(def, f.number)
                     ? Hex(v.Data(), v.Length())
                     : std::string(reinterpret_cast<const char*>(v.Data()), v.Length())});
            return true;
        },
        verdict, nullptr, scratch);
    out.verdict = verdict.Text();
    return out;
}

std::string Unreadable(int n) {
    return "Error reading or converting field n\u00b0 " + std::to_string(n);
}

struct DecodeCase {
    const char* name;
    std::string lines;  // FIELD= and setting lines after the dialect's
    std::vector<Unit> units;
    std::vector<Field> fields;
    std::string verdict;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(SettingsDecode, FieldsAndVerdictFollowTheSettings) {
    const DecodeCase& c = GetParam();
    auto def = std::make_unique<ProtocolDef>();
    Load(kDialect + c.lines, *def);
    const std::string units = MessageOf(c.units);
    const Outcome plain = Decode(*def, units, nullptr);
    EXPECT_EQ(plain.fields, c.fields);
    EXPECT_EQ(plain.verdict, c.verdict);
    const DecodePlan plan(*def);
    const Outcome planned = Decode(*def, units, &plan);
    EXPECT_EQ(planned.fields, c.fields) << "planned";
    EXPECT_EQ(planned.verdict, c.verdict) << "planned";
}

// A field after the one a case is about: where it starts shows what the first consumed.
const std::string kOkField = "FIELD=  63;  ANS;   2; 0; N; After\n";
const Unit kOkUnits{63, "4F4B"};
const Field kOkRead{63, 2, "OK"};

const std::string kNibbles =
    "FIELD=  62;    B;  49; 2; N; Private\n" + kOkField + "FIELD_OPTION= 62; LEN_NIBBLES; Y\n";
const std::string kPacked22 =
    "FIELD=  22;    N;   3; 0; N; Entry mode\n" + kOkField + "FIELD_OPTION= 22; NUM_Enc; PBCD\n";
const std::string kTrack = "FIELD=  35;    Z;  37; 2; N; Track 2\n" + kOkField +
                           "FIELD_OPTION= 35; BIN_Enc; PBCD\nFIELD_OPTION= 35; PAD; RIGHT\n"
                           "FIELD_OPTION= 35; PAD_NIBBLE; F\n";
const std::string kEbcdic =
    "FIELD=  41;  ANS;   8; 0; N; Terminal\n"
    "FIELD=  43;  ANS;  40; 2; N; Name\n"
    "FIELD=  44;  ANS;   2; 0; N; ASCII after\n"
    "FIELD_OPTION= 41; CHR_Enc; EBCDIC\nFIELD_OPTION= 43; CHR_Enc; EBCDIC\n";
const std::string kLeft = "FIELD=  62;  ANS; 999; 2; N; Reference\n" + kOkField +
                          "FIELD_OPTION= 62; LEN_Enc; PBCD\nFIELD_OPTION= 62; LEN_LEFT; Y\n";
std::string Whole(int units, bool whole) {
    return "LEN_Enc= BIGEND\nFIELD=  55;    B; 999; " + std::to_string(units) + "; Y; Chip\n" +
           kOkField + (whole ? "FIELD_OPTION= 55; LEN_WHOLE; Y\n" : "");
}
const std::string kSixUnits =
    "FIELD= 127;  ANS; 999; 5; N; Original\nFIELD_OPTION= 127; LEN_UNITS; 6\n";
const std::string kEmpty =
    "FIELD=  32;    N;  11; 2; N; Acquirer\n" + kOkField + "OPTION= EMPTY_FIELDS; Y\n";

const DecodeCase kDecodeCases[] = {
    // A prefix counting nibbles of binary data: (n + 1) / 2 bytes follow it.
    {"NibblePrefixEven", kNibbles, {{62, "3034ABCD"}, kOkUnits}, {{62, 4, "ABCD"}, kOkRead}, kOk},
    {"NibblePrefixOddRoundsUp",
     kNibbles,
     {{62, "3033ABC0"}, kOkUnits},
     {{62, 4, "ABC0"}, kOkRead},
     kOk},
    {"NibblePrefixOfOne", kNibbles, {{62, "3031A0"}, kOkUnits}, {{62, 3, "A0"}, kOkRead}, kOk},
    {"NibblePrefixOfFive",
     kNibbles,
     {{62, "3035ABCDE0"}, kOkUnits},
     {{62, 5, "ABCDE0"}, kOkRead},
     kOk},
    {"NibblePrefixOfPackedDigitsCountsDigits",
     "FIELD=   2;    N;  19; 2; N; PAN\n" + kOkField +
         "FIELD_OPTION= 2; NUM_Enc; PBCD\nFIELD_OPTION= 2; LEN_NIBBLES; Y\n",
     {{2,
       "3136"
       "4111111111111111"},
      kOkUnits},
     {{2, 10, "4111111111111111"}, kOkRead},
     kOk},
    {"WithoutTheSettingThePrefixCountsBytes",
     "FIELD=  62;    B;  49; 2; N; Private\n" + kOkField,
     {{62, "3034ABCD0102"}, kOkUnits},
     {{62, 6, "ABCD0102"}, kOkRead},
     kOk},
    // Odd-length packed digits: the pad's side and value.
    {"PadLeftOfADigitByDefault",
     kPacked22,
     {{22, "0051"}, kOkUnits},
     {{22, 2, "051"}, kOkRead},
     kOk},
    {"PadRight",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\n",
     {{22, "0510"}, kOkUnits},
     {{22, 2, "051"}, kOkRead},
     kOk},
    {"PadRightNotReadAsLeft",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\n",
     {{22, "1230"}, kOkUnits},
     {{22, 2, "123"}, kOkRead},
     kOk},
    {"PadRightF",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\nFIELD_OPTION= 22; PAD_NIBBLE; F\n",
     {{22, "051F"}, kOkUnits},
     {{22, 2, "051"}, kOkRead},
     kOk},
    {"PadRightFRefusesAZero",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\nFIELD_OPTION= 22; PAD_NIBBLE; F\n",
     {{22, "0510"}, kOkUnits},
     {},
     Unreadable(22)},
    {"PadRightFRefusesALeftF",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\nFIELD_OPTION= 22; PAD_NIBBLE; F\n",
     {{22, "F051"}, kOkUnits},
     {},
     Unreadable(22)},
    {"PadLeftF",
     kPacked22 + "FIELD_OPTION= 22; PAD_NIBBLE; F\n",
     {{22, "F051"}, kOkUnits},
     {{22, 2, "051"}, kOkRead},
     kOk},
    {"PadLeftFRefusesAZero",
     kPacked22 + "FIELD_OPTION= 22; PAD_NIBBLE; F\n",
     {{22, "0051"}, kOkUnits},
     {},
     Unreadable(22)},
    {"PadRightUnsaidNibbleMustBeADigit",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\n",
     {{22, "051F"}, kOkUnits},
     {},
     Unreadable(22)},
    {"PadNibbleZeroRefusesAnF",
     kPacked22 + "FIELD_OPTION= 22; PAD_NIBBLE; 0\n",
     {{22, "F051"}, kOkUnits},
     {},
     Unreadable(22)},
    {"EvenLengthHasNoPad",
     "FIELD=  22;    N;   4; 0; N; Even\n" + kOkField +
         "FIELD_OPTION= 22; NUM_Enc; PBCD\nFIELD_OPTION= 22; PAD; RIGHT\n"
         "FIELD_OPTION= 22; PAD_NIBBLE; F\n",
     {{22, "1234"}, kOkUnits},
     {{22, 2, "1234"}, kOkRead},
     kOk},
    {"VariablePackedNumberPaddedRight",
     "FIELD=   2;    N;  19; 2; N; PAN\n" + kOkField +
         "FIELD_OPTION= 2; NUM_Enc; PBCD\nFIELD_OPTION= 2; PAD; RIGHT\n"
         "FIELD_OPTION= 2; PAD_NIBBLE; F\n",
     {{2, "3135411111111111111F"}, kOkUnits},
     {{2, 10, "411111111111111"}, kOkRead},
     kOk},
    // The track separator is for packed track data: a packed number has digits only, so that a
    // setting restating the dialect's packing reads as the dialect does.
    {"NumberRefusesTheTrackSeparator", kPacked22, {{22, "01D2"}, kOkUnits}, {}, Unreadable(22)},
    {"NumberPaddedRightRefusesTheTrackSeparator",
     kPacked22 + "FIELD_OPTION= 22; PAD; RIGHT\n",
     {{22, "1D20"}, kOkUnits},
     {},
     Unreadable(22)},
    // Packed track 2: its characters, the separator D shown as '='.
    {"PackedTrackOddLength",
     kTrack,
     {{35,
       "3337"
       "4111111111111111D25121011234567890123F"},
      kOkUnits},
     {{35, 21, "4111111111111111=25121011234567890123"}, kOkRead},
     kOk},
    {"PackedTrackEvenLength",
     kTrack,
     {{35,
       "3336"
       "4111111111111111D2512101123456789012"},
      kOkUnits},
     {{35, 20, "4111111111111111=2512101123456789012"}, kOkRead},
     kOk},
    {"PackedTrackRefusesOtherNibbles",
     kTrack,
     {{35,
       "3336"
       "4111111111111111E2512101123456789012"},
      kOkUnits},
     {},
     Unreadable(35)},
    {"TrackWithoutTheSettingIsBytes",
     "FIELD=  35;    Z;  37; 2; N; Track 2\n" + kOkField,
     {{35,
       "3034"
       "4111D251"},
      kOkUnits},
     {{35, 6, "4111D251"}, kOkRead},
     kOk},
    // An EBCDIC field among ASCII ones: its prefix digits are EBCDIC too, and the next field is
    // ASCII again.
    {"EbcdicFieldsAmongAscii",
     kEbcdic,
     {{41, "E3C5D9D4F0F0F0F1"}, {43, "F0F4C1C3D4C5"}, {44, "4F4B"}},
     {{41, 8, "TERM0001"}, {43, 6, "ACME"}, {44, 2, "OK"}},
     kOk},
    {"EbcdicFieldWithAsciiPrefixDigits",
     kEbcdic,
     {{41, "E3C5D9D4F0F0F0F1"}, {43, "3034C1C3D4C5"}, {44, "4F4B"}},
     {{41, 8, "TERM0001"}},
     Unreadable(43)},
    {"EbcdicDigitsOfANumber",
     "FIELD=   3;    N;   6; 0; N; ASCII\nFIELD=  11;    N;   6; 0; N; EBCDIC\n"
     "FIELD=  12;    N;   2; 2; N; EBCDIC prefix\n"
     "FIELD_OPTION= 11; CHR_Enc; EBCDIC\nFIELD_OPTION= 12; CHR_Enc; EBCDIC\n",
     {{3, "303030303030"}, {11, "F0F0F0F1F2F3"}, {12, "F0F2F4F2"}},
     {{3, 6, "000000"}, {11, 6, "000123"}, {12, 4, "42"}},
     kOk},
    {"EbcdicHexDigitsOfBinaryData",
     "FIELD=  52;    B;   2; 0; N; PIN\nFIELD_OPTION= 52; BIN_Enc; HEX\n"
     "FIELD_OPTION= 52; CHR_Enc; EBCDIC\n",
     {{52, "C1C2F0F1"}},
     {{52, 4, "AB01"}},
     kOk},
    // A packed prefix whose last nibble is the pad.
    {"LeftAlignedPrefixOfEight",
     kLeft,
     {{62, "0080" + HexOfText("REF12345")}, kOkUnits},
     {{62, 10, "REF12345"}, kOkRead},
     kOk},
    {"LeftAlignedPrefixOfTwelve",
     kLeft,
     {{62, "0120" + HexOfText("ABCDEFGHIJKL")}, kOkUnits},
     {{62, 14, "ABCDEFGHIJKL"}, kOkRead},
     kOk},
    {"RightAlignedOwnPackedPrefix",
     "FIELD=  62;  ANS; 999; 2; N; Reference\n" + kOkField + "FIELD_OPTION= 62; LEN_Enc; PBCD\n",
     {{62, "0008" + HexOfText("REF12345")}, kOkUnits},
     {{62, 10, "REF12345"}, kOkRead},
     kOk},
    {"RightAlignedPrefixReadsTheLeftAlignedAsEighty",
     "FIELD=  62;  ANS; 999; 2; N; Reference\n" + kOkField + "FIELD_OPTION= 62; LEN_Enc; PBCD\n",
     {{62, "0080" + HexOfText("REF12345")}, kOkUnits},
     {},
     Unreadable(62)},
    // A binary prefix of 1 to 4 bytes read whole, or (classically) its first byte only.
    {"WholeOneByte",
     Whole(1, true),
     {{55,
       "05"
       "0102030405"},
      kOkUnits},
     {{55, 6, "0102030405"}, kOkRead},
     kOk},
    {"WholeTwoBytes",
     Whole(2, true),
     {{55,
       "0005"
       "0102030405"},
      kOkUnits},
     {{55, 7, "0102030405"}, kOkRead},
     kOk},
    {"WholeThreeBytes",
     Whole(3, true),
     {{55,
       "000005"
       "0102030405"},
      kOkUnits},
     {{55, 8, "0102030405"}, kOkRead},
     kOk},
    {"WholeFourBytes",
     Whole(4, true),
     {{55,
       "00000005"
       "0102030405"},
      kOkUnits},
     {{55, 9, "0102030405"}, kOkRead},
     kOk},
    {"WholeThreeBytesHighFirst",
     Whole(3, true),
     {{55, "000102" + std::string(2 * 258, 'A')}, kOkUnits},
     {{55, 261, std::string(2 * 258, 'A')}, kOkRead},
     kOk},
    {"ThreeBytesWithoutTheSettingReadTheFirst",
     Whole(3, false),
     {{55,
       "050000"
       "0102030405"},
      kOkUnits},
     {{55, 8, "0102030405"}, kOkRead},
     kOk},
    {"WholeThreeBytesIsNotTheFirstByte",
     Whole(3, true),
     {{55,
       "050000"
       "0102030405"},
      kOkUnits},
     {},
     Unreadable(55)},
    // A prefix of six units, its FIELD line saying 5.
    {"SixUnitPrefix",
     kSixUnits,
     {{127, "303030303131" + HexOfText("ORIGINAL 01")}},
     {{127, 17, "ORIGINAL 01"}},
     kOk},
    {"SixPackedUnits",
     kSixUnits + "FIELD_OPTION= 127; LEN_Enc; PBCD\n",
     {{127, "000000000005" + HexOfText("HELLO")}},
     {{127, 11, "HELLO"}},
     kOk},
    {"FiveUnitsWithoutTheSetting",
     "FIELD= 127;  ANS; 999; 5; N; Original\n",
     {{127, "3030303131" + HexOfText("ORIGINAL 01")}},
     {{127, 16, "ORIGINAL 01"}},
     kOk},
    // Empty variable fields: the prefix alone, when the dialect allows them.
    {"EmptyFieldAllowed", kEmpty, {{32, "3030"}, kOkUnits}, {{32, 2, ""}, kOkRead}, kOk},
    {"EmptyFieldRefusedByDefault",
     "FIELD=  32;    N;  11; 2; N; Acquirer\n" + kOkField,
     {{32, "3030"}, kOkUnits},
     {},
     Unreadable(32)},
    {"EmptyFieldsSaidNo",
     "FIELD=  32;    N;  11; 2; N; Acquirer\n" + kOkField + "OPTION= EMPTY_FIELDS; N\n",
     {{32, "3030"}, kOkUnits},
     {},
     Unreadable(32)},
    {"PrefixThatIsNoNumberStillRefused", kEmpty, {{32, "3058"}, kOkUnits}, {}, Unreadable(32)},
    {"FieldAfterAnEmptyOneKeepsItsValue",
     kEmpty,
     {{32,
       "3035"
       "3132333435"},
      kOkUnits},
     {{32, 7, "12345"}, kOkRead},
     kOk},
    {"EmptyFieldWithAPrefixOfItsOwn",
     kEmpty + "FIELD_OPTION= 32; LEN_Enc; PBCD\nFIELD_OPTION= 32; LEN_LEFT; Y\n",
     {{32, "0000"}, kOkUnits},
     {{32, 2, ""}, kOkRead},
     kOk},
    {"EmptyFieldOfNibbles",
     kNibbles + "OPTION= EMPTY_FIELDS; Y\n",
     {{62, "3030"}, kOkUnits},
     {{62, 2, ""}, kOkRead},
     kOk},
    {"EmptyFieldUnderBinaryPrefix",
     "LEN_Enc= BIGEND\nFIELD=  32;    N;  11; 2; N; Acquirer\n" + kOkField +
         "OPTION= EMPTY_FIELDS; Y\n",
     {{32, "0000"}, kOkUnits},
     {{32, 2, ""}, kOkRead},
     kOk},
    // A field's setting is its own: a field of the same type beside it reads as the dialect says.
    {"HexBinaryBesideRawBinary",
     "FIELD=  52;    B;   8; 0; N; Own\nFIELD=  53;    B;   8; 0; N; Dialect's\n"
     "FIELD_OPTION= 52; BIN_Enc; HEX\n",
     {{52, HexOfText("0123456789ABCDEF")}, {53, "1122334455667788"}},
     {{52, 16, "0123456789ABCDEF"}, {53, 8, "1122334455667788"}},
     kOk},
    {"PackedPrefixBesideTextPrefix",
     "FIELD=   2;    N;  19; 2; N; Own\nFIELD=  32;    N;  11; 2; N; Dialect's\n"
     "FIELD_OPTION= 2; LEN_Enc; PBCD\nFIELD_OPTION= 2; LEN_LEFT; Y\n",
     {{2, "0160" + HexOfText("4111111111111111")}, {32, "3036" + HexOfText("123456")}},
     {{2, 18, "4111111111111111"}, {32, 8, "123456"}},
     kOk},
    {"PackedTrackBesideBinaryZ",
     kTrack + "FIELD=  36;    Z;  37; 2; N; Dialect's\n",
     {{35,
       "3336"
       "4111111111111111D2512101123456789012"},
      {36, "3032D251"},
      kOkUnits},
     {{35, 20, "4111111111111111=2512101123456789012"}, {36, 4, "D251"}, kOkRead},
     kOk},
    {"EmptyFieldsOptionDoesNotTouchFixedFields",
     "FIELD=   3;    N;   6; 0; N; Fixed\nOPTION= EMPTY_FIELDS; Y\n",
     {{3, "303030313233"}},
     {{3, 6, "000123"}},
     kOk},
};

INSTANTIATE_TEST_SUITE_P(Decode, SettingsDecode, testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A consumer may take any value as d bytes and a NUL, an empty one too, even when it is the
// first value of a fresh decode.
TEST(SettingsDecodeTest, EmptyValueIsATerminatedText) {
    auto def = std::make_unique<ProtocolDef>();
    Load(kDialect + kEmpty, *def);
    const std::string units = MessageOf({{32, "3030"}, kOkUnits});
    const DecodePlan plan(*def);
    for (const DecodePlan* p : {static_cast<const DecodePlan*>(nullptr), &plan}) {
        AutoBuff message;
        Put(message, units);
        DecodeScratch fresh;
        fresh.plan = p;
        AutoBuff verdict;
        int seen = 0;
        DecodeMessage(
            message, *def,
            [&](const DecodedField& f) {
                if (f.number != 32) return true;
                ++seen;
                EXPECT_EQ(f.value->Length(), 0);
                EXPECT_STREQ(f.value->Text(), "");
                EXPECT_NE(f.value->Data(), nullptr) << (p != nullptr ? "planned" : "plain");
                if (f.value->Data() != nullptr) {
                    EXPECT_EQ(f.value->Data()[0], 0);
                }
                return true;
            },
            verdict, nullptr, fresh);
        EXPECT_EQ(seen, 1);
        EXPECT_STREQ(verdict.Text(), kOk);
    }
}

// A setting that says what the dialect already says changes nothing: the general routine a
// field with settings takes decodes it as the classic rules do. Prefixes whose classic reading
// wraps at 16 bits (five digits, three packed bytes and more) are left out, and so is a dialect
// BIN_Enc=PBCD, which no file can say.
void RestateTheDialect(std::mt19937& random, ProtocolDef& def) {
    for (int n = 2; n <= kLastField; ++n) {
        FldDef& field = def.fields[n];
        const bool wraps = (def.lenEnc == Encoding::CHAR && field.sizeLen == 5) ||
                           (def.lenEnc == Encoding::HEX && field.sizeLen == 5) ||
                           (def.lenEnc == Encoding::PBCD && field.sizeLen >= 3);
        if (wraps) field.sizeLen = 2;
        if (random() % 2 != 0) continue;
        FieldSettings& s = def.settings[n];
        if (random() % 2 == 0) s.lenEnc = def.lenEnc;
        if (random() % 2 == 0) s.numEnc = def.numEnc;
        if (random() % 2 == 0 && def.binEnc != Encoding::PBCD) s.binEnc = def.binEnc;
        if (random() % 2 == 0) s.charset = def.chrEnc;
        if (random() % 4 == 0) s.padSide = PadSide::kLeft;
        if (random() % 4 == 0) s.padNibble = 0;
        // Nothing restated: the field still takes the general routine.
        if (!s.Any()) s.padSide = PadSide::kLeft;
    }
}

std::vector<std::string> Rows(const ProtocolDef& def, const std::string& units) {
    AutoBuff message;
    Put(message, units);
    std::vector<std::string> rows;
    AutoBuff verdict;
    const bool ok = DecodeMessage(
        message, def,
        [&](const DecodedField& f) {
            rows.push_back(std::to_string(f.number) + " @" + std::to_string(f.offset) + " +" +
                           std::to_string(f.consumed) + " " +
                           Hex(f.value->Data(), f.value->Length()));
            return true;
        },
        verdict);
    rows.push_back(std::string(ok ? "ok " : "") + verdict.Text());
    return rows;
}

TEST(SettingsDecodeTest, SettingsThatRestateTheDialectDecodeAsTheClassicRules) {
    std::mt19937 random(2024);
    int fields = 0;
    for (int round = 0; round < 1000 && !HasFailure(); ++round) {
        auto classic = std::make_unique<ProtocolDef>();
        RandomDialect(random, *classic);
        RestateTheDialect(random, *classic);
        auto restated = std::make_unique<ProtocolDef>();
        ASSERT_TRUE(CopyDefinition(*classic, *restated));
        for (auto& s : classic->settings)
            s = FieldSettings{};
        for (const std::string& units : RandomMessages(random, *classic, 20, true)) {
            const std::vector<std::string> expected = Rows(*classic, units);
            EXPECT_EQ(Rows(*restated, units), expected) << "round " << round;
            fields += static_cast<int>(expected.size()) - 1;
            if (HasFailure()) break;
        }
    }
    EXPECT_GT(fields, 3000);
}

}  // namespace
