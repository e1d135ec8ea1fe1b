#include "cli/report_text.h"

#include <array>
#include <charconv>

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

// How many characters each byte of a message takes: 1 as it is, 2 for "\\", 4 for \xHH.
constexpr std::array<std::uint8_t, 256> kMessageWidth = [] {
    std::array<std::uint8_t, 256> width{};
    for (int c = 0; c < 256; ++c)
        width[static_cast<std::size_t>(c)] = c == '\\' ? 2 : c >= 0x20 && c <= 0x7E ? 1 : 4;
    return width;
}();

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void AppendEscape(std::string& out, unsigned char c) {
    const char escape[4] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
    out.append(escape, 4);
}

}  // namespace

void AppendMessageText(std::string& out, std::string_view bytes) {
    std::size_t plain = 0;  // where the bytes not yet appended begin
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (kMessageWidth[c] == 1) continue;
        out.append(bytes.substr(plain, i - plain));
        if (c == '\\') {
            out.append("\\\\");
        } else {
            AppendEscape(out, c);
        }
        plain = i + 1;
    }
    out.append(bytes.substr(plain));
}

std::size_t MessageTextWidth(std::string_view bytes) {
    std::size_t width = 0;
    for (char b : bytes)
        width += kMessageWidth[static_cast<unsigned char>(b)];
    return width;
}

void AppendDefinitionText(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!IsControl(c)) continue;
        out.append(text.substr(plain, i - plain));
        AppendEscape(out, c);
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

void AppendVerdict(std::string& out, std::string_view verdict) {
    if (verdict.substr(0, kUnknownMessage.size()) == kUnknownMessage) {
        out.append(kUnknownMessage);
        AppendMessageText(out, verdict.substr(kUnknownMessage.size()));
        return;
    }
    AppendDefinitionText(out, verdict);
}

void AppendNumber(std::string& out, long number, std::size_t width) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    const auto size = static_cast<std::size_t>(end - digits);
    if (size < width) out.append(width - size, ' ');
    out.append(digits, size);
}
