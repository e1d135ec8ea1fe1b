// The whole `check` pipeline on arbitrary input: a framing reads the stream into the checker,
// which decodes each message under one of three definitions and writes the rows or the JSON
// report, as the tool does. Every JSON line parses and holds the keys its readers rely on, one
// line per message; the rows end with counts that agree with the messages read. No card number
// is left in the JSON report's values, hex, headers, bitmaps or data objects: a search of its
// own, by brute force over every offset and length, looks for one after masking.
//
// Input layout: a control byte (bits 0-2 the framing, bit 3 JSON rather than rows, bits 4-5
// the definition), a header byte (0: none, else 1 + the header's units, taken modulo 18), then
// the stream.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/checker.h"
#include "cli/report_json.h"
#include "cli/report_output.h"
#include "cli/report_rows.h"
#include "fuzz_input.h"
#include "input/input_dump.h"
#include "input/input_lines.h"
#include "input/input_raw.h"
#include "input/input_stream.h"
#include "model/pro_file.h"

namespace {

using Json = nlohmann::json;

// The demo dialect of examples/demo.pro: character MTI, binary bitmap and prefixes, packed
// numbers, chip data in field 55.
constexpr char kDemoDefinition[] = R"(NAME= Demo host protocol
MTI_Enc= CHAR
BMP_Enc= NONE
LEN_Enc= BIGEND
NUM_Enc= PBCD
CHR_Enc= ASCII
BIN_Enc= NONE
FIELD=   0;    B;  16; 0; N;
FIELD=   1;    B;  16; 0; N;
FIELD=   2;    N;  19; 1; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=   4;    N;  12; 0; N; Amount, transaction
FIELD=  11;    N;   6; 0; N; System trace audit number
FIELD=  41;  ANS;   8; 0; N; Card acceptor terminal id
FIELD=  55;    B; 255; 1; Y; Chip data
MSG=0200;70200000008000000000000000000000;00000000000002000000000000000000;Financial request
MSG=0210;70200000008000000000000000000000;00000000000000000000000000000000;
)";

// Every unit a character: hex bitmap, decimal prefixes and numbers, binary data as hex digits;
// track 2 and track 1 as text, free text where card numbers hide.
constexpr char kTextDefinition[] = R"(NAME= Text dialect
MTI_Enc= CHAR
BMP_Enc= HEX
LEN_Enc= CHAR
NUM_Enc= CHAR
CHR_Enc= ASCII
BIN_Enc= HEX
FIELD=   0;    B;  16; 0; N;
FIELD=   1;    B;  16; 0; N;
FIELD=   2;    N;  19; 2; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=   4;    N;  12; 0; N; Amount, transaction
FIELD=  35;  ANS;  37; 2; N; Track 2 data
FIELD=  43;  ANS;  40; 0; N; Card acceptor name/location
FIELD=  45;  ANS;  76; 2; N; Track 1 data
FIELD=  48;  ANS; 999; 3; N; Additional data, private
FIELD=  52;    B;   8; 0; N; PIN data
FIELD=  55;    B; 255; 3; Y; Chip data
FIELD=  62;  ANS; 999; 3; N; Private use
FIELD= 102;  ANS;  28; 2; N; Account identification 1
MSG=0200;70000000000000000000000000000000;80000000202912040000000004000000;Financial request
MSG=0100;30000000000000000000000000000000;C0000000202912040000000004000000;Authorization request
)";

// Text in EBCDIC beside a binary bitmap, packed track 2, and chip data in a binary field of
// subfields (126) as well as in 55.
constexpr char kEbcdicDefinition[] = R"(NAME= EBCDIC dialect
MTI_Enc= CHAR
BMP_Enc= NONE
LEN_Enc= CHAR
NUM_Enc= CHAR
CHR_Enc= EBCDIC
BIN_Enc= NONE
FIELD=   0;    B;  16; 0; N;
FIELD=   1;    B;  16; 0; N;
FIELD=   2;    N;  19; 2; N; Primary account number
FIELD=   3;    N;   6; 0; N; Processing code
FIELD=   4;    N;  12; 0; N; Amount, transaction
FIELD=  11;    N;   6; 0; N; System trace audit number
FIELD=  14;    N;   4; 0; N; Expiration date
FIELD=  35;    Z;  37; 2; N; Track 2 data
FIELD=  41;  ANS;   8; 0; N; Card acceptor terminal id
FIELD=  43;  ANS;  40; 0; N; Card acceptor name/location
FIELD=  48;  ANS; 999; 3; N; Additional data, private
FIELD=  52;    B;   8; 0; N; PIN data
FIELD=  55;    B; 255; 3; N; Chip data
FIELD=  90;    N;  42; 0; N; Original data elements
FIELD= 102;  ANS;  28; 2; N; Account identification 1
FIELD= 126;    B; 999; 3; Y; Private use, in subfields
MSG=0200;70200000000000000000000000000000;8004000020A112000000004004000004;Financial request
MSG=0420;30200000000000000000000000000000;C0000000208000000000004000000000;Reversal advice
)";

