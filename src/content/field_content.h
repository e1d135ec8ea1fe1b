// What is inside one decoded field, and the field as masked output shows it: the EMV data
// objects of chip data, track data, the Luhn check of card numbers, and one masking rule for
// every report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/subfield_reader.h"
#include "content/tlv.h"
#include "content/value_mask.h"
#include "decode/decoder.h"
#include "model/protocol.h"

struct InspectOptions {
    bool mask = true;
    // Whether the hex of a text value is shown: where it is not (the rows), its hex is left
    // empty, and what only the hex would show of a card number is not looked for.
    bool hexShown = true;
    FieldMask tlvFields = {};   // inspected as BER-TLV besides 55, binary subfield fields and
                                // fields declared so
    FieldMask maskFields = {};  // replaced whole besides 36 and 52
};

// A stretch of the raw message, in its units.
struct UnitSpan {
    int start = 0;
    int count = 0;
};

struct TrackParts {
    int track = 0;  // 1 or 2; 0 when the value does not fit a track layout
    std::string account;
    std::string name;  // track 1 only
    std::string expiry;
    std::string serviceCode;
    std::string discretionary;
    bool luhn = false;  // of the account number
};

struct InspectedTag {
    std::uint32_t tag = 0;
    std::string tagHex;  // upper case: "9F02"
    const char* name = "";
    int depth = 1;        // 1 at the top; children one deeper
    int parent = -1;      // index in the field's tags, -1 at the top
    int end = 0;          // index after the last descendant
    int offset = 0;       // of the tag's first byte, in bytes of the field's value
    int valueOffset = 0;  // of the value's first byte
    int length = 0;
    bool constructed = false;
    std::string hex;  // of the value, masked as asked
    std::vector<const char*> bits;
    UnitSpan units;       // tag, length and value in the message
    UnitSpan valueUnits;  // the value alone
    bool masked = false;
    bool hasLuhn = false;  // tag 5A
    bool luhn = false;
    TrackParts track;  // tags 56, 57 and 9F6B
};

// The data objects of a field, in the order met. The list keeps the objects of a longer list
// before, their strings' storage included, past its size: a field of many data objects after
// one of few takes no memory, and no object is moved from field to field.
class TagList {
  public:
    std::size_t size() const noexcept { return count; }
    bool empty() const noexcept { return count == 0; }
    const InspectedTag& operator[](std::size_t i) const noexcept { return held[i]; }
    InspectedTag& operator[](std::size_t i) noexcept { return held[i]; }
    const InspectedTag* begin() const noexcept { return held.data(); }
    const InspectedTag* end() const noexcept { return held.data() + count; }

    // The objects past the old size are those kept from before, or new: each is to be written
    // whole.
    void Resize(std::size_t size) {
        if (size > held.size()) held.resize(size);
        count = size;
    }
    void Clear() noexcept { count = 0; }

  private:
    std::vector<InspectedTag> held;
    std::size_t count = 0;
};

// Track data in a data object as read: whether it fits a track layout, and where its parts lie.
struct TlvTrack {
    bool fits = false;
    TrackData data;
};

// Working storage kept from call to call, so that inspecting message after message reuses it.
struct InspectScratch {
    ValueMask value;
    ValueMask data;
    std::vector<std::uint8_t> bytes;
    std::vector<TlvObject> objects;
    std::vector<TlvTrack> tracks;  // one per data object
};

struct FieldInspection {
    bool tlvTried = false;
    TagList tags;
    std::string tlvError;  // "length runs 3 bytes past the end at byte 41"
    bool trackTried = false;
    TrackParts track;        // fields 35 and 45
    std::string trackError;  // "does not fit the track 2 layout"
    bool hasLuhn = false;    // fields 2 and 34
    bool luhn = false;
    SubfieldReading subfields;  // where the definition declares a structure
    bool masked = false;        // value or hex differ from the unmasked ones
    std::string value;          // as shown: hex for B and Z, else the text, NULs included
    std::string hex;            // of the value
    InspectScratch scratch;
};

// Inspects field.number's value as the definition and the options say, into out, whose
// storage is reused. Every string is masked when options.mask is set.
void InspectField(const ProtocolDef& def, const DecodedField& field, const InspectOptions& options,
                  FieldInspection& out);
FieldInspection InspectField(const ProtocolDef& def, const DecodedField& field,
                             const InspectOptions& options);

// Whether field n's value is BER-TLV data objects: its structure says so, or it has none and is
// field 55 or a binary field with the subfield flag.
bool FieldHoldsDataObjects(const ProtocolDef& def, int n) noexcept;

// Message units per byte of TLV data in the field: 1, 2 or 8.
int UnitsPerTlvByte(const ProtocolDef& def, int field) noexcept;

// Units outside the fields (before the MTI, after the last field) as masked hex: only the
// card-number backstop applies there.
std::string MaskedUnitsHex(const std::uint8_t* units, int count, bool mask);
