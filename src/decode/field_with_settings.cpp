#include "decode/field_with_settings.h"

#include <cstring>

#include "decode/codecs.h"
#include "decode/decoder.h"
#include "support/text.h"

namespace {

int Nibble(const std::uint8_t* bytes, int i) noexcept {
    return (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2]) & 0x0F;
}

bool IsBitText(Encoding e) noexcept {
    return e == Encoding::BIGEND || e == Encoding::CHAR || e == Encoding::ASCII ||
           e == Encoding::EBCDIC;
}

// Digits of the count characters in the radix, -1 on any other character.
long long RadixText(const std::uint8_t* text, int count, int radix, bool ebcdic) noexcept {
    long long sum = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t ch = ebcdic ? EbcdicToAsciiTable[text[i]] : text[i];
        int digit = 99;
        if (ch >= '0' && ch <= '9') digit = ch - '0';
        if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
        if (digit >= radix) return -1;
        sum = sum * radix + digit;
    }
    return sum;
}

// The number that nibbles [0, count) of bytes spell, -1 on a nibble above 9.
long long PackedNumber(const std::uint8_t* bytes, int count) noexcept {
    long long sum = 0;
    for (int i = 0; i < count; ++i) {
        const int v = Nibble(bytes, i);
        if (v > 9) return -1;
        sum = sum * 10 + v;
    }
    return sum;
}

long long PrefixValue(const ValueRules& rules, const std::uint8_t* prefix, int s) noexcept {
    const FieldSettings& own = *rules.own;
    const bool ebcdic = rules.charset == Encoding::EBCDIC;
    switch (rules.lenEnc) {
        case Encoding::BIGEND:
        case Encoding::NONE: {
            if (!own.prefixNumber) return s == 2 ? prefix[0] * 256 + prefix[1] : prefix[0];
            if (s > 4) return -1;
            long long sum = 0;
            for (int i = 0; i < s; ++i)
                sum = sum * 256 + prefix[i];
            return sum;
        }
        case Encoding::PBCD:
            // Left-aligned, the last nibble is the pad.
            return PackedNumber(prefix, own.prefixLeftAligned ? 2 * s - 1 : 2 * s);
        case Encoding::HEX:
            return RadixText(prefix, s, 16, ebcdic);
        case Encoding::CHAR:
            return RadixText(prefix, s, 10, ebcdic);
        default:
            return -1;
    }
}

// Packed data of c bytes into d characters. The pad nibbles (2c - d of them) lead, or end the
// data when padded on the right; a pad of F must be F, any other a decimal digit. Packed track
// data shows its separator D as '=', and unless told otherwise takes an F pad at either end, as
// track data is found padded.
bool PackedToText(const std::uint8_t* source, int c, int d, const FieldSettings& own, bool track,
                  std::uint8_t* destination) noexcept {
    const int pads = 2 * c - d;
    if (pads < 0) return false;
    bool right = own.padSide == PadSide::kRight;
    if (!own.padSide && track && pads == 1) {
        right = Nibble(source, 2 * c - 1) == 0xF && Nibble(source, 0) != 0xF;
    }
    const int first = right ? 0 : pads;
    for (int i = 0; i < 2 * c; ++i) {
        const int v = Nibble(source, i);
        const bool pad = right ? i >= d : i < pads;
        if (pad) {
            const bool fits = own.padNibble == 0xF ? v == 0xF
                              : own.padNibble      ? v <= 9
                                                   : v <= 9 || (track && v == 0xF);
            if (!fits) return false;
            continue;
        }
        std::uint8_t shown = 0;
        if (v <= 9) {
            shown = static_cast<std::uint8_t>('0' + v);
        } else if (v == 0xD && track) {
            shown = '=';
        } else {
            return false;
        }
        destination[i - first] = shown;
    }
    return true;
}

}  // namespace

bool FollowsOwnSettings(const ProtocolDef& def, int n) noexcept {
    if (n < kFirstDataElement || n > kLastField) return false;
    return def.settings[n].Any() || (def.options.emptyFields && def.fields[n].sizeLen > 0);
}

ValueRules RulesOf(const ProtocolDef& def, FieldType type, int size, int sizeLen,
                   const FieldSettings& own) noexcept {
    ValueRules rules;
    rules.type = type;
    rules.size = size;
    rules.sizeLen = sizeLen;
    rules.own = &own;
    rules.lenEnc = own.lenEnc.value_or(def.lenEnc);
    rules.dataEnc = DataEncodingOf(def, type, own);
    rules.charset = own.charset.value_or(def.chrEnc);
    rules.emptyAllowed = def.options.emptyFields;
    rules.sixUnitPrefix = own.sixUnitPrefix;
    return rules;
}

