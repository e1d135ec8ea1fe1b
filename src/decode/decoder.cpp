#include "decode/decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "decode/codecs.h"
#include "decode/field_with_settings.h"
#include "support/text.h"

namespace {

constexpr char kVerdictOk[] = "... Parsing OK ...";
constexpr char kVerdictUnknown[] = "Unknown message %s";
constexpr char kVerdictMasks[] = "Missing or unexpected field n\u00b0 %i";
constexpr char kVerdictUndefined[] = "Error : field n\u00b0 %i is undefined";
constexpr char kVerdictUnreadable[] = "Error reading or converting field n\u00b0 %i";

// Units past kMaxMessageUnits are out of reach of 16-bit offsets, even for a caller that
// bypasses DecodeMessage's length check.
int Remaining(const AutoBuff& message, int start) noexcept {
    return std::min(message.Length(), kMaxMessageUnits) - start;
}

// A numeric value under BIGEND or HEX converts to fewer bytes than its d digits; the rest of
// the reused value buffer would otherwise show an earlier field's bytes.
bool ValueMayBeShort(const ProtocolDef& def, const FldDef& field) noexcept {
    return field.type == FieldType::N &&
           (def.numEnc == Encoding::BIGEND || def.numEnc == Encoding::HEX);
}

// Units the conversion reads after the prefix. The data size is reduced to 16 bits, which
// wraps for bit text of 8192 bytes or more; the conversion itself reads 8 units per byte.
int UnitsRead(const ProtocolDef& def, const FldDef& field, int d, int c) noexcept {
    if (field.type != FieldType::B && field.type != FieldType::Z) return c;
    const Encoding e = def.binEnc;
    const bool bitText = e == Encoding::BIGEND || e == Encoding::CHAR || e == Encoding::ASCII ||
                         e == Encoding::EBCDIC;
    return bitText ? 8 * d : c;
}

// Bytes 8w to 8w + 7 of a mask, the first one highest.
std::uint64_t BitmapWord(const FieldMask& mask, int w) noexcept {
    std::uint64_t bits = 0;
    std::memcpy(&bits, mask.data() + 8 * w, 8);
    if constexpr (std::endian::native == std::endian::little) bits = __builtin_bswap64(bits);
    return bits;
}

// The first field from n on whose bit is set, or kLastField + 1. Whole zero bytes are skipped
// at once: most of a bitmap is clear.
int NextPresent(const FieldMask& bitmap, int n) noexcept {
    while (n <= kLastField) {
        const int index = (n - 1) / 8;
        const auto rest = static_cast<std::uint8_t>(bitmap[index] & (0xFFu >> ((n - 1) % 8)));
        if (rest != 0) return 8 * index + std::countl_zero(rest) + 1;
        n = 8 * index + 9;
    }
    return kLastField + 1;
}

}  // namespace

int ReadMti(int start, ParseCursor& cursor, const AutoBuff& message,
            const ProtocolDef& def) noexcept {
    const int remaining = Remaining(message, start);
    if (start < 0 || remaining < 4) return 0;
    std::memset(cursor.mti, 0, sizeof cursor.mti);
    const std::uint8_t* units = message.Data() + start;
    auto* mti = reinterpret_cast<std::uint8_t*>(cursor.mti);
    if (def.mtiEnc == Encoding::PBCD) {
        if (!PackedBcdToDigits(2, 4, units, mti)) std::memset(cursor.mti, 0, sizeof cursor.mti);
        return 2;
    }
    if (remaining < 8) return 0;
    if (def.chrEnc == Encoding::EBCDIC) {
        EbcdicToAscii(4, units, mti);
    } else {
        std::memcpy(mti, units, 4);
    }
    return 4;
}

