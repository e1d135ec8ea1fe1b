// `iso8583 convert` run as a process over dialects written by the test: the two default
// dialects of pyiso8583 (ASCII: character MTI, hex-text bitmap, ASCII lengths and numbers;
// binary: the same with a binary bitmap) and dialects derived from them (packed numbers and
// lengths, binary lengths, EBCDIC text, numbers held in binary, mixes). Random messages are
// built under one, converted to another and back, and must come back byte for byte, their
// values unchanged on the way.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kExamples = ISO_EXAMPLES_DIR;

struct Dialect {
    const char* name;
    const char* mti;
    const char* bitmap;
    const char* lengths;
    const char* numbers;
    const char* text;
    const char* binary;
};

const Dialect kDialects[] = {
    {"ascii", "CHAR", "HEX", "CHAR", "CHAR", "ASCII", "NONE"},    // pyiso8583's default_ascii
    {"binary", "CHAR", "NONE", "CHAR", "CHAR", "ASCII", "NONE"},  // pyiso8583's default
    {"packed", "PBCD", "NONE", "PBCD", "PBCD", "ASCII", "NONE"},
    {"bigend", "CHAR", "NONE", "BIGEND", "CHAR", "ASCII", "NONE"},
    {"ebcdic", "CHAR", "HEX", "CHAR", "CHAR", "EBCDIC", "NONE"},
    {"mixed", "PBCD", "NONE", "BIGEND", "PBCD", "EBCDIC", "HEX"},
    {"bits", "CHAR", "CHAR", "HEX", "BIGEND", "ASCII", "CHAR"},
};

struct FieldShape {
    int number;
    const char* type;
    int size;
    int sizeLen;
};

// Fixed and variable fields of each kind, an odd digit count, and two of the secondary bitmap.
const FieldShape kFields[] = {
    {2, "N", 19, 2},   {3, "N", 6, 0},     {4, "N", 12, 0},     {7, "N", 10, 0},
    {11, "N", 6, 0},   {22, "N", 3, 0},    {32, "N", 11, 2},    {37, "AN", 12, 0},
    {41, "ANS", 8, 0}, {43, "ANS", 40, 0}, {48, "ANS", 999, 3}, {52, "B", 8, 0},
    {55, "B", 255, 3}, {70, "N", 3, 0},    {102, "ANS", 28, 2}, {128, "B", 8, 0},
};

std::string ProText(const Dialect& d) {
    std::string text = std::string("NAME= ") + d.name + "\nMTI_Enc= " + d.mti +
                       "\nBMP_Enc= " + d.bitmap + "\nLEN_Enc= " + d.lengths +
                       "\nNUM_Enc= " + d.numbers + "\nCHR_Enc= " + d.text +
                       "\nBIN_Enc= " + d.binary + "\n";
    for (const FieldShape& f : kFields) {
        text += "FIELD= " + std::to_string(f.number) + "; " + f.type + "; " +
                std::to_string(f.size) + "; " + std::to_string(f.sizeLen) + "; N; Field " +
                std::to_string(f.number) + "\n";
    }
    return text;
}

using Values = std::map<int, std::string>;  // field number to the value as check shows it

class Generator {
  public:
    explicit Generator(unsigned seed) : rng(seed) {}

    Values Message() {
        Values values;
        for (const FieldShape& f : kFields) {
            if (f.number == 3 || f.number == 11 || Pick(2) == 0) values[f.number] = Value(f);
        }
        return values;
    }

  private:
    int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

    std::string From(const std::string& alphabet, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text.push_back(
                alphabet[static_cast<std::size_t>(Pick(static_cast<int>(alphabet.size())))]);
        return text;
    }

    std::string Value(const FieldShape& f) {
        const bool fixed = f.sizeLen == 0;
        const std::string type = f.type;
        if (type == "N") {
            if (fixed) return From("0123456789", f.size);
            // A variable number held in binary keeps no leading zero.
            return From("123456789", 1) + From("0123456789", Pick(f.size));
        }
        if (type == "B") return From("0123456789ABCDEF", 2 * (fixed ? f.size : 1 + Pick(40)));
        const int count = fixed ? f.size : 1 + Pick(std::min(f.size, 60));
        return From(type == "AN"
                        ? "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                        : "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .-/",
                    count);
    }

    std::mt19937 rng;
};

std::string ShortForm(const std::string& mti, const Values& values) {
    nlohmann::json fields = nlohmann::json::object();
    for (const auto& [n, value] : values)
        fields[std::to_string(n)] = value;
    return nlohmann::json{{"mti", mti}, {"fields", fields}}.dump();
}

class ConvertCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("iso8583-convert-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    Result Tool(const std::string& args) {
        return RunCommand(
            "cd '" + dir.string() + "' && '" + std::string(ISO8583_TOOL) + "' " + args,
            dir / "stdout", dir / "stderr");
    }

    // The values check shows of each message of a file of hexadecimal lines; a number held in
    // binary, which check shows as its bytes, by its digits.
    std::vector<Values> Shown(const std::string& pro, const std::string& hex,
                              const Dialect& dialect) {
        const Result run = Tool("check --hex --json --no-mask " + pro + " " + hex);
        std::vector<Values> messages;
        for (const std::string& line : Lines(run.out)) {
            Values values;
            const nlohmann::json message = nlohmann::json::parse(line);
            for (const auto& field : message["fields"]) {
                const int n = field["number"].get<int>();
                values[n] = std::string(dialect.numbers) == "BIGEND" && IsNumber(n)
                                ? Digits(field["hex"], n)
                                : field["value"].get<std::string>();
            }
            messages.push_back(values);
        }
        return messages;
    }

    static bool IsNumber(int n) {
        for (const FieldShape& f : kFields) {
            if (f.number == n) return std::string(f.type) == "N";
        }
        return false;
    }

    // The decimal digits of a number held in binary: the decoder gives d bytes for d digits,
    // the number in the first bytes its digits need and zeros after them.
    static std::string Digits(const std::string& hex, int n) {
        const std::size_t d = hex.size() / 2;
        const auto bytes =
            static_cast<std::size_t>(std::ceil(static_cast<double>(d) / std::log10(256.0)));
        const unsigned long long number = std::stoull(hex.substr(0, 2 * bytes), nullptr, 16);
        std::string digits = std::to_string(number);
        for (const FieldShape& f : kFields) {
            if (f.number == n && f.sizeLen == 0 && digits.size() < static_cast<std::size_t>(f.size))
                digits.insert(0, static_cast<std::size_t>(f.size) - digits.size(), '0');
        }
        return digits;
    }

    fs::path dir;
};

struct Pair {
    int from;
    int into;
};

void PrintTo(const Pair& p, std::ostream* out) {
    *out << p.from << " into " << p.into;
}

class ConvertRoundTrip : public ConvertCommand, public testing::WithParamInterface<Pair> {};

TEST_P(ConvertRoundTrip, ThereAndBackGivesTheSameBytesAndTheSameValues) {
    const Dialect& a = kDialects[GetParam().from];
    const Dialect& b = kDialects[GetParam().into];
    Write("a.pro", ProText(a));
    Write("b.pro", ProText(b));
    Generator generate(static_cast<unsigned>(GetParam().from * 31 + GetParam().into));
    const char* mtis[] = {"0100", "0200", "0210", "0420", "0800"};
    std::vector<Values> given;
    std::string lines;
    for (int i = 0; i < 60; ++i) {
        given.push_back(generate.Message());
        lines += ShortForm(mtis[i % 5], given.back()) + "\n";
    }
    Write("messages.jsonl", lines);

    const Result built = Tool("build -o a.hex a.pro messages.jsonl");
    ASSERT_EQ(built.status, 0) << built.err;
    const Result there = Tool("convert --hex --into b.pro -o b.hex a.pro a.hex");
    ASSERT_EQ(there.status, 0) << there.err;
    const Result again = Tool("convert --hex --into a.pro b.pro b.hex");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, ReadAll(dir / "a.hex"));
    EXPECT_EQ(Shown("b.pro", "b.hex", b), given) << a.name << " into " << b.name;
    EXPECT_NE(ReadAll(dir / "a.hex"), ReadAll(dir / "b.hex"));
}

INSTANTIATE_TEST_SUITE_P(Dialects, ConvertRoundTrip,
                         testing::Values(Pair{0, 1}, Pair{1, 0}, Pair{0, 2}, Pair{2, 3}, Pair{3, 0},
                                         Pair{0, 4}, Pair{4, 5}, Pair{5, 1}, Pair{1, 6},
                                         Pair{6, 2}),
                         [](const testing::TestParamInfo<Pair>& info) {
                             return std::string(kDialects[info.param.from].name) + "_into_" +
                                    kDialects[info.param.into].name;
                         });

// A dialect whose bitmap always has both halves writes them whatever bit 1 says: messages with
// no field above 64 go over and come back all the same.
TEST_F(ConvertCommand, ABitmapFixedAt128BitsIsReadWholeWithBit1Clear) {
    Write("fixed.pro", ProText(kDialects[1]) + "OPTION= BITMAP; FIXED128\n");
    Write("plain.pro", ProText(kDialects[0]));
    Write("messages.jsonl", ShortForm("0200", {{3, "000000"}, {4, "000000001000"}}) + "\n" +
                                ShortForm("0200", {{3, "000000"}, {70, "301"}}) + "\n");
    const Result built = Tool("build -o fixed.hex fixed.pro messages.jsonl");
    ASSERT_EQ(built.status, 0) << built.err;
    const Result there = Tool("convert --hex --into plain.pro -o plain.hex fixed.pro fixed.hex");
    ASSERT_EQ(there.status, 0) << there.err;
    const Result back = Tool("convert --hex --into fixed.pro plain.pro plain.hex");
    ASSERT_EQ(back.status, 0) << back.err;
    // Field 70 came back under a bitmap whose bit 1 the other dialect had to set.
    const std::vector<std::string> fixed = Lines(ReadAll(dir / "fixed.hex"));
    const std::vector<std::string> again = Lines(back.out);
    ASSERT_EQ(again.size(), 2u) << back.out;
    EXPECT_EQ(again[0], fixed.at(0));
    EXPECT_EQ(again[1], fixed.at(1).substr(0, 8) + "A" + fixed.at(1).substr(9));
}

