// The reports byte for byte as the writers before the streaming ones wrote them (golden files
// those wrote), on random messages: the examples' messages mutated at random, the benchmark
// corpora, and text messages rich in card numbers, tracks, subfields, data objects, control
// characters and bytes that are no ASCII. The JSON escaping against nlohmann's dump on random
// bytes, and every JSON line against nlohmann's reading of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "acquirer_corpus.h"
#include "cli/checker.h"
#include "cli/diagnose_report.h"
#include "cli/diagnose_sink.h"
#include "cli/json_writer.h"
#include "cli/report_json.h"
#include "cli/report_output.h"
#include "cli/report_rows.h"
#include "cli/text_window.h"
#include "model/pro_text_io.h"
#include "random_fields_corpus.h"
#include "support/text.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> HexMessages(const std::string& lines) {
    std::vector<std::string> messages;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        std::string units(line.size() / 2, '\0');
        DecodeHex(static_cast<int>(line.size()), reinterpret_cast<std::uint8_t*>(units.data()),
                  line.data(), static_cast<int>(units.size()));
        messages.push_back(units);
    }
    return messages;
}

// Bytes of every kind a value can hold: digits (card numbers among them), text, the characters
// JSON escapes, control characters, UTF-8 well formed and not, bytes past 0x7F.
std::string RandomBytes(std::mt19937& random, int count) {
    static const char* const kPieces[] = {
        "4111111111111111",
        "5500000000000004",
        "378282246310005",
        "0",
        "7",
        "ABC",
        " ",
        "\"",
        "\\",
        "/",
        "\t",
        "\n",
        "\r",
        "\b",
        "\f",
        "\x01",
        "\x1f",
        "\x7f",
        "é",
        "€",
        "😀",
        "\xc3",
        "\xe2\x82",
        "\xf0\x9f\x98",
        "\xed\xa0\x80",
        "\xc0\xaf",
        "\xff",
        "\x80",
        "\xf4\x90\x80\x80",
        "=",
        "^",
        "?",
        ";",
        "%B",
        "D",
    };
    std::string bytes;
    while (static_cast<int>(bytes.size()) < count) {
        if (random() % 3 == 0) {
            bytes.push_back(static_cast<char>(random()));
        } else {
            bytes += kPieces[random() % std::size(kPieces)];
        }
    }
    bytes.resize(static_cast<std::size_t>(count));
    return bytes;
}

// The examples' messages with bytes replaced, card numbers written over them, and some cut
// short, so that values hold anything and decoding stops anywhere.
std::vector<std::string> Mutated(std::mt19937& random, const std::vector<std::string>& seeds,
                                 int count) {
    std::vector<std::string> messages = seeds;
    for (int i = 0; i < count; ++i) {
        std::string message = seeds[random() % seeds.size()];
        const int changes = static_cast<int>(random() % 4);
        for (int c = 0; c < changes && !message.empty(); ++c) {
            const std::size_t at = random() % message.size();
            switch (random() % 4) {
                case 0:
                    message[at] = static_cast<char>(random());
                    break;
                case 1:
                    message.replace(at, std::min<std::size_t>(16, message.size() - at),
                                    std::string("4111111111111111").substr(0, message.size() - at));
                    break;
                case 2:
                    message.resize(at);
                    break;
                default: {
                    const std::string bytes = RandomBytes(random, 6);
                    message.replace(at, std::min(bytes.size(), message.size() - at),
                                    bytes.substr(0, message.size() - at));
                }
            }
        }
        messages.push_back(message);
    }
    return messages;
}

