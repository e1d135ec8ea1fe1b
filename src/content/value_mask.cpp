#include "content/value_mask.h"

#include <algorithm>

#include "content/card_number.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int NibbleOf(const std::uint8_t* bytes, int i) noexcept {
    return (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2]) & 0x0F;
}

// Whether the count symbols from start, read by digitAt, form a number passing the check.
template <typename DigitAt>
bool LuhnAt(DigitAt digitAt, int start, int count) {
    char digits[kMaxCardDigits];
    for (int k = 0; k < count; ++k)
        digits[k] = static_cast<char>('0' + digitAt(start + k));
    return LuhnValid(digits, count);
}

// Inside a longer run of digits (a value that did not parse, a length before the number), a card
// number is looked for only where one can begin: a major industry digit 2 to 6, on a byte for
// nibbles.
template <typename DigitAt, typename MaskRun>
void MaskInsideLongRun(int start, int n, int step, DigitAt digitAt, MaskRun maskRun) {
    int s = start;
    while (s + kMinCardDigits <= start + n) {
        const int first = digitAt(s);
        int found = 0;
        if (s % step == 0 && first >= 2 && first <= 6) {
            const int longest = start + n - s < kMaxCardDigits ? start + n - s : kMaxCardDigits;
            for (int len = longest; len >= kMinCardDigits && found == 0; --len) {
                if (LuhnAt(digitAt, s, len)) found = len;
            }
        }
        if (found > 0) maskRun(s, found);
        s += found > 0 ? found : 1;
    }
}

// Runs of symbols 0 to 9, each symbol read by digitAt (-1 for a non-digit); step 2 when the
// symbols are nibbles.
template <typename DigitAt, typename MaskRun>
void ForEachCardRun(int count, int step, DigitAt digitAt, MaskRun maskRun) {
    int i = 0;
    while (i < count) {
        int n = 0;
        while (i + n < count && digitAt(i + n) >= 0)
            ++n;
        if (n >= kMinCardDigits && n <= kMaxCardDigits && LuhnAt(digitAt, i, n)) {
            maskRun(i, n);
        } else if (n > kMinCardDigits) {
            // A card number behind its length ("5A08" and the digits, as text) runs on.
            MaskInsideLongRun(i, n, step, digitAt, maskRun);
        }
        i += n > 0 ? n : 1;
    }
}

}  // namespace

void ValueMask::Reset(int bytes) {
    nibbles.assign(bytes > 0 ? 2 * static_cast<std::size_t>(bytes) : 0, 0);
}

bool ValueMask::Any() const noexcept {
    return std::find(nibbles.begin(), nibbles.end(), 1) != nibbles.end();
}

void ValueMask::Nibble(int i) noexcept {
    if (i >= 0 && i < static_cast<int>(nibbles.size())) nibbles[i] = 1;
}

void ValueMask::Byte(int k) noexcept {
    Nibble(2 * k);
    Nibble(2 * k + 1);
}

void ValueMask::All() noexcept {
    std::fill(nibbles.begin(), nibbles.end(), 1);
}

void MaskCardNumber(ValueMask& mask, int start, int count, bool packed) noexcept {
    int from = 0;
    int to = 0;
    MaskedDigits(count, from, to);
    for (int i = start + from; i < start + to; ++i) {
        if (packed) {
            mask.Nibble(i);
        } else {
            mask.Byte(i);
        }
    }
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

void MaskCardNumberRuns(const std::uint8_t* bytes, int size, bool nibbles, ValueMask& mask) {
    if (bytes == nullptr || size < 1) return;
    ForEachCardRun(
        size, 1, [&](int i) { return bytes[i] >= '0' && bytes[i] <= '9' ? bytes[i] - '0' : -1; },
        [&](int start, int n) { MaskCardNumber(mask, start, n, false); });
    if (!nibbles) return;
    ForEachCardRun(
        2 * size, 2,
        [&](int i) {
            const int v = NibbleOf(bytes, i);
            return v <= 9 ? v : -1;
        },
        [&](int start, int n) { MaskCardNumber(mask, start, n, true); });
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
