#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/commands.h"
#include "decode/decoder.h"
#include "model/pro_file.h"
#include "model/protocol.h"
#include "support/auto_buff.h"
#include "support/text.h"

namespace {

enum class Framing { kLines, kHex, kRaw };
enum class Report { kRows, kJson, kSummary };

struct CheckOptions {
    bool hex = false;
    bool raw = false;
    bool json = false;
    bool summary = false;
    std::string definition;
    std::vector<std::string> inputs;
};

constexpr char kTooLong[] = "message longer than 32767 units";

std::string Reason(int error) {
    return error != 0 ? std::strerror(error) : "unknown error";
}

void ReportFileError(const std::string& name, const char* what, int error) {
    std::fprintf(stderr, "%s: %s: %s\n", name.c_str(), what, Reason(error).c_str());
}

// Lines of a stream read in large blocks. A line longer than kLineMax cannot be a message of
// 32767 units in any framing; it is skipped unstored so that memory stays flat.
class LineReader {
  public:
    static constexpr std::size_t kLineMax = 1 << 17;

    explicit LineReader(std::FILE* stream) : file(stream), buffer(kBlock + 1) {}

    // The next line without its line feed (and the carriage return before it); the text is
    // writable and may be NUL-terminated in place at line[size]. False at the end or on error.
    bool Next(char*& line, std::size_t& size, bool& overlong) {
        overlong = false;
        for (;;) {
            char* start = buffer.data() + begin;
            auto* feed = static_cast<char*>(std::memchr(start, '\n', end - begin));
            if (feed != nullptr) {
                begin = feed - buffer.data() + 1;
                if (skipping) {
                    skipping = false;
                    overlong = true;
                    size = 0;
                    return true;
                }
                size = feed - start;
                if (size > 0 && start[size - 1] == '\r') --size;
                line = start;
                return true;
            }
            if (atEnd) return TakeLast(line, size, overlong);
            Refill();
        }
    }

    int Error() const { return error; }

  private:
    static constexpr std::size_t kBlock = 1 << 18;

    bool TakeLast(char*& line, std::size_t& size, bool& overlong) {
        if (begin == end && !skipping) return false;
        overlong = skipping;
        skipping = false;
        line = buffer.data() + begin;
        size = overlong ? 0 : end - begin;
        begin = end;
        return true;
    }

    void Refill() {
        if (end - begin >= kLineMax) skipping = true;
        if (skipping) {
            begin = end = 0;
        } else if (begin > 0) {
            std::memmove(buffer.data(), buffer.data() + begin, end - begin);
            end -= begin;
            begin = 0;
        }
        const std::size_t got = std::fread(buffer.data() + end, 1, kBlock - end, file);
        if (got == 0) {
            atEnd = true;
            if (std::ferror(file)) error = errno != 0 ? errno : EIO;
        }
        end += got;
    }

    std::FILE* file;
    std::vector<char> buffer;  // one spare byte for a NUL after the last line
    std::size_t begin = 0;
    std::size_t end = 0;
    bool skipping = false;
    bool atEnd = false;
    int error = 0;
};

bool LoadMessage(AutoBuff& message, const char* bytes, std::size_t size) noexcept {
    const int n = static_cast<int>(size);
    if (message.Capacity() < n + 1 && !message.Reserve(n + 1, false)) return false;
    if (n > 0) std::memcpy(message.Data(), bytes, size);
    message.SetLength(n);
    return message.Terminate();
}

const char* HexFault(std::string_view digits) {
    if (digits.find(' ') != std::string_view::npos) return "blanks between hexadecimal digits";
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return "not a hexadecimal digit";
    }
    return "odd number of hexadecimal digits";
}

void AssignHex(std::string& hex, const std::uint8_t* bytes, int count) {
    hex.resize(2 * static_cast<std::size_t>(count));
    if (count > 0) EncodeHex(count, static_cast<int>(hex.size()), hex.data(), bytes);
}