// A text dialect whose fields hold track data of both kinds, a card number, tagged and
// positional subfields, chip data and free text.
constexpr char kTextDialect[] = R"(NAME= Text dialect of the writers' test
MTI_Enc= CHAR
BMP_Enc= HEX
LEN_Enc= CHAR
NUM_Enc= CHAR
CHR_Enc= ASCII
BIN_Enc= HEX
FIELD=   2;    N;  19; 2; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=  35;  ANS;  37; 2; N; Track 2 data
FIELD=  43;  ANS;  40; 0; Y; Card acceptor name and location
FIELD=  45;  ANS;  76; 2; N; Track 1 data
FIELD=  48;  ANS; 999; 3; Y; Additional data, private
FIELD=  52;    B;   8; 0; N; PIN data
FIELD=  55;    B; 255; 3; Y; Chip data
FIELD=  62;  ANS; 999; 3; N; Private use
MSG=0200;60000000000000000000000000000000;00000000202912040000000000000000;Financial request
STRUCTURE= 43; POSITIONAL
SUBFIELD= 43.1;  ANS;  25; 0; N; Name
SUBFIELD= 43.2;  ANS;  13; 0; N; City
SUBFIELD= 43.3;  ANS;   2; 0; N; Country
STRUCTURE= 48; TAGGED; HEAD 1; TAG 2; LEN 2
SUBFIELD= 48.01;  ANS;  20; 0; N; Invoice number
SUBFIELD= 48.10;    N;  19; 0; N; Card number, funding
SUBFIELD_OPTION= 48.10; HOLDS; PAN
SUBFIELD= 48.42;  ANS;  99; 0; Y; Electronic commerce indicators
STRUCTURE= 48.42; TAGGED; TAG 2; LEN 2
SUBFIELD= 48.42.01;    N;   3; 0; N; Security level indicator
STRUCTURE= 55; BER_TLV
)";

// Packed numbers in positional subfields of odd lengths, which start inside a byte.
constexpr char kPackedDialect[] = R"(NAME= Packed subfields
MTI_Enc= PBCD
BMP_Enc= NONE
LEN_Enc= BIGEND
NUM_Enc= PBCD
CHR_Enc= ASCII
BIN_Enc= NONE
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=  63;    N;  27; 0; Y; Original data
MSG=0200;20000000000000000000000000000000;00000000000000020000000000000000;Financial request
STRUCTURE= 63; POSITIONAL
SUBFIELD= 63.1;    N;   5; 0; N; Original message type
SUBFIELD= 63.2;    N;  11; 0; N; Original acquirer
SUBFIELD= 63.3;    N;  11; 0; N; Original forwarder
)";

std::string PackedMessage(std::mt19937& random) {
    std::string digits = "0";
    for (int i = 0; i < 27; ++i)
        digits.push_back(static_cast<char>('0' + random() % 10));
    std::string message("\x02\x00\x20\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00", 13);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        message.push_back(static_cast<char>((digits[i] - '0') << 4 | (digits[i + 1] - '0')));
    if (random() % 5 == 0) message[13 + random() % 14] = static_cast<char>(random());
    return message;
}

std::string Decimal(std::size_t value, int digits) {
    std::string text = std::to_string(value);
    return std::string(static_cast<std::size_t>(digits) - text.size(), '0') + text;
}

std::string Hex(const std::string& bytes) {
    std::string hex(2 * bytes.size() + 1, '\0');
    EncodeHex(static_cast<int>(bytes.size()), static_cast<int>(hex.size()), hex.data(),
              reinterpret_cast<const std::uint8_t*>(bytes.data()));
    hex.pop_back();
    return hex;
}

std::string Tlv(std::uint32_t tag, const std::string& value) {
    std::string object;
    if (tag > 0xFF) object.push_back(static_cast<char>(tag >> 8));
    object.push_back(static_cast<char>(tag & 0xFF));
    object.push_back(static_cast<char>(value.size()));
    return object + value;
}

std::string Packed(const std::string& digits) {
    std::string bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        auto nibble = [](char c) { return c >= 'A' ? c - 'A' + 10 : c - '0'; };
        const int low = i + 1 < digits.size() ? nibble(digits[i + 1]) : 0xF;
        bytes.push_back(static_cast<char>(nibble(digits[i]) << 4 | low));
    }
    return bytes;
}

