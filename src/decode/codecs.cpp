#include "decode/codecs.h"

#include <array>
#include <bit>
#include <cstring>

#include "support/text.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ISO_EBCDIC_X86 1
#endif

// Mostly code page 037; the doubled targets and the unmapped gaps are deliberate: messages
// already exchanged decode through exactly this table.
// clang-format off
const std::uint8_t EbcdicToAsciiTable[256] = {
    0x00, 0x01, 0x02, 0x03, 0x7F, 0x09, 0x7F, 0x09, 0x7F, 0x7F, 0x60, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,  // 0_
    0x10, 0x11, 0x12, 0x13, 0x3C, 0x0A, 0x08, 0x7F, 0x18, 0x19, 0x7F, 0x7F, 0x1C, 0x1D, 0x1E, 0x1F,  // 1_
    0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x0A, 0x17, 0x1B, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x05, 0x06, 0x07,  // 2_
    0x7F, 0x7F, 0x16, 0x7F, 0x7F, 0x7F, 0x7F, 0x04, 0x7F, 0x7F, 0x7F, 0x7F, 0x14, 0x15, 0x7F, 0x1A,  // 3_
    0x20, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x5B, 0x2E, 0x3C, 0x28, 0x2B, 0x21,  // 4_
    0x26, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x21, 0x24, 0x2A, 0x29, 0x3B, 0x5E,  // 5_
    0x2D, 0x2F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7C, 0x2C, 0x25, 0x5F, 0x3E, 0x3F,  // 6_
    0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x60, 0x3A, 0x23, 0x40, 0x27, 0x3D, 0x22,  // 7_
    0x7F, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // 8_
    0x7F, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // 9_
    0x7F, 0x7E, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // A_
    0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // B_
    0x7B, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // C_
    0x7D, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // D_
    0x5C, 0x7F, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // E_
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  // F_
};
// clang-format on

