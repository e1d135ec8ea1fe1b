#include "encode/subfield_units.h"

#include "decode/decoder.h"
#include "encode/value_reasons.h"

namespace {

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

}  // namespace

bool BytesOfHex(std::string_view hex, std::vector<std::uint8_t>& out, std::string& reason) {
    if (hex.size() % 2 != 0) {
        reason = std::to_string(hex.size()) + " hex digits, an odd count";
        return false;
    }
    out.resize(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigitValue(hex[i]);
        const int low = HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            reason = Quoted(hex.substr(high < 0 ? i : i + 1, 1)) + " is not a hex digit";
            return false;
        }
        out[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

bool ShownMasked(std::string_view shown, bool binary, FieldType type,
                 SubfieldHolds holds) noexcept {
    if (shown.find('*') == std::string_view::npos) return false;
    if (binary || type == FieldType::N || holds != SubfieldHolds::kNothing) return true;
    // A card number the checker masked inside any text: 13 or more digits and '*' in a run.
    int run = 0;
    bool star = false;
    for (const char c : shown) {
        if ((c < '0' || c > '9') && c != '*') {
            run = 0;
            star = false;
            continue;
        }
        ++run;
        star = star || c == '*';
        if (star && run >= 13) return true;
    }
    return false;
}

bool HeldInBinary(const ValueRules& rules) noexcept {
    return rules.type == FieldType::N &&
           (rules.dataEnc == Encoding::BIGEND || rules.dataEnc == Encoding::HEX);
}

bool HeldNumberOfDigits(std::string_view digits, const ValueRules& rules, int d,
                        std::vector<std::uint8_t>& out, std::string& reason) {
    if (static_cast<int>(digits.size()) > d) {
        reason = CountReason(static_cast<int>(digits.size()),
                             UnitWord(FieldType::N, rules.dataEnc, 2), "at most", d);
        return false;
    }
    const int c = ValueDataUnits(rules, d);
    // Under HEX the decoder turns c hex characters into c / 2 bytes.
    const int held = rules.dataEnc == Encoding::HEX ? c / 2 : c;
    out.assign(static_cast<std::size_t>(d), 0);
    for (char digit : digits) {
        if (digit < '0' || digit > '9') {
            reason = Quoted(std::string_view(&digit, 1)) + " is not a digit";
            return false;
        }
        int carry = digit - '0';
        for (int i = held - 1; i >= 0; --i) {
            const int v = out[static_cast<std::size_t>(i)] * 10 + carry;
            out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v & 0xFF);
            carry = v >> 8;
        }
        if (carry != 0) {
            reason = "the number " + std::string(digits) + " does not fit " +
                     CountOf(held, FieldType::B, true);
            return false;
        }
    }
    return true;
}

int ExactValueLength(const ValueRules& rules, int c) noexcept {
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    switch (rules.dataEnc) {
        case Encoding::PBCD:
            return 2 * c;
        case Encoding::HEX:
            if (rules.type != FieldType::N) return c / 2;
            [[fallthrough]];
        case Encoding::BIGEND: {
            int d = 0;
            while (d < kMaxMessageUnits && ValueDataUnits(rules, d + 1) <= c)
                ++d;
            return d;
        }
        case Encoding::CHAR:
            return binary ? c / 8 : c;
        default:
            return c;
    }
}

std::string CountOf(int count, FieldType type, bool binary) {
    const bool text = !binary && (type == FieldType::B || type == FieldType::Z);
    const FieldType shown = binary ? FieldType::B : text ? FieldType::ANS : type;
    return std::to_string(count) + " " + UnitWord(shown, Encoding::NONE, count);
}
