#include "content/value_mask.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "content/card_number.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#define ISO_MASK_SSE2 1
#endif
#if defined(__GNUC__) || defined(__clang__)
#define ISO_MASK_INLINE __attribute__((always_inline))
#else
#define ISO_MASK_INLINE
#endif

namespace {

// The Luhn check doubles every second digit from the last, less 9 above 9.
constexpr std::uint8_t kDoubled[10] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
// The key of a digit that cannot begin a card number: no sum of digits (0 to 9) matches it.
constexpr std::uint8_t kNoStart = 0xFF;
// kNoStart for a digit no card number begins with (a card number begins with 2 to 6), else 0:
// a start's key is its sum or'ed with it.
constexpr std::uint8_t kNotAStart[10] = {kNoStart, kNoStart, 0,        0,        0,
                                         0,        0,        kNoStart, kNoStart, kNoStart};

int NibbleOf(const std::uint8_t* bytes, int i) noexcept {
    const auto at = static_cast<unsigned>(i);
    return (bytes[at >> 1] >> (at & 1 ? 0 : 4)) & 0x0F;
}

bool IsTextDigit(std::uint8_t b) noexcept {
    return b >= '0' && b <= '9';
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
// A sum (0 to 9) in every byte.
constexpr std::array<std::uint64_t, 10> kEveryByteOf = [] {
    std::array<std::uint64_t, 10> words{};
    for (std::uint64_t sum = 0; sum < 10; ++sum)
        words[sum] = kEveryByte * sum;
    return words;
}();

// Eight keys of consecutive starts as one word, the first in its lowest byte.
std::uint64_t LoadKeys(const std::uint8_t* keys) noexcept {
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, keys, sizeof word);
    } else {
        for (int k = 7; k >= 0; --k)
            word = word << 8 | keys[k];
    }
    return word;
}

// The lowest of the seven low bytes of word that is zero; 8 when none is. A borrow marks bytes
// above a zero one too, never one below it.
int FirstZeroByte(std::uint64_t word) noexcept {
    constexpr std::uint64_t kHighBits = 0x0080808080808080ULL;
    const std::uint64_t zero = (word - kEveryByte) & ~word & kHighBits;
    return zero == 0 ? 8 : std::countr_zero(zero) / 8;
}

// The ranges of symbols to hide, in the order of their ends: one that meets the range before is
// merged with it, so that hide is called once for each stretch.
template <typename Hide>
class HiddenRanges {
  public:
    explicit HiddenRanges(Hide& hide) : hide(hide) {}
    ~HiddenRanges() {
        if (from < to) hide(from, to);
    }

    // The digits the card-number rule hides of the candidate [start, end): all but the first 6
    // and the last 4 (MaskedDigits, for the 13 digits and more a candidate has).
    void Candidate(int start, int end) {
        static_assert(kMinCardDigits > 12, "a candidate keeps its first 6 digits shown");
        const int first = start + 6;
        const int last = end - 4;
        if (from < to && first <= to) {
            from = std::min(from, first);
            to = std::max(to, last);
            return;
        }
        if (from < to) hide(from, to);
        from = first;
        to = last;
    }

  private:
    Hide& hide;
    int from = 0;
    int to = 0;  // the range waiting to be hidden; empty when to <= from
};

