// DecodeHex over 16 or 32 digits at a time where the processor has SSE2 (every x86-64) or
// AVX2 (checked at run time), the last bytes by a block ending at the last byte; elsewhere,
// and for what no block covers, a pair at a time. A block
// with a bad digit is decoded again a pair at a time, so that what is written before the
// refusal is the same on every path.
#include <cstddef>
#include <cstdint>

#include "support/text.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ISO_HEX_X86 1
#endif

namespace {

#ifdef ISO_HEX_X86

// Digit values of 16 characters in the low nibbles of v's bytes; false when one is no digit.
inline bool DigitValues128(__m128i& v) noexcept {
    const __m128i digit = _mm_sub_epi8(v, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
    const __m128i letter = _mm_sub_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    if (_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)) != 0xFFFF) return false;
    v = _mm_or_si128(_mm_and_si128(isDigit, digit),
                     _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
    return true;
}

// Each 16-bit lane holds the high digit's value in its low byte, the low digit's above it.
inline __m128i Pairs128(__m128i v) noexcept {
    const __m128i joined = _mm_or_si128(_mm_slli_epi16(v, 4), _mm_srli_epi16(v, 8));
    return _mm_and_si128(joined, _mm_set1_epi16(0x00FF));
}

// Bytes decoded from the front of in: a multiple of 16, up to the first block holding a bad
// digit.
std::size_t DecodeSse2(std::size_t count, std::uint8_t* out, const char* in) noexcept {
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i + 16));
        if (!DigitValues128(a) || !DigitValues128(b)) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(Pairs128(a), Pairs128(b)));
    }
    return i;
}

__attribute__((target("avx2"))) std::size_t DecodeAvx2(std::size_t count, std::uint8_t* out,
                                                       const char* in) noexcept {
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i + 32));
        __m256i value[2] = {a, b};
        bool good = true;
        for (__m256i& v : value) {
            const __m256i digit = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
            const __m256i isDigit =
                _mm256_cmpeq_epi8(_mm256_min_epu8(digit, _mm256_set1_epi8(9)), digit);
            const __m256i letter =
                _mm256_sub_epi8(_mm256_or_si256(v, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
            const __m256i isLetter =
                _mm256_cmpeq_epi8(_mm256_min_epu8(letter, _mm256_set1_epi8(5)), letter);
            good = good && _mm256_movemask_epi8(_mm256_or_si256(isDigit, isLetter)) == -1;
            v = _mm256_or_si256(
                _mm256_and_si256(isDigit, digit),
                _mm256_and_si256(isLetter, _mm256_add_epi8(letter, _mm256_set1_epi8(10))));
            v = _mm256_and_si256(_mm256_or_si256(_mm256_slli_epi16(v, 4), _mm256_srli_epi16(v, 8)),
                                 _mm256_set1_epi16(0x00FF));
        }
        if (!good) break;
        // The pack works within each 128-bit half; the permutation puts the halves in order.
        const __m256i packed = _mm256_packus_epi16(value[0], value[1]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    // The compiler leaves the upper halves dirty here, and the SSE code that follows would
    // then pay for the state change on every call.
    _mm256_zeroupper();
    return i + DecodeSse2(count - i, out + i, in + 2 * i);
}

// 8 bytes from 16 digits; false, with nothing written, when one is no digit.
inline bool DecodeEight(std::uint8_t* out, const char* in) noexcept {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    if (!DigitValues128(v)) return false;
    const __m128i pairs = Pairs128(v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(pairs, pairs));
    return true;
}

inline bool DecodeSixteen(std::uint8_t* out, const char* in) noexcept {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
    if (!DigitValues128(a) || !DigitValues128(b)) return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(Pairs128(a), Pairs128(b)));
    return true;
}

// A block ending at the last byte may start among bytes already decoded, which it decodes
// again to the same values; in place, it must not start among digits already overwritten.
inline bool MayOverlap(const std::uint8_t* out, std::size_t done, const char* in, std::size_t start,
                       std::size_t count) noexcept {
    const auto written = reinterpret_cast<std::uintptr_t>(out);
    const auto read = reinterpret_cast<std::uintptr_t>(in);
    return written + done <= read + 2 * start || read + 2 * count <= written;
}

// The bytes short of a whole block: by whole blocks ending at the last byte where the message
// is long enough, else eight at a time. Returns the bytes decoded in all.
std::size_t DecodeRest(std::size_t count, std::size_t done, std::uint8_t* out,
                       const char* in) noexcept {
    const std::size_t rest = count - done;
    if (rest == 0 || rest >= 16) return done;  // done, or stopped at a bad digit
    if (count >= 16 && MayOverlap(out, done, in, count - 16, count)) {
        return DecodeSixteen(out + count - 16, in + 2 * (count - 16)) ? count : done;
    }
    if (rest >= 8) {
        if (!DecodeEight(out + done, in + 2 * done)) return done;
        done += 8;
        if (done == count) return done;
    }
    if (count >= 8 && MayOverlap(out, done, in, count - 8, count)) {
        return DecodeEight(out + count - 8, in + 2 * (count - 8)) ? count : done;
    }
    return done;
}

std::size_t DecodeVector(std::size_t count, std::uint8_t* out, const char* in) noexcept {
    static const bool avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    // Below one AVX2 block the 256-bit path would only cost its entry.
    const std::size_t done =
        avx2 && count >= 32 ? DecodeAvx2(count, out, in) : DecodeSse2(count, out, in);
    return DecodeRest(count, done, out, in);
}

#endif

}  // namespace

int DecodeHex(int m, std::uint8_t* out, const char* in, int room) noexcept {
    if (out == nullptr || in == nullptr || m < 2 || m % 2 != 0 || room < m / 2) return 0;
    const int count = m / 2;
    int done = 0;
#ifdef ISO_HEX_X86
    // Each block is loaded whole before its bytes are stored, which keeps decoding in place
    // (out == in) sound: a store never reaches digits not yet loaded.
    done = static_cast<int>(DecodeVector(static_cast<std::size_t>(count), out, in));
#endif
    // The rest with a room of its own size, so that the scalar path writes no 0 byte.
    if (done < count && DecodeHexScalar(m - 2 * done, out + done, in + 2 * done, count - done) < 1)
        return 0;
    if (room > count) out[count] = 0;
    return count;
}
