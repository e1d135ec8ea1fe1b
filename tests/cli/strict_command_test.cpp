// End-to-end tests of `check --strict`, `diagnose --strict` and `diagnose --write-definition`:
// the tool is run as a process and judged by its output, its exit status and the file it wrote.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kDemoPro = ISO_EXAMPLES_DIR "/demo.pro";
const std::string kDemoHex = ISO_EXAMPLES_DIR "/demo-messages.hex";

// A text dialect whose 0800 takes any field and needs none: the classic verdict passes whatever
// fields a message sends.
const char kTextPro[] =
    "NAME= Strict text\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  41;  ANS;   8; 0; N; Terminal\n"
    "MSG=0800;00000000000000000000000000000000;FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF;Network\n";

const std::string kClean =
    "0800"
    "2000000000000000"
    "000000";

class StrictCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-strict-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        textPro = Write("text.pro", kTextPro);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    // Runs `iso8583 COMMAND ARGS` with input on standard input.
    Result Run(const std::string& command, const std::string& args, const std::string& input) {
        const fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
        std::ofstream(in, std::ios::binary) << input;
        return RunCommand(std::string("'") + ISO8583_TOOL + "' " + command + " " + args + " <'" +
                              in.string() + "'",
                          out, err);
    }

    fs::path dir;
    std::string textPro;
};

struct StrictRowsCase {
    const char* name;
    std::string message;  // one line of text input
    std::string options;
    std::vector<std::string> tail;  // the report's last lines before the counts
    std::string summary;            // the summary's verdict line
};

void PrintTo(const StrictRowsCase& c, std::ostream* os) {
    *os << c.name;
}

class StrictRows : public StrictCommand, public testing::WithParamInterface<StrictRowsCase> {};

// The classic verdict line stays, each finding follows it, and the summary counts the message
// as failed under the first finding's kind.
TEST_P(StrictRows, FollowTheClassicVerdict) {
    const StrictRowsCase& c = GetParam();
    const Result rows = Run("check", "--strict " + c.options + " '" + textPro + "'", c.message);
    const std::vector<std::string> lines = Lines(rows.out);
    ASSERT_GT(lines.size(), c.tail.size()) << rows.out;
    const std::vector<std::string> tail(lines.end() - 1 - static_cast<long>(c.tail.size()),
                                        lines.end() - 1);
    EXPECT_EQ(tail, c.tail) << rows.out;
    const bool passes = c.tail.size() == 1;
    EXPECT_EQ(lines.back(), passes ? "1 messages read, 1 passed, 0 failed"
                                   : "1 messages read, 0 passed, 1 failed");
    EXPECT_EQ(rows.status, passes ? 0 : 1);
    const Result summary =
        Run("check", "--strict --summary " + c.options + " '" + textPro + "'", c.message);
    EXPECT_EQ(Lines(summary.out).front(), c.summary) << summary.out;
}

