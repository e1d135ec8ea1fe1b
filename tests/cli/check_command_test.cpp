// End-to-end tests of `iso8583 check`: the tool is run as a process and judged by its output
// and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoPro = ISO_EXAMPLES_DIR "/demo.pro";
const std::string kDemoHex = ISO_EXAMPLES_DIR "/demo-messages.hex";

// Characters on the wire, HEX bitmap and binary data.
const char kTextPro[] =
    "NAME= Text test\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\n"
    "BIN_Enc= HEX\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  52;    B;   2; 0; N; PIN data\n"
    "MSG=0100;60000000000000000000000000000000;00000000000010000000000000000000;Auth\n";

const std::string kTextOk = "01006000000000000000164111111111111111000000";
const std::string kTextWith52 =
    "01006000000000001000164111111111111111000000"
    "0a1B";

class CheckCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-check-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        textPro = Write("text.pro", kTextPro);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    // Runs a shell command line; $TOOL is the tool, $PRO the text definition.
    Result Shell(const std::string& line) {
        const fs::path out = dir / "stdout", err = dir / "stderr";
        return RunCommand("cd '" + dir.string() + "' && TOOL='" + std::string(ISO8583_TOOL) +
                              "' PRO='" + textPro + "' bash -c '" + line + "'",
                          out, err);
    }

    // Runs the tool with args (already quoted where needed) and optional standard input.
    Result Check(const std::string& args, const std::string& input = "") {
        const fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
        std::ofstream(in, std::ios::binary) << input;
        return RunCommand(
            std::string("'") + ISO8583_TOOL + "' check " + args + " <'" + in.string() + "'", out,
            err);
    }

    fs::path dir;
    std::string textPro;
};

TEST_F(CheckCommand, DemoShowsRowsVerdictsAndSummaryAndFails) {
    const Result run = Check("--hex --no-mask " + kDemoPro + " " + kDemoHex);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "message 1: MTI 0200");
    EXPECT_EQ(lines[1], "    2  N       16  4111111111111111  Primary account number");
    EXPECT_EQ(lines[2], "        Luhn ok");
    EXPECT_EQ(lines[3], "    3  N        6  000000            Processing code");
    EXPECT_EQ(lines[7], "  ... Parsing OK ...");
    EXPECT_NE(run.out.find("   55  B        5  9F02060000"), std::string::npos);
    EXPECT_NE(run.out.find("  Unknown message 0400\n"), std::string::npos);
    EXPECT_NE(run.out.find("  Missing or unexpected field n\u00b0 11\n"), std::string::npos);
    EXPECT_NE(run.out.find("  Error : field n\u00b0 7 is undefined\n"), std::string::npos);
    EXPECT_NE(run.out.find(": error: odd number of hexadecimal digits\n"), std::string::npos);
    EXPECT_NE(run.out.find(": error: blanks between hexadecimal digits\n"), std::string::npos);
    EXPECT_EQ(lines.back(), "16 messages read, 5 passed, 11 failed");
}

TEST_F(CheckCommand, SummaryCountsVerdictsMostFrequentFirst) {
    const Result run = Check("--hex --summary " + kDemoPro + " " + kDemoHex);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "5  ... Parsing OK ...");
    EXPECT_EQ(lines[1], "1  Unknown message 0400") << run.out;
    EXPECT_NE(run.out.find("\n1  no verdict\n"), std::string::npos);
    EXPECT_NE(run.out.find("\n1  error: odd number of hexadecimal digits\n"), std::string::npos);
    EXPECT_EQ(lines.back(), "16 messages read, 5 passed, 11 failed");
    EXPECT_EQ(run.out.find("MTI"), std::string::npos);
}

TEST_F(CheckCommand, JsonLinesCarryExactlyTheListedKeys) {
    const Result run = Check("--json --no-mask " + textPro, kTextWith52 + "\nxyz\n");
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    const auto first = nlohmann::json::parse(lines[0]);
    std::vector<std::string> keys;
    for (const auto& item : first.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys,
              (std::vector<std::string>{"bitmap", "fields", "message", "mti", "ok", "verdict"}));
    EXPECT_EQ(first["message"], 1);
    EXPECT_EQ(first["mti"], "0100");
    EXPECT_EQ(first["bitmap"], "60000000000010000000000000000000");
    EXPECT_EQ(first["verdict"], "... Parsing OK ...");
    EXPECT_EQ(first["ok"], true);
    ASSERT_EQ(first["fields"].size(), 3u);
    const auto pin = first["fields"][2];
    EXPECT_EQ(pin, nlohmann::json::parse(R"({"number":52,"offset":44,"consumed":4,"type":"B",
        "length":2,"value":"0A1B","hex":"0A1B","description":"PIN data"})"));
    EXPECT_EQ(first["fields"][0]["hex"], "34313131313131313131313131313131");

    const auto second = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(second["mti"], "");
    EXPECT_EQ(second["verdict"], "");
    EXPECT_EQ(second["ok"], false);
    EXPECT_FALSE(second.contains("error"));
}

