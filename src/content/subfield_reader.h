// Reading a decoded field's value into the subfields its definition declares: positional,
// tagged, bitmapped and BER-TLV structures, nested. The reading explains a field; it never
// changes how the field decodes. What does not fit its structure stops the reading with the
// path and offset of the problem, and what was read before it stays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "content/tlv.h"
#include "content/value_mask.h"
#include "model/protocol.h"
#include "support/auto_buff.h"

// Where the elements of a value (its characters, digits or bytes) lie in the message: element
// i covers nibbles [base + i * width, base + (i + 1) * width), nibble 2k being the high half of
// unit k. A width of 0 says the elements cannot be placed one by one (a number held in binary):
// every part of the value then lies somewhere in [base, base + span).
struct Placement {
    int base = 0;
    int width = 2;
    int span = 0;
};

struct SubfieldRow {
    std::string id;   // the path: "48.42.01"
    std::string tag;  // a tagged element's tag as read, or a data object's; else empty
    int depth = 1;    // 1 right under the field
    int end = 0;      // index after the row's last descendant
    const SubfieldNode* node = nullptr;  // null where the definition says nothing of it
    const char* description = "";        // the definition's, or an EMV tag's name
    bool unknown = false;                // a tagged element whose tag the definition does not know
    // Everything the subfield takes (its tag or prefix first), in units of the message,
    // rounded outward to whole units; nibbleOffset and nibbles are exact, -1 and 0 when the
    // range is whole units.
    int offset = 0;
    int consumed = 0;
    int nibbleOffset = -1;
    int nibbles = 0;
    int valueOffset = 0;  // the value alone, rounded outward likewise
    int valueUnits = 0;
    int length = 0;  // of the value: characters, digits or bytes
    bool binary = false;
    std::string value;  // as shown, masked as asked: hex for a binary value
    std::string hex;    // of the value
    bool masked = false;
};

struct SubfieldError {
    std::string id;  // the path of the subfield, or of the structure, where reading stopped
    int offset = 0;  // in units of the message
    std::string reason;
};

// Working storage kept from field to field, so that a warm reading takes no memory of its own.
struct SubfieldScratch {
    std::vector<std::unique_ptr<AutoBuff>> values;  // one per level
    std::vector<ValueMask> masks;                   // one per level
    std::vector<SubfieldRow> spare;                 // rows of earlier readings, storage kept
    std::vector<std::uint8_t> tlvBytes;             // the data of BER-TLV subfields
    ValueMask tlvMask;
    ValueMask objectMask;
};

struct SubfieldReading {
    bool tried = false;
    std::vector<SubfieldRow> rows;  // in document order, a row before its descendants
    bool failed = false;
    SubfieldError error;
    SubfieldScratch scratch;
};

// Empties out; the rows' storage waits among its spares for the next reading.
void ForgetSubfields(SubfieldReading& out);

// The field's declared structure, when it is one the subfield reader reads: positional,
// tagged or bitmapped. A field declared BER-TLV is the data-object reader's.
const SubfieldNode* ReadableStructure(const ProtocolDef& def, int n) noexcept;

// The definition of data object i of objects, read from a field or subfield whose node declares
// BER-TLV: among the definitions under the objects that enclose it first ("55.BF0C.9F4D"), then
// among the node's own children; null when neither has it.
const SubfieldNode* DeclaredDataObject(const SubfieldNode& node, const TlvObject* objects, int i);

// Reads value (size elements, bytes when binary) of field n, placed in the message as place
// says, under its declared structure. With mask set, marks each subfield's masking and the card-
// number backstop subfield by subfield into fieldMask, and shows values masked.
void ReadSubfields(const ProtocolDef& def, int n, const std::uint8_t* value, int size, bool binary,
                   const Placement& place, bool mask, ValueMask& fieldMask, SubfieldReading& out);

// Where field n's value lies: its data starts at unit dataStart and takes dataUnits units.
Placement PlaceFieldValue(const ProtocolDef& def, int n, int dataStart, int dataUnits,
                          int valueLength) noexcept;
