// End-to-end tests of `iso8583 diagnose`: the tool is run as a process on the demo dialect and
// judged by its output and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kDemoPro = ISO_EXAMPLES_DIR "/demo.pro";

// Message 1 of the demo messages: 0200 with a card number, fields 3, 4, 11 and 41.
const std::string kPasses =
    "3032303070200000008000001041111111111111110000000000000010000001235445524D30303031";
const std::string kTpdu = "6000030000" + kPasses;
const std::string kHexBitmap =
    "30323030373032303030303030303830303030301041111111111111110000000000000010000001235445524D3030"
    "3031";
const std::string kEbcdic =
    "F0F2F1F070200000008000000F0378282246310005000000000000001000000123E3C5D9D4F0F0F0F1";

// Runs `diagnose --hex ARGS demo.pro` with the lines on standard input.
Result Diagnose(const std::string& args, const std::string& input) {
    const fs::path dir =
        fs::temp_directory_path() / ("iso8583-diagnose-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    const fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
    std::ofstream(in, std::ios::binary) << input;
    Result result = RunCommand(std::string("'") + ISO8583_TOOL + "' diagnose --hex " + args + " '" +
                                   kDemoPro + "' <'" + in.string() + "'",
                               out, err);
    fs::remove_all(dir);
    return result;
}

TEST(DiagnoseCommand, DemoMessageBehindATpduNamesTheHeaderFirst) {
    const Result run = Diagnose("", kTpdu + "\n");
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0], "message 1: Error : field n\u00b0 12 is undefined");
    EXPECT_NE(run.out.find("\n  stopped: field 12: bit set, no data element\n"), std::string::npos);
    const auto lead = std::find(lines.begin(), lines.end(), "  Decodes exactly with:");
    ASSERT_LT(lead + 1, lines.end()) << run.out;
    EXPECT_EQ(lead[1], "    a header of 5 units (6000030000), then passes as 0200");
    EXPECT_EQ(lines.back(), "1 messages read, 0 passed, 1 failed");
}

TEST(DiagnoseCommand, ReadingThatDoesNotPassQuotesItsVerdictAsIs) {
    // A 0200 without its field 11, behind a TPDU.
    const Result run = Diagnose(
        "",
        "60000300003032303070000000008000001041111111111111110000000000000010005445524D30303031\n");
    EXPECT_NE(run.out.find("\n    a header of 5 units (6000030000), then decodes exactly as 0200 "
                           "with the verdict \"Missing or unexpected field n\u00b0 11\"\n"),
              std::string::npos)
        << run.out;
}

TEST(DiagnoseCommand, ByteMapRowsAreMaskedUnlessAskedNotTo) {
    const std::string masked = Diagnose("", kPasses + "\n").out;
    EXPECT_NE(masked.find("\n     12      9  field 2    10 411111******1111  411111******1111\n"),
              std::string::npos)
        << masked;
    EXPECT_NE(masked.find("\n      0      4  mti        30323030"), std::string::npos);
    EXPECT_EQ(masked.find("4111111111111111"), std::string::npos);
    const Result plain = Diagnose("--no-mask", kPasses + "\n");
    EXPECT_EQ(plain.status, 0);
    EXPECT_NE(plain.out.find("  10 4111111111111111  4111111111111111\n"), std::string::npos);
    EXPECT_EQ(plain.out.find("Decodes exactly"), std::string::npos);
}

struct ShownCase {
    const char* name;
    std::string input;
    std::string shown;   // a line the masked report holds
    std::string hidden;  // what it must not hold anywhere
};

TEST(DiagnoseCommand, HeadersAndBitmapsReadFromThemAreMaskedAndMessageBytesEscaped) {
    const ShownCase cases[] = {
        {"HeaderOfTextDigits", "34313131313131313131313131313131" + kPasses,
         "    a header of 16 units (343131313131************31313131), then passes as 0200",
         "34313131313131313131313131313131"},
        {"BitmapReadFromAnUndeclaredHeader", "303230304111111111111111" + kPasses,
         "      4      8  bitmap     411111******1111                          411111******1111",
         "4111111111111111"},
        {"PackedNumberAtAnOddNibbleBehindATpdu",
         "6000030000303231307020000000800000080378282246310005000000000000001000000123544552"
         "4D30303031",
         "", "378282246310005"},
        {"ReadingMtiOutsidePrintableText", "60000300009B324A31" + kPasses.substr(8),
         "    a header of 5 units (6000030000) and BIN_Enc=CHAR, then decodes exactly as \\x9B2J1 "
         "with the verdict \"Unknown message \\x9B2J1\"",
         "\x9B"},
    };
    for (const ShownCase& c : cases) {
        const Result run = Diagnose("", c.input + "\n");
        if (!c.shown.empty()) {
            EXPECT_NE(run.out.find("\n" + c.shown + "\n"), std::string::npos) << c.name << run.out;
        }
        EXPECT_EQ(run.out.find(c.hidden), std::string::npos) << c.name << run.out;
    }
}

