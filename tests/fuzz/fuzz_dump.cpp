// The dump reader and the byte literal parser on arbitrary text. Each message the reader takes
// is written again as the tools and languages write it (hexdump -C with its '*' rows, xxd, plain
// digits, a 0x list, C and Python strings, Python's bytearray and bytes.fromhex, a signed decimal
// list) and must read back as the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "input/dump_literal.h"
#include "input/input_dump.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kLimit = kMaxMessageUnits;
constexpr std::size_t kRoundTrips = 4;  // messages per input written again, to keep runs fast

std::string Hex(std::uint8_t b) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", b);
    return two;
}

std::string Offset(std::size_t offset, int width) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*zx", width, offset);
    return text;
}

char Shown(std::uint8_t b) {
    return b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
}

// hexdump -C: a repeated row becomes one '*', and the dump ends with the length.
std::string HexdumpCanonical(const Bytes& bytes) {
    std::string out;
    bool starred = false;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - at);
        if (at > 0 && n == 16 &&
            std::equal(bytes.begin() + at, bytes.begin() + at + 16, bytes.begin() + at - 16)) {
            if (!starred) out += "*\n";
            starred = true;
            continue;
        }
        starred = false;
        out += Offset(at, 8) + "  ";
        for (std::size_t i = 0; i < 16; ++i) {
            out += i < n ? Hex(bytes[at + i]) + " " : "   ";
            if (i == 7) out += ' ';
        }
        out += " |";
        for (std::size_t i = 0; i < n; ++i)
            out += Shown(bytes[at + i]);
        out += "|\n";
    }
    return out + Offset(bytes.size(), 8) + "\n";
}

// xxd: groups of two bytes, the character column after a run of blanks.
std::string Xxd(const Bytes& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - at);
        out += Offset(at, 8) + ": ";
        for (std::size_t i = 0; i < 16; ++i) {
            out += i < n ? Hex(bytes[at + i]) : "  ";
            if (i % 2 == 1) out += ' ';
        }
        out += ' ';
        for (std::size_t i = 0; i < n; ++i)
            out += Shown(bytes[at + i]);
        out += '\n';
    }
    return out;
}

std::string PlainHex(const Bytes& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out += Hex(bytes[i]) + (i % 16 == 15 ? "\n" : "");
    return out + "\n";
}

std::string ZeroXList(const Bytes& bytes) {
    std::string out = "new byte[] {";
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out += (i > 0 ? (i % 12 == 0 ? ",\n  " : ", ") : "") + ("0x" + Hex(bytes[i]));
    return out + "};\n";
}

std::string SignedDecimalList(const Bytes& bytes) {
    std::string out = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out += (i > 0 ? ", " : "") + std::to_string(static_cast<std::int8_t>(bytes[i]));
    return out + "]\n";
}

// quote is '"' for C, '\'' for Python's b'...'; a line of at most 32 bytes each. Named, hex
// and octal escapes in turn.
std::string EscapedString(const Bytes& bytes, char quote) {
    const std::string open = quote == '"' ? "\"" : "b'";
    std::string out = open;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 32 == 0) out += std::string(1, quote) + "\n" + open;
        const std::uint8_t b = bytes[i];
        if (b == '\\' || b == static_cast<std::uint8_t>(quote)) {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x20 && b <= 0x7E) {
            out += static_cast<char>(b);
        } else if (b == '\n' || b == '\r' || b == '\t') {
            out += b == '\n' ? "\\n" : b == '\r' ? "\\r" : "\\t";
        } else if (i % 2 == 0) {
            out += "\\x" + Hex(b);
        } else {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", b);
            out += octal;
        }
    }
    return out + quote + "\n";
}

