// End-to-end tests of `iso8583 build` and `iso8583 convert`: the tool is run as a process and
// judged by the bytes it writes, what it says on standard error and its exit status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kExamples = ISO_EXAMPLES_DIR;

// Characters on the wire and a hexadecimal bitmap; field 3 fixed, field 48 tagged with a head.
const char kTextPro[] =
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   2;    N;  19; 2; N; Primary account number\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  41;  ANS;   8; 0; N; Terminal\n"
    "FIELD=  52;    B;   2; 0; N; PIN data\n";

// 0100 with fields 2 and 3 under kTextPro.
const std::string kTextMessage =
    "0100"
    "6000000000000000"
    "16"
    "4111111111111111"
    "000000";

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const unsigned char b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

class BuildCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-build-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        textPro = Write("text.pro", kTextPro);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    // Runs the tool with args (quoted where needed) and standard input.
    Result Tool(const std::string& args, const std::string& input = "") {
        const fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
        std::ofstream(in, std::ios::binary) << input;
        // The input first, so that it goes to the first command of a pipeline.
        return RunCommand("<'" + in.string() + "' '" + std::string(ISO8583_TOOL) + "' " + args, out,
                          err);
    }

    // `check --json --no-mask` of hexadecimal messages, one object a line.
    std::vector<nlohmann::json> Checked(const std::string& pro, const std::string& hex) {
        const Result run = Tool("check --hex --json --no-mask " + pro, hex);
        std::vector<nlohmann::json> lines;
        for (const std::string& line : Lines(run.out))
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }

    fs::path dir;
    std::string textPro;
};

// The example messages that decode exactly come out of check | build byte for byte; line 12,
// message 1 with two trailing bytes, comes out without them.
struct PipeCase {
    const char* name;
    const char* example;
    std::vector<int> built;  // input lines, in order, that come out
    int status;
};

void PrintTo(const PipeCase& c, std::ostream* out) {
    *out << c.name;
}

class CheckIntoBuild : public BuildCommand, public testing::WithParamInterface<PipeCase> {};

