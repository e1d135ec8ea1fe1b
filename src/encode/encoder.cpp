#include "encode/encoder.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "decode/codecs.h"
#include "decode/decoder.h"
#include "decode/field_with_settings.h"
#include "encode/codecs.h"
#include "encode/field_with_settings.h"
#include "encode/subfield_writer.h"
#include "encode/value_reasons.h"
#include "support/text.h"

namespace {

const FieldSettings kNoSettings{};

std::span<const std::uint8_t> Units(std::string_view text) noexcept {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string FieldError(int n, const std::string& reason) {
    return "field " + std::to_string(n) + ": " + reason;
}

// The rules the decoder's classic routine reads a field without settings of its own by: the
// dialect's encodings, no empty value. They read exactly as DecodeLengthPrefix, FieldDataSize
// and ConvertFieldData do for every size that fits a message.
ValueRules ClassicRules(const ProtocolDef& def, int n) noexcept {
    const FldDef& field = def.fields[n];
    ValueRules rules = RulesOf(def, field.type, field.size, field.sizeLen, kNoSettings);
    rules.emptyAllowed = false;
    rules.sixUnitPrefix = false;
    return rules;
}

// The bytes a number of d digits is held in: the data units under BIGEND, half the hex digits
// under HEX.
int HeldBytes(Encoding e, int d) noexcept {
    const int bits = DecimalBits(d);
    return e == Encoding::BIGEND ? (bits + 7) / 8 : (bits + 3) / 4 / 2;
}

// Fields whose value the checker masks by what they hold: card numbers, tracks, PIN data.
bool HoldsSecret(int n) noexcept {
    return n == 2 || n == 34 || n == 35 || n == 36 || n == 45 || n == 52;
}

// A masked card number as the checker shows one anywhere: 13 or more digits and '*' in a run,
// at least one of them '*'.
bool HasMaskedRun(std::string_view text) noexcept {
    int run = 0;
    bool star = false;
    for (const char ch : text) {
        const bool digit = ch >= '0' && ch <= '9';
        if (!digit && ch != '*') {
            run = 0;
            star = false;
            continue;
        }
        ++run;
        star = star || ch == '*';
        if (star && run >= 13) return true;
    }
    return false;
}

bool IsMasked(const ProtocolDef& def, int n, std::string_view shown) noexcept {
    if (shown.find('*') == std::string_view::npos) return false;
    return HoldsSecret(n) || def.fields[n].type == FieldType::N || ValueIsBinary(def, n) ||
           HasMaskedRun(shown);
}

// Hex digits into bytes; false with the reason on an odd count or a unit that is no digit.
bool HexToBytes(std::string_view hex, std::vector<std::uint8_t>& bytes, std::string& reason) {
    if (hex.size() % 2 != 0) {
        reason = std::to_string(hex.size()) + " hex digits, an odd count";
        return false;
    }
    bytes.resize(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int pair = HexPairValue(hex.data() + 2 * i);
        if (pair < 0) {
            const bool highIsDigit = std::isxdigit(static_cast<unsigned char>(hex[2 * i])) != 0;
            const std::size_t bad = highIsDigit ? 2 * i + 1 : 2 * i;
            reason = ShownUnit(Units(hex), bad) + " is not a hex digit";
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(pair);
    }
    return true;
}

// Decimal digits into the d bytes of a number held in binary: its held bytes big-endian, then
// zeros, as the decoder yields it.
bool DigitsToHeldNumber(std::string_view digits, Encoding e, int d,
                        std::vector<std::uint8_t>& bytes, std::string& reason) {
    const int held = HeldBytes(e, d);
    bytes.assign(static_cast<std::size_t>(d), 0);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        unsigned carry = static_cast<unsigned char>(digits[i]) - unsigned{'0'};
        for (int k = held - 1; k >= 0; --k) {
            const unsigned v = bytes[static_cast<std::size_t>(k)] * 10u + carry;
            bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v & 0xFF);
            carry = v >> 8;
        }
        if (carry != 0) {
            reason = std::string(digits) + " does not fit " + std::to_string(held) + " bytes";
            return false;
        }
    }
    return true;
}

// The field's value as the decoder yields it, from the form the draft gives it in: units as
// they are, a shown value converted (hex to bytes, a number's digits to its bytes).
bool ValueUnits(const ProtocolDef& def, int n, const DraftNode& node, std::string_view given,
                const EncodeOptions& options, std::span<const std::uint8_t>& value,
                std::vector<std::uint8_t>& converted, std::string& reason) {
    value = Units(given);
    if (node.form == ValueForm::kUnits) return true;
    if (IsMasked(def, n, given)) {
        reason = "the value is masked (" + std::string(given) + ")";
        return false;
    }
    if (ValueIsBinary(def, n)) {
        if (!HexToBytes(given, converted, reason)) return false;
        value = converted;
        return true;
    }
    if (!NumberHeldInBinary(def, n)) return true;
    if (const std::string fault = NotADigit(value, false); !fault.empty()) {
        reason = fault;
        return false;
    }
    const FldDef& field = def.fields[n];
    auto d = static_cast<int>(std::min<std::size_t>(given.size(), kMaxMessageUnits + 1));
    if (field.sizeLen == 0 && d != field.size) {
        if (d > field.size || !options.padNumbers) {
            reason = CountReason(d, UnitWord(field.type, Encoding::NONE, std::min(d, 2)),
                                 "fixed at", field.size);
            return false;
        }
        d = field.size;
    } else if (d > field.size) {
        reason = CountReason(d, "digits", "at most", field.size);
        return false;
    }
    if (!DigitsToHeldNumber(given, def.DataEncoding(n), d, converted, reason)) return false;
    value = converted;
    return true;
}

bool WriteHeader(const MessageDraft& draft, const ProtocolDef& def, std::vector<std::uint8_t>& out,
                 std::string& error) {
    const std::span<const std::uint8_t> header = draft.Header();
    if (def.options.header >= 0 && static_cast<long>(header.size()) != def.options.header) {
        error = "header: " + std::to_string(header.size()) + " units, the definition declares " +
                std::to_string(def.options.header);
        return false;
    }
    out.insert(out.end(), header.begin(), header.end());
    return true;
}

// The inverse of ReadMti: four digits packed in two bytes, or four characters.
bool WriteMti(std::string_view mti, const ProtocolDef& def, std::vector<std::uint8_t>& out,
              std::string& error) {
    if (mti.size() != 4) {
        error = "mti: " + CountReason(static_cast<int>(std::min<std::size_t>(mti.size(), 99)),
                                      mti.size() == 1 ? "character" : "characters", "fixed at", 4);
        return false;
    }
    const std::span<const std::uint8_t> text = Units(mti);
    const std::size_t at = out.size();
    if (def.mtiEnc == Encoding::PBCD) {
        out.resize(at + 2);
        if (!DigitsToPackedBcd(4, text.data(), 2, out.data() + at)) {
            out.resize(at);
            error = "mti: " + NotADigit(text, false);
            return false;
        }
        return true;
    }
    out.resize(at + 4);
    if (def.chrEnc != Encoding::EBCDIC) {
        std::memcpy(out.data() + at, text.data(), 4);
    } else if (const int refused = AsciiToEbcdic(4, text.data(), out.data() + at); refused >= 0) {
        out.resize(at);
        error =
            "mti: " + ShownUnit(text, static_cast<std::size_t>(refused)) + " has no EBCDIC code";
        return false;
    }
    return true;
}

// The inverse of ReadBitmapBlock, for the block's 8 bytes.
void WriteBitmapBlock(const std::uint8_t* bytes, const ProtocolDef& def,
                      std::vector<std::uint8_t>& out) {
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    const std::size_t at = out.size();
    if (def.bmpEnc == Encoding::HEX) {
        out.resize(at + 16);
        if (ebcdic) {
            BytesToHexTextEbcdic(8, bytes, out.data() + at);
        } else {
            BytesToHexText(8, bytes, out.data() + at);
        }
    } else if (def.bmpEnc == Encoding::CHAR) {
        out.resize(at + 64);
        if (ebcdic) {
            BytesToBitTextEbcdic(8, bytes, out.data() + at);
        } else {
            BytesToBitText(8, bytes, out.data() + at);
        }
    } else {
        out.insert(out.end(), bytes, bytes + 8);
    }
}

FieldMask DraftBitmap(const MessageDraft& draft) noexcept {
    FieldMask bitmap{};
    bool above64 = false;
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (draft.FieldNode(n) == MessageDraft::kNoNode) continue;
        SetBit(bitmap, n);
        above64 = above64 || n > 64;
    }
    if (above64 || draft.SecondaryAnnounced()) SetBit(bitmap, 1);
    return bitmap;
}