int ReadBitmapBlock(int block, int start, const AutoBuff& message, FieldMask& bitmap,
                    Encoding bmpEnc, Encoding chrEnc) noexcept {
    if (block == 0) bitmap.fill(0);
    std::uint8_t* bytes = bitmap.data() + (block == 0 ? 0 : 8);
    const int needed = bmpEnc == Encoding::HEX ? 16 : bmpEnc == Encoding::CHAR ? 64 : 8;
    if (start < 0 || Remaining(message, start) < needed) return 0;
    const std::uint8_t* units = message.Data() + start;
    const bool ebcdic = chrEnc == Encoding::EBCDIC;
    // A bad digit stops the conversion; the block still counts as read.
    if (bmpEnc == Encoding::HEX) {
        if (ebcdic) {
            HexTextToBytesEbcdic(16, bytes, units, 8);
        } else {
            DecodeHex(16, bytes, reinterpret_cast<const char*>(units), 8);
        }
    } else if (bmpEnc == Encoding::CHAR) {
        if (ebcdic) {
            BitTextToBytesEbcdic(8, units, bytes);
        } else {
            BitTextToBytes(8, units, bytes);
        }
    } else {
        std::memcpy(bytes, units, 8);
    }
    return needed;
}

int ReadBitmap(int start, ParseCursor& cursor, const ProtocolDef& def,
               const AutoBuff& message) noexcept {
    const int r1 = ReadBitmapBlock(0, start, message, cursor.bitmap, def.bmpEnc, def.chrEnc);
    int r2 = 0;
    if (r1 > 0 && SecondBitmapFollows(def, cursor.bitmap)) {
        r2 = ReadBitmapBlock(1, start + r1, message, cursor.bitmap, def.bmpEnc, def.chrEnc);
    }
    return r1 + r2;
}

int NextField(ParseCursor& cursor, std::int16_t& number, std::int16_t& offset,
              AutoBuff& value) noexcept {
    number = 0;
    offset = 0;
    value.Clear();
    cursor.nextField = static_cast<std::int16_t>(NextPresent(cursor.bitmap, cursor.nextField));
    if (cursor.nextField > kLastField) return kNoMoreFields;
    const int n = cursor.nextField++;
    number = static_cast<std::int16_t>(n);
    offset = cursor.pos;

    const ProtocolDef& def = cursor.def;
    const FldDef& field = def.fields[n];
    if (field.type == FieldType::U) return kFieldUndefined;

    const int remaining = Remaining(cursor.input, cursor.pos);
    if (FollowsOwnSettings(def, n)) {
        const int code =
            DecodeFieldWithSettings(def, n, cursor.input.Data() + cursor.pos, remaining, value);
        if (code > 0) cursor.pos = static_cast<std::int16_t>(cursor.pos + code);
        return code;
    }
    const int s = field.sizeLen;
    if (s > remaining) return kMessageTooShort;
    const std::uint8_t* units = cursor.input.Data() + cursor.pos;
    const auto d = static_cast<std::int16_t>(DecodeLengthPrefix(field.sizeLen, units, def, n));
    if (d < 1) return kBadLengthPrefix;
    const int c = FieldDataSize(n, d, def);
    if (s + c > remaining || s + UnitsRead(def, field, d, c) > remaining) return kMessageTooShort;

    if (value.Capacity() < d + 1 && !value.Reserve(d + 1, true)) return kNoMemory;
    if (ValueMayBeShort(def, field)) std::memset(value.Data(), 0, d);
    if (!ConvertFieldData(units + s, value.Data(), d, def, n, static_cast<std::int16_t>(c))) {
        return kConversionFailed;
    }
    value.SetLength(d);
    value.Terminate();
    cursor.pos = static_cast<std::int16_t>(cursor.pos + s + c);
    return s + c;
}

int CheckFieldMasks(const FieldMask& present, const FieldMask& mandatory,
                    const FieldMask& optional) noexcept {
    // Eight bytes a word, in bitmap order: the first failing bit is the highest one set.
    for (int w = 0; w < 2; ++w) {
        const std::uint64_t p = BitmapWord(present, w);
        const std::uint64_t m = BitmapWord(mandatory, w);
        const std::uint64_t failing = (m & ~p) | (p & ~(m | BitmapWord(optional, w)));
        if (failing != 0) return 64 * w + std::countl_zero(failing) + 1;
    }
    return 0;
}

