#include "encode/codecs.h"

#include <array>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ISO_EBCDIC_X86 1
#endif

// Generated from EbcdicToAsciiTable: where that table reads two bytes as one character the
// code page 037 byte is kept ('\t' 05, '\n' 25, '!' 5A, '<' 4C, '`' 79); '[' 4A, '^' 5F and
// '|' 6A are the only bytes it reads as those; DEL takes 04, the lowest of the bytes the table
// leaves unassigned, since it reads 037's DEL (07) as a tab.
// clang-format off
const std::uint8_t AsciiToEbcdicTable[256] = {
    0x00, 0x01, 0x02, 0x03, 0x37, 0x2D, 0x2E, 0x2F, 0x16, 0x05, 0x25, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,  // 0_
    0x10, 0x11, 0x12, 0x13, 0x3C, 0x3D, 0x32, 0x26, 0x18, 0x19, 0x3F, 0x27, 0x1C, 0x1D, 0x1E, 0x1F,  // 1_
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,  // 2_
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,  // 3_
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,  // 4_
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x4A, 0xE0, 0xFF, 0x5F, 0x6D,  // 5_
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,  // 6_
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x6A, 0xD0, 0xA1, 0x04,  // 7_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 8_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // 9_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // A_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // B_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // C_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // D_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // E_
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // F_
};
// clang-format on

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t Identity(std::uint8_t ch) noexcept {
    return ch;
}
std::uint8_t ToEbcdic(std::uint8_t ch) noexcept {
    return AsciiToEbcdicTable[ch];
}

// Digits are written from the last: a constant radix divides by multiplication.
template <std::uint32_t Radix, std::uint8_t (*Translate)(std::uint8_t)>
bool RadixText(std::uint32_t value, int count, std::uint8_t* text) noexcept {
    for (int i = count - 1; i >= 0; --i) {
        text[i] = Translate(static_cast<std::uint8_t>(kHexDigits[value % Radix]));
        value /= Radix;
    }
    return value == 0;
}

template <std::uint8_t (*Translate)(std::uint8_t)>
bool AnyRadixText(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept {
    if (text == nullptr || count < 0) return false;
    if (radix == 10) return RadixText<10, Translate>(value, count, text);
    if (radix == 16) return RadixText<16, Translate>(value, count, text);
    return false;
}

// The two characters of each byte as they lie in memory, in ASCII and in EBCDIC.
struct HexPairs {
    std::array<std::uint16_t, 256> ascii{};
    std::array<std::uint16_t, 256> ebcdic{};
};

constexpr std::uint16_t Pair(std::uint8_t first, std::uint8_t second) noexcept {
    return std::endian::native == std::endian::little
               ? static_cast<std::uint16_t>(first | second << 8)
               : static_cast<std::uint16_t>(first << 8 | second);
}

constexpr std::uint8_t EbcdicDigit(int v) noexcept {
    return static_cast<std::uint8_t>(v < 10 ? 0xF0 + v : 0xC1 + v - 10);
}

constexpr HexPairs MakeHexPairs() noexcept {
    HexPairs pairs;
    for (int b = 0; b < 256; ++b) {
        pairs.ascii[b] = Pair(static_cast<std::uint8_t>(kHexDigits[b >> 4]),
                              static_cast<std::uint8_t>(kHexDigits[b & 15]));
        pairs.ebcdic[b] = Pair(EbcdicDigit(b >> 4), EbcdicDigit(b & 15));
    }
    return pairs;
}

constexpr HexPairs kHexPairs = MakeHexPairs();

// The eight characters '0' and '1' of each byte as they lie in memory, the top bit first.
constexpr std::array<std::uint64_t, 256> MakeBitChars() noexcept {
    std::array<std::uint64_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        std::uint64_t chars = 0;
        for (int i = 0; i < 8; ++i) {
            const std::uint64_t ch = '0' + (b >> (7 - i) & 1);
            const int at = std::endian::native == std::endian::little ? i : 7 - i;
            chars |= ch << (8 * at);
        }
        table[b] = chars;
    }
    return table;
}

constexpr std::array<std::uint64_t, 256> kBitChars = MakeBitChars();
// '0' + 0xC0 is EBCDIC's 0xF0, '1' + 0xC0 its 0xF1, in every byte at once.
constexpr std::uint64_t kAsciiToEbcdicBits = 0xC0C0C0C0C0C0C0C0ULL;