// The candidates among the symbols [first, last), all decimal digits read by digitAt(i, i % 2)
// (the parity known where it is called, so that a nibble needs no shift by it): 13 to 19
// digits that pass the Luhn check, begin with 2 to 6 and are not one digit repeated, which
// keep(start, end) does not refuse. hide(from, to) is given the symbols the card-number rule
// hides of them, overlapping ranges merged.
//
// Of the candidates that end at one symbol, the longest decides: the digits the rule hides of
// a shorter one lie inside its own, and a shorter one is one digit repeated, or refused by keep,
// whenever the longest is. The Luhn sum of [start, end) is that of the digits before end less
// that of those before start, each digit weighted by its parity against the last one's; so
// each start keeps the sum before it, for either parity, as its key, and an end looks for its
// own sum among the keys of the starts 13 to 19 symbols back.
//
// The key of start s lies at s % 32 and again 32 further, so that the keys of eight starts in a
// row lie side by side and are compared with an end's sum as one word. (Sixteen ends at a time
// in SSE2 took more time: the runs are short, and the sums are a chain from digit to digit.)
template <typename DigitAt, typename Keep, typename Hide>
void HideCandidatesInRun(int first, int last, DigitAt digitAt, Keep keep, Hide hide) {
    std::uint8_t keys[2][64];
    std::memset(keys, kNoStart, sizeof keys);
    // The sums of the digits so far, mod 10, for a last digit of even and of odd position: two
    // variables, not an array indexed by parity, so that they stay in registers.
    int even = 0;
    int odd = 0;
    int repeatedFrom = first;  // where the digits equal to the last one begin
    int previous = -1;
    HiddenRanges<Hide> hidden(hide);
    // Unrolled by two, so that each step knows which sum takes its digit as it is.
    int i = first;
    auto step = [&](const int parity) ISO_MASK_INLINE {
        const int digit = digitAt(i, parity);
        const int slot = i & 31;
        const auto evenKey = static_cast<std::uint8_t>(even | kNotAStart[digit]);
        const auto oddKey = static_cast<std::uint8_t>(odd | kNotAStart[digit]);
        keys[0][slot] = evenKey;
        keys[0][slot + 32] = evenKey;
        keys[1][slot] = oddKey;
        keys[1][slot + 32] = oddKey;
        // As the last digit of its parity it is taken as it is; of the other, doubled.
        const int doubled = kDoubled[digit];
        even += parity == 0 ? digit : doubled;
        odd += parity == 0 ? doubled : digit;
        even -= even >= 10 ? 10 : 0;
        odd -= odd >= 10 ? 10 : 0;
        if (digit != previous) repeatedFrom = i;
        previous = digit;
        const int end = ++i;
        if (end - first < kMinCardDigits) return;
        // Starts end - 19 to end - 12; the last of them leaves too few digits.
        const int from = end - kMaxCardDigits;
        const int sum = parity == 0 ? even : odd;
        const int k = FirstZeroByte(LoadKeys(&keys[parity][from & 31]) ^ kEveryByteOf[sum]);
        if (k == 8) return;
        const int start = from + k;
        if (repeatedFrom <= start || !keep(start, end)) return;
        hidden.Candidate(start, end);
    };
    if (i < last && i % 2 == 1) step(1);
    while (i + 1 < last) {
        step(0);
        step(1);
    }
    if (i < last) step(0);
}

// Calls run(first, last) for each maximal run of at least kMinCardDigits symbols of [0, count)
// for which isDigit holds. Any kMinCardDigits symbols in a row take one whose index is a
// multiple of kMinCardDigits less one: only those are looked at, and around the ones that are
// digits, the rest of their run.
template <typename IsDigit, typename Run>
void ForEachLongRun(int count, IsDigit isDigit, Run run) {
    int done = 0;  // no run left to find before this symbol
    for (int probe = kMinCardDigits - 1; probe < count; probe += kMinCardDigits) {
        if (probe < done || !isDigit(probe)) continue;
        int first = probe;
        while (first > done && isDigit(first - 1))
            --first;
        int last = probe + 1;
        while (last < count && isDigit(last))
            ++last;
        if (last - first >= kMinCardDigits) run(first, last);
        done = last;
    }
}

// Both nibbles of the byte are decimal digits.
constexpr std::array<bool, 256> kDecimalNibbles = [] {
    std::array<bool, 256> both{};
    for (int b = 0; b < 256; ++b)
        both[static_cast<std::size_t>(b)] = b >> 4 <= 9 && (b & 15) <= 9;
    return both;
}();

// ForEachLongRun over the nibbles of bytes[0, size): a run is followed to its ends a byte of two
// digits at a time, a nibble at a time at the edges.
template <typename Run>
void ForEachLongNibbleRun(const std::uint8_t* bytes, int size, Run run) {
    const int count = 2 * size;
    const auto digit = [bytes](int i) { return NibbleOf(bytes, i) <= 9; };
    int done = 0;  // no run left to find before this nibble
    for (int probe = kMinCardDigits - 1; probe < count; probe += kMinCardDigits) {
        if (probe < done || !digit(probe)) continue;
        int first = probe;
        if (first % 2 == 1 && first - 1 >= done && digit(first - 1)) --first;
        if (first % 2 == 0) {
            while (first - 2 >= done && kDecimalNibbles[bytes[first / 2 - 1]])
                first -= 2;
            if (first - 1 >= done && digit(first - 1)) --first;
        }
        int last = probe + 1;
        if (last % 2 == 1 && last < count && digit(last)) ++last;
        if (last % 2 == 0) {
            while (last + 2 <= count && kDecimalNibbles[bytes[last / 2]])
                last += 2;
            if (last < count && digit(last)) ++last;
        }
        if (last - first >= kMinCardDigits) run(first, last);
        done = last;
    }
}

