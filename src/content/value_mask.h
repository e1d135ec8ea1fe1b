// Which parts of a value masked output hides, kept per nibble: nibble 2k is the high half of
// byte k. A masked nibble shows as '*' in hex; a character shows as '*' when either of its
// nibbles is masked, and its two hex digits as "**".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/track_data.h"

class ValueMask {
  public:
    void Reset(int bytes);
    int Bytes() const noexcept { return static_cast<int>(nibbles.size() / 2); }
    bool Any() const noexcept;

    void Nibble(int i) noexcept;
    void Byte(int k) noexcept;
    void All() noexcept;
    bool NibbleMasked(int i) const noexcept {
        return static_cast<unsigned>(i) < nibbles.size() && nibbles[i] != 0;
    }
    bool ByteMasked(int k) const noexcept { return NibbleMasked(2 * k) || NibbleMasked(2 * k + 1); }

  private:
    std::vector<std::uint8_t> nibbles;
};

// A card number of count digits from start: characters (both nibbles of each byte) or, when
// packed, nibbles. Positions count from the start of the masked value.
void MaskCardNumber(ValueMask& mask, int start, int count, bool packed) noexcept;
// The account number by the card-number rule, the name and the discretionary data whole;
// separators, expiry, service code and sentinels stay. base is the track's first byte.
void MaskTrack(ValueMask& mask, const TrackData& track, int base) noexcept;
// bytes [first, first + count) whole.
void MaskBytes(ValueMask& mask, int first, int count) noexcept;

// The backstop: every run of 13 to 19 decimal digits that passes the Luhn check, as
// characters and, when nibbles is set, as nibbles, masked by the card-number rule; inside a
// longer run, the longest such number that begins with 2 to 6 (on a byte, for nibbles).
void MaskCardNumberRuns(const std::uint8_t* bytes, int size, bool nibbles, ValueMask& mask);

// Upper-case hex of the bytes with masked nibbles as '*', into out (its storage is reused).
void MaskedHex(const std::uint8_t* bytes, int size, const ValueMask& mask, std::string& out);
// The characters with masked ones as '*', into out.
void MaskedText(const char* text, int size, const ValueMask& mask, std::string& out);