struct FieldRow {
    int number = 0;
    int offset = 0;
    int consumed = 0;
    int length = 0;
    std::string value;  // as shown: hex for B and Z, else text up to the first NUL
    std::string hex;
};

struct Tally {
    std::string text;
    long count = 0;
};

// Checks messages one at a time and writes what the report asks for.
class Checker {
  public:
    Checker(const ProtocolDef& protocol, Report kind) : def(protocol), report(kind) {
        output.reserve(kFlushAt + 4096);
        if (report != Report::kSummary) {
            consumer = [this](const DecodedField& field) { return TakeField(field); };
        }
    }

    AutoBuff& Message() { return message; }

    void Check() {
        ++read;
        rowCount = 0;
        MessageHeader header;
        const bool ok = DecodeMessage(message, def, consumer, verdict, &header);
        if (ok) {
            ++passed;
        } else {
            ++failed;
        }
        const std::string_view text(verdict.Text(), verdict.Length());
        Count(text.empty() ? std::string_view("no verdict") : text);
        if (report == Report::kRows) WriteRows(header, text);
        if (report == Report::kJson) WriteJson(header, text, ok, nullptr);
        FlushIfFull();
    }

    void Fail(const char* reason) {
        ++read;
        ++failed;
        rowCount = 0;
        errorKey.assign("error: ").append(reason);
        Count(errorKey);
        if (report == Report::kRows) AppendLine("message ", read, ": error: ", reason);
        if (report == Report::kJson) WriteJson(MessageHeader{}, {}, false, reason);
        FlushIfFull();
    }

    long Failed() const { return failed; }

    // False when the output could not be written.
    bool Finish() {
        if (report == Report::kSummary) WriteTallies();
        if (report != Report::kJson) {
            AppendLine(read, " messages read, ", passed, " passed, ", failed, " failed");
        }
        Flush();
        return std::fflush(stdout) == 0 && !std::ferror(stdout);
    }

  private:
    static constexpr std::size_t kFlushAt = 1 << 16;
    static constexpr std::size_t kValueWidth = 40;

    bool TakeField(const DecodedField& field) {
        if (rowCount == rows.size()) rows.emplace_back();
        FieldRow& row = rows[rowCount++];
        const AutoBuff& value = *field.value;
        row.number = field.number;
        row.offset = field.offset;
        row.consumed = field.consumed;
        row.length = value.Length();
        AssignHex(row.hex, value.Data(), value.Length());
        if (def.IsBinaryField(field.number)) {
            row.value = row.hex;
        } else {
            const char* text = value.Text();
            row.value.assign(text, strnlen(text, value.Length()));
        }
        return true;
    }

    void Count(std::string_view key) {
        if (last < tallies.size() && tallies[last].text == key) {
            ++tallies[last].count;
            return;
        }
        lookupKey.assign(key);
        auto [it, added] = index.try_emplace(lookupKey, tallies.size());
        if (added) tallies.push_back({lookupKey, 0});
        last = it->second;
        ++tallies[last].count;
    }

    void WriteRows(const MessageHeader& header, std::string_view text) {
        if (header.mti[0] != '\0') {
            AppendLine("message ", read, ": MTI ", std::string_view(header.mti));
        } else {
            AppendLine("message ", read, ": no MTI");
        }
        std::size_t width = 0;
        for (std::size_t i = 0; i < rowCount; ++i)
            width = std::max(width, rows[i].value.size());
        width = std::min(width, kValueWidth);
        for (std::size_t i = 0; i < rowCount; ++i)
            WriteRow(rows[i], width);
        if (text.empty()) {
            AppendLine("  no verdict: neither MTI nor bitmap could be read");
        } else {
            AppendLine("  ", text);
        }
    }

    void WriteRow(const FieldRow& row, std::size_t width) {
        const FieldType type = def.fields[row.number].type;
        char head[48];
        const int n = std::snprintf(head, sizeof head, "  %3d  %-3s  %5d  ", row.number,
                                    NameOf(type), row.length);
        output.append(head, n > 0 ? n : 0);
        output.append(row.value);
        const char* description = def.fields[row.number].description;
        if (description[0] != '\0') {
            if (row.value.size() < width) output.append(width - row.value.size(), ' ');
            output.append("  ").append(description);
        }
        output.push_back('\n');
    }

