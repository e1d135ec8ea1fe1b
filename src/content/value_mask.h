// Which parts of a value masked output hides, kept per nibble: nibble 2k is the high half of
// byte k. A masked nibble shows as '*' in hex; a character shows as '*' when either of its
// nibbles is masked, and its two hex digits as "**". A nibble can also be hidden in hex alone:
// a card number that only the hex of a text value spells leaves the characters as they are.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "content/card_number.h"
#include "content/track_data.h"

class ValueMask {
  public:
    // Ready for a value of bytes bytes, all shown.
    void Reset(int bytes) {
        if (any) ShowAgain();
        nibbleCount = bytes > 0 ? 2 * bytes : 0;
        if (nibbles.size() < static_cast<std::size_t>(nibbleCount)) Grow();
        any = false;
        hidden = false;
    }
    int Bytes() const noexcept { return nibbleCount / 2; }
    bool Any() const noexcept { return any; }

    void Nibble(int i) noexcept { Nibbles(i, i + 1); }
    void HexNibble(int i) noexcept { HexNibbles(i, i + 1); }  // hidden in hex only
    void Byte(int k) noexcept { Nibbles(2 * k, 2 * k + 2); }
    void All() noexcept { Nibbles(0, nibbleCount); }
    // Nibbles [from, to), as far as the value reaches.
    void Nibbles(int from, int to) noexcept;
    void HexNibbles(int from, int to) noexcept;
    // Whether hex shows nibble i as '*'.
    bool NibbleMasked(int i) const noexcept {
        return static_cast<unsigned>(i) < static_cast<unsigned>(nibbleCount) &&
               nibbles[i] != kShown;
    }
    // Whether text shows character k as '*'.
    bool ByteMasked(int k) const noexcept { return Hidden(2 * k) || Hidden(2 * k + 1); }
    // '*' over hex[i] for each nibble firstNibble + i (i < count) that hex shows as '*'.
    void HideInHex(char* hex, int firstNibble, int count) const noexcept;
    // Whether text shows some character of bytes [first, first + count) as '*'.
    bool HidesText(int first, int count) const noexcept;
    // Calls visit(from, to) for each stretch of nibbles [from, to) that hex shows as '*', in
    // order; eight shown nibbles are passed over at once.
    template <typename Visit>
    void ForEachMaskedStretch(Visit visit) const {
        if (!any) return;
        int from = -1;
        for (int i = 0; i < nibbleCount; ++i) {
            if (from < 0 && i + 8 <= nibbleCount) {
                std::uint64_t states;
                std::memcpy(&states, nibbles.data() + i, sizeof states);
                if (states == 0) {
                    i += 7;
                    continue;
                }
            }
            const bool masked = nibbles[i] != kShown;
            if (masked && from < 0) from = i;
            if (!masked && from >= 0) {
                visit(from, i);
                from = -1;
            }
        }
        if (from >= 0) visit(from, nibbleCount);
    }

  private:
    static constexpr std::uint8_t kShown = 0;  // 0, so that eight shown nibbles read as a 0 word
    static constexpr std::uint8_t kHidden = 1;
    static constexpr std::uint8_t kHiddenInHex = 2;

    void ShowAgain() noexcept;
    void Grow();

    bool Hidden(int i) const noexcept {
        return static_cast<unsigned>(i) < static_cast<unsigned>(nibbleCount) &&
               nibbles[i] == kHidden;
    }

    // The value's nibbles are the first nibbleCount; the storage only grows, and what lies past
    // them is shown, so that the next value needs no allocation and no clearing when nothing was
    // hidden.
    std::vector<std::uint8_t> nibbles;
    int nibbleCount = 0;
    // Whether some nibble is not shown, and whether some is hidden in text too: nothing shows
    // again until Reset, which then has only what was hidden to clear.
    bool any = false;
    bool hidden = false;

    friend void MaskedHex(const std::uint8_t*, int, const ValueMask&, std::string&);
    friend void MaskedText(const char*, int, const ValueMask&, std::string&);
};

// How a value reaches the reader: as hex (binary values, units outside the fields), as its
// characters with its hex beside them, or as its characters alone, where what only hex would
// show need not be looked for.
enum class ValueShown { kHex, kText, kTextAlone };

// A card number of count digits from start: characters (both nibbles of each byte) or, when
// packed, nibbles. Positions count from the start of the masked value.
void MaskCardNumber(ValueMask& mask, int start, int count, bool packed) noexcept;
// The account number by the card-number rule, the name and the discretionary data whole;
// separators, expiry, service code and sentinels stay. base is the track's first byte.
void MaskTrack(ValueMask& mask, const TrackData& track, int base) noexcept;
// bytes [first, first + count) whole.
void MaskBytes(ValueMask& mask, int first, int count) noexcept;

// The backstop, over one value: a candidate is 13 to 19 decimal digits that pass the Luhn check,
// begin with 2 to 6 and are not one digit repeated, at any offset inside a longer run of digits.
// Every candidate is masked by the card-number rule, overlapping ones included, in each form a
// reader could see it: text digits, the hex of text digits written as characters ("3431..."),
// and nibbles at either alignment. Nibbles that spell text digits are left to the text-digit
// reading. In a value shown as text, a candidate found in the nibbles alone is hidden in hex;
// shown as text alone, it is not looked for. The value's first byte is byte at of mask.
void SearchCardNumberRuns(const std::uint8_t* bytes, int size, ValueShown shown, ValueMask& mask,
                          int at);
inline void MaskCardNumberRuns(const std::uint8_t* bytes, int size, ValueShown shown,
                               ValueMask& mask, int at = 0) {
    // Many values are too short to hold a candidate in any reading: 13 nibbles take 7 bytes.
    if (bytes != nullptr && size >= (kMinCardDigits + 1) / 2)
        SearchCardNumberRuns(bytes, size, shown, mask, at);
}

// Upper-case hex of the bytes at out, which has room for two characters a byte; where it ends.
char* PutHex(char* out, const std::uint8_t* bytes, int size) noexcept;
// Upper-case hex of the bytes with masked nibbles as '*', into out (its storage is reused).
void MaskedHex(const std::uint8_t* bytes, int size, const ValueMask& mask, std::string& out);
// The characters with masked ones as '*', into out.
void MaskedText(const char* text, int size, const ValueMask& mask, std::string& out);
