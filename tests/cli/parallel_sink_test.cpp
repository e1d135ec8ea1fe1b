// End-to-end tests of `--jobs N`: whatever the input, check and diagnose on several threads
// write what one thread writes, byte for byte, and end with the same status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kExamples = ISO_EXAMPLES_DIR;
const std::string kDemoPro = kExamples + "/demo.pro";

fs::path Dir() {
    return fs::temp_directory_path() / ("iso8583-jobs-" + std::to_string(::getpid()));
}

// Hex of four ASCII letters that differ for each n below 26^4: an MTI no message definition has.
std::string UnknownMti(int n) {
    std::string hex;
    for (int scale : {1, 26, 676, 17576}) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", 'A' + n / scale % 26);
        hex += pair;
    }
    return hex;
}

// The demo messages over and over (passed, failed, undecodable, with card numbers to mask),
// with unknown MTIs that make over 1000 distinct verdicts in every block, blank lines, bad digits,
// too long lines and messages shorter than a header: several blocks' worth of every kind.
std::string GeneratedMessages() {
    const std::vector<std::string> demo = Lines(ReadAll(kExamples + "/demo-messages.hex"));
    std::string text;
    for (int i = 0; i < 7000; ++i) {
        const std::string& line = demo[i % demo.size()];
        text += i % 7 < 4 ? UnknownMti(i) + demo[0].substr(8) : line;
        text += '\n';
        if (i % 97 == 0) text += "  \t\r\n";
        if (i % 101 == 0) text += "zz\n";
        if (i % 211 == 0) text += "3032\n";
        if (i % 1999 == 0) text += std::string(70000, '0') + "\n";
    }
    return text + std::string(200000, '1') + "\n" + demo[0] + "\n";
}

class JobsEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        fs::create_directories(Dir());
        std::ofstream(Dir() / "generated.hex", std::ios::binary) << GeneratedMessages();
    }
    void TearDown() override { fs::remove_all(Dir()); }
};

const testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new JobsEnvironment);

// Runs a shell command line in the folder of generated.hex; $TOOL is the tool.
Result Shell(const std::string& line) {
    return RunCommand(
        "cd '" + Dir().string() + "' && export TOOL='" + ISO8583_TOOL + "' && " + line,
        Dir() / "stdout", Dir() / "stderr");
}

struct JobsCase {
    const char* name;
    std::string args;  // run in the folder of generated.hex
};

void PrintTo(const JobsCase& param, std::ostream* out) {
    *out << param.args;
}

class SameOutput : public testing::TestWithParam<JobsCase> {};

TEST_P(SameOutput, WithTwoOrAnyThreadsAsWithOne) {
    const std::string line = "\"$TOOL\" " + GetParam().args;
    const Result one = Shell(line);
    EXPECT_GT(one.out.size(), 0u);
    for (const char* jobs : {" --jobs 2", " --jobs 3", " --jobs 0"}) {
        const Result many = Shell(line + jobs);
        EXPECT_EQ(many.status, one.status) << jobs;
        EXPECT_EQ(many.err, one.err) << jobs;
        EXPECT_TRUE(many.out == one.out) << jobs << ": the reports differ";
    }
}

const std::string kDemoHex = kExamples + "/demo-messages.hex";
const std::string kDiagnoseHex = kExamples + "/diagnose-messages.hex";

INSTANTIATE_TEST_SUITE_P(
    Jobs, SameOutput,
    testing::Values(JobsCase{"DemoRows", "check --hex " + kDemoPro + " " + kDemoHex},
                    JobsCase{"DemoJson", "check --hex --json " + kDemoPro + " " + kDemoHex},
                    JobsCase{"DemoSummary", "check --hex --summary " + kDemoPro + " " + kDemoHex},
                    JobsCase{"DemoDiagnose", "diagnose --hex " + kDemoPro + " " + kDiagnoseHex},
                    JobsCase{"GeneratedRows", "check --hex " + kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedJson", "check --hex --json " + kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedSummaryOfOtherVerdicts",
                             "check --hex --summary " + kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedUnmasked", "check --hex --no-mask --mask-field 41 " +
                                                      kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedShorterThanHeader",
                             "check --hex --header 5 " + kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedAsCharacters", "check " + kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedAsDumps", "check --dump " + kDemoPro + " generated.hex"},
                    JobsCase{"InputsInOrderAndOneMissing",
                             "check --hex --summary " + kDemoPro +
                                 " generated.hex missing - generated.hex <" + kDemoHex},
                    JobsCase{"GeneratedDiagnose", "diagnose --hex " + kDemoPro + " generated.hex"},
                    JobsCase{"GeneratedDiagnoseJson",
                             "diagnose --hex --json --no-mask " + kDemoPro + " generated.hex"}),
    [](const testing::TestParamInfo<JobsCase>& info) { return info.param.name; });

TEST(Jobs, UnwritableReportStopsWithStatus2AndClosedPipeEndsQuietly) {
    for (const char* command : {"check", "diagnose"}) {
        const std::string args =
            std::string(command) + " --jobs 2 --hex " + kDemoPro + " generated.hex";
        const Result full = Shell("{ \"$TOOL\" " + args + " >/dev/full; }");
        EXPECT_EQ(full.status, 2);
        EXPECT_EQ(full.err, "iso8583 " + std::string(command) +
                                ": cannot write the report: No space left on device\n");
        const Result head =
            Shell("bash -c '\"$TOOL\" " + args + " | head -1; echo ${PIPESTATUS[0]}'");
        EXPECT_EQ(Lines(head.out).back(), "141");  // 128 + SIGPIPE
        EXPECT_EQ(head.err, "");
    }
}

}  // namespace