namespace {

// The verdict of nearly every message: copied, since it has nothing to format.
bool SetVerdictOk(AutoBuff& verdict) noexcept {
    constexpr int n = sizeof kVerdictOk - 1;
    if (verdict.Capacity() < n + 1 && !verdict.Reserve(n + 1, false)) return false;
    std::memcpy(verdict.Data(), kVerdictOk, n + 1);
    return verdict.SetLength(n);
}

bool FieldVerdict(int code, int field, AutoBuff& verdict) noexcept {
    if (code == kFieldUndefined) return verdict.Format(kVerdictUndefined, field);
    return verdict.Format(kVerdictUnreadable, field);
}

// The verdict of a message whose fields were all read.
bool CheckMessage(const ParseCursor& cursor, AutoBuff& verdict, bool& passed,
                  const DecodeScratch& scratch) {
    const MsgTable& table = cursor.def.messages;
    const int slot =
        scratch.index != nullptr ? scratch.index->Find(cursor.mti) : table.FindByMti(cursor.mti);
    if (slot == MsgTable::kNone) {
        verdict.Format(kVerdictUnknown, cursor.mti);
        return true;
    }
    const MsgDef& msg = *table.At(slot);
    const int failing = CheckFieldMasks(cursor.bitmap, msg.mandatory, msg.optional);
    if (failing != 0) {
        verdict.Format(kVerdictMasks, failing);
        return true;
    }
    passed = SetVerdictOk(verdict);
    return true;
}

// Walks the fields and checks them; false when the consumer refused one (no verdict then).
bool WalkAndCheck(ParseCursor& cursor, const FieldConsumer& consumer, AutoBuff& verdict,
                  bool& passed, DecodeScratch& scratch) {
    AutoBuff& value = scratch.value;
    DecodedField field;
    field.value = &value;
    for (;;) {
        const int code = NextField(cursor, field.number, field.offset, value);
        if (code == kNoMoreFields) break;
        if (code < 0) {
            FieldVerdict(code, field.number, verdict);
            return true;
        }
        field.consumed = static_cast<std::int16_t>(code);
        if (consumer && !consumer(field)) return false;
    }
    return CheckMessage(cursor, verdict, passed, scratch);
}

// The field bits 2 to 128 as two words, field 1 at the top of the first.
struct FieldBits {
    std::uint64_t words[2] = {};

    explicit FieldBits(const FieldMask& mask) noexcept {
        words[0] = BitmapWord(mask, 0) & ~(std::uint64_t{1} << 63);  // field 1: a second bitmap
        words[1] = BitmapWord(mask, 1);
    }
};

// Overlapping word copies instead of a call: most values are a few bytes to a few dozen.
inline void CopyUnits(std::uint8_t* destination, const std::uint8_t* source, int n) noexcept {
    if (n >= 16) {
        for (int i = 0; i + 16 < n; i += 16)
            std::memcpy(destination + i, source + i, 16);
        std::memcpy(destination + n - 16, source + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(destination, source, 8);
        std::memcpy(destination + n - 8, source + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(destination, source, 4);
        std::memcpy(destination + n - 4, source + n - 4, 4);
    } else {
        for (int i = 0; i < n; ++i)
            destination[i] = source[i];
    }
}

inline void ZeroRest(std::uint8_t* destination, int written, int d) noexcept {
    if (written < d) std::memset(destination + written, 0, static_cast<std::size_t>(d - written));
}

// Bytes the planned conversions may write past a value's d bytes and NUL: whole blocks
// store more than a short value holds.
constexpr int kValueSlack = 16;

#ifdef __SSE2__
// The 16 digits of the 8 packed bytes of x, stored whole; false when a nibble is above 9.
inline bool PackedBlock(__m128i x, __m128i& digits) noexcept {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i low = _mm_and_si128(x, nibble);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(x, 4), nibble);
    const __m128i above = _mm_cmpgt_epi8(_mm_max_epu8(low, high), _mm_set1_epi8(9));
    if (_mm_movemask_epi8(above) != 0) return false;
    digits = _mm_add_epi8(_mm_unpacklo_epi8(high, low), _mm_set1_epi8('0'));
    return true;
}

inline __m128i Load4(const std::uint8_t* p) noexcept {
    std::int32_t word;
    std::memcpy(&word, p, 4);
    return _mm_cvtsi32_si128(word);
}
#endif

// The 2c digits of c packed bytes, high nibble first, with up to 8 bytes written past them;
// false when a nibble is above 9, and what was written is then of no use. Reads only the c
// bytes.
inline bool PackedPairs(const std::uint8_t* source, int c, std::uint8_t* destination) noexcept {
#ifdef __SSE2__
    __m128i digits;
    if (c >= 8) {
        for (int i = 0; i + 8 < c; i += 8) {
            const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + i));
            if (!PackedBlock(x, digits)) return false;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 2 * i), digits);
        }
        const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + c - 8));
        if (!PackedBlock(x, digits)) return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 2 * (c - 8)), digits);
        return true;
    }
    if (c >= 4) {
        // The first four bytes and the last four, overlapping, in one block.
        if (!PackedBlock(_mm_unpacklo_epi32(Load4(source), Load4(source + c - 4)), digits))
            return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), digits);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 2 * (c - 4)),
                         _mm_srli_si128(digits, 8));
        return true;
    }
    // One to three bytes, the last repeated to fill the word.
    const std::int32_t word = source[0] | source[c > 1 ? 1 : 0] << 8 | source[c - 1] << 16;
    if (!PackedBlock(_mm_cvtsi32_si128(word), digits)) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), digits);
    return true;