#ifdef __SSE2__
// 16 bytes into their 32 hex characters: a nibble n becomes base + n, plus letter past 9.
inline void HexBlock(const std::uint8_t* bytes, std::uint8_t* text, std::uint8_t base,
                     std::uint8_t letter) noexcept {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(x, 4), nibble);
    const __m128i low = _mm_and_si128(x, nibble);
    const auto digits = [&](__m128i v) {
        const __m128i past9 = _mm_cmpgt_epi8(v, _mm_set1_epi8(9));
        return _mm_add_epi8(_mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(base))),
                            _mm_and_si128(past9, _mm_set1_epi8(static_cast<char>(letter))));
    };
    const __m128i h = digits(high);
    const __m128i l = digits(low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text), _mm_unpacklo_epi8(h, l));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 16), _mm_unpackhi_epi8(h, l));
}
#endif

void HexText(int count, const std::uint8_t* bytes, std::uint8_t* text, bool ebcdic) noexcept {
    int i = 0;
#ifdef __SSE2__
    // ASCII: '0' + n, 'A' is 7 past '9' + 1; EBCDIC: 0xF0 + n, 0xC1 is 0x39 short of 0xFA.
    const std::uint8_t base = ebcdic ? 0xF0 : '0';
    const std::uint8_t letter = ebcdic ? static_cast<std::uint8_t>(0xC1 - 0xFA) : 7;
    for (; i + 16 <= count; i += 16)
        HexBlock(bytes + i, text + 2 * i, base, letter);
#endif
    const std::array<std::uint16_t, 256>& pairs = ebcdic ? kHexPairs.ebcdic : kHexPairs.ascii;
    for (; i < count; ++i)
        std::memcpy(text + 2 * i, &pairs[bytes[i]], 2);
}

void BitText(int count, const std::uint8_t* bytes, std::uint8_t* text, bool ebcdic) noexcept {
    const std::uint64_t shift = ebcdic ? kAsciiToEbcdicBits : 0;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t chars = kBitChars[bytes[i]] + shift;
        std::memcpy(text + 8 * i, &chars, 8);
    }
}

// Eight characters at once: the digit values, or false when one is not a digit. A digit XOR
// '0' is 0 to 9; anything else leaves a high nibble or a value of 10 to 15, which 6 carries
// into the high nibble without reaching the next byte.
inline bool DigitValues8(const std::uint8_t* text, std::uint64_t& values) noexcept {
    std::uint64_t x;
    std::memcpy(&x, text, 8);
    values = x ^ 0x3030303030303030ULL;
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
    return ((values & kHigh) | ((values + 0x0606060606060606ULL) & kHigh)) == 0;
}

}  // namespace

#ifdef ISO_EBCDIC_X86
namespace {

// 64 characters a round through the 128 entries that can hold a code, in two registers; a
// character above 0x7F, or one the table marks, has none. The mask keeps the last round's loads
// and stores inside the run.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) bool TranslateVbmi(
    int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    const __m512i low = _mm512_loadu_si512(AsciiToEbcdicTable);
    const __m512i high = _mm512_loadu_si512(AsciiToEbcdicTable + 64);
    const __m512i none = _mm512_set1_epi8(static_cast<char>(kNoEbcdicCode));
    __mmask64 missing = 0;
    for (int i = 0; i < count && missing == 0; i += 64) {
        const int rest = count - i;
        const __mmask64 k = rest >= 64 ? ~__mmask64{0} : (__mmask64{1} << rest) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(k, source + i);
        const __m512i code = _mm512_permutex2var_epi8(low, v, high);
        missing = (_mm512_movepi8_mask(v) | _mm512_cmpeq_epi8_mask(code, none)) & k;
        _mm512_mask_storeu_epi8(destination + i, k, code);
    }
    _mm256_zeroupper();
    return missing == 0;
}

bool HasVbmi() noexcept {
    static const bool vbmi = (__builtin_cpu_init(), __builtin_cpu_supports("avx512vbmi") &&
                                                        __builtin_cpu_supports("avx512vl") &&
                                                        __builtin_cpu_supports("avx512bw"));
    return vbmi;
}

}  // namespace
#endif

