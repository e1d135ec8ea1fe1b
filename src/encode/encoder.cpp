#include "encode/encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <new>
#include <utility>

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
            // Too long says the most that fits; too short, that the size is fixed.
            reason = CountReason(d, UnitWord(field.type, Encoding::NONE, std::min(d, 2)),
                                 d > field.size ? "at most" : "fixed at", field.size);
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

// The message as it is written, in a buffer kept from one message to the next: it only grows,
// so that a warmed-up encoder neither allocates nor pays for the zeros a vector fills new room
// with, and the finished message is appended to the caller's output in one copy.
class UnitWriter {
  public:
    explicit UnitWriter(std::vector<std::uint8_t>& buffer) noexcept : buffer(buffer) {}

    std::uint8_t* Take(std::size_t n) {
        if (end + n > buffer.size()) buffer.resize(std::max({end + n, 2 * buffer.size(), kLeast}));
        std::uint8_t* at = buffer.data() + end;
        end += n;
        return at;
    }
    // Room for n units from the end, without taking them.
    std::uint8_t* Room(std::size_t n) {
        if (end + n > buffer.size()) buffer.resize(std::max({end + n, 2 * buffer.size(), kLeast}));
        return buffer.data() + end;
    }
    void Advance(std::size_t n) noexcept { end += n; }
    std::size_t End() const noexcept { return end; }
    void AppendTo(std::vector<std::uint8_t>& out) const {
        out.insert(out.end(), buffer.data(), buffer.data() + end);
    }

  private:
    static constexpr std::size_t kLeast = 4096;
    std::vector<std::uint8_t>& buffer;
    std::size_t end = 0;
};

