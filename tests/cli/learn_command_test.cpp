// End-to-end tests of `iso8583 learn` and `iso8583 import --messages`: the MSG lines learned
// from traffic, the counts on standard error, the written definition and the exit status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoPro = ISO_EXAMPLES_DIR "/demo.pro";
const std::string kDemoHex = ISO_EXAMPLES_DIR "/demo-messages.hex";
const std::string kDialectPro = ISO_EXAMPLES_DIR "/dialect.pro";
const std::string kDialectHex = ISO_EXAMPLES_DIR "/dialect-messages.hex";

class LearnCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-learn-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    // Runs the tool in the test's folder with args (already quoted where needed), its standard
    // input the given text.
    Result Tool(const std::string& args, const std::string& input = "") {
        const fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
        std::ofstream(in, std::ios::binary) << input;
        // Grouped, so that a redirection in args wins over the group's own.
        return RunCommand("cd '" + dir.string() + "' && { '" + ISO8583_TOOL + "' " + args + " <'" +
                              in.string() + "'; }",
                          out, err);
    }

    fs::path dir;
};

// The lines of demo-messages.hex numbered from 1.
std::string DemoLines(const std::vector<int>& numbers) {
    const std::vector<std::string> lines = Lines(ReadAll(kDemoHex));
    std::string picked;
    for (int n : numbers)
        picked += lines.at(static_cast<std::size_t>(n - 1)) + "\n";
    return picked;
}

// A text dialect as a jPOS generic packager, and traffic in it.
const char kPackager[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<isopackager>\n"
    "  <isofield id=\"0\" length=\"4\" name=\"MTI\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
    "  <isofield id=\"1\" length=\"16\" name=\"BITMAP\" class=\"org.jpos.iso.IFA_BITMAP\"/>\n"
    "  <isofield id=\"2\" length=\"19\" name=\"PAN\" class=\"org.jpos.iso.IFA_LLNUM\"/>\n"
    "  <isofield id=\"3\" length=\"6\" name=\"PROCESSING CODE\" "
    "class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
    "  <isofield id=\"4\" length=\"12\" name=\"AMOUNT\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
    "  <isofield id=\"11\" length=\"6\" name=\"STAN\" class=\"org.jpos.iso.IFA_NUMERIC\"/>\n"
    "  <isofield id=\"41\" length=\"8\" name=\"TERMINAL ID\" class=\"org.jpos.iso.IF_CHAR\"/>\n"
    "</isopackager>\n";

const char kTextTraffic[] =
    "02007020000000800000164111111111111111000000000000001000000123TERM0001\n"
    "0200700000000080000016411111111111111100000000000000100000TERM0001\n"
    "02107020000000800000164111111111111111000000000000001000000123TERM0001\n";

TEST_F(LearnCommand, ProposesTheMasksOfTheDemoTrafficFromStandardInput) {
    const Result run = Tool("learn --hex " + kDemoPro, DemoLines({1, 2, 3, 16}));
    EXPECT_EQ(run.status, 0) << run.err;
    // 0200: 2, 3, 4, 11 and 41 in every message, 55 in two of three; 0210: the fields of line 3.
    EXPECT_EQ(run.out,
              "MSG=0200;70200000008000000000000000000000;00000000000002000000000000000000;"
              "Financial request\n"
              "MSG=0210;70200000008000000000000000000000;00000000000000000000000000000000;"
              "Learned from 1 message\n");
    EXPECT_EQ(run.err,
              "4 messages read\n"
              "0200: 3 messages, 0 failed to decode\n"
              "0210: 1 message, 0 failed to decode\n");
}

TEST_F(LearnCommand, MessagesThatFailedToDecodeAreCountedLeftOutAndFailTheRun) {
    const Result run = Tool("learn --hex " + kDemoPro + " " + kDemoHex);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "16 messages read\n"
              "0200: 10 messages, 4 failed to decode\n"
              "0210: 2 messages, 0 failed to decode\n"
              "0400: 1 message, 0 failed to decode\n"
              "no MTI: 3 messages, failed to decode\n");
    // Field 7 of line 7 stopped its decode: it is in neither mask. Field 11 is missing from
    // line 5 and the second bitmap is in line 11 only.
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{
                  "MSG=0200;70000000008000000000000000000000;80200000000002000000000000000000;"
                  "Financial request",
                  "MSG=0210;70200000008000000000000000000000;00000000000002000000000000000000;"
                  "Learned from 2 messages",
                  "MSG=0400;70200000008000000000000000000000;00000000000000000000000000000000;"
                  "Learned from 1 message"}));
}