TEST_F(CheckCommand, JsonNamesPreparationErrorsAndReplacesInvalidUtf8) {
    const std::string pro = Write(
        "latin1.pro", std::string(kTextPro) + "FIELD=   3;    N;   6; 0; N; Code \xE9t\xE9\n");
    const Result run = Check("--hex --json " + pro, "0a1\n" + std::string("\xFF\xFE") + "\n");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    const auto odd = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(odd["error"], "odd number of hexadecimal digits");
    EXPECT_EQ(odd["fields"].size(), 0u);
    EXPECT_EQ(odd["bitmap"], std::string(32, '0'));

    const Result text = Check("--json " + pro,
                              "\xC3"
                              "100" +
                                  kTextOk.substr(4) + "\n");
    const auto parsed = nlohmann::json::parse(Lines(text.out).at(0));  // throws if invalid
    // The MTI's units each as the character of its code, U+00C3 for 0xC3.
    EXPECT_EQ(parsed["mti"],
              "\xC3\x83"
              "100");
    EXPECT_EQ(parsed["fields"][1]["description"], "Code \xEF\xBF\xBDt\xEF\xBF\xBD");
}

struct FramingCase {
    const char* name;
    const char* flags;
    std::string input;
    int status;
    const char* summary;
};

class CheckFraming : public CheckCommand, public testing::WithParamInterface<FramingCase> {};