TEST(DiagnoseCommand, NoReadingIsSaid) {
    const Result run = Diagnose("", "30323030\n");
    EXPECT_NE(run.out.find("\n  No single change makes it decode exactly.\n"), std::string::npos)
        << run.out;
}

struct JsonCase {
    const char* name;
    const char* flags;
    std::string message;
    bool ok;
    const char* firstChanges;  // of the best candidate; empty when none is expected
    const char* lastPart;      // of the map
};

class DiagnoseJson : public testing::TestWithParam<JsonCase> {};

TEST_P(DiagnoseJson, GivesVerdictMapAndBestCandidate) {
    const JsonCase& c = GetParam();
    const Result run = Diagnose(std::string("--json ") + c.flags, c.message + "\n");
    EXPECT_EQ(run.status, c.ok ? 0 : 1) << run.err;
    const json line = json::parse(Lines(run.out).at(0));
    EXPECT_EQ(line["ok"], c.ok);
    int next = 0;
    for (const json& entry : line["map"]) {
        EXPECT_EQ(entry["offset"], next) << entry;
        EXPECT_EQ(entry.contains("field"), entry["part"] == "field") << entry;
        next += entry["units"].get<int>();
    }
    EXPECT_EQ(next, static_cast<int>(c.message.size() / 2));
    EXPECT_EQ(line["map"].back()["part"], c.lastPart);
    if (c.firstChanges[0] == '\0') {
        EXPECT_TRUE(line["candidates"].empty()) << line;
        return;
    }
    ASSERT_FALSE(line["candidates"].empty()) << line;
    const json best = line["candidates"][0];
    EXPECT_EQ(best["changes"], json::parse(c.firstChanges));
    EXPECT_EQ(best["ok"], true);
    EXPECT_EQ(best["verdict"], "... Parsing OK ...");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, DiagnoseJson,
    testing::Values(JsonCase{"Passing", "", kPasses, true, "", "field"},
                    JsonCase{"Tpdu", "", kTpdu, false, R"({"header":5})", "field"},
                    JsonCase{"TpduSetAside", "--header 5", kTpdu, true, "", "field"},
                    JsonCase{"HexBitmap", "", kHexBitmap, false, R"({"BMP_Enc":"HEX"})", "field"},
                    JsonCase{"Ebcdic", "", kEbcdic, false, R"({"CHR_Enc":"EBCDIC"})", "field"},
                    JsonCase{"Trailing", "", kPasses + "FFFF", true, "", "trailing"},
                    JsonCase{"NoVerdict", "", "30323030", false, "", "trailing"}),
    [](const testing::TestParamInfo<JsonCase>& info) { return std::string(info.param.name); });

TEST(DiagnoseCommand, JsonCarriesExactlyTheListedKeys) {
    const Result run = Diagnose("--json", kTpdu + "\n" + kPasses + "FFFF\n0a1\n");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    auto keys = [](const json& object) {
        std::vector<std::string> out;
        for (const auto& item : object.items())
            out.push_back(item.key());
        return out;
    };
    const json failed = json::parse(lines[0]);
    EXPECT_EQ(keys(failed), (std::vector<std::string>{"candidates", "map", "message", "ok",
                                                      "stopped", "verdict", "warnings"}));
    EXPECT_EQ(failed["stopped"], json::parse(R"({"field":12,"offset":15,
        "reason":"field 12: bit set, no data element"})"));
    EXPECT_EQ(keys(failed["candidates"][0]),
              (std::vector<std::string>{"changes", "ok", "verdict", "warnings"}));
    const json trailing = json::parse(lines[1]);
    EXPECT_FALSE(trailing.contains("stopped"));
    ASSERT_EQ(trailing["warnings"].size(), 1u);
    EXPECT_EQ(keys(trailing["warnings"][0]), (std::vector<std::string>{"offset", "text"}));
    EXPECT_EQ(trailing["warnings"][0]["offset"], 41);
    const json odd = json::parse(lines[2]);
    EXPECT_EQ(odd["error"], "odd number of hexadecimal digits");
    EXPECT_EQ(odd["ok"], false);
}

TEST(DiagnoseCommand, HeaderLongerThanTheMessageIsAnError) {
    const Result run = Diagnose("--header 50", kPasses + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("message 1: error: message of 41 units is shorter than its header of "
                           "50 units\n"),
              std::string::npos)
        << run.out;
}

const std::string kDialectPro = ISO_EXAMPLES_DIR "/dialect.pro";

// The example dialect without one of its lines, in a file of the test's own.
fs::path DialectWithout(const fs::path& dir, const std::string& line) {
    std::string text = ReadAll(kDialectPro);
    const std::size_t at = text.find(line + "\n");
    EXPECT_NE(at, std::string::npos) << line;
    if (at != std::string::npos) text.erase(at, line.size() + 1);
    const fs::path pro = dir / "dialect.pro";
    std::ofstream(pro, std::ios::binary) << text;
    return pro;
}