TEST_F(LearnCommand, OutputReplacesTheMsgOfTheSameMtiAndKeepsTheRestOfTheFile) {
    // As the writer writes it: -o writes the whole definition through the writer.
    ASSERT_EQ(Tool("format " + kDialectPro + " -o def.pro").status, 0);
    const std::string original = ReadAll(dir / "def.pro");
    const Result run = Tool("learn --hex def.pro " + kDialectHex + " -o out.pro");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> before = Lines(original);
    const std::vector<std::string> after = Lines(ReadAll(dir / "out.pro"));
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].starts_with("MSG=0200;")) {
            EXPECT_EQ(after[i],
                      "MSG=0200;7020040120A012060000000000000000;"
                      "00000000000000000000000000000000;Financial request");
        } else if (before[i].starts_with("MSG=0420;")) {
            EXPECT_EQ(after[i],
                      "MSG=0420;F0200001008000000000000000000002;"
                      "00000000000000000000000000000000;Reversal advice");
        } else {
            EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
        }
    }
    // The traffic passes the definition learned from it.
    EXPECT_EQ(Tool("check --hex --summary out.pro " + kDialectHex).status, 0);
    // The definition itself may be the output.
    EXPECT_EQ(Tool("learn --hex def.pro " + kDialectHex + " -o def.pro").status, 0);
    EXPECT_EQ(ReadAll(dir / "def.pro"), ReadAll(dir / "out.pro"));
}

TEST_F(LearnCommand, DefinitionsHeaderStandsUnlessTheOptionSaysOtherwise) {
    Write("header.pro", ReadAll(kDemoPro) + "OPTION= HEADER; 5\n");
    std::string input;
    for (const std::string& line : Lines(DemoLines({1, 3})))
        input += "6000030000" + line + "\n";
    const Result own = Tool("learn --hex header.pro", input);
    EXPECT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(Lines(own.out).size(), 2u);
    EXPECT_EQ(Tool("learn --hex --header 5 " + kDemoPro, input).out, own.out);

    const Result none = Tool("learn --hex --header 0 header.pro", input);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "2 messages read\nno MTI: 2 messages, failed to decode\n");
}

TEST_F(LearnCommand, BadArgumentsUnreadableInputAndUnwritableOutputExitWithStatus2) {
    Write("lines.hex", DemoLines({1, 3}));
    Write("packager.xml", kPackager);
    const std::string cases[] = {
        "learn",
        "learn --hex missing.pro lines.hex",
        "learn --hex " + kDemoPro + " lines.hex missing.hex",
        "learn --hex " + kDemoPro + " lines.hex . -o out.pro",
        "learn --hex --raw " + kDemoPro + " lines.hex",
        "learn --stream len3 " + kDemoPro + " lines.hex",
        "learn --hex " + kDemoPro + " lines.hex -o missing/out.pro",
        "learn --hex " + kDemoPro + " lines.hex >/dev/full",
        "import packager.xml --hex -o out.pro",
    };
    for (const std::string& args : cases) {
        const Result run = Tool(args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.err;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_FALSE(fs::exists(dir / "out.pro")) << args;
    }
    EXPECT_NE(Tool("learn --hex " + kDemoPro + " lines.hex missing.hex").err.find("missing.hex: "),
              std::string::npos);
    EXPECT_NE(Tool("learn --hex " + kDemoPro + " lines.hex >/dev/full").err.find("standard output"),
              std::string::npos);
}

TEST_F(LearnCommand, ImportLearnsTheMessageDefinitionsFromTheMessagesGiven) {
    Write("packager.xml", kPackager);
    Write("traffic.txt", kTextTraffic);
    const Result run = Tool("import packager.xml --messages traffic.txt -o out.pro");
    if (run.err.find("not built yet") != std::string::npos) {
        GTEST_SKIP() << "jPOS packagers cannot be imported yet";
    }
    ASSERT_NE(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("3 messages read\n0200: 2 messages, 0 failed to decode\n"
                           "0210: 1 message, 0 failed to decode\n"),
              std::string::npos)
        << run.err;
    const std::string written = ReadAll(dir / "out.pro");
    EXPECT_NE(written.find("MSG=0200;70000000008000000000000000000000;"
                           "00200000000000000000000000000000;Learned from 2 messages\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("MSG=0210;70200000008000000000000000000000;"
                           "00000000000000000000000000000000;Learned from 1 message\n"),
              std::string::npos)
        << written;
    // Unreadable traffic fails the import whole.
    EXPECT_EQ(Tool("import packager.xml --messages missing.txt -o other.pro").status, 2);
    EXPECT_FALSE(fs::exists(dir / "other.pro"));
}

}  // namespace