// The hex of text digits written as characters ("3431..." for "41"): in a run of text digits
// [first, last), symbol j of an alignment is the pair of characters from align + 2j.
void HidePairCandidates(const std::uint8_t* bytes, int first, int last, ValueMask& mask, int at) {
    for (int align = 0; align < 2; ++align) {
        const int firstPair = (first - align + 1) / 2;
        const int lastPair = (last - align) / 2;
        auto digitAt = [&](int j, int) { return bytes[align + 2 * j + 1] - '0'; };
        auto isDigit = [&](int j) { return bytes[align + 2 * (firstPair + j)] == '3'; };
        ForEachLongRun(lastPair - firstPair, isDigit, [&](int from, int to) {
            HideCandidatesInRun(
                firstPair + from, firstPair + to, digitAt, [](int, int) { return true; },
                [&](int hideFrom, int hideTo) {
                    mask.Nibbles(2 * (at + align + 2 * hideFrom), 2 * (at + align + 2 * hideTo));
                });
        });
    }
}

// Nibbles [start, end) stand for a number only where they do not lie in text digits alone:
// there they are the hex of those digits, which the text-digit reading covers. The bytes are
// looked at once each, as the ends of the candidates move on.
class OutsideTextDigits {
  public:
    OutsideTextDigits(const std::uint8_t* value, int firstNibble)
        : bytes(value), next(firstNibble / 2) {}

    bool operator()(int start, int end) noexcept {
        for (; next <= (end - 1) / 2; ++next) {
            if (!IsTextDigit(bytes[next])) other = next;
        }
        return other >= start / 2;
    }

  private:
    const std::uint8_t* bytes;
    int next;        // the first byte not looked at
    int other = -1;  // the last byte looked at that is no text digit
};

}  // namespace

char* PutHex(char* out, const std::uint8_t* bytes, int size) noexcept {
    int k = 0;
#ifdef ISO_MASK_SSE2
    // Sixteen bytes at a time: each nibble plus '0', and 7 more past 9.
    const __m128i low = _mm_set1_epi8(0x0F);
    const auto digits = [](__m128i nibbles) {
        const __m128i letters =
            _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
        return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
    };
    for (; k + 16 <= size; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
        const __m128i high = digits(_mm_and_si128(_mm_srli_epi16(v, 4), low));
        const __m128i lowDigits = digits(_mm_and_si128(v, low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k),
                         _mm_unpacklo_epi8(high, lowDigits));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k + 16),
                         _mm_unpackhi_epi8(high, lowDigits));
    }
#endif
    static constexpr char kPairs[] =
        "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"
        "202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F"
        "404142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D5E5F"
        "606162636465666768696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F"
        "808182838485868788898A8B8C8D8E8F909192939495969798999A9B9C9D9E9F"
        "A0A1A2A3A4A5A6A7A8A9AAABACADAEAFB0B1B2B3B4B5B6B7B8B9BABBBCBDBEBF"
        "C0C1C2C3C4C5C6C7C8C9CACBCCCDCECFD0D1D2D3D4D5D6D7D8D9DADBDCDDDEDF"
        "E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF";
    for (; k < size; ++k)
        std::memcpy(out + 2 * k, kPairs + 2 * bytes[k], 2);
    return out + 2 * (size > 0 ? size : 0);
}

void ValueMask::ShowAgain() noexcept {
    std::fill(nibbles.begin(), nibbles.begin() + nibbleCount, kShown);
}

void ValueMask::Grow() {
    nibbles.resize(static_cast<std::size_t>(nibbleCount), kShown);
}

void ValueMask::Nibbles(int from, int to) noexcept {
    from = std::max(from, 0);
    to = std::min(to, nibbleCount);
    if (from >= to) return;
    std::fill(nibbles.begin() + from, nibbles.begin() + to, kHidden);
    any = true;
    hidden = true;
}

void ValueMask::HexNibbles(int from, int to) noexcept {
    from = std::max(from, 0);
    to = std::min(to, nibbleCount);
    for (int i = from; i < to; ++i) {
        if (nibbles[i] == kShown) nibbles[i] = kHiddenInHex;
    }
    any = any || from < to;
}

void ValueMask::HideInHex(char* hex, int firstNibble, int count) const noexcept {
    if (!any) return;
    const int first = std::max(firstNibble, 0);
    const int last = std::min(firstNibble + count, nibbleCount);
    int i = first;
#ifdef ISO_MASK_SSE2
    // Sixteen nibbles at a time, those shown passed over whole.
    for (; i + 16 <= last; i += 16) {
        const __m128i states =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(nibbles.data() + i));
        const __m128i shown = _mm_cmpeq_epi8(states, _mm_setzero_si128());
        if (_mm_movemask_epi8(shown) == 0xFFFF) continue;
        auto* at = reinterpret_cast<__m128i*>(hex + (i - firstNibble));
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(shown, _mm_loadu_si128(at)),
                                          _mm_andnot_si128(shown, _mm_set1_epi8('*'))));
    }