enum class Framing { kLines, kHex, kDump, kLen2, kLen4, kAscii4, kRaw };

constexpr Framing kFramings[] = {Framing::kLines, Framing::kHex,    Framing::kDump, Framing::kLen2,
                                 Framing::kLen4,  Framing::kAscii4, Framing::kRaw,  Framing::kHex};

constexpr std::size_t kMaxInput = 64 * 1024;
constexpr int kMinDigits = 13;
constexpr int kMaxDigits = 19;

const ProtocolDef& Definition(int which) {
    static ProtocolDef definitions[3];
    static const bool loaded = [] {
        const char* const texts[] = {kDemoDefinition, kTextDefinition, kEbcdicDefinition};
        for (int i = 0; i < 3; ++i) {
            TextStream text(texts[i]);
            ProFindings findings;
            ReadProtocolStream(text.get(), definitions[i], &findings);
            // A definition the reader did not take line for line would weaken every run.
            FUZZ_CHECK(findings.empty());
            FUZZ_CHECK(definitions[i].fields[55].type == FieldType::B);
            FUZZ_CHECK(definitions[i].messages.FindByMti("0200") != MsgTable::kNone);
        }
        return true;
    }();
    (void)loaded;
    return definitions[which];
}

// Between reader and checker: what the reader delivered is what the report must account for.
class CountingSink : public MessageSink {
  public:
    CountingSink(Checker& checker, int header) : checker(checker), header(header) {}

    AutoBuff& Message() override { return checker.Message(); }
    bool Take() override {
        ++calls;
        if (checker.Message().Length() < header) ++errors;
        return checker.Take();
    }
    bool Fail(std::string_view reason) override {
        ++calls;
        ++errors;
        return checker.Fail(reason);
    }

    long calls = 0;
    long errors = 0;  // messages the report shows as an error, not a verdict

  private:
    Checker& checker;
    int header;
};

struct Run {
    std::string report;
    long calls = 0;
    long errors = 0;
};

int ReadFramed(MessageSink& sink, std::FILE* stream, Framing framing) {
    switch (framing) {
        case Framing::kLines:
            return ReadLines(sink, stream);
        case Framing::kHex:
            return ReadHexLines(sink, stream);
        case Framing::kDump:
            return ReadDump(sink, stream);
        case Framing::kLen2:
            return ReadStream(sink, stream, StreamFormat::kLen2);
        case Framing::kLen4:
            return ReadStream(sink, stream, StreamFormat::kLen4);
        case Framing::kAscii4:
            return ReadStream(sink, stream, StreamFormat::kAscii4);
        case Framing::kRaw:
            return ReadRaw(sink, stream);
    }
    return 0;
}

Run CheckStream(const ProtocolDef& def, Framing framing, bool json, int header, bool mask,
                std::string_view input) {
    ReportOutput output(nullptr);
    JsonReport jsonReport(def, output);
    RowsReport rowsReport(def, output);
    ReportWriter& writer = json ? static_cast<ReportWriter&>(jsonReport) : rowsReport;
    Checker checker(def, writer, output);
    checker.SetHeader(header);
    InspectOptions options;
    options.mask = mask;
    checker.SetInspection(options);
    CountingSink sink(checker, header);
    TextStream stream(input);
    FUZZ_CHECK(ReadFramed(sink, stream.get(), framing) == 0);
    FUZZ_CHECK(checker.Finish());
    FUZZ_CHECK(checker.Counts().read == sink.calls);
    return {std::move(output.Text()), sink.calls, sink.errors};
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    FUZZ_CHECK(text.empty() || text.back() == '\n');
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return lines;
}

// --- The card-number rule, on its own terms --------------------------------------------------

// Whether symbols [start, start + count) are a card number by the masking rule: all decimal
// digits (a symbol below 0 is none), the first one 2 to 6, not one digit repeated, and a
// valid Luhn check digit.
bool IsCandidate(const std::vector<int>& symbols, std::size_t start, std::size_t count) {
    bool repeated = true;
    int sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = symbols[start + count - 1 - i];
        if (digit < 0 || digit > 9) return false;
        repeated = repeated && digit == symbols[start + count - 1];
        const int weighted = i % 2 == 1 ? 2 * digit : digit;
        sum += weighted > 9 ? weighted - 9 : weighted;
    }
    const int first = symbols[start];
    return !repeated && first >= 2 && first <= 6 && sum % 10 == 0;
}