// Field 48's elements written with 3-digit lengths, field 127's bitmap as hex text: the
// subfields are given over one by one, and come back to the bytes they were.
TEST_F(ConvertCommand, SubfieldsAreGivenOverWhereBothDeclareAStructure) {
    std::string other = ReadAll(kExamples + "/subfields.pro");
    const std::string tagged = "STRUCTURE= 48; TAGGED; HEAD 1; TAG 2; LEN 2";
    ASSERT_NE(other.find(tagged), std::string::npos);
    other.replace(other.find(tagged), tagged.size(), "STRUCTURE= 48; TAGGED; HEAD 1; TAG 2; LEN 3");
    Write("other.pro", other);
    const std::string pro = kExamples + "/subfields.pro";
    const std::string hex = kExamples + "/subfields-messages.hex";
    // Message 3's field 48 does not read whole under its structure: it goes over as one value,
    // which the other definition takes as it is.
    const Result there = Tool("convert --hex --into other.pro -o other.hex " + pro + " " + hex);
    ASSERT_EQ(there.status, 0) << there.err;
    const Result shown = Tool("check --hex --json --no-mask other.pro other.hex");
    const nlohmann::json first = nlohmann::json::parse(Lines(shown.out).at(0));
    std::map<std::string, std::string> values;
    for (const auto& field : first["fields"]) {
        for (const auto& sub : field.value("subfields", nlohmann::json::array()))
            values[sub["id"]] = sub["value"];
    }
    EXPECT_EQ(values["48.01"], "INV-20261231-0042");
    EXPECT_EQ(values["48.10"], "5555555555554444");
    const Result back = Tool("convert --hex --into " + pro + " other.pro other.hex");
    ASSERT_EQ(back.status, 0) << back.err;
    std::string expected;
    for (const std::string& line : Lines(ReadAll(hex)))
        expected += line + "\n";
    for (char& c : expected)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(back.out, expected);
}

TEST_F(ConvertCommand, MessagesThatDoNotDecodeExactlyOrDoNotFitAreReportedAndSkipped) {
    // The demo dialect without field 11 and with card numbers of at most 15 digits.
    std::string other = ReadAll(kExamples + "/demo.pro");
    const std::size_t eleven = other.find("FIELD=  11;");
    ASSERT_NE(eleven, std::string::npos);
    other.erase(eleven, other.find('\n', eleven) + 1 - eleven);
    const std::size_t two = other.find("FIELD=   2;    N;  19;");
    ASSERT_NE(two, std::string::npos);
    other.replace(two, 22, "FIELD=   2;    N;  15;");
    Write("other.pro", other);
    const Result run = Tool("convert --hex --into other.pro " + kExamples + "/demo.pro " +
                            kExamples + "/demo-messages.hex");
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> err = Lines(run.err);
    const auto said = [&err](const std::string& line) {
        return std::find(err.begin(), err.end(), line) != err.end();
    };
    EXPECT_TRUE(said("message 1: field 2: 16 digits, at most 15")) << run.err;
    EXPECT_TRUE(said("message 3: field 11 is not defined")) << run.err;
    EXPECT_TRUE(said("message 8: does not decode: Error reading or converting field n\u00b0 41"))
        << run.err;
    EXPECT_TRUE(said("message 12: does not decode exactly: 2 units after the last field"))
        << run.err;
    EXPECT_TRUE(said("message 14: odd number of hexadecimal digits")) << run.err;
    EXPECT_EQ(run.out, "");  // every message has a card number of 16 digits or lacks field 11
}

// A header set aside from the input goes over with the message unless --out-header replaces
// or (empty) drops it.
struct HeaderCase {
    const char* name;
    const char* options;
    const char* expected;  // before the message
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.name;
}

class ConvertHeader : public ConvertCommand, public testing::WithParamInterface<HeaderCase> {};

TEST_P(ConvertHeader, GoesOverAsAsked) {
    const std::string message =
        "3032303070200000008000001041111111111111110000000000000010000001235445524D30303031";
    Write("in.hex", "6000030000" + message + "\n");
    const Result run = Tool(std::string("convert --hex --header 5 ") + GetParam().options +
                            " --into " + kExamples + "/demo.pro " + kExamples + "/demo.pro in.hex");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, GetParam().expected + message + "\n");
}

INSTANTIATE_TEST_SUITE_P(Convert, ConvertHeader,
                         testing::Values(HeaderCase{"Kept", "", "6000030000"},
                                         HeaderCase{"Replaced", "--out-header 12", "12"},
                                         HeaderCase{"Dropped", "--out-header ''", ""}),
                         [](const testing::TestParamInfo<HeaderCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