    void WriteJson(const MessageHeader& header, std::string_view text, bool ok, const char* error) {
        nlohmann::ordered_json fields = nlohmann::ordered_json::array();
        for (std::size_t i = 0; i < rowCount; ++i) {
            const FieldRow& row = rows[i];
            fields.push_back({{"number", row.number},
                              {"offset", row.offset},
                              {"consumed", row.consumed},
                              {"type", NameOf(def.fields[row.number].type)},
                              {"length", row.length},
                              {"value", row.value},
                              {"hex", row.hex},
                              {"description", def.fields[row.number].description}});
        }
        std::string bitmap;
        AssignHex(bitmap, header.bitmap.data(), static_cast<int>(header.bitmap.size()));
        nlohmann::ordered_json line = {{"message", read},
                                       {"mti", std::string(header.mti)},
                                       {"bitmap", std::move(bitmap)},
                                       {"fields", std::move(fields)},
                                       {"verdict", std::string(text)},
                                       {"ok", ok}};
        if (error != nullptr) line["error"] = error;
        output.append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        output.push_back('\n');
    }

    void WriteTallies() {
        std::vector<const Tally*> order;
        order.reserve(tallies.size());
        for (const Tally& tally : tallies)
            order.push_back(&tally);
        std::stable_sort(order.begin(), order.end(),
                         [](const Tally* a, const Tally* b) { return a->count > b->count; });
        for (const Tally* tally : order)
            AppendLine(tally->count, "  ", tally->text);
    }

    template <typename... Parts>
    void AppendLine(const Parts&... parts) {
        (Append(parts), ...);
        output.push_back('\n');
    }
    void Append(std::string_view text) { output.append(text); }
    void Append(const char* text) { output.append(text); }
    void Append(long number) {
        char digits[24];
        const int n = std::snprintf(digits, sizeof digits, "%ld", number);
        output.append(digits, n > 0 ? n : 0);
    }

    void FlushIfFull() {
        if (output.size() >= kFlushAt) Flush();
    }
    void Flush() {
        if (!output.empty()) std::fwrite(output.data(), 1, output.size(), stdout);
        output.clear();
    }

    const ProtocolDef& def;
    Report report;
    FieldConsumer consumer;
    AutoBuff message;
    AutoBuff verdict;
    std::vector<FieldRow> rows;
    std::size_t rowCount = 0;
    std::vector<Tally> tallies;
    std::unordered_map<std::string, std::size_t> index;
    std::size_t last = 0;
    std::string lookupKey;
    std::string errorKey;
    std::string output;
    long read = 0;
    long passed = 0;
    long failed = 0;
};

void CheckLine(Checker& checker, char* line, std::size_t size, Framing framing) {
    if (framing == Framing::kLines) {
        if (size > static_cast<std::size_t>(kMaxMessageUnits)) return checker.Fail(kTooLong);
        LoadMessage(checker.Message(), line, size);
        return checker.Check();
    }
    if (std::memchr(line, '\0', size) != nullptr) return checker.Fail("not a hexadecimal digit");
    line[size] = '\0';
    const auto digits = static_cast<std::size_t>(CollapseUnprintable(line));
    if (digits == 0) return;  // a line of blanks only is an empty line
    if (digits / 2 > static_cast<std::size_t>(kMaxMessageUnits)) return checker.Fail(kTooLong);
    AutoBuff& message = checker.Message();
    if (!LoadMessage(message, line, digits) || message.DecodeHexInPlace() < 1) {
        return checker.Fail(HexFault(std::string_view(line, digits)));
    }
    checker.Check();
}