TEST_P(CheckFraming, ReadsMessagesAsFramed) {
    const FramingCase& c = GetParam();
    const std::string input = Write("input", c.input);
    const Result run = Check(std::string(c.flags) + " --summary " + textPro + " " + input);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_EQ(Lines(run.out).back(), c.summary) << run.out;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

const std::string kTextOkHex = ToHex(kTextOk + "\n");  // a trailing unit changes nothing

INSTANTIATE_TEST_SUITE_P(
    Check, CheckFraming,
    testing::Values(FramingCase{"LinesEndWithLineFeedOrCarriageReturnLineFeed", "",
                                kTextOk + "\r\n\r\n" + kTextOk + "\n\n" + kTextOk, 0,
                                "3 messages read, 3 passed, 0 failed"},
                    FramingCase{"CarriageReturnInsideALineIsAUnit", "", kTextOk + "\rX\n", 0,
                                "1 messages read, 1 passed, 0 failed"},
                    FramingCase{"HexBlanksAroundDigitsAreDropped", "--hex",
                                " \t" + kTextOkHex + " \r\n   \n", 0,
                                "1 messages read, 1 passed, 0 failed"},
                    FramingCase{"HexRejectsBlanksBetweenGroups", "--hex",
                                kTextOkHex.substr(0, 10) + " " + kTextOkHex.substr(10) + "\n", 1,
                                "1 messages read, 0 passed, 1 failed"},
                    FramingCase{"HexLoneCarriageReturnsEndLines", "--hex",
                                kTextOkHex + "\r" + kTextOkHex + "\r\n" + kTextOkHex, 0,
                                "3 messages read, 3 passed, 0 failed"},
                    FramingCase{"RawFileIsOneMessageLineFeedsIncluded", "--raw", kTextOk + "\n\n",
                                0, "1 messages read, 1 passed, 0 failed"},
                    FramingCase{"OverlongLineIsAnErrorAndTheNextIsChecked", "",
                                std::string(200000, '0') + "\n" + kTextOk + "\n", 1,
                                "2 messages read, 1 passed, 1 failed"},
                    FramingCase{"LineOf32768UnitsIsTooLong", "",
                                kTextOk + std::string(32768 - kTextOk.size(), ' ') + "\n" + kTextOk,
                                1, "2 messages read, 1 passed, 1 failed"},
                    FramingCase{"LineOf32767UnitsIsDecoded", "",
                                kTextOk + std::string(32767 - kTextOk.size(), ' '), 0,
                                "1 messages read, 1 passed, 0 failed"}),
    [](const testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

// The first demo message, and the same bytes as each notation of --dump writes them.
const std::string kDemoFirstHex =
    "3032303070200000008000001041111111111111110000000000000010000001235445524D30303031";

struct DumpCase {
    const char* name;
    std::string dump;
    std::string hex;  // the same bytes as one --hex line
};

class CheckDump : public CheckCommand, public testing::WithParamInterface<DumpCase> {};

TEST_P(CheckDump, ReportsTheSameAsHexOfTheSameBytes) {
    const DumpCase& c = GetParam();
    const Result hex = Check("--hex --json " + kDemoPro, c.hex + "\n");
    const Result dump = Check("--dump --json " + kDemoPro, c.dump);
    EXPECT_EQ(dump.status, hex.status) << dump.err;
    EXPECT_EQ(dump.out, hex.out);
}

INSTANTIATE_TEST_SUITE_P(
    Check, CheckDump,
    testing::Values(
        DumpCase{"Xxd",
                 "00000000: 3032 3030 7020 0000 0080 0000 1041 1111  0200p .......A..\n"
                 "00000010: 1111 1111 1100 0000 0000 0000 1000 0001  ................\n"
                 "00000020: 2354 4552 4d30 3030 31                   #TERM0001\n",
                 kDemoFirstHex},
        DumpCase{"HexdumpCanonical",
                 "00000000  30 32 30 30 70 20 00 00  00 80 00 00 10 41 11 11  |0200p .......A..|\n"
                 "00000010  11 11 11 11 11 00 00 00  00 00 00 00 10 00 00 01  |................|\n"
                 "00000020  23 54 45 52 4d 30 30 30  31                       |#TERM0001|\n"
                 "00000029\n",
                 kDemoFirstHex},
        DumpCase{"OdWithCharacters",
                 "000000 30 32 30 30 70 20 00 00 00 80 00 00 10 41 11 11  >0200p .......A..<\n"
                 "000010 11 11 11 11 11 00 00 00 00 00 00 00 10 00 00 01  >................<\n"
                 "000020 23 54 45 52 4d 30 30 30 31                       >#TERM0001<\n"
                 "000029\n",
                 kDemoFirstHex},
        DumpCase{"WiresharkHexDumpWithCrLf",
                 "0000   30 32 30 30 70 20 00 00 00 80 00 00 10 41 11 11   0200p .......A..\r\n"
                 "0010   11 11 11 11 11 00 00 00 00 00 00 00 10 00 00 01   ................\r\n"
                 "0020   23 54 45 52 4d 30 30 30 31                        #TERM0001\r\n",
                 kDemoFirstHex},
        DumpCase{"CharacterColumnThatLooksLikeHex", "0000  30 30 31 32  0012\n", "30303132"},
        DumpCase{"StarRepeatsTheRowUpToTheNextOffset",
                 "00000000  30 32 30 30 00 00 00 00  00 00 00 00 00 00 00 00  |0200............|\n"
                 "00000010  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n"
                 "*\n"
                 "00000040  61 62                                             |ab|\n"
                 "00000042\n",
                 "30323030" + std::string(120, '0') + "6162"},
        DumpCase{"ZeroXListInJavaBraces",
                 "new byte[] {0x30, 0x32, 0x30, 0x30, 0x70, 0x20, 0x00, 0x00, 0x00, 0x80,\n"
                 "  0x00, 0x00, 0x10, 0x41, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x00,\n"
                 "  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x01, 0x23, 0x54,\n"
                 "  0x45, 0x52, 0x4d, 0x30, 0x30, 0x30, 0x31};\n",
                 kDemoFirstHex},
        DumpCase{"PythonBytesWithPrintableCharacters",
                 "b'0200p \\x00\\x00\\x00\\x80\\x00\\x00\\x10A\\x11\\x11\\x11\\x11\\x11\\x11\\x11"
                 "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x10\\x00\\x00\\x01#TERM0001'\n",
                 kDemoFirstHex},
        DumpCase{"CStringsWithOctalAndNamedEscapes",
                 "\"0200p \\0\\0\\0\\200\\0\\0\\020A\\021\\021\\021\\021\\021\\021\\021\"\n"
                 "\"\\0\\0\\0\\0\\0\\0\\0\\x10\\0\\0\\1#TERM0001\\n\\r\\t\\\\\\'\\\"\"\n",
                 kDemoFirstHex + "0A0D095C2722"},
        DumpCase{"SignedDecimalList",
                 "{48, 50, 48, 48, 112, 32, 0, 0, 0, -128, 0, 0, 16, 65, 17, 17, 17, 17, 17, 17,"
                 " 17, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 1, 35, 84, 69, 82, 77, 48, 48, 48, 49}\n",
                 kDemoFirstHex},
        DumpCase{"PlainHexOverLinesWithBlanksBetweenPairs",
                 "30 32 30 30 70 20 00 00 00 80 00 00 10 41 11 11\n"
                 "1111 1111 1100 0000 0000 0000 1000 0001\n2354 4552 4d30 3030 31\n",
                 kDemoFirstHex}),
    [](const testing::TestParamInfo<DumpCase>& info) { return info.param.name; });

TEST_F(CheckCommand, DumpSplitsMessagesAndNamesTheLineThatFitsNoNotation) {
    const std::string xxd =
        "00000000: 3032 3030 7020 0000 0080 0000 1041 1111  0200p .......A..\n"
        "00000010: 1111 1111 1100 0000 0000 0000 1000 0001  ................\n"
        "00000020: 2354 4552 4d30 3030 31                   #TERM0001\n";
    const Result run = Check("--dump --summary " + kDemoPro,
                             xxd + xxd +
                                 "\n0x30, 0x32\n{48, 50}\n\n"          // mixed
                                 "0000  30 32 30 30\n0008  70 20\n\n"  // offset gap
                                 "0000  30 32\nnot hex\n\n" +
                                 xxd);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "3  ... Parsing OK ...\n"
              "1  error: not a hexdump or byte list: line 9\n"
              "1  error: not a hexdump or byte list: line 12\n"
              "1  error: not a hexdump or byte list: line 15\n"
              "6 messages read, 3 passed, 3 failed\n");
}

struct StreamCase {
    const char* name;
    const char* format;
    std::string stream;
    const char* report;  // --summary
};

class CheckStream : public CheckCommand, public testing::WithParamInterface<StreamCase> {};

TEST_P(CheckStream, ReadsEachMessageAfterItsLength) {
    const StreamCase& c = GetParam();
    const std::string input = Write("stream", c.stream);
    const Result run = Check(std::string("--stream ") + c.format + " --summary " + textPro + " " +
                             input + " " + input);
    EXPECT_EQ(run.out, c.report);
}

const std::string kLen2 = std::string("\0\x2c", 2) + kTextOk;

INSTANTIATE_TEST_SUITE_P(
    Check, CheckStream,
    testing::Values(
        StreamCase{"Len2AndAZeroLengthEmptyMessage", "len2", kLen2 + std::string(2, '\0') + kLen2,
                   "4  ... Parsing OK ...\n2  no verdict\n6 messages read, 4 passed, 2 failed\n"},
        StreamCase{"Len4", "len4", std::string(3, '\0') + "\x2c" + kTextOk,
                   "2  ... Parsing OK ...\n2 messages read, 2 passed, 0 failed\n"},
        StreamCase{"Ascii4TruncatedStopsThatInput", "ascii4", "0044" + kTextOk + "0300" + "x",
                   "2  ... Parsing OK ...\n"
                   "2  error: stream ends 1 units into a message of 300 units\n"
                   "4 messages read, 2 passed, 2 failed\n"},
        StreamCase{"LengthAbove32767CutShortStopsThatInput", "len2", "\x80\x01" + kLen2,
                   "2  error: stream ends 46 units into a message of 32769 units\n"
                   "2 messages read, 0 passed, 2 failed\n"},
        StreamCase{"BrokenPrefix", "len4", kLen2.substr(0, 3),
                   "2  error: stream ends 3 units into a length prefix of 4 units\n"
                   "2 messages read, 0 passed, 2 failed\n"}),
    [](const testing::TestParamInfo<StreamCase>& info) { return info.param.name; });

// The prefix of a message too long to check still says where the next one begins; read from
// a pipe, the message can only be passed over by reading it.
TEST_F(CheckCommand, StreamReadsOnAfterAMessageLongerThan32767Units) {
    Write("stream", kLen2 + "\x9c\x40" + std::string(40000, '7') + kLen2);
    const Result run = Shell("cat stream | \"$TOOL\" check --stream len2 --json \"$PRO\" -");
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    const auto tooLong = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(tooLong["message"], 2);
    EXPECT_EQ(tooLong["error"], "message longer than 32767 units");
    const auto third = nlohmann::json::parse(lines[2]);
    EXPECT_EQ(third["message"], 3);
    EXPECT_EQ(third["mti"], "0100");
    EXPECT_EQ(third["ok"], true);

    const Result summary =
        Check("--stream len2 --summary " + textPro + " " + (dir / "stream").string());
    EXPECT_EQ(Lines(summary.out).back(), "3 messages read, 2 passed, 1 failed");
}

struct HeaderCase {
    const char* name;
    const char* flags;
    std::string input;
};

class CheckHeader : public CheckCommand, public testing::WithParamInterface<HeaderCase> {};

TEST_P(CheckHeader, SetsTheHeaderAsideAndCountsOffsetsFromTheFirstUnitRead) {
    const HeaderCase& c = GetParam();
    const std::string input = Write("input", c.input);
    const Result run = Check(std::string(c.flags) + " --header 5 --json " + textPro + " " + input);
    EXPECT_EQ(run.status, 0) << run.out;
    const auto line = nlohmann::json::parse(Lines(run.out).at(0));
    EXPECT_EQ(line["header"], "6000010000");
    EXPECT_EQ(line["fields"][0]["offset"], 25);  // 5 + MTI 4 + bitmap 16
    EXPECT_EQ(line["verdict"], "... Parsing OK ...");
}

const std::string kTpdu("\x60\x00\x01\x00\x00", 5);

INSTANTIATE_TEST_SUITE_P(
    Check, CheckHeader,
    testing::Values(HeaderCase{"Raw", "--raw", kTpdu + kTextOk},
                    HeaderCase{"Hex", "--hex", ToHex(kTpdu + kTextOk)},
                    HeaderCase{"Lines", "", kTpdu + kTextOk + "\n"},
                    HeaderCase{"Dump", "--dump", "60 00 01 00 00\n" + ToHex(kTextOk)},
                    HeaderCase{"Stream", "--stream len2",
                               std::string("\0\x31", 2) + kTpdu + kTextOk}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

TEST_F(CheckCommand, HeaderLongerThanTheMessageIsAnError) {
    const Result run = Check("--header 50 " + textPro, kTextOk + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out).at(0),
              "message 1: error: message of 44 units is shorter than its header of 50 units");
    const Result rows = Check("--header 2 " + textPro, "AB" + kTextOk + "\n");
    EXPECT_EQ(Lines(rows.out).at(1), "  header 4142");
}

TEST_F(CheckCommand, MessageBytesReachTheTerminalEscaped) {
    const std::string clear = "\x1b[2J";
    const Result rows =
        Check(textPro, clear + kTextOk.substr(4) + "\n" + "01\\0" + kTextOk.substr(4) + "\n");
    EXPECT_EQ(Lines(rows.out).at(0), "message 1: MTI \\x1B[2J");
    EXPECT_EQ(Lines(rows.out).at(4), "  Unknown message \\x1B[2J");  // after the Luhn line
    EXPECT_NE(rows.out.find("  Unknown message 01\\\\0\n"), std::string::npos);
    const Result summary = Check("--summary " + textPro, clear + kTextOk.substr(4) + "\n");
    EXPECT_EQ(Lines(summary.out).at(0), "1  Unknown message \\x1B[2J");
    EXPECT_EQ(summary.out.find('\x1b'), std::string::npos);
}

struct WholeValueCase {
    const char* name;
    std::string value;  // field 3, six units
    const char* row;    // as the rows show it
    const char* json;   // as the JSON line writes it
};

// A value is shown to its last unit: a NUL does not end it, and no unit of it reaches a
// terminal or a JSON reader as anything but its own code.
TEST_F(CheckCommand, ValuesAreShownWholeWithTheirUnitsEscaped) {
    const std::string pro =
        Write("ans.pro", std::string(kTextPro) + "FIELD=   3;  ANS;   6; 0; N; Code\n");
    const WholeValueCase cases[] = {
        {"NUL inside", std::string("AB\0CDE", 6), "AB\\x00CDE", "AB\\u0000CDE"},
        {"NULs at the end", std::string("ABC\0\0\0", 6), "ABC\\x00\\x00\\x00",
         "ABC\\u0000\\u0000\\u0000"},
        {"bytes no ASCII", "\xF0\xF2\xC3\xA9\x7F\n", "\\xF0\\xF2\\xC3\\xA9\\x7F\\x0A",
         "\\u00f0\\u00f2\\u00c3\\u00a9\\u007f\\u000a"},
        {"printable as it is", "A\"\\ ~z", "A\"\\\\ ~z", "A\\\"\\\\ ~z"},
    };
    for (const WholeValueCase& c : cases) {
        const std::string hex = ToHex(kTextOk.substr(0, 38)) + ToHex(c.value);
        const Result rows = Check("--hex " + pro, hex + "\n");
        EXPECT_NE(rows.out.find(std::string("ANS      6  ") + c.row), std::string::npos)
            << c.name << "\n"
            << rows.out;
        const Result json = Check("--hex --json " + pro, hex + "\n");
        EXPECT_NE(json.out.find(std::string("\"value\":\"") + c.json + "\""), std::string::npos)
            << c.name << "\n"
            << json.out;
        // Each unit comes back as the character of its code.
        const auto parsed = nlohmann::json::parse(Lines(json.out).at(0));
        std::string utf8;
        for (const char u : c.value) {
            const auto code = static_cast<unsigned char>(u);
            if (code < 0x80) {
                utf8 += u;
            } else {
                utf8 += static_cast<char>(0xC0 | (code >> 6));
                utf8 += static_cast<char>(0x80 | (code & 0x3F));
            }
        }
        EXPECT_EQ(parsed["fields"][1]["value"].get<std::string>(), utf8) << c.name;
    }
}

TEST_F(CheckCommand, SummaryKeepsTheFirstThousandVerdictsAndMemoryStaysFlat) {
    // 400000 distinct MTIs through a pipe; each would otherwise keep its own tally.
    const Result run =
        Shell("awk \"BEGIN { for (i = 0; i < 400000; i++) printf \\\"%c%c%c%c" + kTextOk.substr(4) +
              "\\\\n\\\", 65 + i % 26, 65 + int(i / 26) % 26, 65 + int(i / 676) % 26, "
              "65 + int(i / 17576) % 26 }\" | /usr/bin/time -f %M -o rss \"$TOOL\" check --summary "
              "\"$PRO\"");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[0], "1  Unknown message AAAA");
    EXPECT_EQ(lines[1000], "399000  other verdicts");
    EXPECT_EQ(lines[1001], "400000 messages read, 0 passed, 400000 failed");
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's own memory would drown the figure
    // time notes the exit status 1 on a line of its own before the figure.
    EXPECT_LT(std::stol(Lines(ReadAll(dir / "rss")).back()), 64 * 1024) << "peak kB";
#endif
}

TEST_F(CheckCommand, UnwritableReportStopsWithStatus2AndClosedPipeEndsQuietly) {
    const std::string input = Write("many", [] {
        std::string text;
        for (int i = 0; i < 20000; ++i)
            text += kTextOk + "\n";
        return text;
    }());
    const Result full = Shell("\"$TOOL\" check \"$PRO\" " + input + " >/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "iso8583 check: cannot write the report: No space left on device\n");

    const Result head =
        Shell("\"$TOOL\" check \"$PRO\" " + input + " | head -1; echo ${PIPESTATUS[0]}");
    EXPECT_EQ(head.out, "message 1: MTI 0100\n141\n");  // 128 + SIGPIPE
    EXPECT_EQ(head.err, "");
}

TEST_F(CheckCommand, BitmapReadFromAnUndeclaredHeaderIsMasked) {
    // A header nobody declared: its 4111... is read as the binary bitmap.
    const std::string line = "303230304111111111111111" + kDemoFirstHex + "\n";
    const auto masked = nlohmann::json::parse(Check("--hex --json " + kDemoPro, line).out);
    EXPECT_EQ(masked["bitmap"], "411111********110000000000000000");
    const auto plain = nlohmann::json::parse(Check("--hex --json --no-mask " + kDemoPro, line).out);
    EXPECT_EQ(plain["bitmap"], "41111111111111110000000000000000");
}

TEST_F(CheckCommand, HelpAndVersionThatCannotBeWrittenExitWithStatus2) {
    for (const char* args :
         {"--version", "--help", "check --help", "diagnose --help", "format --help"}) {
        const Result written = Shell("\"$TOOL\" " + std::string(args));
        EXPECT_EQ(written.status, 0) << args;
        EXPECT_FALSE(written.out.empty()) << args;
        const Result full = Shell("\"$TOOL\" " + std::string(args) + " >/dev/full");
        EXPECT_EQ(full.status, 2) << args;
        EXPECT_EQ(full.err, "iso8583: cannot write to standard output: No space left on device\n")
            << args;
    }
}

TEST_F(CheckCommand, TooLongMessageIsNamedAsAnError) {
    const Result run = Check(textPro, std::string(40000, 'x') + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out).at(0), "message 1: error: message longer than 32767 units");
}

TEST_F(CheckCommand, StandardInputWhenNoInputOrDash) {
    const std::string file = Write("file", kTextOk + "\n");
    EXPECT_EQ(Lines(Check(textPro, kTextOk + "\n").out).back(),
              "1 messages read, 1 passed, 0 failed");
    const Result run = Check(textPro + " " + file + " - " + file, "xyz\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("message 2: no MTI\n"), std::string::npos);
    EXPECT_EQ(Lines(run.out).back(), "3 messages read, 2 passed, 1 failed");
}

TEST_F(CheckCommand, UnreadableDefinitionStopsWithStatus2) {
    const std::string missing = (dir / "missing.pro").string();
    const Result run = Check(missing + " -");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, missing + ": cannot open: No such file or directory\n");

    const Result folder = Check(dir.string());
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.err, dir.string() + ": cannot open: Is a directory\n");
}

TEST_F(CheckCommand, UnreadableInputIsReportedAndSkipped) {
    const std::string good = Write("good", kTextOk + "\n");
    const std::string missing = (dir / "missing").string();
    const Result run = Check(textPro + " " + missing + " " + good + " " + dir.string());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, missing + ": cannot open: No such file or directory\n" + dir.string() +
                           ": cannot open: Is a directory\n");
    EXPECT_EQ(Lines(run.out).back(), "1 messages read, 1 passed, 0 failed");
}