#else
    for (int i = 0; i < c; ++i) {
        const int high = source[i] >> 4;
        const int low = source[i] & 0x0F;
        if (high > 9 || low > 9) return false;
        destination[2 * i] = static_cast<std::uint8_t>('0' + high);
        destination[2 * i + 1] = static_cast<std::uint8_t>('0' + low);
    }
    return true;
#endif
}

// PackedBcdToDigits for the usual c of (d + 1) / 2 into a value with kValueSlack bytes to
// spare: an odd d leaves out the first high nibble, which must still be a digit.
inline bool PackedToDigits(const std::uint8_t* source, int c, int d, std::uint8_t* destination,
                           bool slack) noexcept {
    if (!slack || c != (d + 1) / 2) return PackedBcdToDigits(c, d, source, destination);
    if (d % 2 == 0) return PackedPairs(source, c, destination);
    if ((source[0] >> 4) > 9 || (source[0] & 0x0F) > 9) return false;
    destination[0] = static_cast<std::uint8_t>('0' + (source[0] & 0x0F));
    return c == 1 || PackedPairs(source + 1, c - 1, destination + 1);
}

// DecodeLengthPrefix under the plan.
inline std::uint16_t PlannedLength(PrefixRule rule, const DecodePlan& plan, const FieldPlan& field,
                                   const std::uint8_t* prefix) noexcept {
    switch (rule) {
        case PrefixRule::kFixed:
            return static_cast<std::uint16_t>(field.fixedSize);
        case PrefixRule::kByte:
            return prefix[0];
        case PrefixRule::kTwoBytes:
            return static_cast<std::uint16_t>(prefix[0] * 256 + prefix[1]);
        case PrefixRule::kPacked:
            return static_cast<std::uint16_t>(PackedBcdToInt(field.prefixUnits, prefix));
        case PrefixRule::kText10:
        case PrefixRule::kText16: {
            // At most five digits: the sum cannot wrap, so reading from the front gives the
            // reference's value.
            const unsigned radix = rule == PrefixRule::kText10 ? 10 : 16;
            std::uint32_t sum = 0;
            for (int i = 0; i < field.prefixUnits; ++i) {
                const unsigned digit = plan.DigitOf(prefix[i]);
                if (digit >= radix) return 0;
                sum = sum * radix + digit;
            }
            return static_cast<std::uint16_t>(sum);
        }
        case PrefixRule::kRefused:
            break;
    }
    return 0;
}