INSTANTIATE_TEST_SUITE_P(
    Check, StrictRows,
    testing::Values(
        StrictRowsCase{
            "Clean", kClean + "\n", "", {"  ... Parsing OK ..."}, "1  ... Parsing OK ..."},
        StrictRowsCase{"BitmapCutShort",
                       "08000000\n",
                       "",
                       {"  ... Parsing OK ...", "  strict: bitmap: 4 units, needs 16"},
                       "1  strict: bitmap"},
        StrictRowsCase{
            "TypeAndTrailing",
            "0800"
            "2000000000000000"
            "00A000"
            "XY\n",
            "",
            {"  ... Parsing OK ...", "  strict: field 3: 'A' at offset 22 does not fit N",
             "  strict: 2 trailing units at offset 26"},
            "1  strict: type"},
        StrictRowsCase{"TrailingAllowed",
                       kClean + "XY\n",
                       "--allow-trailing",
                       {"  ... Parsing OK ..."},
                       "1  ... Parsing OK ..."},
        // Offsets count from the message's first unit, its header included; the unit outside
        // 0x20 to 0x7E is shown as the rows show message bytes.
        StrictRowsCase{
            "BehindAHeader",
            "HDR0800"
            "0000000000800000"
            "TERM\x01"
            "001\n",
            "--header 3",
            {"  ... Parsing OK ...", "  strict: field 41: '\\x01' at offset 27 does not fit ANS"},
            "1  strict: type"},
        StrictRowsCase{"LengthAboveMaximum",
                       "0800"
                       "4000000000000000"
                       "20"
                       "41111111111111111111\n",
                       "",
                       {"  ... Parsing OK ...",
                        "  strict: field 2: length 20 above the maximum 19 at offset 20"},
                       "1  strict: length"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StrictCommand, JsonFailsTheMessageAndListsEachFinding) {
    const Result run =
        Run("check", "--strict --json '" + textPro + "'", "08000000\n" + kClean + "\n");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    const json failed = json::parse(lines[0]);
    EXPECT_EQ(failed["verdict"], "... Parsing OK ...");
    EXPECT_EQ(failed["ok"], false);
    EXPECT_EQ(failed["strict"], json::parse(R"([{"kind":"bitmap","field":0,"offset":4,)"
                                            R"("text":"bitmap: 4 units, needs 16"}])"));
    const json passed = json::parse(lines[1]);
    EXPECT_EQ(passed["ok"], true);
    EXPECT_EQ(passed["strict"], json::array());
}

// Without --strict nothing changes: the same message passes with the same bytes as before.
TEST_F(StrictCommand, WithoutStrictTheMessagePasses) {
    const Result run = Run("check", "'" + textPro + "'", "08000000\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("strict"), std::string::npos) << run.out;
}

TEST_F(StrictCommand, ParallelRunsWriteTheSameBytes) {
    std::string input;
    for (int i = 0; i < 3000; ++i) {
        input += i % 3 == 0   ? kClean + "\n"
                 : i % 3 == 1 ? "08000000\n"
                              : "0800"
                                "2000000000000000"
                                "00A000"
                                "XY\n";
    }
    for (const char* mode : {"", "--json", "--summary"}) {
        const std::string args = std::string("--strict ") + mode + " '" + textPro + "'";
        const Result one = Run("check", args, input);
        const Result four = Run("check", "--jobs 4 " + args, input);
        EXPECT_EQ(one.out, four.out) << mode;
        EXPECT_EQ(one.status, four.status) << mode;
    }
}

TEST_F(StrictCommand, AllowTrailingNeedsStrict) {
    EXPECT_EQ(Run("check", "--allow-trailing '" + textPro + "'", kClean + "\n").status, 2);
    EXPECT_EQ(Run("diagnose", "--allow-trailing '" + textPro + "'", kClean + "\n").status, 2);
}

TEST_F(StrictCommand, DiagnoseMarksTheMessageFailedAndNamesTheFindings) {
    const Result run = Run("diagnose", "--strict '" + textPro + "'", "08000000\n");
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0], "message 1: ... Parsing OK ...; strict: failed");
    EXPECT_NE(run.out.find("\n  strict: bitmap: 4 units, needs 16\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(lines.back(), "1 messages read, 0 passed, 1 failed");
    const json document =
        json::parse(Run("diagnose", "--strict --json '" + textPro + "'", "08000000\n").out);
    EXPECT_EQ(document["ok"], false);
    ASSERT_EQ(document["strict"].size(), 1u);
    EXPECT_EQ(document["strict"][0]["kind"], "bitmap");
}

// A 0200 with packed length prefixes: its card number of 8 digits reads the same under BIGEND,
// but its chip data has a prefix of 2 units, which the demo's BIGEND reads as length 0.
const std::string kPackedLengths =
    "303230307020000000800200"
    "08"
    "41111111"
    "000000"
    "000000001000"
    "000123"
    "5445524D30303031"
    "0005"
    "9F02060000";

struct WrittenCase {
    const char* name;
    std::string message;
    std::string reading;             // the first reading's words
    std::vector<std::string> lines;  // lines the written definition holds
};

void PrintTo(const WrittenCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteDefinition : public StrictCommand, public testing::WithParamInterface<WrittenCase> {};

// The definition written with the first reading applied passes the message under check: the
// reading says everything the file needs.
TEST_P(WriteDefinition, GivesTheReadingsVerdictUnderCheck) {
    const WrittenCase& c = GetParam();
    const std::string out = (dir / "out.pro").string();
    const Result run = Run("diagnose", "--hex --write-definition '" + out + "' '" + kDemoPro + "'",
                           c.message + "\n");
    EXPECT_NE(run.out.find("\n    " + c.reading + "\n"), std::string::npos) << run.out;
    ASSERT_TRUE(fs::exists(out)) << run.err;
    const std::string written = ReadAll(out);
    for (const std::string& line : c.lines)
        EXPECT_NE(written.find(line + "\n"), std::string::npos) << line << "\n" << written;
    const Result check = Run("check", "--hex '" + out + "'", c.message + "\n");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("\n  ... Parsing OK ...\n"), std::string::npos) << check.out;
}

INSTANTIATE_TEST_SUITE_P(
    Diagnose, WriteDefinition,
    testing::Values(
        WrittenCase{"LengthEncodingWithItsPrefixSizes",
                    kPackedLengths,
                    "LEN_Enc=PBCD with prefix sizes 1 \u2192 2 for field 55: passes as 0200",
                    {"LEN_Enc= PBCD", "FIELD=  55;    B; 255; 2; Y; Chip data"}},
        WrittenCase{"Header",
                    "6000030000"
                    "3032303070200000008000001041111111111111110000000000000010000001235445524D30"
                    "303031",
                    "a header of 5 units (6000030000), then passes as 0200",
                    {"OPTION= HEADER; 5"}}),
    [](const auto& info) { return std::string(info.param.name); });

// --header 0 over a definition that declares a header: the reading was judged without one, and
// so is the written definition.
TEST_F(StrictCommand, WriteDefinitionKeepsTheHeaderTheCommandLineSetAside) {
    const std::string headed = (dir / "headed.pro").string();
    {
        std::ofstream file(headed);
        file << ReadAll(kDemoPro) << "OPTION= HEADER; 5\n";
    }
    const std::string out = (dir / "out.pro").string();
    const Result run =
        Run("diagnose", "--hex --header 0 --write-definition '" + out + "' '" + headed + "'",
            kPackedLengths + "\n");
    ASSERT_TRUE(fs::exists(out)) << run.err;
    EXPECT_EQ(ReadAll(out).find("OPTION= HEADER; 5"), std::string::npos) << ReadAll(out);
    const Result check = Run("check", "--hex '" + out + "'", kPackedLengths + "\n");
    EXPECT_EQ(check.status, 0) << check.out;
}

TEST_F(StrictCommand, WriteDefinitionWithoutAReadingWritesNothing) {
    const std::string out = (dir / "out.pro").string();
    const Result run =
        Run("diagnose", "--write-definition '" + out + "' '" + textPro + "'", kClean + "\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_NE(run.err.find("no message has a reading"), std::string::npos) << run.err;
}

TEST_F(StrictCommand, JsonCandidateCarriesThePrefixSizes) {
    const Result run = Run("diagnose", "--hex --json '" + kDemoPro + "'", kPackedLengths + "\n");
    const json document = json::parse(run.out);
    ASSERT_FALSE(document["candidates"].empty()) << run.out;
    const json& first = document["candidates"][0];
    EXPECT_EQ(first["changes"], json::parse(R"({"LEN_Enc":"PBCD"})"));
    EXPECT_EQ(first["prefix_sizes"], json::parse(R"({"55":2})"));
    EXPECT_EQ(first["ok"], true);
}

// Message units in diagnose's JSON are \u00xx each, the system's own words as they are.
TEST_F(StrictCommand, DiagnoseJsonEscapesMessageUnits) {
    const std::string ebcdic =
        "F0F2F1F070200000008000000F0378282246310005000000000000001000000123E3C5D9D4F0F0F0F1";
    const Result run = Run("diagnose", "--hex --json '" + kDemoPro + "'", ebcdic + "\n");
    EXPECT_NE(run.out.find(R"("verdict":"Unknown message \u00f0\u00f2\u00f1\u00f0")"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(R"(field 41: '\u00e3' at offset 33 does not fit ANS)"),
              std::string::npos)
        << run.out;
}

// The demo messages that pass classically pass strictly too, but message 12, whose two units
// after the last field are now a finding.
TEST_F(StrictCommand, DemoMessagesPassStrictlyButTheTrailingOne) {
    const Result classic =
        Run("check", "--hex --summary '" + kDemoPro + "' '" + kDemoHex + "'", "");
    const Result strict =
        Run("check", "--hex --strict --summary '" + kDemoPro + "' '" + kDemoHex + "'", "");
    EXPECT_EQ(Lines(classic.out).back(), "16 messages read, 5 passed, 11 failed");
    EXPECT_EQ(Lines(strict.out).back(), "16 messages read, 4 passed, 12 failed");
    EXPECT_NE(strict.out.find("\n1  strict: trailing\n"), std::string::npos) << strict.out;
}

}  // namespace