TEST_F(CheckCommand, ConflictingOrMissingArgumentsAreUsageErrors) {
    EXPECT_EQ(Check("--hex --raw " + textPro).status, 2);
    EXPECT_EQ(Check("--json --summary " + textPro).status, 2);
    EXPECT_EQ(Check("").status, 2);
}

// A text dialect: track 2 as text, chip data (55) and private data (48) as hex text.
const char kChipPro[] =
    "NAME= Chip text\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=  35;  ANS;  37; 2; N; Track 2 data\n"
    "FIELD=  48;  ANS; 999; 3; N; Additional data\n"
    "FIELD=  55;  ANS; 999; 3; N; Chip data\n"
    "MSG=0100;40000000000000000000000000000000;00000000200102000000000000000000;Auth\n";

const std::string kPan = "4111111111111111";
const std::string kChipText = "0100400000002001020016" + kPan + "29" + kPan + "=251210112345" +
                              "020" + "5A08" + kPan + "056" +
                              "9F020600000000100095050000008000700A5A08" + kPan;
// Line 16 of the demo messages: field 55 holds 9F02, 95, 5A and the template 70.
const std::string kDemoChipHex =
    "3032303070200000008002001041111111111111110000000000000010000001235445524D30303031249F02060000"
    "00001000950500000080005A08411111111111111170089A032512079C0100";

