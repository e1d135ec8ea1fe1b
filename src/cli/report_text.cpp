#include "cli/report_text.h"

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void AppendEscape(std::string& out, unsigned char c) {
    const char escape[4] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
    out.append(escape, 4);
}

bool ShownAsIs(unsigned char c) {
    return c >= 0x20 && c <= 0x7E && c != '\\';
}

}  // namespace

void AppendMessageText(std::string& out, std::string_view bytes) {
    std::size_t plain = 0;
    while (plain < bytes.size() && ShownAsIs(static_cast<unsigned char>(bytes[plain])))
        ++plain;
    out.append(bytes.substr(0, plain));
    for (std::size_t i = plain; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (ShownAsIs(c)) {
            out.push_back(static_cast<char>(c));
        } else if (c == '\\') {
            out.append("\\\\");
        } else {
            AppendEscape(out, c);
        }
    }
}

std::size_t MessageTextWidth(std::string_view bytes) {
    std::size_t width = 0;
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        width += ShownAsIs(c) ? 1 : c == '\\' ? 2 : 4;
    }
    return width;
}

void AppendDefinitionText(std::string& out, std::string_view text) {
    for (char b : text) {
        const auto c = static_cast<unsigned char>(b);
        if (IsControl(c)) {
            AppendEscape(out, c);
        } else {
            out.push_back(b);
        }
    }
}

void AppendVerdict(std::string& out, std::string_view verdict) {
    if (verdict.substr(0, kUnknownMessage.size()) == kUnknownMessage) {
        out.append(kUnknownMessage);
        AppendMessageText(out, verdict.substr(kUnknownMessage.size()));
        return;
    }
    AppendDefinitionText(out, verdict);
}
