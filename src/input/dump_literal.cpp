#include "input/dump_literal.h"

#include <cctype>

#include "support/text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    return IsDigit(c) ? c - '0' : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

class Cursor {
  public:
    Cursor(std::string_view source, std::vector<std::uint8_t>& out, std::size_t most)
        : text(source), bytes(out), limit(most) {}

    LiteralResult Parse() {
        SkipBlanks();
        // What Python prints for a bytearray, and what one writes to make bytes of hex.
        if (SkipWord("bytearray(")) return Called(&Cursor::Strings);
        if (SkipWord("bytes.fromhex(")) return Called(&Cursor::HexStrings);
        SkipWord("new byte[]") || SkipWord("[]byte");
        SkipBlanks();
        const bool quoted =
            Peek() == '\'' || Peek() == '"' ||
            ((Peek() == 'b' || Peek() == 'B') && (Peek(1) == '\'' || Peek(1) == '"'));
        const bool ok = quoted                                      ? Strings()
                        : text.find('\\') != std::string_view::npos ? Unquoted()
                                                                    : List();
        return {ok, ok ? 0 : line};
    }

  private:
    enum class Kind { kNone, kHex0x, kDecimal, kPlain };

    char Peek(std::size_t ahead = 0) const {
        return pos + ahead < text.size() ? text[pos + ahead] : '\0';
    }
    bool AtEnd() const { return pos >= text.size(); }
    void Step() {
        if (text[pos++] == '\n') ++line;
    }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek()))
            Step();
    }
    bool SkipWord(std::string_view word) {
        if (text.substr(pos, word.size()) != word) return false;
        pos += word.size();
        return true;
    }
    bool Put(int value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        return bytes.size() <= limit;
    }

    // The arguments of a call whose name was read: what lies before its closing parenthesis,
    // read by inner, and nothing but blanks after it.
    LiteralResult Called(bool (Cursor::*inner)()) {
        std::size_t close = text.size();
        while (close > pos && IsBlank(text[close - 1]))
            --close;
        const bool closed = close > pos && text[close - 1] == ')';
        const std::string_view whole = text;
        if (closed) text = text.substr(0, close - 1);
        const bool ok = (this->*inner)() && closed;
        text = whole;
        return {ok, ok ? 0 : line};
    }

    // Quoted strings of hexadecimal pairs, blanks between the pairs.
    bool HexStrings() {
        for (SkipBlanks(); !AtEnd(); SkipBlanks()) {
            const char quote = Peek();
            if (quote != '\'' && quote != '"') return false;
            Step();
            for (;;) {
                while (Peek() == ' ' || Peek() == '\t')
                    Step();
                if (AtEnd() || Peek() == quote) break;
                if (!IsHexDigit(Peek()) || !IsHexDigit(Peek(1))) return false;
                pos += 2;
                if (!Put(HexValue(text[pos - 2]) * 16 + HexValue(text[pos - 1]))) return false;
            }
            if (AtEnd()) return false;
            Step();
        }
        return true;
    }

    bool Strings() {
        for (SkipBlanks(); !AtEnd(); SkipBlanks()) {
            if (Peek() == 'b' || Peek() == 'B') Step();
            const char quote = Peek();
            if (quote != '\'' && quote != '"') return false;
            Step();
            while (!AtEnd() && Peek() != quote) {
                if (!StringUnit()) return false;
            }
            if (AtEnd()) return false;
            Step();
        }
        return true;
    }

    // Lines of escaped text without quotes; the line breaks and the blanks around each line
    // are not part of the message.
    bool Unquoted() {
        while (!AtEnd()) {
            SkipBlanks();
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            while (end > pos && IsBlank(text[end - 1]))
                --end;
            while (pos < end) {
                if (!StringUnit()) return false;
            }
        }
        return true;
    }

    // One printable character or one escape sequence.
    bool StringUnit() {
        const char c = Peek();
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) return false;
        Step();
        if (c != '\\') return Put(u);
        const char e = Peek();
        if (AtEnd()) return false;
        Step();
        switch (e) {
            case 'n':
                return Put('\n');
            case 'r':
                return Put('\r');
            case 't':
                return Put('\t');
            case '\\':
            case '\'':
            case '"':
                return Put(e);
            case 'x':
                if (!IsHexDigit(Peek()) || !IsHexDigit(Peek(1))) return false;
                pos += 2;
                return Put(HexValue(text[pos - 2]) * 16 + HexValue(text[pos - 1]));
            default:
                break;
        }
        if (e < '0' || e > '7') return false;
        int value = e - '0';
        for (int i = 0; i < 2 && Peek() >= '0' && Peek() <= '7'; ++i) {
            value = value * 8 + (Peek() - '0');
            Step();
        }
        return value <= 255 && Put(value);
    }

    bool List() {
        const char open = Peek();
        const char close = open == '{' ? '}' : open == '[' ? ']' : '\0';
        if (close != '\0') Step();
        Kind kind = Kind::kNone;
        for (;;) {
            while (!AtEnd() && (IsBlank(Peek()) || Peek() == ','))
                Step();
            if (AtEnd()) return close == '\0';
            if (Peek() == close) break;
            SkipWord("(byte)");
            if (!Item(close != '\0', kind)) return false;
        }
        Step();
        SkipBlanks();
        if (Peek() == ';') Step();
        SkipBlanks();
        return AtEnd();
    }

    bool Item(bool bracketed, Kind& kind) {
        const std::size_t start = pos;
        while (!AtEnd() && !IsBlank(Peek()) && Peek() != ',' && Peek() != '}' && Peek() != ']')
            ++pos;
        const std::string_view token = text.substr(start, pos - start);
        Kind found = Kind::kPlain;
        if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
            found = Kind::kHex0x;
        } else if (bracketed) {
            found = Kind::kDecimal;
        }
        if (kind != Kind::kNone && kind != found) return false;
        kind = found;
        if (found == Kind::kHex0x) return HexToken(token.substr(2), 2);
        if (found == Kind::kPlain) return HexToken(token, token.size());
        return DecimalToken(token);
    }

    // Pairs of hex digits, at most most digits.
    bool HexToken(std::string_view digits, std::size_t most) {
        if (digits.empty() || digits.size() > most) return false;
        if (digits.size() % 2 != 0 && most != 2) return false;
        for (char c : digits) {
            if (!IsHexDigit(c)) return false;
        }
        if (digits.size() == 1) return Put(HexValue(digits[0]));
        // Past the limit the bytes end one over it, where Put stops.
        const std::size_t at = bytes.size();
        if (at + digits.size() / 2 > limit) {
            bytes.resize(limit + 1);
            return false;
        }
        bytes.resize(at + digits.size() / 2);
        return DecodeHex(static_cast<int>(digits.size()), bytes.data() + at, digits.data(),
                         static_cast<int>(digits.size() / 2)) > 0;
    }

    // -128 to 255; Java's signed bytes are two's complement.
    bool DecimalToken(std::string_view token) {
        const bool negative = !token.empty() && token[0] == '-';
        if (negative) token.remove_prefix(1);
        if (token.empty() || token.size() > 3) return false;
        int value = 0;
        for (char c : token) {
            if (!IsDigit(c)) return false;
            value = value * 10 + (c - '0');
        }
        if (negative ? value > 128 : value > 255) return false;
        return Put(negative ? 256 - value : value);
    }

    std::string_view text;
    std::vector<std::uint8_t>& bytes;
    std::size_t limit;
    std::size_t pos = 0;
    int line = 1;
};

}  // namespace

LiteralResult ParseByteLiteral(std::string_view text, std::vector<std::uint8_t>& bytes,
                               std::size_t limit) {
    return Cursor(text, bytes, limit).Parse();
}