std::string TextMessage(std::mt19937& random) {
    const std::string pan = random() % 2 ? "4111111111111111" : "5500000000000004";
    std::string values[129];
    values[2] = random() % 5 ? pan : RandomBytes(random, 16);
    values[3] = "000000";
    values[35] = random() % 4 ? ";" + pan + "=2512101" + RandomBytes(random, 5) + "?"
                              : RandomBytes(random, 30);
    values[43] = RandomBytes(random, 40);
    values[45] = random() % 4 ? "%B" + pan + "^DOE/JOHN^2512101" + RandomBytes(random, 6) + "?"
                              : RandomBytes(random, 40);
    values[48] = "0" + std::string("01") + "05" + RandomBytes(random, 5) + "10" + "16" + pan;
    if (random() % 2) values[48] += "420501003";
    if (random() % 4 == 0) values[48] += "9" + RandomBytes(random, 3);
    values[52] = RandomBytes(random, 8);
    std::string chip = Tlv(0x5A, Packed(pan)) + Tlv(0x95, RandomBytes(random, 5)) +
                       Tlv(0x57, Packed(pan + "D2512101123")) +
                       Tlv(0x56, "B" + pan + "^DOE/JOHN^2512101123") +
                       Tlv(0x9F34, RandomBytes(random, 3)) + Tlv(0x70, Tlv(0x9F02, "\x00\x01"));
    if (random() % 4 == 0) chip = RandomBytes(random, 20);
    values[55] = chip;
    values[62] = RandomBytes(random, static_cast<int>(random() % 60));
    FieldMask present{};
    std::string fields;
    for (int n : {2, 3, 35, 43, 45, 48, 52, 55, 62}) {
        if (n > 3 && random() % 3 == 0) continue;
        SetBit(present, n);
        const std::string& value = values[n];
        switch (n) {
            case 2:
            case 35:
            case 45:
                fields += Decimal(value.size(), 2) + value;
                break;
            case 48:
            case 62:
                fields += Decimal(value.size(), 3) + value;
                break;
            case 52:
                fields += Hex(value);
                break;
            case 55:
                fields += Decimal(value.size(), 3) + Hex(value);
                break;
            default:
                fields += value;
        }
    }
    return "0200" + Hex(std::string(present.begin(), present.begin() + 8)) + fields;
}

struct Corpus {
    std::string name;
    std::string definition;  // the text of a .pro file
    std::vector<std::string> messages;
    int header = -1;
};

std::vector<Corpus> Corpora() {
    std::mt19937 random(8583);
    const std::filesystem::path examples = ISO_EXAMPLES_DIR;
    std::vector<Corpus> corpora;
    for (const char* name : {"demo", "dialect", "subfields", "subfields-binary"}) {
        const std::vector<std::string> seeds =
            HexMessages(ReadAll(examples / (std::string(name) + "-messages.hex")));
        corpora.push_back(
            {name, ReadAll(examples / (std::string(name) + ".pro")), Mutated(random, seeds, 300)});
    }
    Corpus header = corpora[2];
    header.name = "subfields behind a header";
    header.header = 3;
    corpora.push_back(header);
    Corpus text{"text", kTextDialect, {}};
    for (int i = 0; i < 300; ++i)
        text.messages.push_back(TextMessage(random));
    corpora.push_back(text);
    Corpus packed{"packed subfields", kPackedDialect, {}};
    for (int i = 0; i < 100; ++i)
        packed.messages.push_back(PackedMessage(random));
    corpora.push_back(packed);
    for (CorpusDialect dialect : {CorpusDialect::kText, CorpusDialect::kEbcdic}) {
        auto def = std::make_unique<ProtocolDef>();
        DefineAcquirer(*def, dialect);
        corpora.push_back({dialect == CorpusDialect::kText ? "acquirer, text" : "acquirer, EBCDIC",
                           WrittenProText(*def), AcquirerCorpus(*def, 60)});
    }
    auto def = std::make_unique<ProtocolDef>();
    DefineRandomFields(*def);
    corpora.push_back({"random fields", WrittenProText(*def), RandomFieldsCorpus(*def, 60)});
    // Few enough messages to keep their reports whole as golden files.
    Corpus few = text;
    few.name = "golden";
    few.messages.resize(12);
    corpora.push_back(few);
    return corpora;
}

// Descriptions as a definition may hold them: control characters, UTF-8 whole and broken.
void Describe(ProtocolDef& def) {
    std::strcpy(def.fields[2].description, "Num\xc3\xa9ro de carte \x01\x7f");
    std::strcpy(def.fields[3].description, "Code \xe2\x82 \"trait\\\xff");
    std::strcpy(def.fields[55].description, "Chip\tdata \xf0\x9f\x98\x80");
}