// Aborts on the first candidate among symbols that excused does not excuse.
template <typename Excused>
void NoCandidate(const std::vector<int>& symbols, const char* reading, const std::string& where,
                 const std::string& shown, Excused excused) {
    std::size_t runEnd = 0;  // where the digits from start end; only a speed-up
    for (std::size_t start = 0; start < symbols.size(); ++start) {
        if (runEnd <= start) {
            runEnd = start;
            while (runEnd < symbols.size() && symbols[runEnd] >= 0 && symbols[runEnd] <= 9)
                ++runEnd;
        }
        for (std::size_t count = kMinDigits; count <= kMaxDigits; ++count) {
            if (start + count > runEnd) break;
            if (!IsCandidate(symbols, start, count) || excused(start, count)) continue;
            std::string digits;
            for (std::size_t i = start; i < start + count; ++i)
                digits.push_back(static_cast<char>('0' + symbols[i]));
            std::fprintf(stderr, "card number %s left in %s (%s, symbol %zu): \"%s\"\n",
                         digits.c_str(), where.c_str(), reading, start, shown.c_str());
            const bool masked = false;
            FUZZ_CHECK(masked);
        }
    }
}

void NoCandidate(const std::vector<int>& symbols, const char* reading, const std::string& where,
                 const std::string& shown) {
    NoCandidate(symbols, reading, where, shown, [](std::size_t, std::size_t) { return false; });
}