ValueRules FieldRules(const ProtocolDef& def, int n) noexcept {
    const FldDef& field = def.fields[n];
    return RulesOf(def, field.type, field.size, field.sizeLen, def.settings[n]);
}

int FieldLength(const ProtocolDef& def, int n, const std::uint8_t* units) noexcept {
    return ValueLength(FieldRules(def, n), units);
}

int ValueLength(const ValueRules& rules, const std::uint8_t* units) noexcept {
    const int s = rules.sizeLen;
    if (s == 0) return rules.size;
    const int most = rules.sixUnitPrefix ? kMaxPrefixUnits : 5;
    if (s < 0 || s > most) return -1;
    const long long value = PrefixValue(rules, units, s);
    return value >= 0 && value <= kMaxMessageUnits ? static_cast<int>(value) : -1;
}

int ValueDataUnits(const ValueRules& rules, int d) noexcept {
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    switch (rules.dataEnc) {
        case Encoding::BIGEND:
            return (DecimalBits(d) + 7) / 8;
        case Encoding::PBCD:
            return (d + 1) / 2;
        case Encoding::HEX:
            return rules.type == FieldType::N ? (DecimalBits(d) + 3) / 4 : 2 * d;
        case Encoding::CHAR:
            return binary ? 8 * d : d;
        default:
            return d;
    }
}

int DecodeFieldWithSettings(const ProtocolDef& def, int n, const std::uint8_t* units, int remaining,
                            AutoBuff& value) noexcept {
    if (def.fields[n].type == FieldType::U) return kFieldUndefined;
    return DecodeValue(FieldRules(def, n), units, remaining, value);
}

int DecodeValue(const ValueRules& rules, const std::uint8_t* units, int remaining,
                AutoBuff& value) noexcept {
    if (rules.type == FieldType::U) return kFieldUndefined;
    const FieldSettings& own = *rules.own;
    const int s = rules.sizeLen;
    if (s > remaining) return kMessageTooShort;
    const int length = ValueLength(rules, units);
    if (length < 0) return kBadLengthPrefix;
    const Encoding e = rules.dataEnc;
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    const bool bytes = binary && e != Encoding::PBCD;
    // A prefix counting nibbles of binary data: the bytes that hold them.
    const int d = own.prefixNibbles && s > 0 && bytes ? (length + 1) / 2 : length;
    if (d == 0) {
        if (s == 0 || !rules.emptyAllowed) return kBadLengthPrefix;
        // An empty value is still a text: its readers get storage holding a NUL.
        if (value.Capacity() < 1 && !value.Reserve(1, false)) return kNoMemory;
        value.Clear();
        return s;
    }
    const int c = ValueDataUnits(rules, d);
    const int read = bytes && IsBitText(e) ? 8 * d : c;
    if (c < 1 || s + c > remaining || s + read > remaining) return kMessageTooShort;
    if (value.Capacity() < d + 1 && !value.Reserve(d + 1, true)) return kNoMemory;
    std::uint8_t* to = value.Data();
    const std::uint8_t* from = units + s;
    const bool ebcdic = rules.charset == Encoding::EBCDIC;
    bool converted = false;
    if (rules.type == FieldType::N && (e == Encoding::BIGEND || e == Encoding::HEX)) {
        std::memset(to, 0, static_cast<std::size_t>(d));
    }
    if (e == Encoding::NONE) {
        converted = d <= c;
        if (converted) std::memcpy(to, from, static_cast<std::size_t>(d));
    } else if (e == Encoding::PBCD) {
        // Only packed track data (a Z field's own BIN_Enc=PBCD) has a separator: a number
        // packed by a setting that restates the dialect's reads as the dialect reads it.
        const bool track = own.binEnc == Encoding::PBCD;
        converted = PackedToText(from, c, d, own, track, to);
    } else if (e == Encoding::HEX) {
        const int got = ebcdic ? HexTextToBytesEbcdic(c, to, from, d)
                               : DecodeHex(c, to, reinterpret_cast<const char*>(from), d);
        converted = got >= 1;
        if (converted && got < d) std::memset(to + got, 0, static_cast<std::size_t>(d - got));
    } else if (bytes) {
        converted = 8 * d <= c &&
                    (ebcdic ? BitTextToBytesEbcdic(d, from, to) : BitTextToBytes(d, from, to));
    } else if (c <= d) {
        if (ebcdic) {
            EbcdicToAscii(c, from, to);
        } else {
            std::memcpy(to, from, static_cast<std::size_t>(c));
        }
        if (c < d) std::memset(to + c, 0, static_cast<std::size_t>(d - c));
        converted = true;
    }
    if (!converted) return kConversionFailed;
    value.SetLength(d);
    value.Terminate();
    return s + c;
}
