// What a definition says beyond its classic lines: settings of one field that differ from its
// dialect's, and options of the whole dialect. A definition without them decodes as the
// classic lines alone say.
#pragma once

#include <cstdint>
#include <optional>

// Declared in full in model/protocol.h, which holds these records in its ProtocolDef.
enum class Encoding : std::int32_t;
enum class FieldType : std::int32_t;
enum class EncodingRole : std::int32_t;
struct ProtocolDef;

// The one value that odd-length packed data carries beside its digits.
enum class PadSide : std::uint8_t { kLeft, kRight };

struct FieldSettings {
    // Encodings of the field's own, in the roles of the dialect's lines. charset (CHR_Enc) is
    // the field's character set: its text, its digits written as characters and its length
    // prefix's characters; for a character field it is also the data's encoding.
    std::optional<Encoding> lenEnc;
    std::optional<Encoding> numEnc;  // N fields
    std::optional<Encoding> binEnc;  // B and Z fields; PBCD for packed track data
    std::optional<Encoding> charset;
    // Odd-length packed data: where the pad nibble is, and which it is (0 or 0xF).
    std::optional<PadSide> padSide;
    std::optional<std::uint8_t> padNibble;
    bool prefixNibbles = false;      // the length prefix counts nibbles of packed or binary data
    bool prefixLeftAligned = false;  // a packed prefix whose pad nibble is its last
    bool prefixNumber = false;       // a BIGEND prefix of 1 to 4 bytes read as one number
    bool sixUnitPrefix = false;      // a prefix of 6 units (LLLLLL): sizeLen holds 6

    bool Any() const noexcept;
    bool operator==(const FieldSettings&) const noexcept = default;
};

struct DialectOptions {
    bool emptyFields = false;  // a variable field with the length 0 is an empty value
    int header = -1;           // units before the MTI; -1 when the definition does not say
    // The bitmap always has both blocks of 64 bits, bit 1 announcing nothing (moov's fixed
    // bitmap of 16 bytes), instead of a second block only when bit 1 is set.
    bool fixedBitmap = false;
    // Units after the last field belong to the dialect (a trailer, padding): a strict check
    // does not fail a message for them.
    bool trailing = false;

    bool Any() const noexcept { return emptyFields || header >= 0 || fixedBitmap || trailing; }
    bool operator==(const DialectOptions&) const noexcept = default;
};

inline constexpr int kMaxPrefixUnits = 6;
inline constexpr int kMaxHeaderUnits = 32767;

// The encodings a field's data and prefix are read with: its own where it has one, else the
// dialect's.
Encoding LengthEncoding(const ProtocolDef& def, int n) noexcept;
Encoding FieldCharset(const ProtocolDef& def, int n) noexcept;
// The field's value is bytes, shown as hex: B and Z fields, except packed track data, whose
// value is its characters.
bool ValueIsBinary(const ProtocolDef& def, int n) noexcept;
// The field has a setting of its own.
bool HasFieldSettings(const ProtocolDef& def, int n) noexcept;
// Any setting or option at all: the definition has more than its classic lines.
bool HasSettings(const ProtocolDef& def) noexcept;

// The encodings a setting of the role accepts for a field of the type: a field's data takes
// the values of its class (N: BIGEND, PBCD, HEX, CHAR; B: NONE, HEX, CHAR; Z as B and PBCD),
// a length prefix BIGEND, PBCD, HEX or CHAR, a character set ASCII or EBCDIC.
bool AcceptsFieldEncoding(EncodingRole role, FieldType type, Encoding e) noexcept;
// A field's own encoding in a role (kLength, kNumeric, kCharacter, kBinary), and setting it.
std::optional<Encoding> OwnEncoding(const FieldSettings& settings, EncodingRole role) noexcept;
void SetOwnEncoding(FieldSettings& settings, EncodingRole role, Encoding e) noexcept;
// The encoding field n is read with in a role: its own, else the dialect's.
Encoding EffectiveEncoding(const ProtocolDef& def, int n, EncodingRole role) noexcept;
// The encoding of the data of a value of the type with those settings: its own where it has
// one, else the dialect's. A field's, or a subfield's inside a binary value.
Encoding DataEncodingOf(const ProtocolDef& dialect, FieldType type,
                        const FieldSettings& own) noexcept;
// The role of the field's data: NUM_Enc, CHR_Enc or BIN_Enc.
EncodingRole DataRole(FieldType type) noexcept;