struct InsideCase {
    const char* name;
    bool text;  // under kChipPro, else the demo's binary dialect
    const char* flags;
    int field;
    const char* pointer;   // into the field's JSON object
    const char* expected;  // JSON; "absent" for a key that must not be there
};

class CheckInside : public CheckCommand, public testing::WithParamInterface<InsideCase> {};

TEST_P(CheckInside, JsonShowsWhatIsInsideTheField) {
    const InsideCase& c = GetParam();
    const std::string pro = c.text ? Write("chip.pro", kChipPro) : kDemoPro;
    const Result run = Check(std::string(c.text ? "" : "--hex ") + c.flags + " --json " + pro,
                             (c.text ? kChipText : kDemoChipHex) + "\n");
    const auto fields = nlohmann::json::parse(Lines(run.out).at(0))["fields"];
    nlohmann::json field;
    for (const auto& f : fields) {
        if (f["number"] == c.field) field = f;
    }
    const nlohmann::json::json_pointer at(c.pointer);
    if (std::string(c.expected) == "absent") {
        EXPECT_FALSE(field.contains(at)) << field;
    } else {
        EXPECT_EQ(field.value(at, nlohmann::json()), nlohmann::json::parse(c.expected)) << field;
    }
}

const InsideCase kInsideCases[] = {
    InsideCase{"BinaryChipDataNamesEachTag", false, "", 55, "/tlv/0",
               R"j({"tag":"9F02","name":"Amount, Authorised (Numeric)","offset":0,"length":6,
                       "hex":"000000001000"})j"},
    InsideCase{"BinaryTvrBits", false, "", 55, "/tlv/1/bits",
               R"j(["Transaction exceeds floor limit"])j"},
    InsideCase{"BinaryPanTagMasked", false, "", 55, "/tlv/2/hex", R"j("411111******1111")j"},
    InsideCase{"BinaryTemplateChildren", false, "", 55, "/tlv/3/children/1",
               R"j({"tag":"9C","name":"Transaction Type","offset":33,"length":1,"hex":"00"})j"},
    InsideCase{"BinaryFieldHexMaskedAtTheTag", false, "", 55, "/hex",
               R"j("9F0206000000001000950500000080005A08411111******111170089A032512079C0100")j"},
    InsideCase{"UnmaskedOnRequest", false, "--no-mask", 55, "/tlv/2/hex",
               R"j("4111111111111111")j"},
    InsideCase{"NoMaskedKeyUnmasked", false, "--no-mask", 2, "/masked", "absent"},
    InsideCase{"CardNumberFieldMaskedWithLuhn", false, "", 2, "", R"j({"number":2,
                   "offset":12,"consumed":9,"type":"N","length":16,"value":"411111******1111",
                   "hex":"343131313131************31313131","description":"Primary account number",
                   "masked":true,"luhn":true})j"},
    InsideCase{"MaskFieldHidesItWhole", false, "--mask-field 41", 41, "/value", R"j("********")j"},
    InsideCase{"OtherFieldsHaveNoInsideKeys", false, "", 41, "/luhn", "absent"},
    InsideCase{"TextChipDataReadFromHexText", true, "", 55, "/tlv/2/children/0",
               R"j({"tag":"5A","name":"Application Primary Account Number (PAN)","offset":18,
                       "length":8,"hex":"411111******1111","luhn":true})j"},
    InsideCase{"TextChipDataCharactersMasked", true, "", 55, "/value",
               R"j("9F020600000000100095050000008000700A5A08411111******1111")j"},
    InsideCase{"TrackParts", true, "", 35, "/track",
               R"j({"account":"411111******1111","expiry":"2512","service_code":"101",
                       "discretionary":"*****"})j"},
    InsideCase{"TlvFieldOnRequest", true, "--tlv-field 48", 48, "/tlv/0/tag", R"j("5A")j"},
    InsideCase{"NoTlvUnlessAsked", true, "", 48, "/tlv", "absent"}};

