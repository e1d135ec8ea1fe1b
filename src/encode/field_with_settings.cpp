#include "encode/field_with_settings.h"

#include <algorithm>
#include <cstring>

#include "decode/codecs.h"
#include "decode/decoder.h"
#include "encode/codecs.h"
#include "encode/value_reasons.h"

namespace {

const FieldSettings kNoSettings{};

bool IsBitText(Encoding e) noexcept {
    return e == Encoding::BIGEND || e == Encoding::CHAR || e == Encoding::ASCII ||
           e == Encoding::EBCDIC;
}

long long PowerOf(int base, int exponent) noexcept {
    long long power = 1;
    for (int i = 0; i < exponent; ++i)
        power *= base;
    return power;
}

// The largest length a prefix of s units gives under the rules, -1 when the prefix is no length.
long long PrefixRoom(const ValueRules& rules, const FieldSettings& own, int s) noexcept {
    switch (rules.lenEnc) {
        case Encoding::BIGEND:
        case Encoding::NONE:
            if (own.prefixNumber) return s <= 4 ? PowerOf(256, s) - 1 : -1;
            return s == 2 ? 65535 : 255;
        case Encoding::PBCD:
            return PowerOf(10, own.prefixLeftAligned ? 2 * s - 1 : 2 * s) - 1;
        case Encoding::HEX:
            return PowerOf(16, s) - 1;
        case Encoding::CHAR:
            return PowerOf(10, s) - 1;
        default:
            return -1;
    }
}

// The inverse of the decoder's PrefixValue, for a length that PrefixRoom allows. A binary prefix
// read by its first byte alone leaves the others 0.
void WritePrefix(const ValueRules& rules, const FieldSettings& own, std::uint32_t length, int s,
                 std::uint8_t* prefix) noexcept {
    const bool ebcdic = rules.charset == Encoding::EBCDIC;
    switch (rules.lenEnc) {
        case Encoding::BIGEND:
        case Encoding::NONE:
            if (own.prefixNumber || s == 2) {
                IntToBigEndian(length, s, prefix);
            } else {
                std::memset(prefix, 0, static_cast<std::size_t>(s));
                prefix[0] = static_cast<std::uint8_t>(length);
            }
            break;
        case Encoding::PBCD:
            // Left-aligned, the last nibble is the pad: 0, as the manual's example writes it.
            IntToPackedBcd(own.prefixLeftAligned ? 10 * length : length, s, prefix);
            break;
        case Encoding::HEX:
        case Encoding::CHAR: {
            const int radix = rules.lenEnc == Encoding::HEX ? 16 : 10;
            if (ebcdic) {
                IntToRadixTextEbcdic(length, s, radix, prefix);
            } else {
                IntToRadixText(length, s, radix, prefix);
            }
            break;
        }
        default:
            break;
    }
}

int DigitNibble(std::uint8_t ch) noexcept {
    return ch == '=' ? 0xD : ch - '0';
}

// The inverse of the decoder's PackedToText: lead zeros, then the value's digits, in c bytes,
// with the pad nibble (2c - d of them, at most one) where the settings put it. Packed track data
// is padded with F after its last character unless told otherwise, as track data is found.
void PackDigits(std::span<const std::uint8_t> value, int lead, int c, int d,
                const FieldSettings& own, bool track, std::uint8_t* bytes) noexcept {
    const int pads = 2 * c - d;
    const int pad = own.padNibble.value_or(track ? 0xF : 0);
    const bool right = own.padSide ? *own.padSide == PadSide::kRight : track && pad == 0xF;
    if (lead == 0 && pad == 0 && !right && !track) {
        DigitsToPackedBcd(d, value.data(), c, bytes);
        return;
    }
    const int first = right ? 0 : pads;
    for (int i = 0; i < 2 * c; ++i) {
        const bool isPad = right ? i >= d : i < pads;
        const int k = i - first - lead;
        const int v = isPad ? pad : k < 0 ? 0 : DigitNibble(value[static_cast<std::size_t>(k)]);
        if (i % 2 == 0) {
            bytes[i / 2] = static_cast<std::uint8_t>(v << 4);
        } else {
            bytes[i / 2] = static_cast<std::uint8_t>(bytes[i / 2] | v);
        }
    }
}

// Why the value cannot be written under the rules, before anything is written; empty when it
// can. c is the data units of d.
std::string ContentFault(const ValueRules& rules, std::span<const std::uint8_t> value, int d,
                         int c) {
    const Encoding e = rules.dataEnc;
    const bool numeric = rules.type == FieldType::N;
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    if (binary && e != Encoding::PBCD && IsBitText(e) && e != Encoding::CHAR) {
        return std::string("binary data under ") + NameOf(e) + " is not read back";
    }
    if (numeric && (e == Encoding::BIGEND || e == Encoding::HEX)) {
        if (e == Encoding::HEX && c % 2 != 0) {
            return std::to_string(d) + " digits under HEX take an odd number of hex digits";
        }
        // The number's bytes lead; the decoder fills the rest of its d bytes with zeros.
        const int held = e == Encoding::HEX ? c / 2 : c;
        for (int i = held; i < d; ++i) {
            if (value[static_cast<std::size_t>(i)] != 0) {
                return std::to_string(d) + " digits are held in " + std::to_string(held) +
                       " bytes: byte " + std::to_string(i + 1) + " must be 0";
            }
        }
        return {};
    }
    if (numeric || e == Encoding::PBCD) {
        const bool track =
            e == Encoding::PBCD && rules.own != nullptr && rules.own->binEnc == Encoding::PBCD;
        if (!track && AllDigits(static_cast<int>(value.size()), value.data())) return {};
        return NotADigit(value, track);
    }
    return {};
}

}  // namespace

