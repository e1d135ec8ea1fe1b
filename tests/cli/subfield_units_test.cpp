// Every subfield `check --json` reports lies where it says: its units, taken from the raw
// message, end with its value and lie inside the value of what holds it, after the subfield
// before it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// How a value is written in the message.
enum class Written { kBytes, kEbcdic, kPacked };

struct Example {
    const char* name;
    std::string pro;  // a path, or the text of a definition
    std::string hex;
    std::map<std::string, Written> written;  // by path, for the path and those below it
    int subfields;                           // at every depth, over all messages
    int halfBytes;                           // subfields that start or end mid-byte
};

// Field 90 as five numbers under NUM_Enc= PBCD: 90.4 ends and 90.5 starts mid-byte.
const char kPackedPro[] =
    "MTI_Enc= PBCD\nBMP_Enc= NONE\nLEN_Enc= PBCD\nNUM_Enc= PBCD\nCHR_Enc= ASCII\nBIN_Enc= NONE\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "FIELD=  90;    N;  42; 0; Y; Original data elements\n"
    "MSG=0200;20000000000000000000000000000000;80000000000000000000004000000000;Request\n"
    "STRUCTURE= 90; POSITIONAL\n"
    "SUBFIELD= 90.1; N; 4; 0; N; Type\nSUBFIELD= 90.2; N; 6; 0; N; Trace\n"
    "SUBFIELD= 90.3; N; 10; 0; N; Time\nSUBFIELD= 90.4; N; 11; 0; N; Acquirer\n"
    "SUBFIELD= 90.5; N; 11; 0; N; Forwarder\n";

const Example kExamples[] = {
    {"TextDialect",
     ISO_EXAMPLES_DIR "/subfields.pro",
     ReadAll(ISO_EXAMPLES_DIR "/subfields-messages.hex"),
     {},
     21,
     0},
    {"BinaryDialect",
     ISO_EXAMPLES_DIR "/subfields-binary.pro",
     ReadAll(ISO_EXAMPLES_DIR "/subfields-binary-messages.hex"),
     {{"62.1", Written::kEbcdic},
      {"62.2", Written::kPacked},
      {"62.3", Written::kEbcdic},
      {"62.5", Written::kPacked}},
     6,
     0},
    {"PackedDigits",
     kPackedPro,
     "0200A0000000000000000000004000000000000000010000012312312359590000001234500000000000\n",
     {{"90", Written::kPacked}},
     5,
     2},
};

std::string HexOf(const std::string& bytes) {
    std::string hex;
    for (unsigned char b : bytes) {
        hex.push_back("0123456789ABCDEF"[b >> 4]);
        hex.push_back("0123456789ABCDEF"[b & 15]);
    }
    return hex;
}

char Ebcdic(char c) {
    if (c >= '0' && c <= '9') return static_cast<char>(0xF0 + c - '0');
    if (c >= 'A' && c <= 'I') return static_cast<char>(0xC1 + c - 'A');
    if (c >= 'J' && c <= 'R') return static_cast<char>(0xD1 + c - 'J');
    if (c >= 'S' && c <= 'Z') return static_cast<char>(0xE2 + c - 'S');
    return c == ' ' ? '\x40' : '\0';
}

// Nibbles [first, last) of the message.
struct Span {
    int first;
    int last;
};

Span SpanOf(const json& node) {
    if (node.contains("nibble_offset")) {
        const int first = node["nibble_offset"];
        return {first, first + node["nibbles"].get<int>()};
    }
    const int offset = node["offset"];
    return {2 * offset, 2 * (offset + node["consumed"].get<int>())};
}

class Walk {
  public:
    Walk(const std::string& hexLine, const Example& of) : hex(hexLine), example(of) {}

