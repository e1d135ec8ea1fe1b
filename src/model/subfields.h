// What a definition says is inside a field: the structure of its value and the subfields it is
// made of, nested. A field without them stays one value.
//
// A subfield is named by its path: the field number, then one id per level ("48.42",
// "127.22.1", "55.9F02"). Positional and bitmapped subfields are numbered from 1; a tagged
// element's id is its tag as written in the data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/field_settings.h"

enum class SubfieldLayout : std::uint8_t {
    kNone,        // no structure: one value
    kPositional,  // subfields one after the other
    kTagged,      // elements of tag, length and value, in any order
    kBitmap,      // a bitmap of its own, then the subfields it flags
    kBerTlv,      // EMV data objects
};

// What masking takes a subfield's value for.
enum class SubfieldHolds : std::uint8_t { kNothing, kCardNumber, kTrackData, kSecret };

// The tag or the length of a tagged element: its units, and how a binary value writes it
// (CHAR: characters of the field's character set; PBCD; BIGEND). A text value writes both as
// characters.
struct ElementPart {
    std::uint8_t units = 0;
    Encoding encoding{4};  // CHAR

    bool operator==(const ElementPart&) const noexcept = default;
};

inline constexpr int kMaxTagUnits = 8;
inline constexpr int kMaxElementLengthUnits = 6;
inline constexpr int kMaxHeadUnits = 999;
inline constexpr int kMaxInnerBitmapBytes = 16;
inline constexpr int kMaxSubfieldDepth = 8;  // levels below the field

struct SubfieldStructure {
    SubfieldLayout layout = SubfieldLayout::kNone;
    // kTagged
    ElementPart tag;
    ElementPart length;
    bool lengthFirst = false;  // length, tag, value
    std::int16_t head = 0;     // units before the first element
    // kBitmap
    std::uint8_t bitmapBytes = 0;
    bool bitmapHex = false;  // written as twice as many hexadecimal characters

    bool operator==(const SubfieldStructure&) const noexcept = default;
};

// A subfield's columns, as a FIELD line's, and its settings.
struct SubfieldDef {
    FieldType type{0};  // U
    std::int16_t size = 0;
    std::int16_t sizeLen = 0;  // prefix units; 0: fixed
    bool subfield = false;
    std::string description;
    FieldSettings settings;  // encodings of its own inside a binary value
    bool rest = false;       // the last positional subfield takes the rest of the value
    SubfieldHolds holds = SubfieldHolds::kNothing;

    bool operator==(const SubfieldDef&) const = default;
};

struct SubfieldNode {
    std::string id;        // the last part of the path; the field number at the top
    bool defined = false;  // a SUBFIELD line gave its columns (the top node is the field's)
    SubfieldDef def;
    SubfieldStructure structure;
    std::vector<SubfieldNode> children;  // in id order

    // The child of that id: numbers compare by value ("01" finds "1"), other ids exactly.
    const SubfieldNode* Child(std::string_view childId) const noexcept;
    SubfieldNode* Child(std::string_view childId) noexcept;
    bool operator==(const SubfieldNode&) const = default;
};

// Ids in the order subfields are listed and written: numbers by value before other ids, which
// follow in byte order.
bool IdLess(std::string_view a, std::string_view b) noexcept;
// The number a decimal id stands for, or -1.
int IdNumber(std::string_view id) noexcept;

// A path cut into its field and ids; false when it is not one (a field outside 2 to 128, an
// empty id, a blank, more than kMaxSubfieldDepth levels).
struct SubfieldPath {
    int field = 0;
    std::vector<std::string_view> ids;
};
bool SplitPath(std::string_view path, SubfieldPath& out);

class SubfieldTable {
  public:
    // The node of field n, or of a path; null when no line names it.
    const SubfieldNode* Field(int n) const noexcept;
    const SubfieldNode* Find(std::string_view path) const;
    // The node of a path read by SplitPath, made with the nodes above it where missing.
    SubfieldNode& Make(const SubfieldPath& path);
    const std::vector<SubfieldNode>& Fields() const noexcept { return fields; }
    std::vector<SubfieldNode>& Fields() noexcept { return fields; }
    bool Empty() const noexcept { return fields.empty(); }
    void Clear() noexcept { fields.clear(); }

    bool operator==(const SubfieldTable&) const = default;

  private:
    std::vector<SubfieldNode> fields;  // by field number
};

// Whether a subfield's value is bytes (shown as hex): B, and Z other than packed track data.
bool SubfieldValueIsBinary(const SubfieldDef& def) noexcept;