TEST_P(CheckIntoBuild, ReproducesEveryMessageThatDecodesExactly) {
    const PipeCase& c = GetParam();
    const std::string pro = kExamples + "/" + c.example + ".pro";
    const std::string hex = kExamples + "/" + c.example + "-messages.hex";
    const Result run = Tool("check --hex --json --no-mask '" + pro + "' '" + hex + "' | '" +
                            ISO8583_TOOL + "' build '" + pro + "'");
    EXPECT_EQ(run.status, c.status) << run.err;
    const std::vector<std::string> input = Lines(ReadAll(hex));
    std::vector<std::string> expected;
    for (const int line : c.built)
        expected.push_back(Upper(input[static_cast<std::size_t>(line - 1)]));
    if (std::string(c.example) == "demo") expected[7].resize(expected[7].size() - 4);
    EXPECT_EQ(Lines(run.out), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CheckIntoBuild,
    testing::Values(PipeCase{"Demo", "demo", {1, 2, 3, 4, 5, 6, 11, 12, 16}, 1},
                    PipeCase{"DialectSettingsAndEmptyFields", "dialect", {1, 2}, 0},
                    PipeCase{"Subfields", "subfields", {1, 2, 3}, 0},
                    PipeCase{"SubfieldsInABinaryDialect", "subfields-binary", {1, 2}, 0}),
    [](const testing::TestParamInfo<PipeCase>& info) { return std::string(info.param.name); });

// The short form under the example definition with subfields: what check decodes of the bytes
// built is what was given.
TEST_F(BuildCommand, ShortFormWithTaggedAndChipDataDecodesBackToTheSameValues) {
    const std::string line =
        R"({"mti":"0200","fields":{"2":"4761739001010010","3":"000000","4":"000000010000",)"
        R"("11":"000123","41":"TERM0001",)"
        R"("43":{"1":"ACME STORE               ","2":"NEW YORK     ","3":"US"},)"
        R"("48":{"head":"R","01":"INV-42","10":"5555555555554444","42":{"01":"210","02":"02"}},)"
        R"("55":"9F02060000000010009505000000800082025C00"}})";
    const std::string pro = kExamples + "/subfields.pro";
    const Result built = Tool("build " + pro, line + "\n");
    ASSERT_EQ(built.status, 0) << built.err;
    const std::vector<nlohmann::json> checked = Checked(pro, built.out);
    ASSERT_EQ(checked.size(), 1u);
    const nlohmann::json& message = checked[0];
    EXPECT_EQ(message["verdict"], "... Parsing OK ...");
    std::map<std::string, std::string> values;
    for (const auto& field : message["fields"]) {
        values[std::to_string(field["number"].get<int>())] = field["value"];
        for (const auto& sub : field.value("subfields", nlohmann::json::array())) {
            values[sub["id"]] = sub["value"];
            for (const auto& inner : sub.value("subfields", nlohmann::json::array()))
                values[inner["id"]] = inner["value"];
        }
        for (const auto& tag : field.value("tlv", nlohmann::json::array()))
            values["55." + tag["tag"].get<std::string>()] = tag["hex"];
    }
    EXPECT_EQ(values["2"], "4761739001010010");
    EXPECT_EQ(values["43.2"], "NEW YORK     ");
    EXPECT_EQ(values["48"], "R0106INV-421016555555555555444442130103210020202");
    EXPECT_EQ(values["48.01"], "INV-42");
    EXPECT_EQ(values["48.10"], "5555555555554444");
    EXPECT_EQ(values["48.42.01"], "210");
    EXPECT_EQ(values["48.42.02"], "02");
    EXPECT_EQ(values["55.9F02"], "000000001000");
    EXPECT_EQ(values["55.95"], "0000008000");
    EXPECT_EQ(values["55.82"], "5C00");
}

struct ErrorCase {
    const char* name;
    std::string args;  // $PRO: the text definition
    std::string input;
    int status;
    std::string err;  // the first line on standard error
    std::string out;
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
    *out << c.name;
}

class BuildErrors : public BuildCommand, public testing::WithParamInterface<ErrorCase> {};

TEST_P(BuildErrors, AreReportedWithTheirLineAndStatus) {
    const ErrorCase& c = GetParam();
    std::string args = c.args;
    const std::size_t at = args.find("$PRO");
    if (at != std::string::npos) args.replace(at, 4, textPro);
    const Result run = Tool(args, c.input);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(Lines(run.err).empty() ? "" : Lines(run.err)[0], c.err);
    EXPECT_EQ(run.out, c.out);
}

const std::string kGood = R"({"mti":"0100","fields":{"2":"4111111111111111","3":"000000"}})";
const std::string kGoodHex = ToHex(kTextMessage);

INSTANTIATE_TEST_SUITE_P(
    Build, BuildErrors,
    testing::Values(
        ErrorCase{
            "BadJsonSkipsItsLineOnly", "build $PRO", kGood + "\n{\"mti\":\n" + kGood + "\n", 1,
            "line 2: not JSON: JSON document ended early in the middle of an object or array.",
            kGoodHex + "\n" + kGoodHex + "\n"},
        ErrorCase{"BlankLinesKeepTheNumbering", "build $PRO",
                  "\n  \n" + kGood + "\n{\"mti\":\"0100\",\"fields\":{\"2\":4111}}\n", 1,
                  "line 4: field \"2\" is not a string or an object", kGoodHex + "\n"},
        ErrorCase{"MaskedCardNumber", "build $PRO",
                  R"({"mti":"0100","fields":{"2":"411111******1111"}})"
                  "\n",
                  1, "line 1: field 2: the value is masked", ""},
        ErrorCase{"UndefinedField", "build $PRO",
                  R"({"mti":"0100","fields":{"7":"0101120000"}})"
                  "\n",
                  1, "line 1: field 7 is not defined", ""},
        ErrorCase{"ShortFixedNumberWithoutPadding", "build $PRO",
                  R"({"mti":"0100","fields":{"2":"4111111111111111","3":"0"}})"
                  "\n",
                  1, "line 1: field 3: 1 digit, fixed at 6", ""},
        ErrorCase{"ShortFixedNumberPaddedWhenAsked", "build --pad-numbers $PRO",
                  R"({"mti":"0100","fields":{"2":"4111111111111111","3":"0"}})"
                  "\n",
                  0, "", kGoodHex + "\n"},
        ErrorCase{"OutHeaderNotHex", "build --out-header 6Z $PRO", kGood, 2,
                  "--out-header: \"6Z\" is not hexadecimal digits", ""},
        ErrorCase{"UnreadableInput", "build $PRO no-such-file.jsonl", "", 2,
                  "no-such-file.jsonl: cannot open: No such file or directory", ""}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST_F(BuildCommand, DefinitionWithAHeaderNeedsItAsLongAsDeclared) {
    const std::string pro = Write("header.pro", std::string(kTextPro) + "OPTION= HEADER; 3\n");
    const Result missing = Tool("build " + pro, kGood + "\n");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "line 1: the definition declares a header of 3 units, and the message has none: "
              "give it with --out-header\n");
    const Result wrong = Tool("build --out-header 6000 " + pro, kGood + "\n");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err,
              "--out-header: 2 units, and the definition declares a header of 3 units\n");
    const Result given = Tool("build --out-header 600003 " + pro, kGood + "\n");
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(given.out, "600003" + kGoodHex + "\n");
    // The header check prints comes back with the message.
    const Result again = Tool("check --hex --json --no-mask " + pro + " | '" +
                                  std::string(ISO8583_TOOL) + "' build " + pro,
                              given.out);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, given.out);
}

