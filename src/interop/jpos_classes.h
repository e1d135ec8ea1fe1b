// jPOS field packager classes, each taken apart into what its source says it does: the prefixer
// that writes the length, the interpreter that writes the data, how the pad attribute changes
// packed digits. The same table serves reading (a class to the model's rules) and writing (the
// model's rules to the first class that says exactly them).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/protocol.h"

// How a class writes a value's length.
enum class JposPrefix : std::uint8_t {
    kNone,        // NullPrefixer: a fixed length
    kAscii,       // AsciiPrefixer: decimal digits as ASCII characters
    kEbcdic,      // EbcdicPrefixer: decimal digits as EBCDIC characters
    kBcd,         // BcdPrefixer: packed decimal digits, two a byte, right-aligned
    kBinary,      // BinaryPrefixer: an unsigned big-endian number of bytes
    kHexNibbles,  // HexNibblesPrefixer: packed decimal digits counting nibbles, twice the bytes
};

// How a class writes a value's data.
enum class JposData : std::uint8_t {
    kAsciiText,    // AsciiInterpreter, LiteralInterpreter: characters
    kEbcdicText,   // EbcdicInterpreter: characters in EBCDIC
    kAsciiDigits,  // AsciiInterpreter over digits
    kEbcdicDigits,
    kPacked,    // BCDInterpreter: left-padded with 0 with pad="true", right-padded with 0 without
    kPackedF,   // the same, padded with F on the right without pad="true"
    kRaw,       // LiteralBinaryInterpreter: the bytes as they are
    kAsciiHex,  // AsciiHexInterpreter: two hexadecimal ASCII characters a byte
    kEbcdicHex,
};

// What else than one value a class is.
enum class JposKind : std::uint8_t {
    kValue,
    kBitmap,        // ISOBitMapPackager: data says binary, ASCII hex or EBCDIC hex
    kTagged,        // TaggedFieldPackagerBase: tag characters, then a delegate value
    kSignedAmount,  // IFB_AMOUNT: a sign character, then packed digits
    kFixedRoom,     // IFB_LLHFBINARY: a length byte, then a room of the full length
    kPackedBytes,   // IFEB_LL(L)NUM: an EBCDIC count of bytes, then digits packed with an F pad
};

struct JposClass {
    std::string_view name;  // without the package "org.jpos.iso."
    JposKind kind;
    JposPrefix prefix;
    std::int8_t digits;  // of the prefix: its digits, or its bytes for kBinary
    JposData data;
    FieldType type;        // N, ANS, AN or B: what the model takes the value for
    std::int8_t tagChars;  // kTagged: the characters of the tag
    bool written;          // chosen when writing; an alias or an oddity is only read
};

inline constexpr std::string_view kJposPackage = "org.jpos.iso.";

std::span<const JposClass> JposClasses() noexcept;
// The class of a full name ("org.jpos.iso.IFA_NUMERIC"), or null.
const JposClass* FindJposClass(std::string_view fullName) noexcept;
std::string FullName(const JposClass& c);

// One value as the model reads it: its columns and the encodings of its prefix and data. What
// does not apply stays empty: no prefix rules for a fixed value, no character set for a value
// written without characters, no pad for data that never has an odd digit.
struct ValueLayout {
    FieldType type{0};
    int size = 0;
    int sizeLen = 0;  // prefix units
    Encoding lenEnc{0};
    Encoding dataEnc{0};              // NUM_Enc of N, BIN_Enc of B and Z, the character set of text
    std::optional<Encoding> charset;  // of the characters the value is written with
    std::optional<PadSide> padSide;   // packed digits padded on the right (left is the rule)
    std::optional<std::uint8_t> padNibble;
    bool prefixNibbles = false;
    bool prefixLeftAligned = false;
    bool prefixWhole = false;  // a binary prefix of 3 or 4 bytes read whole

    bool operator==(const ValueLayout&) const noexcept = default;
};

// The layout of a value of class c with the length and pad attributes, or nullopt when the model
// has none for it (its prefix and data in different character sets).
std::optional<ValueLayout> LayoutOf(const JposClass& c, int length, bool pad);

// Clears what does not apply to the layout, so that two layouts that read alike compare equal.
void Settle(ValueLayout& layout) noexcept;

// The layout the model reads a value with: a field's, or a subfield's inside a binary value, its
// own settings over the dialect's encodings.
ValueLayout LayoutInDialect(const ProtocolDef& def, FieldType type, int size, int sizeLen,
                            const FieldSettings& own);
// A subfield inside a text value: characters, behind a prefix of decimal digits.
ValueLayout LayoutInText(FieldType type, int size, int sizeLen);
// The settings with which the dialect reads a value as the layout says: none where it agrees.
FieldSettings SettingsFor(const ProtocolDef& def, const ValueLayout& layout);

// What the layout says in the model's words, for a note: "N of 19 digits, packed, behind a
// length of 1 byte packed".
std::string Describe(const ValueLayout& layout);