// Returns the error number of a failed read, 0 otherwise.
int CheckLines(Checker& checker, std::FILE* stream, Framing framing) {
    LineReader reader(stream);
    char* line = nullptr;
    std::size_t size = 0;
    bool overlong = false;
    while (reader.Next(line, size, overlong)) {
        if (overlong) {
            checker.Fail(kTooLong);
        } else if (size > 0) {
            CheckLine(checker, line, size, framing);
        }
    }
    return reader.Error();
}

int CheckRaw(Checker& checker, std::FILE* stream) {
    AutoBuff& message = checker.Message();
    const int room = kMaxMessageUnits + 1;
    if (message.Capacity() < room + 1 && !message.Reserve(room + 1, false)) return ENOMEM;
    const std::size_t got = std::fread(message.Data(), 1, room, stream);
    if (std::ferror(stream)) return errno != 0 ? errno : EIO;
    if (got > static_cast<std::size_t>(kMaxMessageUnits)) {
        checker.Fail(kTooLong);
    } else {
        message.SetLength(static_cast<int>(got));
        message.Terminate();
        checker.Check();
    }
    return 0;
}

// False when the input could not be opened or read (already reported).
bool CheckInput(Checker& checker, const std::string& name, Framing framing) {
    const bool standardInput = name == "-";
    std::error_code ignored;
    if (!standardInput && std::filesystem::is_directory(name, ignored)) {
        ReportFileError(name, "cannot open", EISDIR);
        return false;
    }
    std::FILE* stream = standardInput ? stdin : std::fopen(name.c_str(), "rb");
    if (stream == nullptr) {
        ReportFileError(name, "cannot open", errno);
        return false;
    }
    errno = 0;
    const int error =
        framing == Framing::kRaw ? CheckRaw(checker, stream) : CheckLines(checker, stream, framing);
    if (!standardInput) std::fclose(stream);
    if (error != 0) ReportFileError(standardInput ? "standard input" : name, "cannot read", error);
    return error == 0;
}

bool ReadDefinition(const std::string& path, ProtocolDef& def) {
    errno = 0;
    if (ReadProtocolFile(path.c_str(), def)) return true;
    ReportFileError(path, "cannot open", errno);
    return false;
}

int RunCheck(const CheckOptions& options) {
    ProtocolDef& def = TheProtocol();
    if (!ReadDefinition(options.definition, def)) return kExitUsage;
    const Framing framing = options.hex   ? Framing::kHex
                            : options.raw ? Framing::kRaw
                                          : Framing::kLines;
    const Report report = options.json      ? Report::kJson
                          : options.summary ? Report::kSummary
                                            : Report::kRows;
    Checker checker(def, report);
    bool inputsRead = true;
    if (options.inputs.empty()) {
        inputsRead = CheckInput(checker, "-", framing);
    } else {
        for (const std::string& name : options.inputs) {
            inputsRead = CheckInput(checker, name, framing) && inputsRead;
        }
    }
    if (!checker.Finish()) {
        std::fprintf(stderr, "iso8583 check: cannot write the report: %s\n", Reason(errno).c_str());
        return inputsRead ? kExitFailed : kExitUsage;
    }
    if (!inputsRead) return kExitUsage;
    return checker.Failed() > 0 ? kExitFailed : kExitOk;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Decode messages and check each against the protocol definition.");
    CLI::Option* hex =
        command->add_flag("--hex", options->hex, "Each line is one message in hexadecimal digits");
    CLI::Option* raw =
        command->add_flag("--raw", options->raw, "Each input file is one message, byte for byte");
    hex->excludes(raw);
    CLI::Option* json =
        command->add_flag("--json", options->json, "One JSON object per message (JSON Lines)");
    CLI::Option* summary = command->add_flag(
        "--summary", options->summary, "Only the counts: messages, passed, failed, by verdict");
    json->excludes(summary);
    command->add_option("definition", options->definition, "Protocol definition (.pro)")
        ->required();
    command->add_option("inputs", options->inputs, "Message files; standard input when none or -");
    command->callback([options, &status] { status = RunCheck(*options); });
}
