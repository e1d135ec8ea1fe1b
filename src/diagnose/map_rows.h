// The byte map of a diagnosis as reports and the desktop window show it: each stretch's units in
// hexadecimal and its value, masked as check masks them.
#pragma once

#include <string>
#include <vector>

#include "content/field_content.h"
#include "diagnose/diagnosis.h"

struct MapRow {
    std::string prefixHex;  // a field's length prefix, apart from its data
    std::string hex;        // the stretch's units (after the prefix)
    std::string value;      // as shown; empty for the header, trailing units and a stopped field
};

// The units a reading sets aside, in hex, masked as the map masks a header.
std::string ReadingHeaderHex(const std::uint8_t* message, int length, const Reading& reading,
                             bool mask);

class MapRows {
  public:
    MapRows(const ProtocolDef& protocol, const InspectOptions& inspect)
        : def(protocol), options(inspect) {}

    bool Masks() const noexcept { return options.mask; }
    // One row per entry of diagnosis.map, into rows (their storage is reused).
    void Build(const AutoBuff& message, const Diagnosis& diagnosis, std::vector<MapRow>& rows);

  private:
    void TakeField(const AutoBuff& message, const DecodedField& field);
    void FieldRow(const AutoBuff& message, const MapEntry& entry, MapRow& row);

    const ProtocolDef& def;
    InspectOptions options;
    FieldInspection inspection;
    AutoBuff value;
    ValueMask unitMask;
    MapRow fields[kFieldCount];  // by number, from the walk of the message
};