bool EncodeField(const MessageDraft& draft, const ProtocolDef& def, const FieldPlan& plan, int n,
                 const EncodeOptions& options, std::vector<std::uint8_t>& out, std::string& error,
                 EncodeScratch& scratch) {
    if (!plan.defined) {
        error = "field " + std::to_string(n) + " is not defined";
        return false;
    }
    const std::int32_t index = draft.FieldNode(n);
    const DraftNode& node = draft.Node(index);
    std::span<const std::uint8_t> value;
    std::string reason;
    if (node.structured) {
        if (!WriteSubfields(def, n, draft, index, options, scratch.value, error, scratch)) {
            return false;
        }
        value = scratch.value;
    } else if (!ValueUnits(def, n, node, draft.ValueOf(node), options, value, scratch.units,
                           reason)) {
        error = FieldError(n, reason);
        return false;
    }
    const ValueRules rules =
        plan.route == kOwnSettingsRoute ? FieldRules(def, n) : ClassicRules(def, n);
    if (!EncodeValue(rules, value, options.padNumbers, out, reason)) {
        error = FieldError(n, reason);
        return false;
    }
    return true;
}

bool EncodeWithPlan(const MessageDraft& draft, const ProtocolDef& def, const DecodePlan& plan,
                    const EncodeOptions& options, std::vector<std::uint8_t>& out,
                    std::string& error, EncodeScratch& scratch) {
    if (!WriteHeader(draft, def, out, error)) return false;
    const std::size_t start = out.size();
    if (!WriteMti(draft.Mti(), def, out, error)) return false;
    const FieldMask bitmap = DraftBitmap(draft);
    WriteBitmapBlock(bitmap.data(), def, out);
    if (TestBit(bitmap, 1)) WriteBitmapBlock(bitmap.data() + 8, def, out);
    for (int n = kFirstDataElement; n <= kLastField; ++n) {
        if (!TestBit(bitmap, n)) continue;
        if (!EncodeField(draft, def, plan.Field(n), n, options, out, error, scratch)) return false;
    }
    const std::size_t units = out.size() - start;
    if (units > static_cast<std::size_t>(kMaxMessageUnits)) {
        error = "message: " + std::to_string(units) + " units, at most " +
                std::to_string(kMaxMessageUnits);
        return false;
    }
    return true;
}

}  // namespace