int AsciiToEbcdic(int count, const std::uint8_t* source, std::uint8_t* destination) noexcept {
    bool translated = false;
#ifdef ISO_EBCDIC_X86
    if (count >= 8 && HasVbmi()) translated = TranslateVbmi(count, source, destination);
#endif
    if (!translated) {
        unsigned missing = 0;
        for (int i = 0; i < count; ++i) {
            const std::uint8_t code = AsciiToEbcdicTable[source[i]];
            missing |= code == kNoEbcdicCode;
            destination[i] = code;
        }
        translated = missing == 0;
    }
    if (translated) return -1;
    for (int i = 0; i < count; ++i) {
        if (AsciiToEbcdicTable[source[i]] == kNoEbcdicCode) return i;
    }
    return -1;
}

bool IntToRadixText(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept {
    return AnyRadixText<Identity>(value, count, radix, text);
}

bool IntToRadixTextEbcdic(std::uint32_t value, int count, int radix, std::uint8_t* text) noexcept {
    return AnyRadixText<ToEbcdic>(value, count, radix, text);
}

bool IntToPackedBcd(std::uint32_t value, int count, std::uint8_t* bytes) noexcept {
    if (bytes == nullptr || count < 0) return false;
    for (int i = count - 1; i >= 0; --i) {
        const std::uint32_t pair = value % 100;
        bytes[i] = static_cast<std::uint8_t>((pair / 10) << 4 | pair % 10);
        value /= 100;
    }
    return value == 0;
}

bool IntToBigEndian(std::uint32_t value, int count, std::uint8_t* bytes) noexcept {
    if (bytes == nullptr || count < 0) return false;
    std::uint64_t rest = value;
    for (int i = count - 1; i >= 0; --i) {
        bytes[i] = static_cast<std::uint8_t>(rest & 0xFF);
        rest >>= 8;
    }
    return rest == 0;
}

bool DigitsToPackedBcd(int width, const std::uint8_t* digits, int count,
                       std::uint8_t* bytes) noexcept {
    const int pads = 2 * count - width;
    if (digits == nullptr || bytes == nullptr || width < 0 || pads < 0) return false;
    // Whole pad bytes first (most numbers have none), then a lone pad nibble, then the digits:
    // eight into four bytes at a time, each pair of digit values (the first one low in memory)
    // becoming one byte, then four into two, then two into one.
    int b = 0;
    for (; b < pads / 2; ++b)
        bytes[b] = 0;
    int i = 0;
    bool digitsOnly = true;
    if (pads % 2 != 0) {
        const unsigned v = digits[i++] - unsigned{'0'};
        digitsOnly = v <= 9;
        bytes[b++] = static_cast<std::uint8_t>(v);
    }
    if constexpr (std::endian::native == std::endian::little) {
        for (std::uint64_t v; b + 4 <= count; b += 4, i += 8) {
            if (!DigitValues8(digits + i, v)) return false;
            v = (v & 0x00FF00FF00FF00FFULL) << 4 | (v >> 8 & 0x00FF00FF00FF00FFULL);
            v = (v | v >> 8) & 0x0000FFFF0000FFFFULL;
            const auto four = static_cast<std::uint32_t>(v | v >> 16);
            std::memcpy(bytes + b, &four, 4);
        }
        if (b + 2 <= count) {
            std::uint32_t v;
            std::memcpy(&v, digits + i, 4);
            v ^= 0x30303030u;
            if (((v | (v + 0x06060606u)) & 0xF0F0F0F0u) != 0) return false;
            v = (v & 0x00FF00FFu) << 4 | (v >> 8 & 0x00FF00FFu);
            bytes[b] = static_cast<std::uint8_t>(v);
            bytes[b + 1] = static_cast<std::uint8_t>(v >> 16);
            b += 2;
            i += 4;
        }
    }
    for (; b < count; ++b, i += 2) {
        const unsigned high = digits[i] - unsigned{'0'};
        const unsigned low = digits[i + 1] - unsigned{'0'};
        digitsOnly = digitsOnly && high <= 9 && low <= 9;
        bytes[b] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digitsOnly;
}

void BytesToHexText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    HexText(count, bytes, text, false);
}

void BytesToHexTextEbcdic(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    HexText(count, bytes, text, true);
}

void BytesToBitText(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    BitText(count, bytes, text, false);
}

void BytesToBitTextEbcdic(int count, const std::uint8_t* bytes, std::uint8_t* text) noexcept {
    BitText(count, bytes, text, true);
}

bool AllDigits(int count, const std::uint8_t* text) noexcept {
    int i = 0;
    std::uint64_t values;
    for (; i + 8 <= count; i += 8) {
        if (!DigitValues8(text + i, values)) return false;
    }
    for (; i < count; ++i) {
        if (text[i] - unsigned{'0'} > 9) return false;
    }
    return true;
}