struct Options {
    InspectOptions inspect;
    const char* name;
};

std::vector<Options> Runs() {
    std::vector<Options> runs(3);
    runs[0].name = "masked";
    runs[1].name = "not masked";
    runs[1].inspect.mask = false;
    runs[2].name = "more data objects and masks";
    for (int n : {48, 62, 127})
        SetBit(runs[2].inspect.tlvFields, n);
    for (int n : {3, 43})
        SetBit(runs[2].inspect.maskFields, n);
    return runs;
}

// The report a writer made by make writes of every message, with some messages that could
// not be prepared between them.
std::string Report(const Corpus& corpus, const ProtocolDef& def, InspectOptions inspect,
                   const std::function<std::unique_ptr<ReportWriter>(ReportOutput&)>& make) {
    ReportOutput output(nullptr);
    const std::unique_ptr<ReportWriter> writer = make(output);
    Checker checker(def, *writer, output);
    checker.SetHeader(corpus.header);
    checker.SetInspection(inspect);
    std::mt19937 random(55);
    for (const std::string& message : corpus.messages) {
        if (random() % 50 == 0) checker.Fail(RandomBytes(random, 12));
        LoadMessage(checker.Message(), message.data(), message.size());
        checker.Take();
    }
    checker.Finish();
    return output.Text();
}

// The first line where two reports part, for a message that shows it.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::istringstream left(a);
    std::istringstream right(b);
    std::string x;
    std::string y;
    for (int line = 1; std::getline(left, x); ++line) {
        if (!std::getline(right, y)) return "line " + std::to_string(line) + ": missing";
        if (x != y) return "line " + std::to_string(line) + ":\n" + x + "\n" + y;
    }
    return "longer";
}

// The diagnose report a writer made by make writes of the corpus's first messages: failing
// messages are searched for a reading that passes, and a few of them are.
std::string Diagnosed(const Corpus& corpus, const ProtocolDef& def,
                      const std::function<std::unique_ptr<DiagnoseReport>(ReportOutput&)>& make) {
    const std::size_t count = std::min<std::size_t>(corpus.messages.size(), 40);
    ReportOutput output(nullptr);
    const std::unique_ptr<DiagnoseReport> writer = make(output);
    DiagnoseSink sink(def, InspectOptions{}, corpus.header, *writer, output);
    EXPECT_TRUE(sink.Ready());
    std::mt19937 random(55);
    for (std::size_t i = 0; i < count; ++i) {
        if (random() % 20 == 0) sink.Fail(RandomBytes(random, 12));
        LoadMessage(sink.Message(), corpus.messages[i].data(), corpus.messages[i].size());
        sink.Take();
    }
    sink.Finish();
    return output.Text();
}

// FNV-1a of 64 bits: a digest of a report, the same on every platform.
std::uint64_t Digest(const std::string& text) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// Every report of the corpora, keyed "corpus; options; report", in the order they are made.
std::vector<std::pair<std::string, std::string>> AllReports() {
    std::vector<std::pair<std::string, std::string>> reports;
    for (const Corpus& corpus : Corpora()) {
        auto def = std::make_unique<ProtocolDef>();
        LoadProText(corpus.definition, *def);
        Describe(*def);
        for (const Options& run : Runs()) {
            const std::string key = corpus.name + "; " + run.name + "; ";
            // The rows show no hex of text values: check leaves it out of their inspection.
            InspectOptions rows = run.inspect;
            rows.hexShown = false;
            reports.emplace_back(key + "rows", Report(corpus, *def, rows, [&](ReportOutput& out) {
                                     return std::make_unique<RowsReport>(*def, out);
                                 }));
            reports.emplace_back(key + "json",
                                 Report(corpus, *def, run.inspect, [&](ReportOutput& out) {
                                     return std::make_unique<JsonReport>(*def, out);
                                 }));
        }
        reports.emplace_back(corpus.name + "; masked; diagnose json",
                             Diagnosed(corpus, *def, [](ReportOutput& out) {
                                 return std::make_unique<DiagnoseJsonReport>(out);
                             }));
    }
    return reports;
}