bool EncodeMessage(const MessageDraft& draft, const ProtocolDef& def, const EncodeOptions& options,
                   std::vector<std::uint8_t>& out, std::string& error, EncodeScratch& scratch) {
    const std::size_t start = out.size();
    bool encoded = false;
    if (scratch.plan != nullptr && scratch.plan->Source() == &def) {
        encoded = EncodeWithPlan(draft, def, *scratch.plan, options, out, error, scratch);
    } else {
        const DecodePlan plan(def);
        encoded = EncodeWithPlan(draft, def, plan, options, out, error, scratch);
    }
    if (!encoded) out.resize(start);
    return encoded;
}

bool NumberHeldInBinary(const ProtocolDef& def, int n) noexcept {
    if (n < kFirstDataElement || n > kLastField || def.fields[n].type != FieldType::N) {
        return false;
    }
    const Encoding e = def.DataEncoding(n);
    return e == Encoding::BIGEND || e == Encoding::HEX;
}

bool NumberDigits(const ProtocolDef& def, int n, std::span<const std::uint8_t> value,
                  std::string& digits) {
    digits.clear();
    if (!NumberHeldInBinary(def, n)) {
        digits.assign(reinterpret_cast<const char*>(value.data()), value.size());
        return true;
    }
    const int d = static_cast<int>(std::min<std::size_t>(value.size(), kMaxMessageUnits));
    const int held = std::min(HeldBytes(def.DataEncoding(n), d), d);
    for (int i = held; i < d; ++i) {
        if (value[static_cast<std::size_t>(i)] != 0) return false;
    }
    // Long division by ten of the held bytes, the lowest digit first.
    std::vector<std::uint8_t> number(value.begin(), value.begin() + held);
    std::size_t first = 0;
    while (first < number.size()) {
        unsigned rest = 0;
        for (std::size_t k = first; k < number.size(); ++k) {
            const unsigned v = rest << 8 | number[k];
            number[k] = static_cast<std::uint8_t>(v / 10);
            rest = v % 10;
        }
        digits.push_back(static_cast<char>('0' + rest));
        while (first < number.size() && number[first] == 0)
            ++first;
    }
    if (static_cast<int>(digits.size()) < d) digits.append(d - digits.size(), '0');
    std::reverse(digits.begin(), digits.end());
    return true;
}