INSTANTIATE_TEST_SUITE_P(Check, CheckInside, testing::ValuesIn(kInsideCases),
                         [](const testing::TestParamInfo<InsideCase>& info) {
                             return info.param.name;
                         });

TEST_F(CheckCommand, RowsShowDataObjectsTrackPartsAndLuhnUnderTheirField) {
    const Result demo =
        Check("--hex " + kDemoPro,
              kDemoChipHex + "\n" + kDemoChipHex.substr(0, 82) + "059F02060000\n" +
                  "30323130702000000080"
                  "00000F03782822463100060000000000000010000001235445524D30303031\n");
    EXPECT_NE(demo.out.find("        Luhn ok\n    3  N"), std::string::npos) << demo.out;
    EXPECT_NE(demo.out.find("  Chip data\n"
                            "        9F02  Amount, Authorised (Numeric)  6  000000001000\n"
                            "        95  Terminal Verification Results  5  0000008000\n"
                            "            Transaction exceeds floor limit\n"
                            "        5A  Application Primary Account Number (PAN)  8  "
                            "411111******1111\n"
                            "            Luhn ok\n"
                            "        70  READ RECORD Response Message Template  8  "
                            "9A032512079C0100\n"
                            "          9A  Transaction Date  3  251207\n"
                            "          9C  Transaction Type  1  00\n"
                            "  ... Parsing OK ...\n"),
              std::string::npos)
        << demo.out;
    EXPECT_NE(demo.out.find("        not BER-TLV: length runs 4 bytes past the end at byte 2\n"),
              std::string::npos);
    EXPECT_NE(demo.out.find("378282*****0006  Primary account number\n        Luhn failed\n"),
              std::string::npos);

    const Result text = Check(Write("chip.pro", kChipPro), kChipText + "\n");
    EXPECT_NE(text.out.find("  Track 2 data\n"
                            "        account 411111******1111  expiry 2512  service 101\n"
                            "        Luhn ok\n"),
              std::string::npos)
        << text.out;
}