// Overlapping word copies instead of a call: most values are a few bytes to a few dozen.
inline void CopyUnits(std::uint8_t* to, const std::uint8_t* from, int n) noexcept {
    if (n >= 16) {
        for (int i = 0; i + 16 < n; i += 16)
            std::memcpy(to + i, from + i, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (int i = 0; i < n; ++i)
            to[i] = from[i];
    }
}

// Whether the units of a word are all decimal digits: each XOR '0' is 0 to 9, and anything
// else leaves a high nibble or a value of 10 to 15, which 6 carries into the high nibble
// without reaching the next unit.
template <typename Word>
inline bool DigitWord(const std::uint8_t* units) noexcept {
    Word x;
    std::memcpy(&x, units, sizeof x);
    constexpr auto kZeros = static_cast<Word>(0x3030303030303030ULL);
    constexpr auto kSixes = static_cast<Word>(0x0606060606060606ULL);
    constexpr auto kHigh = static_cast<Word>(0xF0F0F0F0F0F0F0F0ULL);
    x ^= kZeros;
    return ((x | static_cast<Word>(x + kSixes)) & kHigh) == 0;
}

// CopyUnits of n units that must all be digits: false when one is not, and nothing is copied.
inline bool CopyDigits(std::uint8_t* to, const std::uint8_t* from, int n) noexcept {
    bool digits = true;
    if (n >= 8) {
        for (int i = 0; i + 8 < n; i += 8)
            digits = digits && DigitWord<std::uint64_t>(from + i);
        digits = digits && DigitWord<std::uint64_t>(from + n - 8);
    } else if (n >= 4) {
        digits = DigitWord<std::uint32_t>(from) && DigitWord<std::uint32_t>(from + n - 4);
    } else {
        for (int i = 0; i < n; ++i)
            digits = digits && from[i] - unsigned{'0'} <= 9;
    }
    if (digits) CopyUnits(to, from, n);
    return digits;
}

// DigitsToPackedBcd of d digits into (d + 1) / 2 bytes, behind a pad nibble of 0 when d is
// odd, for the short numbers most fields hold: pairs of digits, checked together.
inline bool PackDigits(const std::uint8_t* from, int d, std::uint8_t* to) noexcept {
    if (d > 12) return DigitsToPackedBcd(d, from, (d + 1) / 2, to);
    bool above = false;
    int i = 0;
    if (d % 2 != 0) {
        const unsigned v = from[0] - unsigned{'0'};
        above = v > 9;
        *to++ = static_cast<std::uint8_t>(v);
        i = 1;
    }
    for (; i < d; i += 2) {
        const unsigned high = from[i] - unsigned{'0'};
        const unsigned low = from[i + 1] - unsigned{'0'};
        above = above || high > 9 || low > 9;
        *to++ = static_cast<std::uint8_t>(high << 4 | low);
    }
    return !above;
}

bool WriteHeader(const MessageDraft& draft, const ProtocolDef& def, UnitWriter& writer,
                 std::string& error) {
    const std::span<const std::uint8_t> header = draft.Header();
    if (def.options.header >= 0 && static_cast<long>(header.size()) != def.options.header) {
        error = "header: " + std::to_string(header.size()) + " units, the definition declares " +
                std::to_string(def.options.header);
        return false;
    }
    if (!header.empty()) std::memcpy(writer.Take(header.size()), header.data(), header.size());
    return true;
}

// The inverse of ReadMti: four digits packed in two bytes, or four characters.
bool WriteMti(std::string_view mti, const ProtocolDef& def, UnitWriter& writer,
              std::string& error) {
    if (mti.size() != 4) {
        error = "mti: " + CountReason(static_cast<int>(std::min<std::size_t>(mti.size(), 99)),
                                      mti.size() == 1 ? "character" : "characters", "fixed at", 4);
        return false;
    }
    const std::span<const std::uint8_t> text = Units(mti);
    if (def.mtiEnc == Encoding::PBCD) {
        if (!DigitsToPackedBcd(4, text.data(), 2, writer.Take(2))) {
            error = "mti: " + NotADigit(text, false);
            return false;
        }
        return true;
    }
    std::uint8_t* units = writer.Take(4);
    if (def.chrEnc != Encoding::EBCDIC) {
        std::memcpy(units, text.data(), 4);
    } else if (const int refused = AsciiToEbcdic(4, text.data(), units); refused >= 0) {
        error =
            "mti: " + ShownUnit(text, static_cast<std::size_t>(refused)) + " has no EBCDIC code";
        return false;
    }
    return true;
}

// The inverse of ReadBitmapBlock, for the block's 8 bytes.
void WriteBitmapBlock(const std::uint8_t* bytes, const ProtocolDef& def, UnitWriter& writer) {
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    if (def.bmpEnc == Encoding::HEX) {
        std::uint8_t* text = writer.Take(16);
        if (ebcdic) {
            BytesToHexTextEbcdic(8, bytes, text);
        } else {
            BytesToHexText(8, bytes, text);
        }
    } else if (def.bmpEnc == Encoding::CHAR) {
        std::uint8_t* text = writer.Take(64);
        if (ebcdic) {
            BytesToBitTextEbcdic(8, bytes, text);
        } else {
            BytesToBitText(8, bytes, text);
        }
    } else {
        std::memcpy(writer.Take(8), bytes, 8);
    }
}

// Under a fixed 128-bit bitmap bit 1 announces nothing: it is set only where the input had it.
FieldMask DraftBitmap(const MessageDraft& draft, const ProtocolDef& def) noexcept {
    FieldMask bitmap = draft.Present();
    bool above64 = false;
    for (int i = 8; i < 16; ++i)
        above64 = above64 || bitmap[static_cast<std::size_t>(i)] != 0;
    if ((above64 && !def.options.fixedBitmap) || draft.SecondaryAnnounced()) SetBit(bitmap, 1);
    return bitmap;
}

// Decimal or hex digits of a length, from the last: a constant radix divides by multiplication.
template <unsigned Radix>
inline void LengthDigits(std::uint32_t length, int s, bool ebcdic, std::uint8_t* text) noexcept {
    const std::uint8_t zero = ebcdic ? 0xF0 : '0';
    const std::uint8_t letter = ebcdic ? 0xC1 : 'A';
    for (int i = s - 1; i >= 0; --i) {
        const unsigned digit = length % Radix;
        text[i] = static_cast<std::uint8_t>(digit < 10 ? zero + digit : letter + digit - 10);
        length /= Radix;
    }
}

constexpr std::uint32_t kPowersOf10[] = {1,      10,      100,      1000,      10000,
                                         100000, 1000000, 10000000, 100000000, 1000000000};

// The largest length a classic prefix of s units gives, within a message.
template <PrefixRule Prefix>
std::uint32_t ClassicPrefixRoom(int s) noexcept {
    std::uint32_t room = 0;
    if constexpr (Prefix == PrefixRule::kByte) room = 255;
    if constexpr (Prefix == PrefixRule::kTwoBytes) room = kMaxMessageUnits;
    if constexpr (Prefix == PrefixRule::kPacked) {
        room = 2 * s < 10 ? kPowersOf10[2 * s] - 1 : kMaxMessageUnits;
    }
    if constexpr (Prefix == PrefixRule::kText10) room = kPowersOf10[s] - 1;
    if constexpr (Prefix == PrefixRule::kText16) room = (1u << (4 * s)) - 1;
    return std::min<std::uint32_t>(room, kMaxMessageUnits);
}

// The inverse of the decoder's PlannedLength.
template <PrefixRule Prefix>
void WriteClassicPrefix(int s, bool ebcdic, int d, std::uint8_t* prefix) noexcept {
    const auto length = static_cast<std::uint32_t>(d);
    if constexpr (Prefix == PrefixRule::kByte) {
        // Read by its first byte alone, whatever its size.
        std::memset(prefix, 0, static_cast<std::size_t>(s));
        prefix[0] = static_cast<std::uint8_t>(length);
    }
    if constexpr (Prefix == PrefixRule::kTwoBytes) {
        prefix[0] = static_cast<std::uint8_t>(length >> 8);
        prefix[1] = static_cast<std::uint8_t>(length);
    }
    if constexpr (Prefix == PrefixRule::kPacked) IntToPackedBcd(length, s, prefix);
    if constexpr (Prefix == PrefixRule::kText10) LengthDigits<10>(length, s, ebcdic, prefix);
    if constexpr (Prefix == PrefixRule::kText16) LengthDigits<16>(length, s, ebcdic, prefix);
}

// The most units a classic prefix takes, and the most data units a value unit becomes (bit
// text): room for the longest a field can be written as.
constexpr std::size_t kMostClassicUnits = 5;

// A field without settings of its own whose value fits the rules of its plan, written to `to`
// (room for 5 + 8 d units) as the inverse of the decoder's planned routine for that prefix and
// conversion: the units written. One copy for each pair of rules and for numbers apart, as the
// decoder has, so that a field costs one jump to its own code. 0 for anything out of the
// ordinary (a length the field or prefix does not hold, a data size the plan leaves to the
// reference, a unit that does not convert): EncodeValue then writes the field under the same
// rules or says why it cannot.
template <PrefixRule Prefix, ConvertRule Convert, bool Numeric>
int WriteClassic(const FieldPlan& plan, const FldDef& field, bool ebcdic,
                 std::span<const std::uint8_t> value, std::uint8_t* to) noexcept {
    if (value.empty() || field.size < 0 || value.size() > static_cast<std::size_t>(field.size)) {
        return 0;
    }
    const int d = static_cast<int>(value.size());
    const int s = plan.prefixUnits;
    if constexpr (Prefix == PrefixRule::kFixed) {
        if (d != plan.fixedSize) return 0;
    } else if (static_cast<std::uint32_t>(d) > ClassicPrefixRoom<Prefix>(s)) {
        return 0;
    }
    int c = d;
    if constexpr (Convert == ConvertRule::kPacked) c = (d + 1) / 2;
    if constexpr (Convert == ConvertRule::kHex || Convert == ConvertRule::kHexEbcdic) {
        // A number's hex digits hold its bytes: the reference's rule, left to EncodeValue.
        if (Numeric || plan.size != SizeRule::kHexBytes) return 0;
        c = 2 * d;
    }
    if constexpr (Convert == ConvertRule::kBits || Convert == ConvertRule::kBitsEbcdic) {
        // Bit text under anything but CHAR is read from units its data size does not count.
        if (plan.size != SizeRule::kBits) return 0;
        c = 8 * d;
    }
    if constexpr (Convert == ConvertRule::kText || Convert == ConvertRule::kTextEbcdic) {
        // A number held in the bytes of BIGEND data is the reference's rule too.
        if (plan.size != SizeRule::kSame) return 0;
    }
    const std::uint8_t* from = value.data();
    std::uint8_t* data = to + s;
    if constexpr (Convert == ConvertRule::kCopy || Convert == ConvertRule::kText) {
        if constexpr (Numeric) {
            if (!CopyDigits(data, from, d)) return 0;
        } else {
            CopyUnits(data, from, d);
        }
    }
    if constexpr (Convert == ConvertRule::kTextEbcdic) {
        if (Numeric && !AllDigits(d, from)) return 0;
        if (d < 8) {
            // A call costs more than the table for a few characters.
            unsigned missing = 0;
            for (int i = 0; i < d; ++i) {
                data[i] = AsciiToEbcdicTable[from[i]];
                missing |= data[i] == kNoEbcdicCode;
            }
            if (missing != 0) return 0;
        } else if (AsciiToEbcdic(d, from, data) >= 0) {
            return 0;
        }
    }
    if constexpr (Convert == ConvertRule::kPacked) {
        if (!PackDigits(from, d, data)) return 0;
    }
    if constexpr (Convert == ConvertRule::kHex) BytesToHexText(d, from, data);
    if constexpr (Convert == ConvertRule::kHexEbcdic) BytesToHexTextEbcdic(d, from, data);
    if constexpr (Convert == ConvertRule::kBits) BytesToBitText(d, from, data);
    if constexpr (Convert == ConvertRule::kBitsEbcdic) BytesToBitTextEbcdic(d, from, data);
    if constexpr (Prefix != PrefixRule::kFixed) WriteClassicPrefix<Prefix>(s, ebcdic, d, to);
    return s + c;
}

int NoClassicRoute(const FieldPlan&, const FldDef&, bool, std::span<const std::uint8_t>,
                   std::uint8_t*) noexcept {
    return 0;
}

using ClassicWriter = int (*)(const FieldPlan&, const FldDef&, bool, std::span<const std::uint8_t>,
                              std::uint8_t*) noexcept;

// Indexed by ClassicRoute: the decoder's route of the field, twice over (a number or not).
template <std::size_t... I>
constexpr std::array<ClassicWriter, 1 + sizeof...(I)> MakeClassicWriters(
    std::index_sequence<I...>) noexcept {
    return {&NoClassicRoute,
            &WriteClassic<static_cast<PrefixRule>(I / 2 / kConvertRuleCount),
                          static_cast<ConvertRule>(I / 2 % kConvertRuleCount), I % 2 == 1>...};
}

constexpr std::size_t kClassicRoutes = 2 * kPrefixRuleCount * kConvertRuleCount;
constexpr std::array<ClassicWriter, 1 + kClassicRoutes> kClassicWriters =
    MakeClassicWriters(std::make_index_sequence<kClassicRoutes>{});

// 0 for an undefined field or one with settings of its own: EncodeField's to write or refuse.
std::size_t ClassicRoute(const FieldPlan& plan, const FldDef& field) noexcept {
    if (plan.route == 0 || plan.route == kOwnSettingsRoute) return 0;
    return 1 + 2 * static_cast<std::size_t>(plan.route - 1) + (field.type == FieldType::N);
}

// A field the classic routine did not write: a value in the shown form or as subfields, a field
// with settings of its own, or one to refuse with the reason.
bool EncodeField(const MessageDraft& draft, const ProtocolDef& def, const FieldPlan& plan, int n,
                 const EncodeOptions& options, UnitWriter& writer, std::string& error,
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
    } else if (!ValueUnits(def, n, node, draft.ValueOf(node), options, value, scratch.value,
                           reason)) {
        error = FieldError(n, reason);
        return false;
    }
    const bool own = plan.route == kOwnSettingsRoute;
    if (!own && (node.form != ValueForm::kUnits || node.structured)) {
        std::uint8_t* to = writer.Room(kMostClassicUnits + 8 * value.size());
        const int written = kClassicWriters[ClassicRoute(plan, def.fields[n])](
            plan, def.fields[n], def.chrEnc == Encoding::EBCDIC, value, to);
        if (written > 0) {
            writer.Advance(static_cast<std::size_t>(written));
            return true;
        }
    }
    const ValueRules rules = own ? FieldRules(def, n) : ClassicRules(def, n);
    std::vector<std::uint8_t>& units = scratch.units;
    units.clear();
    if (!EncodeValue(rules, value, options.padNumbers, units, reason)) {
        error = FieldError(n, reason);
        return false;
    }
    if (!units.empty()) std::memcpy(writer.Take(units.size()), units.data(), units.size());
    return true;
}

