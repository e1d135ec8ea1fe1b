#include "encode/element_parts.h"

#include "encode/codecs.h"
#include "model/protocol.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text)
        out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return out + "'";
}

// A text value's parts, and a binary value's parts of encoding CHAR, are characters.
Encoding PartEncoding(const ElementPart& part, const ElementValue& value) noexcept {
    return value.binary ? part.encoding : Encoding::CHAR;
}

bool WriteCharacters(std::string_view text, const ElementValue& value,
                     std::uint8_t* units) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        units[i] = value.binary && value.ebcdic ? AsciiToEbcdicTable[c] : c;
        if (value.binary && value.ebcdic && units[i] == kNoEbcdicCode) return false;
    }
    return true;
}

long long LargestLength(const ElementPart& part, Encoding e) noexcept {
    const int digits = e == Encoding::PBCD ? 2 * part.units : part.units;
    long long most = 1;
    for (int i = 0; i < (e == Encoding::BIGEND ? part.units : digits); ++i)
        most *= e == Encoding::BIGEND ? 256 : 10;
    return most - 1;
}

}  // namespace

bool WriteElementTag(std::string_view id, const ElementPart& part, const ElementValue& value,
                     std::uint8_t* units, ReadTag& read, std::string& reason) {
    const Encoding e = PartEncoding(part, value);
    const std::size_t count = part.units;
    read.length = 0;
    if (e == Encoding::CHAR) {
        if (id.size() != count) {
            reason = "tag " + Quoted(id) + " is not " + std::to_string(count) + " character" +
                     (count == 1 ? "" : "s") + ", as TAG says";
            return false;
        }
        if (!WriteCharacters(id, value, units)) {
            reason = "tag " + Quoted(id) + " has a character EBCDIC does not write";
            return false;
        }
        id.copy(read.text, count);
        read.length = static_cast<int>(count);
        return true;
    }
    const bool decimal = e == Encoding::PBCD;
    bool fits = id.size() == 2 * count;
    for (std::size_t i = 0; fits && i < id.size(); ++i) {
        const int v = HexDigitValue(id[i]);
        fits = v >= 0 && (!decimal || v <= 9);
    }
    if (!fits) {
        reason = "tag " + Quoted(id) + " is not " + std::to_string(2 * count) +
                 (decimal ? " decimal digits" : " hexadecimal digits") + ", as TAG " + NameOf(e) +
                 " says";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigitValue(id[2 * i]);
        const int low = HexDigitValue(id[2 * i + 1]);
        units[i] = static_cast<std::uint8_t>(high << 4 | low);
        read.text[2 * i] = kHexDigits[high];
        read.text[2 * i + 1] = kHexDigits[low];
    }
    read.length = static_cast<int>(2 * count);
    return true;
}

bool WriteElementLength(long long length, const ElementPart& part, const ElementValue& value,
                        std::uint8_t* units, std::string& reason) {
    const Encoding e = PartEncoding(part, value);
    const long long most = LargestLength(part, e);
    if (length > most) {
        const int n = part.units;
        reason = "its value takes " + std::to_string(length) +
                 (value.binary ? " bytes" : " characters") + ", and a length of " +
                 std::to_string(n) + (n == 1 ? " unit" : " units") +
                 (value.binary ? std::string(" under ") + NameOf(e) : std::string()) +
                 " holds at most " + std::to_string(most);
        return false;
    }
    long long rest = length;
    for (int i = part.units - 1; i >= 0; --i) {
        if (e == Encoding::BIGEND) {
            units[i] = static_cast<std::uint8_t>(rest & 0xFF);
            rest >>= 8;
        } else if (e == Encoding::PBCD) {
            units[i] = static_cast<std::uint8_t>((rest / 10 % 10) << 4 | rest % 10);
            rest /= 100;
        } else {
            const auto digit = static_cast<std::uint8_t>('0' + rest % 10);
            units[i] = value.binary && value.ebcdic ? AsciiToEbcdicTable[digit] : digit;
            rest /= 10;
        }
    }
    return true;
}