struct SettingJsonCase {
    const char* name;
    const char* missing;  // the dialect's line the definition lacks
    const char* changes;  // of the best candidate, JSON
    const char* words;    // the same reading in the text report
};

void PrintTo(const SettingJsonCase& c, std::ostream* os) {
    *os << c.name;
}

class DiagnoseSettingReading : public testing::TestWithParam<SettingJsonCase> {};

TEST_P(DiagnoseSettingReading, NamesTheLineToAdd) {
    const SettingJsonCase& c = GetParam();
    const fs::path dir = fs::temp_directory_path() /
                         ("iso8583-diagnose-setting-" + std::to_string(::getpid()) + "-" + c.name);
    fs::create_directories(dir);
    const fs::path pro = DialectWithout(dir, c.missing);
    const std::string run = std::string("'") + ISO8583_TOOL + "' diagnose --hex ";
    const std::string inputs =
        " '" + pro.string() + "' '" ISO_EXAMPLES_DIR "/dialect-messages.hex'";
    const Result lines = RunCommand(run + "--json" + inputs, dir / "out", dir / "err");
    const Result text = RunCommand(run + inputs, dir / "out", dir / "err");
    fs::remove_all(dir);
    EXPECT_EQ(lines.status, 1) << lines.err;
    const json first = json::parse(Lines(lines.out).at(0));
    EXPECT_EQ(first["ok"], false);
    ASSERT_FALSE(first["candidates"].empty()) << first;
    EXPECT_EQ(first["candidates"][0]["changes"], json::parse(c.changes));
    EXPECT_EQ(first["candidates"][0]["ok"], true);
    EXPECT_NE(text.out.find("  Decodes exactly with:\n    " + std::string(c.words) + "\n"),
              std::string::npos)
        << text.out;
}

INSTANTIATE_TEST_SUITE_P(
    Dialect, DiagnoseSettingReading,
    testing::Values(
        SettingJsonCase{"EmptyFields", "OPTION= EMPTY_FIELDS; Y", R"({"EMPTY_FIELDS":"Y"})",
                        "allowing empty fields (OPTION= EMPTY_FIELDS; Y): passes as 0200"},
        SettingJsonCase{"PackedTrack", "FIELD_OPTION=  35; BIN_Enc; PBCD",
                        R"({"field":35,"BIN_Enc":"PBCD"})",
                        "field 35 BIN_Enc=PBCD (FIELD_OPTION= 35; BIN_Enc; PBCD): passes as 0200"},
        SettingJsonCase{"OwnLengthEncoding", "FIELD_OPTION=  55; LEN_Enc; BIGEND",
                        R"({"field":55,"LEN_Enc":"BIGEND"})",
                        "field 55 LEN_Enc=BIGEND (FIELD_OPTION= 55; LEN_Enc; BIGEND): passes as "
                        "0200"}),
    [](const testing::TestParamInfo<SettingJsonCase>& info) {
        return std::string(info.param.name);
    });

// OPTION= HEADER is diagnose's header too, unless --header says otherwise.
TEST(DiagnoseCommand, DefinitionsHeaderStandsUnlessTheOptionSaysOtherwise) {
    const fs::path dir =
        fs::temp_directory_path() / ("iso8583-diagnose-header-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path pro = dir / "header.pro";
    std::ofstream(pro, std::ios::binary) << ReadAll(kDialectPro) << "OPTION= HEADER; 5\n";
    const fs::path in = dir / "in";
    std::ofstream(in, std::ios::binary)
        << "6000030000" << Lines(ReadAll(ISO_EXAMPLES_DIR "/dialect-messages.hex")).at(0) << "\n";
    const std::string run = std::string("'") + ISO8583_TOOL + "' diagnose --hex --json ";
    const std::string args = " '" + pro.string() + "' '" + in.string() + "'";
    const Result own = RunCommand(run + args, dir / "out", dir / "err");
    const Result none = RunCommand(run + "--header 0" + args, dir / "out", dir / "err");
    const Result jobs = RunCommand(run + "--jobs 2" + args, dir / "out", dir / "err");
    fs::remove_all(dir);
    EXPECT_EQ(own.status, 0) << own.out;
    const json set = json::parse(Lines(own.out).at(0));
    EXPECT_EQ(set["ok"], true);
    EXPECT_EQ(set["map"][0]["part"], "header");
    EXPECT_EQ(set["map"][0]["units"], 5);
    EXPECT_EQ(jobs.out, own.out);
    EXPECT_EQ(none.status, 1);
    const json unset = json::parse(Lines(none.out).at(0));
    EXPECT_EQ(unset["ok"], false);
    ASSERT_FALSE(unset["candidates"].empty()) << unset;
    EXPECT_EQ(unset["candidates"][0]["changes"], json::parse(R"({"header":5})"));
}

}  // namespace