int DigitOf(char c) {
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

int HexDigitOf(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Digits written as characters, each spelled in two: "34" for 4; either alignment. chars[i]
// is the character at i, below 0 where none is shown.
void NoSpelledCandidate(const std::vector<int>& chars, const std::string& where,
                        const std::string& shown) {
    for (std::size_t align = 0; align < 2; ++align) {
        std::vector<int> symbols;
        for (std::size_t i = align; i + 1 < chars.size(); i += 2) {
            const int high = chars[i];
            const int low = chars[i + 1];
            symbols.push_back(high == '3' && low >= '0' && low <= '9' ? low - '0' : -1);
        }
        NoCandidate(symbols, align == 0 ? "spelled digits" : "spelled digits, odd", where, shown);
    }
}

// A value shown as its characters ('*' hidden): no candidate among its digits, nor among the
// digits its characters spell.
void CheckTextShown(const std::string& value, const std::string& where) {
    std::vector<int> digits;
    std::vector<int> chars;
    for (const char c : value) {
        digits.push_back(DigitOf(c));
        chars.push_back(c == '*' ? -1 : static_cast<unsigned char>(c));
    }
    NoCandidate(digits, "text digits", where, value);
    NoSpelledCandidate(chars, where, value);
}

// Hex as shown ('*' hidden) beside the same hex unmasked: no candidate among its nibbles but
// those that lie in text digits only, none among the text digits its bytes hold, none among
// the digits those spell.
void CheckHexShown(const std::string& hex, const std::string& plain, const std::string& where) {
    FUZZ_CHECK(hex.size() == plain.size() && hex.size() % 2 == 0);
    std::vector<int> nibbles;
    std::vector<int> original;
    for (std::size_t i = 0; i < hex.size(); ++i) {
        FUZZ_CHECK(HexDigitOf(plain[i]) >= 0);
        FUZZ_CHECK(hex[i] == '*' || hex[i] == plain[i]);
        nibbles.push_back(hex[i] == '*' ? -1 : HexDigitOf(hex[i]));
        original.push_back(HexDigitOf(plain[i]));
    }
    auto textDigit = [&](std::size_t byte) {
        return original[2 * byte] == 3 && original[2 * byte + 1] <= 9;
    };
    NoCandidate(nibbles, "nibbles", where, hex, [&](std::size_t start, std::size_t count) {
        for (std::size_t k = start / 2; k <= (start + count - 1) / 2; ++k) {
            if (!textDigit(k)) return false;
        }
        return true;
    });
    std::vector<int> digits;
    std::vector<int> chars;
    for (std::size_t k = 0; 2 * k < nibbles.size(); ++k) {
        const int high = nibbles[2 * k];
        const int low = nibbles[2 * k + 1];
        const bool shown = high >= 0 && low >= 0;
        digits.push_back(shown && high == 3 && low <= 9 ? low : -1);
        chars.push_back(shown ? high << 4 | low : -1);
    }
    NoCandidate(digits, "text digits of the bytes", where, hex);
    NoSpelledCandidate(chars, where, hex);
}

const std::string& StringAt(const Json& object, const char* key) {
    FUZZ_CHECK(object.contains(key) && object[key].is_string());
    return object[key].get_ref<const std::string&>();
}

// Data objects are judged one at a time: a constructed one by its children.
void CheckTags(const Json& tags, const Json& plain, const std::string& where) {
    FUZZ_CHECK(tags.is_array() && plain.is_array() && tags.size() == plain.size());
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const Json& tag = tags[i];
        const std::string here = where + " tag " + StringAt(tag, "tag");
        if (tag.contains("children")) {
            CheckTags(tag.at("children"), plain[i].at("children"), here);
        } else {
            CheckHexShown(StringAt(tag, "hex"), StringAt(plain[i], "hex"), here);
        }
    }
}

void CheckMasked(const Json& line, const Json& plain) {
    const std::string where = "message " + std::to_string(line.at("message").get<long>());
    if (line.contains("header")) {
        CheckHexShown(StringAt(line, "header"), StringAt(plain, "header"), where + " header");
    }
    CheckHexShown(StringAt(line, "bitmap"), StringAt(plain, "bitmap"), where + " bitmap");
    const Json& fields = line.at("fields");
    const Json& plainFields = plain.at("fields");
    FUZZ_CHECK(plainFields.is_array() && fields.size() == plainFields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Json& field = fields[i];
        const Json& plainField = plainFields[i];
        FUZZ_CHECK(field.at("number").is_number_integer());
        FUZZ_CHECK(field.at("number") == plainField.at("number"));
        const std::string here = where + " field " + std::to_string(field.at("number").get<int>());
        const std::string& type = StringAt(field, "type");
        if (type != "B" && type != "Z") CheckTextShown(StringAt(field, "value"), here + " value");
        if (field.contains("tlv")) {
            CheckTags(field.at("tlv"), plainField.at("tlv"), here);
        } else {
            CheckHexShown(StringAt(field, "hex"), StringAt(plainField, "hex"), here + " hex");
        }
    }
}

Json ParseLine(std::string_view text) {
    Json line = Json::parse(text, nullptr, false);
    FUZZ_CHECK(!line.is_discarded() && line.is_object());
    for (const char* key : {"message", "mti", "bitmap", "fields", "verdict", "ok"})
        FUZZ_CHECK(line.contains(key));
    FUZZ_CHECK(line["message"].is_number_integer() && line["mti"].is_string());
    FUZZ_CHECK(line["bitmap"].is_string() && line["fields"].is_array());
    FUZZ_CHECK(line["verdict"].is_string() && line["ok"].is_boolean());
    return line;
}

void CheckJson(const Run& masked, const Run& plain) {
    const std::vector<std::string_view> lines = Lines(masked.report);
    const std::vector<std::string_view> plainLines = Lines(plain.report);
    FUZZ_CHECK(static_cast<long>(lines.size()) == masked.calls);
    FUZZ_CHECK(plainLines.size() == lines.size());
    long errors = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Json line = ParseLine(lines[i]);
        FUZZ_CHECK(line["message"].get<long>() == static_cast<long>(i) + 1);
        if (line.contains("error")) {
            FUZZ_CHECK(line["error"].is_string() && !line["ok"].get<bool>());
            ++errors;
        }
        CheckMasked(line, ParseLine(plainLines[i]));
    }
    FUZZ_CHECK(errors == masked.errors);
}

void CheckRows(const Run& run) {
    const std::vector<std::string_view> lines = Lines(run.report);
    FUZZ_CHECK(!lines.empty());
    const std::string last(lines.back());
    long read = -1;
    long passed = -1;
    long failed = -1;
    char end = 0;
    FUZZ_CHECK(std::sscanf(last.c_str(), "%ld messages read, %ld passed, %ld failed%c", &read,
                           &passed, &failed, &end) == 3);
    FUZZ_CHECK(read == run.calls && passed >= 0 && failed >= run.errors);
    FUZZ_CHECK(passed + failed == read);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > kMaxInput) return 0;
    const Framing framing = kFramings[data[0] & 7];
    const bool json = (data[0] & 8) != 0;
    const ProtocolDef& def = Definition((data[0] >> 4 & 3) % 3);
    const int header = data[1] % 18 - 1;
    const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);

    const Run masked = CheckStream(def, framing, json, header, true, input);
    if (!json) {
        CheckRows(masked);
        return 0;
    }
    CheckJson(masked, CheckStream(def, framing, json, header, false, input));
    return 0;
}