#endif
    // Most nibbles are shown: eight of them are passed over at once.
    for (; i + 8 <= last; i += 8) {
        std::uint64_t states;
        std::memcpy(&states, nibbles.data() + i, sizeof states);
        if (states == 0) continue;
        for (int k = i; k < i + 8; ++k)
            hex[k - firstNibble] = nibbles[k] != kShown ? '*' : hex[k - firstNibble];
    }
    for (; i < last; ++i)
        hex[i - firstNibble] = nibbles[i] != kShown ? '*' : hex[i - firstNibble];
}

bool ValueMask::HidesText(int first, int count) const noexcept {
    if (!hidden) return false;
    for (int k = first; k < first + count; ++k) {
        if (ByteMasked(k)) return true;
    }
    return false;
}

void MaskCardNumber(ValueMask& mask, int start, int count, bool packed) noexcept {
    int from = 0;
    int to = 0;
    MaskedDigits(count, from, to);
    if (packed) return mask.Nibbles(start + from, start + to);
    mask.Nibbles(2 * (start + from), 2 * (start + to));
}

void MaskTrack(ValueMask& mask, const TrackData& track, int base) noexcept {
    const int start = track.packed ? 2 * base : base;
    MaskCardNumber(mask, start + track.account.start, track.account.size, track.packed);
    for (const TrackSpan& span : {track.name, track.discretionary}) {
        const int from = start + span.start;
        const int to = from + span.size;
        if (track.packed) {
            mask.Nibbles(from, to);
        } else {
            mask.Nibbles(2 * from, 2 * to);
        }
    }
}

void MaskBytes(ValueMask& mask, int first, int count) noexcept {
    if (count > 0) mask.Nibbles(2 * first, 2 * (first + count));
}

void SearchCardNumberRuns(const std::uint8_t* bytes, int size, ValueShown shown, ValueMask& mask,
                          int at) {
    if (bytes == nullptr || size < 1) return;
    ForEachLongRun(
        size, [&](int k) { return IsTextDigit(bytes[k]); },
        [&](int first, int last) {
            HideCandidatesInRun(
                first, last, [&](int k, int) { return bytes[k] - '0'; },
                [](int, int) { return true; },
                [&](int from, int to) { mask.Nibbles(2 * (at + from), 2 * (at + to)); });
            // A pair "3d" is two text digits: 13 pairs need a run of 26.
            if (last - first >= 2 * kMinCardDigits)
                HidePairCandidates(bytes, first, last, mask, at);
        });
    if (shown == ValueShown::kTextAlone) return;
    ForEachLongNibbleRun(bytes, size, [&](int first, int last) {
        // Nibbles that lie in text digits alone are the hex of those digits, which the
        // text-digit reading covers.
        const int lastByte = (last - 1) / 2;
        int k = first / 2;
        while (k <= lastByte && IsTextDigit(bytes[k]))
            ++k;
        if (k > lastByte) return;
        HideCandidatesInRun(
            first, last,
            [bytes](int i, int parity) {
                const int byte = bytes[i >> 1];
                return parity == 0 ? byte >> 4 : byte & 0x0F;
            },
            OutsideTextDigits(bytes, first),
            [&](int from, int to) {
                if (shown == ValueShown::kHex) {
                    return mask.Nibbles(2 * at + from, 2 * at + to);
                }
                mask.HexNibbles(2 * at + from, 2 * at + to);
            });
    });
}

void MaskedHex(const std::uint8_t* bytes, int size, const ValueMask& mask, std::string& out) {
    if (bytes == nullptr || size < 1) return out.clear();
    // Resized, not cleared first: the next value of a field is much the size of the last.
    out.resize(2 * static_cast<std::size_t>(size));
    char* hex = out.data();
    PutHex(hex, bytes, size);
    mask.HideInHex(hex, 0, 2 * size);
}

void MaskedText(const char* text, int size, const ValueMask& mask, std::string& out) {
    if (text == nullptr || size < 1) return out.clear();
    // Resized, not assigned: the next value of a field is much the size of the last.
    out.resize(static_cast<std::size_t>(size));
    std::memcpy(out.data(), text, static_cast<std::size_t>(size));
    if (!mask.hidden) return;
    for (int k = 0; k < size; ++k) {
        if (mask.ByteMasked(k)) out[k] = '*';
    }
}