TEST_F(CheckCommand, MaskedReportsHoldNoCardNumberInAnyForm) {
    const std::string chipPro = Write("chip.pro", kChipPro);
    const std::string chip = Write("chip", kChipText + "\n");
    const std::string behindHeader = Write("header", kPan + kChipText + "\n");
    const std::string pan = ToHex(kPan);
    const std::vector<std::string> runs = {
        "--hex " + kDemoPro + " " + kDemoHex,
        "--hex --json " + kDemoPro + " " + kDemoHex,
        chipPro + " " + chip,
        "--json " + chipPro + " " + chip,
        "--json --header 16 " + chipPro + " " + behindHeader,
    };
    for (const std::string& args : runs) {
        const Result masked = Check(args);
        EXPECT_EQ(masked.out.find(kPan), std::string::npos) << args << "\n" << masked.out;
        EXPECT_EQ(masked.out.find(pan), std::string::npos) << args << "\n" << masked.out;
        EXPECT_EQ(masked.out.find("378282246310005"), std::string::npos) << args;
        EXPECT_NE(Check("--no-mask " + args).out.find(kPan), std::string::npos) << args;
    }
}

const std::string kDialectPro = ISO_EXAMPLES_DIR "/dialect.pro";
const std::string kDialectHex = ISO_EXAMPLES_DIR "/dialect-messages.hex";