namespace {

// floor(log2(10) * 2^47): with d below 2^15 the product fits 64 bits, and the truncation
// error stays far below the distance of any d * log2(10) to the next integer.
constexpr std::uint64_t kLog2Of10Q47 = 467519816571447ULL;

std::uint8_t Identity(std::uint8_t b) noexcept {
    return b;
}
std::uint8_t FromEbcdic(std::uint8_t b) noexcept {
    return EbcdicToAsciiTable[b];
}

int DigitValue(std::uint8_t ch) noexcept {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Unsigned arithmetic: a long text wraps instead of overflowing.
template <std::uint8_t (*Translate)(std::uint8_t)>
std::int32_t ParseRadix(const std::uint8_t* text, int count, int radix) noexcept {
    if (text == nullptr) return 0;
    std::uint32_t sum = 0;
    std::uint32_t weight = 1;
    for (int i = count - 1; i >= 0; --i) {
        const int value = DigitValue(Translate(text[i]));
        if (value < 0 || value >= radix) return 0;
        sum += static_cast<std::uint32_t>(value) * weight;
        weight *= static_cast<std::uint32_t>(radix);
    }
    return static_cast<std::int32_t>(sum);
}

template <std::uint8_t (*Translate)(std::uint8_t)>
bool BitText(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    if (source == nullptr || destination == nullptr) return false;
    if (count > 0) std::memset(destination, 0, static_cast<std::size_t>(count));
    const long bits = 8L * count;
    for (long i = 0; i < bits; ++i) {
        const std::uint8_t ch = Translate(source[i]);
        if (ch == '1') {
            destination[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        } else if (ch != '0') {
            return false;
        }
    }
    return true;
}

// The two digits of each packed byte as they lie in memory (high digit first), 0 for a byte
// with a nibble above 9.
constexpr std::array<std::uint16_t, 256> MakePackedDigits() noexcept {
    std::array<std::uint16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        if ((b >> 4) > 9 || (b & 15) > 9) continue;
        const unsigned char pair[2] = {static_cast<unsigned char>('0' + (b >> 4)),
                                       static_cast<unsigned char>('0' + (b & 15))};
        table[b] = std::endian::native == std::endian::little
                       ? static_cast<std::uint16_t>(pair[0] | pair[1] << 8)
                       : static_cast<std::uint16_t>(pair[0] << 8 | pair[1]);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kPackedDigits = MakePackedDigits();

bool ValidField(int field) noexcept {
    return field >= 0 && field < kFieldCount;
}

void ZeroTail(std::uint8_t* destination, int written, int d) noexcept {
    if (written < d) std::memset(destination + written, 0, static_cast<std::size_t>(d - written));
}

}  // namespace

#ifdef ISO_EBCDIC_X86
namespace {

// 64 bytes a round through the whole table held in four registers: each byte picks its entry
// among 128 by two byte permutations, and its top bit chooses between the two. The mask keeps
// the last round's loads and stores inside the run.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void TranslateVbmi(
    int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    __m512i t[4];
    for (int k = 0; k < 4; ++k)
        t[k] = _mm512_loadu_si512(EbcdicToAsciiTable + 64 * k);
    for (int i = 0; i < count; i += 64) {
        const int rest = count - i;
        const __mmask64 k = rest >= 64 ? ~__mmask64{0} : (__mmask64{1} << rest) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(k, source + i);
        const __m512i low = _mm512_permutex2var_epi8(t[0], v, t[1]);
        const __m512i high = _mm512_permutex2var_epi8(t[2], v, t[3]);
        _mm512_mask_storeu_epi8(destination + i, k,
                                _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high));
    }
    _mm256_zeroupper();
}

bool HasVbmi() noexcept {
    static const bool vbmi = (__builtin_cpu_init(), __builtin_cpu_supports("avx512vbmi") &&
                                                        __builtin_cpu_supports("avx512vl") &&
                                                        __builtin_cpu_supports("avx512bw"));
    return vbmi;
}

}  // namespace
#endif

EbcdicTranslation FastestEbcdicTranslation() noexcept {
#ifdef ISO_EBCDIC_X86
    if (HasVbmi()) return &TranslateVbmi;
#endif
    return &EbcdicToAsciiScalar;
}

void EbcdicToAscii(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    if (source == nullptr || destination == nullptr) return;
#ifdef ISO_EBCDIC_X86
    if (count >= 8 && HasVbmi()) return TranslateVbmi(count, source, destination);
#endif
    EbcdicToAsciiScalar(count, source, destination);
}

void EbcdicToAsciiScalar(int count, const std::uint8_t* source,
                         std::uint8_t* destination) noexcept {
    if (source == nullptr || destination == nullptr) return;
    int i = 0;
    // Eight bytes a round: a loop of one costs as much in counting as in translating.
    for (; i + 8 <= count; i += 8) {
        const std::uint8_t* s = source + i;
        std::uint8_t* d = destination + i;
        d[0] = EbcdicToAsciiTable[s[0]];
        d[1] = EbcdicToAsciiTable[s[1]];
        d[2] = EbcdicToAsciiTable[s[2]];
        d[3] = EbcdicToAsciiTable[s[3]];
        d[4] = EbcdicToAsciiTable[s[4]];
        d[5] = EbcdicToAsciiTable[s[5]];
        d[6] = EbcdicToAsciiTable[s[6]];
        d[7] = EbcdicToAsciiTable[s[7]];
    }
    for (; i < count; ++i)
        destination[i] = EbcdicToAsciiTable[source[i]];
}

std::int32_t ParseRadixText(const std::uint8_t* text, int count, int radix) noexcept {
    return ParseRadix<Identity>(text, count, radix);
}

std::int32_t ParseRadixTextEbcdic(const std::uint8_t* text, int count, int radix) noexcept {
    return ParseRadix<FromEbcdic>(text, count, radix);
}

std::int32_t PackedBcdToInt(int count, const std::uint8_t* bytes) noexcept {
    if (bytes == nullptr) return 0;
    std::uint32_t sum = 0;
    std::uint32_t weight = 1;
    for (int i = count - 1; i >= 0; --i) {
        const std::uint32_t low = bytes[i] & 0x0F;
        const std::uint32_t high = bytes[i] >> 4;
        if (low > 9 || high > 9) return 0;
        sum += low * weight + high * 10 * weight;
        weight *= 100;
    }
    return static_cast<std::int32_t>(sum);
}

bool PackedBcdToDigits(int count, int width, const std::uint8_t* bytes,
                       std::uint8_t* destination) noexcept {
    if (bytes == nullptr || destination == nullptr) return false;
    int p = width - 1;
    int i = count - 1;
    // Whole bytes two digits at a time while both fit.
    for (; i >= 0 && p >= 1; --i, p -= 2) {
        const std::uint16_t digits = kPackedDigits[bytes[i]];
        if (digits == 0) return false;
        std::memcpy(destination + p - 1, &digits, 2);
    }
    for (; i >= 0 && p >= 0; --i) {
        const int low = bytes[i] & 0x0F;
        const int high = bytes[i] >> 4;
        if (low > 9 || high > 9) return false;
        destination[p--] = static_cast<std::uint8_t>('0' + low);
        if (p >= 0) destination[p--] = static_cast<std::uint8_t>('0' + high);
    }
    while (p >= 0)
        destination[p--] = '0';
    return true;
}

int HexTextToBytesEbcdic(int count, std::uint8_t* destination, const std::uint8_t* source,
                         int room) noexcept {
    if (destination == nullptr || source == nullptr || count < 2 || count % 2 != 0 ||
        room < count / 2) {
        return 0;
    }
    const int n = count / 2;
    for (int i = 0; i < n; ++i) {
        const char pair[2] = {static_cast<char>(EbcdicToAsciiTable[source[2 * i]]),
                              static_cast<char>(EbcdicToAsciiTable[source[2 * i + 1]])};
        const int value = HexPairValue(pair);
        if (value < 0) return 0;
        destination[i] = static_cast<std::uint8_t>(value);
    }
    if (n < room) destination[n] = 0;
    return n;
}

bool BitTextToBytes(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    return BitText<Identity>(count, source, destination);
}

bool BitTextToBytesEbcdic(int count, const std::uint8_t* source,
                          std::uint8_t* destination) noexcept {
    return BitText<FromEbcdic>(count, source, destination);
}

std::uint16_t DecodeLengthPrefix(std::int16_t s, const std::uint8_t* prefix, const ProtocolDef& def,
                                 int field) noexcept {
    const int size = static_cast<std::uint16_t>(s);
    if (prefix == nullptr || size > 5) return 0;
    if (size == 0)
        return ValidField(field) ? static_cast<std::uint16_t>(def.fields[field].size) : 0;
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    std::int32_t d = 0;
    switch (def.lenEnc) {
        case Encoding::BIGEND:
        case Encoding::NONE:
            d = size == 2 ? prefix[0] * 256 + prefix[1] : prefix[0];
            break;
        case Encoding::PBCD:
            d = PackedBcdToInt(size, prefix);
            break;
        case Encoding::HEX:
            d = ebcdic ? ParseRadixTextEbcdic(prefix, size, 16) : ParseRadixText(prefix, size, 16);
            break;
        case Encoding::CHAR:
            d = ebcdic ? ParseRadixTextEbcdic(prefix, size, 10) : ParseRadixText(prefix, size, 10);
            break;
        default:
            break;
    }
    return static_cast<std::uint16_t>(d);
}

int DecimalBits(int d) noexcept {
    if (d < 1) return 0;
    return static_cast<int>((static_cast<std::uint64_t>(d) * kLog2Of10Q47) >> 47) + 1;
}

std::uint16_t FieldDataSize(int field, std::int16_t d, const ProtocolDef& def) noexcept {
    if (!ValidField(field)) return 0;
    int units = d < 0 ? def.fields[field].size : d;
    if (units < 0) units = 0;
    int c = units;
    switch (def.DataEncoding(field)) {
        case Encoding::BIGEND:
            c = (DecimalBits(units) + 7) / 8;
            break;
        case Encoding::PBCD:
            c = (units + 1) / 2;
            break;
        case Encoding::HEX:
            c = def.fields[field].type == FieldType::N ? (DecimalBits(units) + 3) / 4 : 2 * units;
            break;
        case Encoding::CHAR:
            c = def.IsBinaryField(field) ? 8 * units : units;
            break;
        default:
            break;
    }
    return static_cast<std::uint16_t>(c);
}

// Every branch reads at most c source units and writes at most d destination bytes, whatever
// sizes the definition produced.
bool ConvertFieldData(const std::uint8_t* source, std::uint8_t* destination, std::int16_t d,
                      const ProtocolDef& def, int field, std::int16_t c) noexcept {
    if (source == nullptr || destination == nullptr || d < 1 || c < 1 || !ValidField(field)) {
        return false;
    }
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    const Encoding e = def.DataEncoding(field);
    if (e == Encoding::NONE) {
        if (d > c) return false;
        std::memcpy(destination, source, static_cast<std::size_t>(d));
        return true;
    }
    if (e == Encoding::PBCD) return PackedBcdToDigits(c, d, source, destination);
    if (e == Encoding::HEX) {
        const int n = ebcdic ? HexTextToBytesEbcdic(c, destination, source, d)
                             : DecodeHex(c, destination, reinterpret_cast<const char*>(source), d);
        if (n < 1) return false;
        ZeroTail(destination, n, d);
        return true;
    }
    if (def.IsBinaryField(field)) {
        if (8 * d > c) return false;
        return ebcdic ? BitTextToBytesEbcdic(d, source, destination)
                      : BitTextToBytes(d, source, destination);
    }
    if (c > d) return false;
    if (ebcdic) {
        EbcdicToAscii(c, source, destination);
    } else {
        std::memcpy(destination, source, static_cast<std::size_t>(c));
    }
    ZeroTail(destination, c, d);
    return true;
}
