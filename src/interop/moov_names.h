// The names a moov-io/iso8583 JSON field list gives to length prefixes and encodings, and what each
// is on the wire in the terms of a protocol definition. Shared by the reader and the writer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/protocol.h"

// moov's prefix families: "ASCII.LL" is two decimal digits in ASCII, "BCD.LLL" three packed
// digits in two bytes, "Binary.LL" a two-byte big-endian number, "Hex.LL" the two bytes of a
// number written as four ASCII hexadecimal digits, "BerTLV" the length of an EMV data object.
enum class MoovPrefixKind : std::uint8_t { kFixed, kChars, kPacked, kBinary, kHex, kBerTlv };

struct MoovPrefix {
    MoovPrefixKind kind = MoovPrefixKind::kFixed;
    Encoding charset = Encoding::ASCII;  // of kChars: ASCII or EBCDIC
    int digits = 0;                      // the count of L's, 1 to 4

    bool operator==(const MoovPrefix&) const noexcept = default;
};

// False for a name moov does not give a prefix.
bool ReadMoovPrefix(std::string_view name, MoovPrefix& out) noexcept;
// "ASCII.Fixed", "BCD.LL", "BerTLV".
std::string MoovPrefixName(const MoovPrefix& prefix);

// A length prefix in a definition's terms: its units under lenEnc, and the settings that
// complete it.
struct ModelPrefix {
    int units = 0;  // 0: fixed
    Encoding lenEnc = Encoding::CHAR;
    bool whole = false;               // a BIGEND prefix of 3 or 4 bytes read as one number
    std::optional<Encoding> charset;  // what its characters are written in

    bool operator==(const ModelPrefix&) const noexcept = default;
};

// What moov's prefix is on the wire; false where a definition has no prefix like it (Hex.LLLL,
// eight hexadecimal digits; BerTLV, which only a data object has).
bool ModelPrefixOf(const MoovPrefix& prefix, ModelPrefix& out) noexcept;
// The moov prefix that reads a definition's prefix (charset: the value's character set);
// false where moov has none like it.
bool MoovPrefixOf(const ModelPrefix& prefix, Encoding charset, MoovPrefix& out) noexcept;

// The encodings moov's JSON names.
enum class MoovEncoding : std::uint8_t {
    kAscii,       // "ASCII": characters as they are
    kBcd,         // "BCD": packed digits, an odd count padded before the first
    kEbcdic,      // "EBCDIC"
    kBinary,      // "Binary": bytes as they are
    kHexToAscii,  // "HexToASCII": each byte written as two ASCII hexadecimal digits
    kAsciiToHex,  // "ASCIIToHex": hexadecimal text sent as the bytes it spells
    kLbcd,        // "LBCD": packed digits, an odd count padded after the last
    kBerTlvTag,   // "BerTLVTag": the tag of an EMV data object
};

bool ReadMoovEncoding(std::string_view name, MoovEncoding& out) noexcept;
const char* MoovEncodingName(MoovEncoding e) noexcept;