// Each output framing carries the message as check's input framing of the same name reads it.
struct FramingCase {
    const char* name;
    const char* out;
    std::string bytes;         // written for kGood twice
    const char* readBackWith;  // check's framing options
};

void PrintTo(const FramingCase& c, std::ostream* out) {
    *out << c.name;
}

class BuildFramings : public BuildCommand, public testing::WithParamInterface<FramingCase> {};

TEST_P(BuildFramings, WriteWhatCheckReadsBack) {
    const FramingCase& c = GetParam();
    const Result run = Tool(
        std::string("build --out ") + c.out + " -o '" + (dir / "built").string() + "' " + textPro,
        kGood + "\n" + kGood + "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string built = ReadAll(dir / "built");
    EXPECT_EQ(built, c.bytes);
    const Result back = Tool(std::string("check --summary ") + c.readBackWith + " " + textPro +
                             " " + (dir / "built").string());
    EXPECT_EQ(Lines(back.out).back(), "2 messages read, 0 passed, 2 failed") << back.out;
    const Result json =
        Tool(std::string("check --json --no-mask ") + c.readBackWith + " " + textPro + " " +
             (dir / "built").string() + " | '" + ISO8583_TOOL + "' build " + textPro);
    EXPECT_EQ(json.out, kGoodHex + "\n" + kGoodHex + "\n") << json.err;
}

const std::string kTwice = kTextMessage + kTextMessage;

INSTANTIATE_TEST_SUITE_P(
    Build, BuildFramings,
    testing::Values(FramingCase{"Hex", "hex", kGoodHex + "\n" + kGoodHex + "\n", "--hex"},
                    FramingCase{"Len2", "len2",
                                std::string("\0\x2C", 2) + kTextMessage + std::string("\0\x2C", 2) +
                                    kTextMessage,
                                "--stream len2"},
                    FramingCase{"Len4", "len4",
                                std::string("\0\0\0\x2C", 4) + kTextMessage +
                                    std::string("\0\0\0\x2C", 4) + kTextMessage,
                                "--stream len4"},
                    FramingCase{"Ascii4", "ascii4", "0044" + kTextMessage + "0044" + kTextMessage,
                                "--stream ascii4"},
                    FramingCase{
                        "Dump", "dump",
                        "00000000: 3031 3030 3630 3030 3030 3030 3030 3030  0100600000000000\n"
                        "00000010: 3030 3030 3136 3431 3131 3131 3131 3131  0000164111111111\n"
                        "00000020: 3131 3131 3131 3030 3030 3030            111111000000\n"
                        "\n"
                        "00000000: 3031 3030 3630 3030 3030 3030 3030 3030  0100600000000000\n"
                        "00000010: 3030 3030 3136 3431 3131 3131 3131 3131  0000164111111111\n"
                        "00000020: 3131 3131 3131 3030 3030 3030            111111000000\n",
                        "--dump"}),
    [](const testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

TEST_F(BuildCommand, RawWritesTheMessagesBackToBack) {
    const Result run = Tool("build --out raw " + textPro, kGood + "\n" + kGood + "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kTwice);
}

TEST_F(BuildCommand, Ascii4RefusesAMessageLongerThanFourDigits) {
    const std::string pro =
        Write("long.pro", std::string(kTextPro) + "FIELD=  48;  ANS; 9999; 4; N; Long\n");
    const std::string line = R"({"mti":"0100","fields":{"48":")" + std::string(9990, 'x') + "\"}}";
    const Result run = Tool("build --out ascii4 " + pro, line + "\n" + kGood + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "line 1: 10014 units do not fit the length prefix of ascii4\n");
    EXPECT_EQ(run.out, "0044" + kTextMessage);
}

}  // namespace
