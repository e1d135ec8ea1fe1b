#include "cli/json_writer.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes written as they are: printable ASCII and DEL, all but '"' and '\'.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    return plain;
}();

// The escape of '"', '\\' or a control character.
void AppendEscape(std::string& out, std::uint8_t c) {
    char escape[6] = {'\\', 'u', '0', '0', kHexDigits[c >> 4], kHexDigits[c & 15]};
    std::size_t size = 2;
    switch (c) {
        case '"':
        case '\\':
            escape[1] = static_cast<char>(c);
            break;
        case '\b':
            escape[1] = 'b';
            break;
        case '\f':
            escape[1] = 'f';
            break;
        case '\n':
            escape[1] = 'n';
            break;
        case '\r':
            escape[1] = 'r';
            break;
        case '\t':
            escape[1] = 't';
            break;
        default:
            size = sizeof escape;
    }
    out.append(escape, size);
}

// The bytes a well-formed UTF-8 sequence that starts with lead takes (0 for a byte that starts
// none), and the range of its second byte: the rest lie in 80..BF.
struct Lead {
    int length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
};

Lead LeadOf(std::uint8_t c) noexcept {
    if (c >= 0xC2 && c <= 0xDF) return {2};
    if (c == 0xE0) return {3, 0xA0, 0xBF};  // no overlong form
    if (c == 0xED) return {3, 0x80, 0x9F};  // no surrogate
    if (c >= 0xE1 && c <= 0xEF) return {3};
    if (c == 0xF0) return {4, 0x90, 0xBF};
    if (c == 0xF4) return {4, 0x80, 0x8F};  // nothing past U+10FFFF
    if (c >= 0xF1 && c <= 0xF3) return {4};
    return {};
}

// Appends the UTF-8 sequence at text[i], or U+FFFD for as much of it as is well formed; the
// bytes it takes. A byte that breaks a sequence off is not taken: it may start the next one.
std::size_t AppendSequence(std::string& out, std::string_view text, std::size_t i) {
    const Lead lead = LeadOf(static_cast<std::uint8_t>(text[i]));
    if (lead.length == 0) {
        out.append(kReplacement);
        return 1;
    }
    for (int k = 1; k < lead.length; ++k) {
        if (i + k >= text.size()) {
            out.append(kReplacement);
            return text.size() - i;
        }
        const auto c = static_cast<std::uint8_t>(text[i + k]);
        const std::uint8_t low = k == 1 ? lead.low : 0x80;
        const std::uint8_t high = k == 1 ? lead.high : 0xBF;
        if (c < low || c > high) {
            out.append(kReplacement);
            return static_cast<std::size_t>(k);
        }
    }
    out.append(text.substr(i, static_cast<std::size_t>(lead.length)));
    return static_cast<std::size_t>(lead.length);
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out.push_back('"');
    std::size_t plain = 0;  // where the bytes not yet appended begin
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (kPlain[c]) {
            ++i;
            continue;
        }
        out.append(text.substr(plain, i - plain));
        if (c < 0x80) {
            AppendEscape(out, c);
            ++i;
        } else {
            i += AppendSequence(out, text, i);
        }
        plain = i;
    }
    out.append(text.substr(plain));
    out.push_back('"');
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    Separate();
    out.push_back('"');
    out.append(name);
    out.append("\":");
    afterKey = true;
    return *this;
}

void JsonWriter::String(std::string_view text) {
    Separate();
    AppendJsonString(out, text);
}

void JsonWriter::Number(long value) {
    Separate();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void JsonWriter::Bool(bool value) {
    Separate();
    out.append(value ? "true" : "false");
}

void JsonWriter::Open(char bracket) {
    Separate();
    out.push_back(bracket);
    first = true;
}

void JsonWriter::Close(char bracket) {
    out.push_back(bracket);
    first = false;
}

void JsonWriter::Separate() {
    if (afterKey) {
        afterKey = false;
    } else if (!first) {
        out.push_back(',');
    }
    first = false;
}