// Writes the golden reports anew, for a change of output that is meant: their digests, and the
// golden corpus's masked reports whole.
void WriteGolden() {
    const std::filesystem::path golden = ISO_GOLDEN_DIR;
    std::ofstream digests(golden / "report_digests.txt", std::ios::binary);
    digests << "# corpus; options; report, then FNV-1a of its bytes and their count\n";
    for (const auto& [key, text] : AllReports()) {
        char line[64];
        std::snprintf(line, sizeof line, " %016llx %zu\n",
                      static_cast<unsigned long long>(Digest(text)), text.size());
        digests << key << line;
        if (key.rfind("golden; masked; ", 0) == 0) {
            std::string name = key.substr(16);
            for (char& c : name)
                c = c == ' ' ? '_' : c;
            std::ofstream(golden / (name + ".txt"), std::ios::binary) << text;
        }
    }
}

// The reports byte for byte as the writers the streaming ones replaced (a tree of nlohmann::json,
// printf) wrote them: their digests and sizes (tests/cli/golden/report_digests.txt), and the
// reports of the golden corpus whole. With ISO_WRITE_GOLDEN set, it writes them anew instead.
TEST(ReportWriters, WriteTheGoldenReports) {
    if (std::getenv("ISO_WRITE_GOLDEN") != nullptr) return WriteGolden();
    const std::filesystem::path golden = ISO_GOLDEN_DIR;
    std::map<std::string, std::string> expected;  // key: " digest size"
    std::istringstream digests(ReadAll(golden / "report_digests.txt"));
    for (std::string line; std::getline(digests, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t digest = line.rfind(' ', line.rfind(' ') - 1);
        expected[line.substr(0, digest)] = line.substr(digest);
    }
    const auto reports = AllReports();
    ASSERT_EQ(reports.size(), expected.size());
    for (const auto& [key, text] : reports) {
        char found[64];
        std::snprintf(found, sizeof found, " %016llx %zu",
                      static_cast<unsigned long long>(Digest(text)), text.size());
        EXPECT_EQ(found, expected[key]) << key;
        if (key.rfind("golden; masked; ", 0) != 0) continue;
        std::string name = key.substr(16);
        for (char& c : name)
            c = c == ' ' ? '_' : c;
        const std::string whole = ReadAll(golden / (name + ".txt"));
        EXPECT_TRUE(text == whole) << key << ": " << FirstDifference(text, whole);
    }
}

// A report's line with each message unit escaped as \u00hh written as nlohmann writes the same
// character: a short escape, DEL as it is, 0x80 to 0xFF in UTF-8.
std::string AsNlohmannWrites(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] != 'u') {
            out.append(line, i++, 2);  // \" or \\ and the like, kept whole
            continue;
        }
        if (line.compare(i, 4, "\\u00") != 0) {
            out += line[i];
            continue;
        }
        const int c = std::stoi(line.substr(i + 4, 2), nullptr, 16);
        const char* shorter = c == '\b'   ? "\\b"
                              : c == '\f' ? "\\f"
                              : c == '\n' ? "\\n"
                              : c == '\r' ? "\\r"
                              : c == '\t' ? "\\t"
                                          : nullptr;
        if (shorter != nullptr) {
            out += shorter;
        } else if (c == 0x7F) {
            out += '\x7F';
        } else if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out.append(line, i, 6);
        }
        i += 5;
    }
    return out;
}

// Each line of every JSON report is one document that nlohmann reads and writes back to the
// same bytes: keys, numbers, nesting and every string as its dump has them, but for message
// units, which the reports escape as \u00hh where nlohmann writes their characters.
TEST(ReportWriters, JsonLinesAreWhatNlohmannReadsAndWrites) {
    for (const auto& [key, text] : AllReports()) {
        if (key.find("json") == std::string::npos) continue;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const nlohmann::ordered_json document = nlohmann::ordered_json::parse(line);
            ASSERT_TRUE(document.is_object()) << key;
            ASSERT_EQ(document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                      AsNlohmannWrites(line))
                << key;
        }
    }
}

