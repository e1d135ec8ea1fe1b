#include "encode/field_with_settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../content/hex_bytes.h"
#include "model/pro_settings.h"
#include "support/auto_buff.h"
#include "support/text.h"

namespace {

using E = Encoding;
using T = FieldType;

struct Dialect {
    E lenEnc = E::CHAR;
    E numEnc = E::CHAR;
    E chrEnc = E::ASCII;
    E binEnc = E::NONE;
    bool emptyFields = false;
};

struct ValueCase {
    const char* name;
    Dialect dialect;
    const char* own;  // the field's settings, as FIELD_OPTION= lines name them
    T type;
    int size;
    int sizeLen;
    std::vector<std::uint8_t> value;
    const char* units;             // written, as hex ("..." at the end: their start only), or
    const char* reason = nullptr;  // why it is refused
    bool padNumbers = false;
};

std::vector<std::uint8_t> Text(const char* text) {
    return TextBytes(text);
}

// One case a line or two: the table reads as a list of rules and what they write.
// clang-format off
const ValueCase kCases[] = {
    {"odd digit count packed behind a 0 pad", {.numEnc = E::PBCD}, "", T::N, 3, 0, Text("123"),
     "0123"},
    {"F pad on the right", {}, "NUM_Enc=PBCD PAD=RIGHT PAD_NIBBLE=F",
     T::N, 3, 0, Text("051"), "051F"},
    {"F pad on the left", {}, "NUM_Enc=PBCD PAD_NIBBLE=F", T::N, 3, 0, Text("051"),
     "F051"},
    {"packed track data: '=' as D, then an F pad", {}, "BIN_Enc=PBCD", T::Z, 37, 2,
     Text("4761=2512"), "3039 4761D2512F"},
    {"9999 in a 2-byte BIGEND prefix", {.lenEnc = E::BIGEND}, "", T::B, 9999, 2,
     std::vector<std::uint8_t>(9999, 0xAB), "270F ABAB..."},
    {"a 3-byte BIGEND prefix read whole", {}, "LEN_Enc=BIGEND LEN_WHOLE=Y", T::B,
     999, 3, HexBytes("ABCD"), "000002 ABCD"},
    {"a 3-byte BIGEND prefix read by its first byte", {.lenEnc = E::BIGEND}, "", T::B, 999, 3,
     HexBytes("ABCD"), "020000 ABCD"},
    {"a prefix counting nibbles", {}, "LEN_NIBBLES=Y", T::B, 49, 2, HexBytes("010203"),
     "3036 010203"},
    {"a left-aligned packed prefix", {}, "LEN_Enc=PBCD LEN_LEFT=Y", T::ANS,
     999, 2, Text("ABCDEFGH"), "0080 4142434445464748"},
    {"a hex prefix", {.lenEnc = E::HEX}, "", T::ANS, 999, 3, std::vector<std::uint8_t>(26, 'A'),
     "303141 4141..."},
    {"a prefix of six digits", {}, "LEN_UNITS=6", T::ANS, 999999, 6, Text("AB"),
     "303030303032 4142"},
    {"an EBCDIC prefix", {.chrEnc = E::EBCDIC}, "", T::ANS, 99, 2, Text("A"), "F0F1 C1"},
    {"an empty value behind a prefix of 0", {.emptyFields = true}, "", T::N, 19, 2, {}, "3030"},
    {"EBCDIC text", {.chrEnc = E::EBCDIC}, "", T::ANS, 8, 0, Text("T1|[!<`^"),
     "E3F16A4A5A4C795F"},
    {"EBCDIC text of the field's own", {}, "CHR_Enc=EBCDIC", T::ANS, 2, 0, Text("A1"),
     "C1F1"},
    {"a number held in 5 bytes of hex text", {.numEnc = E::HEX}, "", T::N, 12, 0,
     HexBytes("0000003039 00000000000000"), "30303030303033303339"},
    {"a number held in 5 bytes", {.numEnc = E::BIGEND}, "", T::N, 12, 0,
     HexBytes("0000003039 00000000000000"), "0000003039"},
    {"bit text", {.binEnc = E::CHAR}, "", T::B, 1, 0, HexBytes("A5"), "3130313030313031"},
    {"hex text in EBCDIC", {.chrEnc = E::EBCDIC, .binEnc = E::HEX}, "", T::B, 2, 0,
     HexBytes("00FF"), "F0F0C6C6"},
    {"a fixed number padded when asked", {}, "", T::N, 6, 0, Text("42"), "303030303432", nullptr,
     true},
    {"a fixed packed number padded when asked", {.numEnc = E::PBCD}, "", T::N, 5, 0, Text("42"),
     "000042", nullptr, true},

    {"a number too long", {}, "", T::N, 12, 2, Text("1234567890123"), nullptr,
     "13 digits, at most 12"},
    {"a letter in a number", {}, "", T::N, 19, 2, Text("41A1"), nullptr, "'A' is not a digit"},
    {"a control character in a number", {}, "", T::N, 4, 0, HexBytes("31320033"), nullptr,
     "0x00 is not a digit"},
    {"text short of its fixed size", {}, "", T::ANS, 8, 0, Text("TERM001"), nullptr,
     "7 characters, fixed at 8"},
    {"a fixed number short of its size", {}, "", T::N, 6, 0, Text("42"), nullptr,
     "2 digits, fixed at 6"},
    {"one byte short", {}, "", T::B, 2, 0, HexBytes("AB"), nullptr, "1 byte, fixed at 2"},
    {"a fixed number too long", {}, "", T::N, 6, 0, Text("1234567"), nullptr,
     "7 digits, at most 6"},
    {"a character without EBCDIC byte", {.chrEnc = E::EBCDIC}, "", T::ANS, 9, 2,
     Text("caf\xC3\xA9"), nullptr, "'\xC3\xA9' has no EBCDIC code"},
    {"']', which no EBCDIC byte reads as", {.chrEnc = E::EBCDIC}, "", T::ANS, 1, 0, Text("]"),
     nullptr, "']' has no EBCDIC code"},
    {"an empty value without empty fields", {}, "", T::N, 19, 2, {}, nullptr,
     "empty, and the dialect has no empty fields"},
    {"more bytes than a 1-byte prefix counts", {.lenEnc = E::BIGEND}, "", T::B, 999, 1,
     std::vector<std::uint8_t>(300, 1), nullptr, "300 bytes, at most 255 in its length prefix"},
    {"more bytes than a nibble count holds", {}, "LEN_NIBBLES=Y", T::B, 99, 2,
     std::vector<std::uint8_t>(50, 1), nullptr, "50 bytes, at most 49 in its length prefix"},
    {"a number's bytes past those holding it", {.numEnc = E::BIGEND}, "", T::N, 12, 0,
     HexBytes("0000003039 00000000000001"), nullptr,
     "12 digits are held in 5 bytes: byte 12 must be 0"},
    {"a number whose hex digits no reader takes", {.numEnc = E::HEX}, "", T::N, 3, 0,
     HexBytes("010000"), nullptr, "3 digits under HEX take an odd number of hex digits"},
    {"a letter in track data", {}, "BIN_Enc=PBCD", T::Z, 37, 2, Text("4761X2512"), nullptr,
     "'X' is not a digit or '='"},
    {"binary data under BIGEND", {.binEnc = E::BIGEND}, "", T::B, 4, 0, HexBytes("01020304"),
     nullptr, "binary data under BIGEND is not read back"},
};
// clang-format on

TEST(EncodeValue, WritesUnitsTheDecoderReadsBackOrSaysWhy) {
    for (const ValueCase& c : kCases) {
        auto def = std::make_unique<ProtocolDef>();
        def->Reset();
        def->lenEnc = c.dialect.lenEnc;
        def->numEnc = c.dialect.numEnc;
        def->chrEnc = c.dialect.chrEnc;
        def->binEnc = c.dialect.binEnc;
        def->options.emptyFields = c.dialect.emptyFields;
        FieldSettings own;
        std::istringstream settings(c.own);
        for (std::string setting; settings >> setting;) {
            const std::size_t eq = setting.find('=');
            const std::string name = setting.substr(0, eq);
            ASSERT_EQ(ReadFieldSetting(name.c_str(), setting.c_str() + eq + 1, own), "") << c.name;
        }
        const ValueRules rules = RulesOf(*def, c.type, c.size, c.sizeLen, own);
        std::vector<std::uint8_t> out = {0x99};  // appended to, never replaced
        std::string reason;
        const bool written = EncodeValue(rules, c.value, c.padNumbers, out, reason);
        if (c.reason != nullptr) {
            EXPECT_FALSE(written) << c.name;
            EXPECT_EQ(reason, c.reason) << c.name;
            EXPECT_EQ(out, std::vector<std::uint8_t>{0x99}) << c.name << ": out changed";
            continue;
        }
        ASSERT_TRUE(written) << c.name << ": " << reason;
        std::string hex;
        AssignHex(hex, out.data() + 1, static_cast<int>(out.size()) - 1);
        std::string expected = c.units;
        std::erase(expected, ' ');
        if (expected.ends_with("...")) {
            expected.resize(expected.size() - 3);
            hex.resize(std::min(hex.size(), expected.size()));
        }
        EXPECT_EQ(hex, expected) << c.name;

        AutoBuff value;
        const int units = static_cast<int>(out.size()) - 1;
        EXPECT_EQ(DecodeValue(rules, out.data() + 1, units, value), units) << c.name;
        std::vector<std::uint8_t> given = c.value;
        if (c.padNumbers) given.insert(given.begin(), c.size - given.size(), '0');
        EXPECT_EQ(std::vector<std::uint8_t>(value.Data(), value.Data() + value.Length()), given)
            << c.name;
    }
}

}  // namespace
