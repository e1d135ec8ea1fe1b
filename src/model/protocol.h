// The protocol definition: one ISO 8583 dialect with its encodings, data elements and messages.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "model/field_settings.h"
#include "model/subfields.h"

enum class Encoding : std::int32_t {
    NONE = 0,
    BIGEND = 1,
    PBCD = 2,
    HEX = 3,
    CHAR = 4,
    ASCII = 5,
    EBCDIC = 6
};

enum class FieldType : std::int32_t { U = 0, N = 1, A = 2, AN = 3, ANS = 4, AS = 5, B = 6, Z = 7 };

inline constexpr int kEncodingCount = 7;
inline constexpr int kFieldTypeCount = 8;
inline constexpr int kTextMax = 128;     // names, descriptions and titles
inline constexpr int kFieldCount = 129;  // field numbers 0 to 128
inline constexpr int kFirstDataElement = 2;
inline constexpr int kLastField = 128;

extern const char* const EncodingNames[kEncodingCount];
extern const char* const FieldTypeNames[kFieldTypeCount];

// Exact, case-sensitive lookups; unknown or absent names give U and NONE.
FieldType FieldTypeFromName(const char* text) noexcept;
Encoding EncodingFromName(const char* text) noexcept;

const char* NameOf(Encoding e) noexcept;
const char* NameOf(FieldType t) noexcept;

// Stores a name, description or title in a record of size bytes: cut to size - 1 bytes without
// splitting a UTF-8 sequence, and without a blank at its end, which the file's reader would
// drop when the text is read again (a cut can fall just after one).
void StoreDefinitionText(char* dst, std::size_t size, const char* src) noexcept;
// The same for a text held as a string, cut to kTextMax bytes.
std::string DefinitionText(const char* src);

// One bit per field 1 to 128 in ISO 8583 bitmap order: field 1 is the top bit of byte 0.
using FieldMask = std::array<std::uint8_t, 16>;

bool TestBit(const FieldMask& mask, int n) noexcept;
bool SetBit(FieldMask& mask, int n) noexcept;
bool ClearBit(FieldMask& mask, int n) noexcept;

struct FldDef {
    FieldType type = FieldType::U;
    std::int16_t size = 0;
    std::int16_t sizeLen = 0;  // 0: fixed length
    bool subfield = false;
    char description[kTextMax + 1] = {};

    void Clear() noexcept;
};

// Stores the five values, or clears the entry and returns false when size < 1 or sizeLen < 0.
bool DefineField(FldDef& entry, FieldType type, std::int16_t size, std::int16_t sizeLen,
                 bool subfield, const char* description) noexcept;

struct ProtocolDef;

struct MsgDef {
    ProtocolDef* owner = nullptr;
    char title[kTextMax + 1] = {};
    char mti[5] = {};
    FieldMask mandatory = {};
    FieldMask optional = {};
};

void InitMsgDef(MsgDef& def, ProtocolDef& owner) noexcept;

// Fixed slots, each empty or owning one message definition. A definition keeps its slot
// index for its whole life, so empty slots may lie between used ones.
class MsgTable {
  public:
    static constexpr int kSlots = 99;
    static constexpr int kNone = -1;

    MsgTable() noexcept;
    MsgTable(const MsgTable&) = delete;
    MsgTable& operator=(const MsgTable&) = delete;

    int SlotCount() const noexcept { return slotCount; }

    // Throws std::out_of_range for an index outside the table: a programming fault.
    std::unique_ptr<MsgDef>& At(int i);
    const std::unique_ptr<MsgDef>& At(int i) const;

    // Takes def (leaving it null) only when i is inside the table and the slot is empty.
    bool PutIfEmpty(int i, std::unique_ptr<MsgDef>& def) noexcept;
    int FindByMti(const char* mti) const noexcept;  // kNone when no slot matches
    int FirstEmpty() const noexcept;                // kNone when every slot is used
    bool ClearAll() noexcept;
    bool ReleaseAll() noexcept;

  private:
    std::int32_t slotCount = 0;
    std::unique_ptr<std::unique_ptr<MsgDef>[]> slots;
};

struct ProtocolDef {
    char name[kTextMax + 1] = {};
    FldDef fields[kFieldCount];
    Encoding mtiEnc = Encoding::CHAR;
    Encoding bmpEnc = Encoding::NONE;
    Encoding lenEnc = Encoding::BIGEND;
    Encoding numEnc = Encoding::PBCD;
    Encoding chrEnc = Encoding::ASCII;
    Encoding binEnc = Encoding::NONE;
    MsgTable messages;
    // Beyond the classic lines: each field's own settings, and the dialect's options.
    FieldSettings settings[kFieldCount];
    DialectOptions options;
    SubfieldTable subfields;  // what is inside fields, where the definition says

    ProtocolDef() noexcept = default;  // the start-up state
    ProtocolDef(const ProtocolDef&) = delete;
    ProtocolDef& operator=(const ProtocolDef&) = delete;

    // The state before a file is read, without settings or options; leaves the messages alone.
    void Reset() noexcept;

    bool IsBinaryField(int n) const noexcept;
    // The encoding of field n's data: its own setting where it has one, else the dialect's.
    Encoding DataEncoding(int n) const noexcept;
    // Field n is consulted only when maxLen is negative.
    std::int16_t LengthPrefixSize(std::int16_t maxLen, int n) const noexcept;
    // Leaves alone a field whose length encoding or prefix size is its own setting.
    bool RecomputeLengthPrefixSizes() noexcept;
};

// Some defined field from 2 to 128 has a length prefix.
bool HasVariableField(const ProtocolDef& def) noexcept;

// The six encodings of a definition, in the order of the Data Elements page's combos.
enum class EncodingRole : std::int32_t { kMti, kBitmap, kLength, kNumeric, kCharacter, kBinary };
inline constexpr int kEncodingRoleCount = 6;

Encoding ProtocolDef::*EncodingField(EncodingRole role) noexcept;
// The key of its line in a definition file, without the '=': "MTI_Enc" to "BIN_Enc".
const char* KeyOf(EncodingRole role) noexcept;
// The values the editor offers, in the order of its lists.
std::span<const Encoding> OfferedEncodings(EncodingRole role) noexcept;
// Stores the encoding as picking it on the Data Elements page does: a new length encoding
// recomputes the prefix size of every variable element.
void PickEncoding(ProtocolDef& def, EncodingRole role, Encoding e) noexcept;

// The one definition the program edits.
ProtocolDef& TheProtocol() noexcept;