// A text value is read back from the JSON report unit for unit: each character the code of a
// unit, so that its units are those its "hex" spells, NULs and bytes that are no UTF-8 among
// them.
TEST(ReportWriters, JsonTextValuesHoldEveryUnitOfTheirHex) {
    int values = 0;
    int unusual = 0;
    for (const auto& [key, text] : AllReports()) {
        if (key.find("json") == std::string::npos || key.find("diagnose") != std::string::npos)
            continue;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const nlohmann::json document = nlohmann::json::parse(line);
            for (const nlohmann::json& field : document["fields"]) {
                if (field["type"] == "B" || field["type"] == "Z") continue;
                if (field.contains("masked")) continue;
                std::string units;
                const std::string value = field["value"].get<std::string>();
                // UTF-8 of code points 0 to 0xFF back into units.
                for (std::size_t i = 0; i < value.size(); ++i) {
                    const auto b = static_cast<unsigned char>(value[i]);
                    if (b < 0x80) {
                        units += static_cast<char>(b);
                    } else {
                        units += static_cast<char>(((b & 0x03) << 6) |
                                                   (static_cast<unsigned char>(value[++i]) & 0x3F));
                    }
                }
                ASSERT_EQ(Hex(units), field["hex"].get<std::string>()) << key << "\n" << line;
                ++values;
                for (const char u : units)
                    unusual += static_cast<unsigned char>(u) < 0x20 ||
                               static_cast<unsigned char>(u) > 0x7E;
            }
        }
    }
    EXPECT_GT(values, 1000);
    EXPECT_GT(unusual, 100);  // the corpora hold NULs and bytes that are no ASCII
}

// One escaping routine for every string of the JSON reports: nlohmann's own dump of the same
// bytes, replacement characters for invalid UTF-8 included.
TEST(JsonString, EscapesAsNlohmannDumps) {
    std::mt19937 random(2024);
    for (int round = 0; round < 20000; ++round) {
        std::string text = RandomBytes(random, static_cast<int>(random() % 24));
        if (round % 3 == 0) {
            for (char& c : text)
                c = static_cast<char>(random());
        }
        std::string ours;
        AppendJsonString(ours, text);
        const std::string theirs =
            nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        ASSERT_EQ(ours, theirs) << Hex(text);
    }
}

// Numbers as printf's "%*ld" writes them, across the lengths the short form takes in place and
// past them; the text window's room for 20 characters is all a number writes to.
TEST(TextWindow, NumbersAreWhatPrintfWrites) {
    const long numbers[] = {0,     7,      9,       10,       99,       100,       4711,
                            99999, 100000, 9999999, 10000000, 99999999, 100000000, 123456789012L,
                            -1,    -99,    -100000, LONG_MIN};
    for (const long number : numbers) {
        for (const std::size_t width : {0, 1, 3, 5, 8, 9, 12}) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%*ld", static_cast<int>(width), number);
            char out[40];
            std::memset(out, '#', sizeof out);
            char* end = PutNumber(out + 4, number, width);
            EXPECT_EQ(std::string(out + 4, end), expected) << number << " " << width;
            EXPECT_EQ(std::string(out, 4), "####");
            const auto room = std::max<std::size_t>(width, 20);
            EXPECT_EQ(std::string(out + 4 + room, out + sizeof out),
                      std::string(sizeof out - 4 - room, '#'));
        }
    }
}

// Pieces and blanks of every length up to past the short copies, written whole and nothing
// beside them.
TEST(TextWindow, PiecesAndBlanksOfEveryLengthAreWrittenWhole) {
    std::string source;
    for (int i = 0; i < 44; ++i)
        source.push_back(static_cast<char>('a' + i % 26));
    for (std::size_t n = 0; n <= 40; ++n) {
        const std::string piece = source.substr(3, n);
        std::string out(48, '#');
        const char* end = Put(out.data() + 2, std::string_view(source).substr(3, n));
        EXPECT_EQ(end, out.data() + 2 + n);
        EXPECT_EQ(out, "##" + piece + std::string(46 - n, '#')) << n;
        std::string blanks(48, '#');
        EXPECT_EQ(PutSpaces(blanks.data() + 2, n), blanks.data() + 2 + n);
        EXPECT_EQ(blanks, "##" + std::string(n, ' ') + std::string(46 - n, '#')) << n;
    }
}

}  // namespace
