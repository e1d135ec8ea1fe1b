// End-to-end tests of `iso8583 lint`: one line per finding as FILE:LINE: text, and an exit
// status a script can test.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

class LintCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-lint-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    // Runs the tool in the test's folder with args (already quoted where needed).
    Result Tool(const std::string& args, const std::string& redirect = "") {
        const fs::path out = dir / "stdout", err = dir / "stderr";
        if (redirect.empty()) {
            return RunCommand("cd '" + dir.string() + "' && '" + ISO8583_TOOL + "' " + args, out,
                              err);
        }
        // The report goes where redirect says; standard error is still kept.
        const std::string line = "cd '" + dir.string() + "' && '" + ISO8583_TOOL + "' " + args +
                                 " " + redirect + " 2>'" + err.string() + "'";
        const int raw = std::system(line.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", ReadAll(err)};
    }

    fs::path dir;
};

TEST_F(LintCommand, ExamplesHaveNothingToSay) {
    for (const char* name : {"demo.pro", "dialect.pro"}) {
        const Result run = Tool(std::string("lint '") + ISO_EXAMPLES_DIR + "/" + name + "'");
        EXPECT_EQ(run.status, 0) << name << run.out;
        EXPECT_EQ(run.out, "") << name;
        EXPECT_EQ(run.err, "") << name;
    }
}

TEST_F(LintCommand, WhatFormatWroteHasNothingToSay) {
    const std::string pro = Write("messy.pro",
                                  "FIELD_OPTION= 35; BIN_Enc; PBCD\n"
                                  "FIELD=  35;    Z;  37; 2; N; Track 2\n"
                                  "LEN_Enc= CHAR\nOPTION= HEADER; 5\n");
    ASSERT_EQ(Tool("lint messy.pro").status, 0);
    ASSERT_EQ(Tool("format messy.pro -o formatted.pro").status, 0);
    const Result run = Tool("lint formatted.pro");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "");
}

TEST_F(LintCommand, EachFindingIsFileLineAndText) {
    Write("faults.pro",
          "// a comment is no finding\n"
          "NUM_Enc= ASCII\n"
          "\n"
          "FIELD=   7;    n;   3; 0; N; Bad type\n"
          "FIELD=  41;  ANS;   8; 0; N; Terminal\n"
          "FIELD_OPTION= 41; NUM_Enc; PBCD\n"
          "FIELD_OPTION= 0; PAD; LEFT\n");
    const Result run = Tool("lint faults.pro");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{
                  "faults.pro:2: NUM_Enc=ASCII is not a numeric encoding; read as PBCD",
                  "faults.pro:4: field 7: type 'n' unknown; field left undefined",
                  "faults.pro:6: field 41: NUM_Enc applies to N fields, and field 41 is ANS",
                  "faults.pro:7: field '0' is not a field number from 2 to 128; line not read",
              }));
    // The path is named as it was given.
    const Result absolute = Tool("lint '" + (dir / "faults.pro").string() + "'");
    EXPECT_EQ(Lines(absolute.out).at(0),
              (dir / "faults.pro").string() +
                  ":2: NUM_Enc=ASCII is not a numeric encoding; read as PBCD");
}

TEST_F(LintCommand, UnreadableFileExitsWithStatus2) {
    const struct {
        const char* args;
        const char* error;  // standard error, whole
    } cases[] = {
        {"lint missing.pro", "missing.pro: cannot open: No such file or directory\n"},
        {"lint sub", "sub: cannot open: Is a directory\n"},
        {"lint big.pro", "big.pro: too large for a protocol definition\n"},
    };
    fs::create_directories(dir / "sub");
    Write("big.pro", "");
    fs::resize_file(dir / "big.pro", (16u << 20) + 1);
    for (const auto& c : cases) {
        const Result run = Tool(c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(run.err, c.error) << c.args;
    }
}

TEST_F(LintCommand, UsageErrorsAndUnwritableFindingsExitWithStatus2) {
    Write("faults.pro", "NUM_Enc= ASCII\n");
    Write("clean.pro", "NUM_Enc= PBCD\n");
    for (const char* args : {"lint", "lint faults.pro clean.pro", "lint --bogus faults.pro"})
        EXPECT_EQ(Tool(args).status, 2) << args;
    const Result full = Tool("lint faults.pro", ">/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "standard output: cannot write: No space left on device\n");
    // Nothing to write, nothing to fail.
    EXPECT_EQ(Tool("lint clean.pro", ">/dev/full").status, 0);
}

}  // namespace