// Each field of a JSON report line by its number.
std::map<int, nlohmann::json> FieldsByNumber(const std::string& line) {
    std::map<int, nlohmann::json> fields;
    const auto parsed = nlohmann::json::parse(line);
    for (const auto& f : parsed["fields"])
        fields[f["number"].get<int>()] = f;
    return fields;
}

// The example dialect gives its fields settings of their own: packed, padded, EBCDIC, prefixes
// of their own, and empty fields.
TEST_F(CheckCommand, DialectExampleDecodesEveryFieldByItsSettings) {
    const Result run = Check("--hex --json --no-mask " + kDialectPro + " " + kDialectHex);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    for (const std::string& line : lines)
        EXPECT_EQ(nlohmann::json::parse(line)["verdict"], "... Parsing OK ...") << line;

    auto first = FieldsByNumber(lines[0]);
    const struct {
        int field;
        const char* pointer;
        const char* expected;  // JSON
    } cases[] = {
        {22, "/value", R"("051")"},
        {22, "/consumed", "2"},
        {32, "/length", "0"},
        {32, "/value", R"("")"},
        {32, "/consumed", "2"},
        {35, "/value", R"("4111111111111111=25121011234567890123")"},
        {35, "/consumed", "21"},
        {35, "/track", R"({"account":"4111111111111111","expiry":"2512","service_code":"101",
                           "discretionary":"1234567890123"})"},
        {35, "/luhn", "true"},
        {41, "/value", R"("TERM0001")"},
        {41, "/hex", R"("5445524D30303031")"},
        {55, "/hex", R"("9F02060000000010009505000000800082025C00")"},
        {55, "/consumed", "23"},
        {55, "/tlv/0/tag", R"("9F02")"},
        {62, "/hex", R"("ABCDEF")"},
        {62, "/consumed", "5"},
        {63, "/value", R"("REF12345")"},
        {63, "/consumed", "10"},
    };
    for (const auto& c : cases) {
        const nlohmann::json::json_pointer at(c.pointer);
        EXPECT_EQ(first[c.field].value(at, nlohmann::json()), nlohmann::json::parse(c.expected))
            << "field " << c.field << c.pointer;
    }
    auto second = FieldsByNumber(lines[1]);
    EXPECT_EQ(second[2]["length"], 0);
    EXPECT_EQ(second[2]["consumed"], 2);
    EXPECT_EQ(second[127]["value"], "ORIGINAL 01");
    EXPECT_EQ(second[127]["consumed"], 17);
    EXPECT_EQ(second[127]["offset"], 77);
}

TEST_F(CheckCommand, DialectTrackDataIsMaskedByDefault) {
    const Result run = Check("--hex --json " + kDialectPro + " " + kDialectHex);
    auto first = FieldsByNumber(Lines(run.out).at(0));
    EXPECT_EQ(first[35]["track"]["account"], "411111******1111");
    EXPECT_EQ(run.out.find("4111111111111111"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(ToHex("4111111111111111")), std::string::npos) << run.out;
}

// OPTION= HEADER sets units aside when --header does not say otherwise; --header 0 says none.
TEST_F(CheckCommand, DefinitionsHeaderStandsUnlessTheOptionSaysOtherwise) {
    const std::string pro = Write("header.pro", ReadAll(kDialectPro) + "OPTION= HEADER; 5\n");
    std::string input;
    for (const std::string& line : Lines(ReadAll(kDialectHex)))
        input += "6000030000" + line + "\n";
    const std::string hex = Write("header.hex", input);

    const Result own = Check("--hex --json " + pro + " " + hex);
    EXPECT_EQ(own.status, 0) << own.out;
    for (const std::string& line : Lines(own.out)) {
        const auto parsed = nlohmann::json::parse(line);
        EXPECT_EQ(parsed["header"], "6000030000");
        EXPECT_EQ(parsed["ok"], true) << line;
    }
    EXPECT_EQ(FieldsByNumber(Lines(own.out).at(0))[2]["offset"], 25);
    // Every worker thread takes it too.
    EXPECT_EQ(Check("--hex --json --jobs 2 " + pro + " " + hex).out, own.out);

    const Result none = Check("--hex --json --header 0 " + pro + " " + hex);
    EXPECT_EQ(none.status, 1);
    for (const std::string& line : Lines(none.out)) {
        const auto parsed = nlohmann::json::parse(line);
        EXPECT_EQ(parsed["header"], "") << line;
        EXPECT_NE(parsed["mti"], "0200") << line;
        EXPECT_EQ(parsed["ok"], false) << line;
    }

    const Result other = Check("--hex --summary --header 5 " + pro + " " + hex);
    EXPECT_EQ(other.status, 0) << other.out;
    // The definition without the option reads the TPDU as the MTI.
    const Result without = Check("--hex --summary " + kDialectPro + " " + hex);
    EXPECT_EQ(without.status, 1);
    EXPECT_EQ(Lines(without.out).back(), "2 messages read, 0 passed, 2 failed");
}

TEST_F(CheckCommand, DialectRowsShowEmptyAndPackedValues) {
    const Result run = Check("--hex " + kDialectPro + " " + kDialectHex);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\n   32  N        0      "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n   22  N        3  051 "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  411111******1111=2512101*************     Track 2 data\n"
                           "        account 411111******1111  expiry 2512  service 101\n"),
              std::string::npos)
        << run.out;
}

}  // namespace
