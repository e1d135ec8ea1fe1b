// The pieces of a BER-TLV data object as EMV chip data writes them: a tag from its hex id, the
// length in its short or long form, and the check that bytes given whole read as data objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "content/tlv.h"

struct TlvTag {
    std::uint8_t bytes[kTlvMaxTagBytes] = {};
    int size = 0;
    std::uint32_t value = 0;             // its bytes read big-endian, as the reader names it
    char hex[2 * kTlvMaxTagBytes] = {};  // upper case

    std::string_view Hex() const noexcept { return {hex, static_cast<std::size_t>(2 * size)}; }
};

// The tag whose hex digits id gives ("9F02", either case); false with reason when they are no
// tag the reader reads back as one: a first byte that announces more bytes, every further byte
// but the last with its top bit set, at most 4 bytes, and no 00 (the reader skips it as
// padding).
bool TlvTagOf(std::string_view id, TlvTag& tag, std::string& reason);

inline constexpr int kTlvMaxLengthForm = 1 + kTlvMaxLengthBytes;
// Writes the length's shortest form into out: one byte below 128, else 81 to 84 and the
// length's bytes. Returns the bytes written.
int WriteTlvLength(std::uint32_t length, std::uint8_t (&out)[kTlvMaxLengthForm]) noexcept;

// Whether data[0, size) reads as data objects nested as deep as depth allows (data objects at
// depth, 1 being the top); false with reason when it does not. Bounded by size.
bool ReadsAsDataObjects(const std::uint8_t* data, int size, int depth, std::string& reason);