// FieldDataSize under the plan, for d of at least 1.
inline int PlannedDataSize(const FieldPlan& field, int d, int n, const ProtocolDef& def) noexcept {
    switch (field.size) {
        case SizeRule::kSame:
            return d;
        case SizeRule::kPacked:
            return (d + 1) / 2;
        case SizeRule::kHexBytes:
            return 2 * d;
        case SizeRule::kBits:
            return static_cast<std::uint16_t>(8 * d);
        case SizeRule::kReference:
            break;
    }
    return FieldDataSize(n, static_cast<std::int16_t>(d), def);
}

// ConvertFieldData under the plan, for d and c of at least 1.
inline bool PlannedConvert(const DecodePlan& plan, ConvertRule rule, const std::uint8_t* source,
                           std::uint8_t* destination, int d, int c, bool slack) noexcept {
    switch (rule) {
        case ConvertRule::kCopy:
            if (d > c) return false;
            CopyUnits(destination, source, d);
            return true;
        case ConvertRule::kPacked:
            return PackedToDigits(source, c, d, destination, slack);
        case ConvertRule::kHex:
        case ConvertRule::kHexEbcdic: {
            const int n = rule == ConvertRule::kHex
                              ? DecodeHex(c, destination, reinterpret_cast<const char*>(source), d)
                              : HexTextToBytesEbcdic(c, destination, source, d);
            if (n < 1) return false;
            ZeroRest(destination, n, d);
            return true;
        }
        case ConvertRule::kBits:
            if (8 * d > c) return false;
            return BitTextToBytes(d, source, destination);
        case ConvertRule::kBitsEbcdic:
            if (8 * d > c) return false;
            return BitTextToBytesEbcdic(d, source, destination);
        case ConvertRule::kText:
        case ConvertRule::kTextEbcdic:
            if (c > d) return false;
            if (rule == ConvertRule::kText) {
                CopyUnits(destination, source, c);
            } else {
                plan.TranslateEbcdic(c, source, destination);
            }
            ZeroRest(destination, c, d);
            return true;
    }
    return false;
}

// NextField of field n under the plan: the consumed units, or a NextFieldCode. One copy for
// each pair of prefix and conversion rules, so that a field costs one jump to its own code
// rather than a branch per rule, each hard to foresee when the fields of a message alternate.
template <PrefixRule Prefix, ConvertRule Convert>
int PlannedField(const DecodePlan& plan, const ProtocolDef& def, int n, const std::uint8_t* units,
                 int remaining, AutoBuff& value) noexcept {
    const FieldPlan& field = plan.Field(n);
    const int s = field.prefixUnits;
    if (s > remaining) return kMessageTooShort;
    const auto d = static_cast<std::int16_t>(PlannedLength(Prefix, plan, field, units));
    if (d < 1) return kBadLengthPrefix;
    const int c = PlannedDataSize(field, d, n, def);
    const int read = field.bitText ? 8 * d : c;
    if (s + c > remaining || s + read > remaining) return kMessageTooShort;
    // Room to spare where it can be had; the reference's room otherwise.
    const int room = d + 1 + kValueSlack;
    if (value.Capacity() < room && !value.Reserve(room, true) && value.Capacity() < d + 1 &&
        !value.Reserve(d + 1, true)) {
        return kNoMemory;
    }
    if (field.zeroFirst) std::memset(value.Data(), 0, static_cast<std::size_t>(d));
    // c fits the message here, so the reference's 16-bit c is c itself.
    if (c < 1 ||
        !PlannedConvert(plan, Convert, units + s, value.Data(), d, c, value.Capacity() >= room)) {
        return kConversionFailed;
    }
    value.SetLength(d);
    value.Terminate();
    return s + c;
}

int UndefinedField(const DecodePlan&, const ProtocolDef&, int, const std::uint8_t*, int,
                   AutoBuff&) noexcept {
    return kFieldUndefined;
}

int OwnSettingsField(const DecodePlan&, const ProtocolDef& def, int n, const std::uint8_t* units,
                     int remaining, AutoBuff& value) noexcept {
    return DecodeFieldWithSettings(def, n, units, remaining, value);
}