bool EncodeValue(const ValueRules& rules, std::span<const std::uint8_t> value, bool padNumbers,
                 std::vector<std::uint8_t>& out, std::string& reason) {
    const FieldSettings& own = rules.own != nullptr ? *rules.own : kNoSettings;
    if (rules.type == FieldType::U) {
        reason = "not defined";
        return false;
    }
    const int s = rules.sizeLen;
    if (s < 0 || s > (rules.sixUnitPrefix ? kMaxPrefixUnits : 5)) {
        reason = "a length prefix of " + std::to_string(s) + " units is not read";
        return false;
    }
    const Encoding e = rules.dataEnc;
    const bool numeric = rules.type == FieldType::N;
    const bool binary = rules.type == FieldType::B || rules.type == FieldType::Z;
    const bool bytes = binary && e != Encoding::PBCD;
    const bool heldInBinary = numeric && (e == Encoding::BIGEND || e == Encoding::HEX);
    const auto given = static_cast<long long>(value.size());
    const char* word = UnitWord(rules.type, e, static_cast<int>(std::min<long long>(given, 2)));
    const auto count = static_cast<int>(std::min<long long>(given, kMaxMessageUnits + 1));

    int lead = 0;  // zeros before a fixed number's digits
    if (s == 0) {
        if (rules.size < 1) {
            reason = "a fixed size of " + std::to_string(rules.size) + " is not read";
            return false;
        }
        if (given != rules.size) {
            if (given > rules.size || !padNumbers || !numeric || heldInBinary) {
                reason = CountReason(count, word, given > rules.size ? "at most" : "fixed at",
                                     rules.size);
                return false;
            }
            lead = rules.size - count;
        }
    } else if (given > rules.size) {
        reason = CountReason(count, word, "at most", rules.size);
        return false;
    } else if (given == 0 && !rules.emptyAllowed) {
        reason = "empty, and the dialect has no empty fields";
        return false;
    }
    const int d = count + lead;
    const int c = d > 0 ? ValueDataUnits(rules, d) : 0;

    // A prefix counting nibbles of binary data counts two for each byte.
    const int perUnit = own.prefixNibbles && bytes ? 2 : 1;
    if (s > 0) {
        const long long room = std::min<long long>(PrefixRoom(rules, own, s), kMaxMessageUnits);
        if (room < 0) {
            reason = std::string("a length prefix under ") + NameOf(rules.lenEnc) + " is not read";
            return false;
        }
        if (static_cast<long long>(d) * perUnit > room) {
            reason = CountReason(count, word, "at most", static_cast<int>(room / perUnit)) +
                     " in its length prefix";
            return false;
        }
    }
    if (d > 0) {
        reason = ContentFault(rules, value, d, c);
        if (!reason.empty()) return false;
    }

    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(s + c));
    std::uint8_t* prefix = out.data() + at;
    if (s > 0) WritePrefix(rules, own, static_cast<std::uint32_t>(d * perUnit), s, prefix);
    std::uint8_t* data = prefix + s;
    const bool ebcdic = rules.charset == Encoding::EBCDIC;
    const std::uint8_t* from = value.data();
    if (d == 0) return true;
    if (e == Encoding::PBCD) {
        PackDigits(value, lead, c, d, own, own.binEnc == Encoding::PBCD, data);
    } else if (e == Encoding::HEX) {
        const int held = numeric ? c / 2 : d;
        if (ebcdic) {
            BytesToHexTextEbcdic(held, from, data);
        } else {
            BytesToHexText(held, from, data);
        }
    } else if (bytes && e != Encoding::NONE) {
        if (ebcdic) {
            BytesToBitTextEbcdic(d, from, data);
        } else {
            BytesToBitText(d, from, data);
        }
    } else {
        // Characters, a number's bytes, or raw bytes: the first c units of the value, behind
        // the zeros a fixed number is padded with.
        const bool translate = ebcdic && e != Encoding::NONE;
        std::memset(data, translate ? AsciiToEbcdicTable[std::uint8_t{'0'}] : '0',
                    static_cast<std::size_t>(lead));
        const int rest = c - lead;
        if (!translate) {
            if (rest > 0) std::memcpy(data + lead, from, static_cast<std::size_t>(rest));
        } else if (const int refused = AsciiToEbcdic(rest, from, data + lead); refused >= 0) {
            out.resize(at);
            reason = ShownUnit(value, static_cast<std::size_t>(refused)) + " has no EBCDIC code";
            return false;
        }
    }
    return true;
}
