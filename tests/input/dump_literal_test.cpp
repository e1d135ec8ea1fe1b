#include "input/dump_literal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Units(std::string_view text) {
    return {text.begin(), text.end()};
}

struct PythonCase {
    const char* name;
    std::string_view text;
    std::string_view units;
};

// As pyiso8583's encode() returns them and Python prints them, or as a person writes bytes of
// hex for Python: read as the bytes Python makes of them.
TEST(DumpLiteralTest, ReadsPythonBytesAsPythonMakesThem) {
    using namespace std::string_view_literals;
    const PythonCase cases[] = {
        {"bytearray", R"(bytearray(b'0200p\x00\x80'))", "0200p\x00\x80"sv},
        {"bytearray with named escapes", R"(bytearray(b'a\n\r\t\\\'b'))", "a\n\r\t\\'b"},
        {"bytearray in double quotes", R"(bytearray(b"it's"))", "it's"},
        {"bytearray empty", "bytearray(b'')", ""},
        {"bytearray with a parenthesis inside", R"(bytearray(b'(x)'))", "(x)"},
        {"bytearray with blanks around and a line break", "  bytearray(b'02'\n          b'00')  \n",
         "0200"},
        {"fromhex", "bytes.fromhex('0200 7000')", "\x02\x00\x70\x00"sv},
        {"fromhex in double quotes, lower case", R"(bytes.fromhex("f0f2 ab"))", "\xF0\xF2\xAB"},
        {"fromhex empty", "bytes.fromhex('')", ""},
        {"plain b'' still read", R"(b'\x02\x00')", "\x02\x00"sv},
    };
    for (const PythonCase& c : cases) {
        std::vector<std::uint8_t> bytes;
        const LiteralResult result = ParseByteLiteral(c.text, bytes, 100);
        EXPECT_TRUE(result.ok) << c.name;
        EXPECT_EQ(bytes, Units(c.units)) << c.name;
    }
}

struct RefusedCase {
    const char* name;
    std::string_view text;
    int line;
};

// Python would refuse these too: nothing is made of a call that is not whole.
TEST(DumpLiteralTest, RefusesPythonCallsPythonWouldRefuse) {
    const RefusedCase cases[] = {
        {"bytearray not closed", "bytearray(b'0200'", 1},
        {"bytearray with text after it", "bytearray(b'0200') x", 1},
        {"bytearray of no string", "bytearray(0200)", 1},
        {"fromhex with an odd digit", "bytes.fromhex('020')", 1},
        {"fromhex with a pair split by a blank", "bytes.fromhex('0 200')", 1},
        {"fromhex of no hex", "bytes.fromhex('02zz')", 1},
        {"fromhex unquoted", "bytes.fromhex(0200)", 1},
        {"fromhex with an unclosed string", "bytes.fromhex('0200)", 1},
        {"fromhex failing on its second line", "bytes.fromhex('0200'\n'0g')", 2},
    };
    for (const RefusedCase& c : cases) {
        std::vector<std::uint8_t> bytes;
        const LiteralResult result = ParseByteLiteral(c.text, bytes, 100);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.line, c.line) << c.name;
    }
}

// The limit holds inside a call as it does elsewhere: the bytes end one past it.
TEST(DumpLiteralTest, StopsPythonCallsOnePastTheLimit) {
    for (std::string_view text : {"bytes.fromhex('0102030405')", "bytearray(b'12345')"}) {
        std::vector<std::uint8_t> bytes;
        EXPECT_FALSE(ParseByteLiteral(text, bytes, 3).ok) << text;
        EXPECT_EQ(bytes.size(), 4U) << text;
    }
}

}  // namespace