using FieldDecoder = int (*)(const DecodePlan&, const ProtocolDef&, int, const std::uint8_t*, int,
                             AutoBuff&) noexcept;

// Indexed by FieldPlan::route.
template <std::size_t... I>
constexpr std::array<FieldDecoder, 2 + sizeof...(I)> MakeDecoders(
    std::index_sequence<I...>) noexcept {
    return {&UndefinedField,
            &PlannedField<static_cast<PrefixRule>(I / kConvertRuleCount),
                          static_cast<ConvertRule>(I % kConvertRuleCount)>...,
            &OwnSettingsField};
}

constexpr std::size_t kRuleRoutes = kPrefixRuleCount * kConvertRuleCount;
constexpr std::array<FieldDecoder, 2 + kRuleRoutes> kFieldDecoders =
    MakeDecoders(std::make_index_sequence<kRuleRoutes>{});
static_assert(kOwnSettingsRoute == 1 + kRuleRoutes);

// WalkAndCheck with the field rules of the plan and the bitmap read a word at a time.
bool WalkPlanned(ParseCursor& cursor, const DecodePlan& plan, const FieldConsumer& consumer,
                 AutoBuff& verdict, bool& passed, DecodeScratch& scratch) {
    AutoBuff& value = scratch.value;
    const ProtocolDef& def = cursor.def;
    const std::uint8_t* data = cursor.input.Data();
    const int limit = std::min(cursor.input.Length(), kMaxMessageUnits);
    int pos = cursor.pos;
    DecodedField field;
    field.value = &value;
    const FieldBits present(cursor.bitmap);
    for (int w = 0; w < 2; ++w) {
        for (std::uint64_t bits = present.words[w]; bits != 0;) {
            const int z = std::countl_zero(bits);
            bits &= ~(std::uint64_t{1} << 63 >> z);
            const int n = 64 * w + z + 1;
            field.number = static_cast<std::int16_t>(n);
            field.offset = static_cast<std::int16_t>(pos);
            const int code =
                kFieldDecoders[plan.Field(n).route](plan, def, n, data + pos, limit - pos, value);
            if (code < 0) {
                value.Clear();
                FieldVerdict(code, n, verdict);
                return true;
            }
            pos += code;
            field.consumed = static_cast<std::int16_t>(code);
            if (consumer && !consumer(field)) return false;
        }
    }
    value.Clear();
    cursor.pos = static_cast<std::int16_t>(pos);
    return CheckMessage(cursor, verdict, passed, scratch);
}

}  // namespace

bool DecodeMessage(const AutoBuff& message, const ProtocolDef& def, const FieldConsumer& consumer,
                   AutoBuff& verdict, MessageHeader* header) {
    DecodeScratch scratch;
    return DecodeMessage(message, def, consumer, verdict, header, scratch);
}

bool DecodeMessage(const AutoBuff& message, const ProtocolDef& def, const FieldConsumer& consumer,
                   AutoBuff& verdict, MessageHeader* header, DecodeScratch& scratch) {
    verdict.Clear();
    if (header != nullptr) *header = MessageHeader{};
    if (message.Length() > kMaxMessageUnits) return false;

    ParseCursor cursor{def, message};
    int pos = ReadMti(0, cursor, message, def);
    pos += ReadBitmap(pos, cursor, def, message);
    cursor.pos = static_cast<std::int16_t>(pos);
    if (header != nullptr) {
        std::memcpy(header->mti, cursor.mti, sizeof header->mti);
        header->bitmap = cursor.bitmap;
    }
    if (pos < 1) return false;

    bool passed = false;
    const DecodePlan* plan = scratch.plan;
    const bool walked = plan != nullptr && plan->Source() == &def
                            ? WalkPlanned(cursor, *plan, consumer, verdict, passed, scratch)
                            : WalkAndCheck(cursor, consumer, verdict, passed, scratch);
    if (!walked) verdict.Clear();
    return passed;
}