// As Python prints a bytearray (pyiso8583's encode() returns one): b'...' inside, in double
// quotes where the bytes hold a single quote and no double one, escapes by name or \xhh.
std::string PythonBytearray(const Bytes& bytes) {
    const bool single = std::find(bytes.begin(), bytes.end(), '\'') != bytes.end();
    const bool dbl = std::find(bytes.begin(), bytes.end(), '"') != bytes.end();
    const char quote = single && !dbl ? '"' : '\'';
    std::string out = std::string("bytearray(b") + quote;
    for (const std::uint8_t b : bytes) {
        if (b == '\\' || b == static_cast<std::uint8_t>(quote)) {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b == '\n' || b == '\r' || b == '\t') {
            out += b == '\n' ? "\\n" : b == '\r' ? "\\r" : "\\t";
        } else if (b >= 0x20 && b <= 0x7E) {
            out += static_cast<char>(b);
        } else {
            out += "\\x" + Hex(b);
        }
    }
    return out + quote + ")\n";
}

// bytes.fromhex('...') with a blank between every fourth pair.
std::string PythonFromHex(const Bytes& bytes) {
    std::string out = "bytes.fromhex('";
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out += (i > 0 && i % 4 == 0 ? " " : "") + Hex(bytes[i]);
    return out + "')\n";
}

std::vector<Report> ReadDumpOf(std::string_view text) {
    TextStream stream(text);
    ReportSink sink;
    FUZZ_CHECK(ReadDump(sink, stream.get()) == 0);
    return std::move(sink.reports);
}

void CheckReadsBack(const std::string& dump, const std::string& units) {
    const std::vector<Report> again = ReadDumpOf(dump);
    FUZZ_CHECK(again.size() == 1 && again[0].taken && again[0].text == units);
}

void CheckParsesBack(const std::string& literal, const Bytes& bytes) {
    Bytes parsed;
    const LiteralResult r = ParseByteLiteral(literal, parsed, kLimit);
    FUZZ_CHECK(r.ok && parsed == bytes);
}

void CheckRoundTrips(const std::string& units) {
    const Bytes bytes(units.begin(), units.end());
    CheckReadsBack(HexdumpCanonical(bytes), units);
    CheckReadsBack(PlainHex(bytes), units);
    // Where a byte shows as a blank, the character column of a row without bars can pass for
    // fewer bytes: no reader can tell.
    if (units.find(' ') == std::string::npos) CheckReadsBack(Xxd(bytes), units);
    // Through the reader once; each reader run costs a block of a megabyte.
    CheckReadsBack(ZeroXList(bytes), units);
    for (const std::string& literal :
         {ZeroXList(bytes), SignedDecimalList(bytes), EscapedString(bytes, '"'),
          EscapedString(bytes, '\''), PythonBytearray(bytes), PythonFromHex(bytes)})
        CheckParsesBack(literal, bytes);
}

// The text as one literal, under a limit the input's size chooses as well as the largest.
void CheckLiteral(std::string_view text, std::size_t limit, int lines) {
    Bytes bytes;
    const LiteralResult r = ParseByteLiteral(text, bytes, limit);
    FUZZ_CHECK(bytes.size() <= limit + 1);
    if (r.ok) {
        FUZZ_CHECK(r.line == 0 && bytes.size() <= limit);
    } else {
        FUZZ_CHECK(r.line >= 1 && r.line <= lines);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitLines(text, true);
    bool blank = true;
    for (const std::string& line : lines)
        blank = blank && line.find_first_not_of(" \t\f\v") == std::string::npos;

    const std::vector<Report> reports = ReadDumpOf(text);
    // Every message, taken or failed, holds at least one line of its own.
    FUZZ_CHECK(reports.size() <= lines.size());
    FUZZ_CHECK(!blank || reports.empty());
    std::size_t written = 0;
    for (const Report& report : reports) {
        if (!report.taken || report.text.empty() || written++ == kRoundTrips) continue;
        CheckRoundTrips(report.text);
    }

    int newlines = 1;
    for (const char c : text)
        newlines += c == '\n' ? 1 : 0;
    CheckLiteral(text, kLimit, newlines);
    CheckLiteral(text, size % 17, newlines);
    return 0;
}