bool EncodeWithPlan(const MessageDraft& draft, const ProtocolDef& def, const DecodePlan& plan,
                    const EncodeOptions& options, std::vector<std::uint8_t>& out,
                    std::string& error, EncodeScratch& scratch) {
    UnitWriter writer(scratch.message);
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    if (!WriteHeader(draft, def, writer, error)) return false;
    const std::size_t start = writer.End();
    if (!WriteMti(draft.Mti(), def, writer, error)) return false;
    const FieldMask bitmap = DraftBitmap(draft, def);
    WriteBitmapBlock(bitmap.data(), def, writer);
    if (SecondBitmapFollows(def, bitmap)) WriteBitmapBlock(bitmap.data() + 8, def, writer);
    // The fields in order, a bitmap word at a time: most of a bitmap is clear.
    for (int w = 0; w < 2; ++w) {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = bits << 8 | bitmap[static_cast<std::size_t>(8 * w + i)];
        if (w == 0) bits &= ~(std::uint64_t{1} << 63);  // field 1: the secondary bitmap
        while (bits != 0) {
            const int z = std::countl_zero(bits);
            bits &= ~(std::uint64_t{1} << 63 >> z);
            const int n = 64 * w + z + 1;
            const FieldPlan& fieldPlan = plan.Field(n);
            const DraftNode& node = draft.Node(draft.FieldNode(n));
            const FldDef& field = def.fields[n];
            // Most fields: a value as the decoder's units, under the classic rules.
            const std::string_view value = draft.ValueOf(node);
            const std::size_t route = node.form == ValueForm::kUnits && !node.structured
                                          ? ClassicRoute(fieldPlan, field)
                                          : 0;
            std::uint8_t* to = writer.Room(kMostClassicUnits + 8 * value.size());
            const int written = kClassicWriters[route](fieldPlan, field, ebcdic, Units(value), to);
            if (written > 0) {
                writer.Advance(static_cast<std::size_t>(written));
            } else if (!EncodeField(draft, def, fieldPlan, n, options, writer, error, scratch)) {
                return false;
            }
        }
    }
    const std::size_t units = writer.End() - start;
    if (units > static_cast<std::size_t>(kMaxMessageUnits)) {
        error = "message: " + std::to_string(units) + " units, at most " +
                std::to_string(kMaxMessageUnits);
        return false;
    }
    writer.AppendTo(out);
    return true;
}

}  // namespace

bool EncodeMessage(const MessageDraft& draft, const ProtocolDef& def, const EncodeOptions& options,
                   std::vector<std::uint8_t>& out, std::string& error,
                   EncodeScratch& scratch) noexcept {
    // The scratch grows and reasons are written as text: memory running out is one more reason
    // a message is not written, not an exception for every caller to catch.
    try {
        // out is appended to only once the whole message is written.
        if (scratch.plan != nullptr && scratch.plan->Source() == &def) {
            return EncodeWithPlan(draft, def, *scratch.plan, options, out, error, scratch);
        }
        const DecodePlan plan(def);
        return EncodeWithPlan(draft, def, plan, options, out, error, scratch);
    } catch (const std::bad_alloc&) {
        error.assign("out of memory");  // short enough to take no memory of its own
        return false;
    }
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
    // A number of more digits than the value has units is no value of that many digits: its
    // digits would encode into a longer value.
    if (static_cast<int>(digits.size()) > d) {
        digits.clear();
        return false;
    }
    digits.append(d - digits.size(), '0');
    std::reverse(digits.begin(), digits.end());
    return true;
}
