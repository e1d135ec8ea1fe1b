// Magnetic-stripe track data as ISO 8583 fields and EMV tags carry it: track 2 as text or as
// packed nibbles, track 1 as text. A value that does not fit its layout is refused whole.
#pragma once

#include <cstdint>

// Part of a track: positions in characters, or in nibbles for packed track 2.
struct TrackSpan {
    int start = 0;
    int size = 0;
};

struct TrackData {
    int track = 0;
    bool packed = false;
    int symbols = 0;  // characters or nibbles of the whole value
    TrackSpan account;
    TrackSpan name;  // track 1 only
    TrackSpan expiry;
    TrackSpan serviceCode;
    TrackSpan discretionary;
};

// ";4111111111111111=25121010000?"; the sentinels are optional.
bool ParseTrack2Text(const std::uint8_t* text, int size, TrackData& out) noexcept;
// 41 11 11 11 11 11 11 11 D2 51 21 01 00 00 0F: separator D, an F nibble may pad the end.
bool ParseTrack2Packed(const std::uint8_t* bytes, int size, TrackData& out) noexcept;
// "%B4111111111111111^DOE/JOHN^2512101000000?"; '%' and '?' are optional.
bool ParseTrack1(const std::uint8_t* text, int size, TrackData& out) noexcept;

// Symbol i (not negative) of the track's value: its character, or for packed data the nibble's
// hex digit. Inline: the parsers and the masked parts read a track a symbol at a time.
inline char TrackSymbol(const std::uint8_t* data, bool packed, int i) noexcept {
    const auto at = static_cast<unsigned>(i);
    if (!packed) return static_cast<char>(data[at]);
    return "0123456789ABCDEF"[(data[at >> 1] >> (at & 1 ? 0 : 4)) & 0x0F];
}
