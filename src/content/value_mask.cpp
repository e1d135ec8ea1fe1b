#include "content/value_mask.h"

#include <algorithm>

#include "content/card_number.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int NibbleOf(const std::uint8_t* bytes, int i) noexcept {
    return (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2]) & 0x0F;
}

bool IsTextDigit(std::uint8_t b) noexcept {
    return b >= '0' && b <= '9';
}

// Calls found(start, count) for each candidate that ends at one of the symbols [first, last),
// all of them decimal digits read by digitAt. Going back from each end, one sum serves every
// length: a digit is doubled when an odd number of digits follow it.
template <typename DigitAt, typename Found>
void CandidatesInRun(int first, int last, DigitAt digitAt, Found found) {
    for (int end = first + kMinCardDigits; end <= last; ++end) {
        const int lastDigit = digitAt(end - 1);
        bool repeated = true;
        int sum = 0;
        for (int count = 1; count <= kMaxCardDigits && end - count >= first; ++count) {
            const int digit = digitAt(end - count);
            repeated = repeated && digit == lastDigit;
            sum += count % 2 == 0 ? (digit * 2 > 9 ? digit * 2 - 9 : digit * 2) : digit;
            if (count >= kMinCardDigits && sum % 10 == 0 && !repeated && digit >= 2 && digit <= 6) {
                found(end - count, count);
            }
        }
    }
}

// Every candidate among the symbols [0, count), each read by digitAt (-1 for a symbol that is
// no decimal digit).
template <typename DigitAt, typename Found>
void ForEachCandidate(int count, DigitAt digitAt, Found found) {
    int i = 0;
    while (i < count) {
        while (i < count && digitAt(i) < 0)
            ++i;
        int end = i;
        while (end < count && digitAt(end) >= 0)
            ++end;
        if (end - i >= kMinCardDigits) CandidatesInRun(i, end, digitAt, found);
        i = end;
    }
}

// Calls hide(i) for each digit of a card number of count digits from start that the
// card-number rule hides.
template <typename Hide>
void HideCardDigits(int start, int count, Hide hide) {
    int from = 0;
    int to = 0;
    MaskedDigits(count, from, to);
    for (int i = start + from; i < start + to; ++i)
        hide(i);
}

// Nibbles [start, start + count) lie in text digits only: they are the hex of those digits.
bool SpellsTextDigits(const std::uint8_t* bytes, int start, int count) noexcept {
    for (int k = start / 2; k <= (start + count - 1) / 2; ++k) {
        if (!IsTextDigit(bytes[k])) return false;
    }
    return true;
}

}  // namespace

void ValueMask::Reset(int bytes) {
    nibbles.assign(bytes > 0 ? 2 * static_cast<std::size_t>(bytes) : 0, 0);
}

bool ValueMask::Any() const noexcept {
    return std::any_of(nibbles.begin(), nibbles.end(), [](std::uint8_t n) { return n != kShown; });
}

void ValueMask::Nibble(int i) noexcept {
    if (i >= 0 && i < static_cast<int>(nibbles.size())) nibbles[i] = kHidden;
}

void ValueMask::Byte(int k) noexcept {
    Nibble(2 * k);
    Nibble(2 * k + 1);
}

void ValueMask::All() noexcept {
    std::fill(nibbles.begin(), nibbles.end(), kHidden);
}

void ValueMask::HexNibble(int i) noexcept {
    if (i >= 0 && i < static_cast<int>(nibbles.size()) && nibbles[i] == kShown) {
        nibbles[i] = kHiddenInHex;
    }
}

void MaskCardNumber(ValueMask& mask, int start, int count, bool packed) noexcept {
    if (packed) return HideCardDigits(start, count, [&](int i) { mask.Nibble(i); });
    HideCardDigits(start, count, [&](int i) { mask.Byte(i); });
}

void MaskTrack(ValueMask& mask, const TrackData& track, int base) noexcept {
    const int start = track.packed ? 2 * base : base;
    MaskCardNumber(mask, start + track.account.start, track.account.size, track.packed);
    for (const TrackSpan& span : {track.name, track.discretionary}) {
        for (int i = start + span.start; i < start + span.start + span.size; ++i) {
            if (track.packed) {
                mask.Nibble(i);
            } else {
                mask.Byte(i);
            }
        }
    }
}

void MaskBytes(ValueMask& mask, int first, int count) noexcept {
    for (int k = first; k < first + count; ++k)
        mask.Byte(k);
}

void MaskCardNumberRuns(const std::uint8_t* bytes, int size, ValueShown shown, ValueMask& mask,
                        int at) {
    if (bytes == nullptr || size < 1) return;
    ForEachCandidate(
        size, [&](int i) { return IsTextDigit(bytes[i]) ? bytes[i] - '0' : -1; },
        [&](int start, int count) { MaskCardNumber(mask, at + start, count, false); });
    for (int align = 0; align < 2; ++align) {
        // Symbol j is the pair of characters from align + 2j: "34" for the digit 4.
        ForEachCandidate((size - align) / 2,
                         [&](int j) {
                             const std::uint8_t* pair = bytes + align + 2 * j;
                             return pair[0] == '3' && IsTextDigit(pair[1]) ? pair[1] - '0' : -1;
                         },
                         [&](int start, int count) {
                             HideCardDigits(start, count, [&](int j) {
                                 mask.Byte(at + align + 2 * j);
                                 mask.Byte(at + align + 2 * j + 1);
                             });
                         });
    }
    ForEachCandidate(
        2 * size,
        [&](int i) {
            const int v = NibbleOf(bytes, i);
            return v <= 9 ? v : -1;
        },
        [&](int start, int count) {
            if (SpellsTextDigits(bytes, start, count)) return;
            if (shown == ValueShown::kHex) return MaskCardNumber(mask, 2 * at + start, count, true);
            HideCardDigits(start, count, [&](int i) { mask.HexNibble(2 * at + i); });
        });
}

void MaskedHex(const std::uint8_t* bytes, int size, const ValueMask& mask, std::string& out) {
    out.clear();
    if (bytes == nullptr || size < 1) return;
    out.resize(2 * static_cast<std::size_t>(size));
    for (int i = 0; i < 2 * size; ++i)
        out[i] = mask.NibbleMasked(i) ? '*' : kHexDigits[NibbleOf(bytes, i)];
}

void MaskedText(const char* text, int size, const ValueMask& mask, std::string& out) {
    out.clear();
    if (text == nullptr || size < 1) return;
    out.assign(text, static_cast<std::size_t>(size));
    for (int k = 0; k < size; ++k) {
        if (mask.ByteMasked(k)) out[k] = '*';
    }
}