    // Checks a field or subfield, then what is inside it.
    void Check(const json& node, const std::string& id) {
        SCOPED_TRACE(id);
        const Span whole = SpanOf(node);
        ASSERT_LE(whole.last, static_cast<int>(hex.size()));
        const Written how = WrittenAs(id);
        const int length = node["length"];
        const Span value{whole.last - (how == Written::kPacked ? length : 2 * length), whole.last};
        ASSERT_GE(value.first, whole.first);
        const std::string units = hex.substr(value.first, value.last - value.first);
        const std::string shown = node["value"];
        if (how == Written::kBytes) {
            EXPECT_EQ(units, node["hex"].get<std::string>());
        } else if (how == Written::kPacked) {
            EXPECT_EQ(units, shown);
        } else {
            for (int i = 0; i < length; ++i)
                EXPECT_EQ(std::stoi(units.substr(2 * i, 2), nullptr, 16) & 0xFF,
                          Ebcdic(shown[i]) & 0xFF);
        }
        if (node.contains("tag") && how == Written::kBytes) {
            const std::string tag = HexOf(node["tag"]);
            EXPECT_EQ(hex.substr(whole.first, tag.size()), tag) << "the units start at the tag";
        }
        if (!node.contains("subfields")) return;
        int previous = value.first;
        for (const json& child : node["subfields"]) {
            const Span span = SpanOf(child);
            EXPECT_GE(span.first, previous) << child["id"] << " overlaps what comes before it";
            EXPECT_LE(span.last, value.last) << child["id"] << " runs out of " << id;
            previous = span.last;
            ++count;
            if (child.contains("nibble_offset")) ++halfBytes;
            Check(child, child["id"]);
        }
    }

    int count = 0;
    int halfBytes = 0;

  private:
    Written WrittenAs(std::string id) const {
        for (;;) {
            const auto found = example.written.find(id);
            if (found != example.written.end()) return found->second;
            const auto dot = id.rfind('.');
            if (dot == std::string::npos) return Written::kBytes;
            id.resize(dot);
        }
    }

    std::string hex;  // the message's nibbles, upper case
    const Example& example;
};

void PrintTo(const Example& example, std::ostream* out) {
    *out << example.name;
}

class ToolDir : public testing::Test {
  protected:
    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = fs::temp_directory_path() /
              ("iso8583-subfields-" + std::to_string(::getpid()) + "-" + name);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }

    Result Check(const std::string& args, const std::string& pro, const std::string& hex) {
        return RunCommand(std::string("'") + ISO8583_TOOL + "' check " + args + " '" + pro + "' '" +
                              Write("x.hex", hex) + "'",
                          dir / "stdout", dir / "stderr");
    }

    fs::path dir;
};

class SubfieldUnits : public ToolDir, public testing::WithParamInterface<Example> {};

TEST_P(SubfieldUnits, EachSubfieldsUnitsEndWithItsValueInsideItsParent) {
    const Example& example = GetParam();
    const bool path = example.pro.find('\n') == std::string::npos;
    const std::string pro = path ? example.pro : Write("x.pro", example.pro);
    const Result run = Check("--json --hex --no-mask", pro, example.hex);
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    const std::vector<std::string> hexLines = Lines(example.hex);
    const std::vector<std::string> reports = Lines(run.out);
    ASSERT_EQ(reports.size(), hexLines.size());
    int count = 0;
    int halfBytes = 0;
    for (std::size_t m = 0; m < reports.size(); ++m) {
        std::string hex = hexLines[m];
        std::transform(hex.begin(), hex.end(), hex.begin(), ::toupper);
        Walk walk(hex, example);
        const json report = json::parse(reports[m]);
        for (const json& field : report["fields"]) {
            if (field.contains("subfields"))
                walk.Check(field, std::to_string(field["number"].get<int>()));
        }
        count += walk.count;
        halfBytes += walk.halfBytes;
    }
    EXPECT_EQ(count, example.subfields);
    EXPECT_EQ(halfBytes, example.halfBytes);
}

INSTANTIATE_TEST_SUITE_P(Examples, SubfieldUnits, testing::ValuesIn(kExamples),
                         [](const auto& info) { return std::string(info.param.name); });

// A tag is written as the message has it: its bytes escaped as the values' are.
TEST_F(ToolDir, RowsEscapeTheControlBytesOfATag) {
    const std::string pro = Write(
        "x.pro",
        "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\n"
        "FIELD= 48; ANS; 99; 2; Y; Private\nSTRUCTURE= 48; TAGGED; TAG 2; LEN 2\n"
        "MSG=0200;00000000000100000000000000000000;00000000000000000000000000000000;Request\n");
    // MTI, bitmap, then field 48: 5 characters, an element of tag ESC [ and length 1.
    const Result run = Check("--hex", pro, HexOf("0200000000000001000005\x1B[01X") + "\n");
    EXPECT_NE(run.out.find("48.\\x1B[  unknown  1  X"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
}

}  // namespace
