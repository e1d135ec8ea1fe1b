#include "diagnose/map_rows.h"

#include <algorithm>
#include <cstdint>

#include "diagnose/walk.h"
#include "support/text.h"

namespace {

// Marks the units of a field's data that show value bytes the mask hides. False when the
// encoding does not keep one value byte in whole units (or nibbles) of its own.
bool MapValueMask(const ProtocolDef& def, int n, int valueBytes, int units, const ValueMask& mask,
                  ValueMask& out) noexcept {
    const Encoding e = def.DataEncoding(n);
    if (e == Encoding::PBCD) {
        // Digits are right-aligned unless padded on the right: a value of d digits in c bytes
        // starts at nibble 2c - d, or at nibble 0.
        const bool right = def.settings[n].padSide == PadSide::kRight;
        const int pad = right ? 0 : 2 * units - valueBytes;
        if (2 * units < valueBytes) return false;
        for (int j = 0; j < valueBytes; ++j) {
            if (mask.ByteMasked(j)) out.Nibble(pad + j);
        }
        return true;
    }
    if (e == Encoding::HEX && ValueIsBinary(def, n)) {
        if (units < 2 * valueBytes) return false;
        for (int i = 0; i < 2 * valueBytes; ++i) {
            if (mask.NibbleMasked(i)) out.Byte(i);
        }
        return true;
    }
    const bool byteForByte = e == Encoding::NONE || e == Encoding::ASCII || e == Encoding::EBCDIC ||
                             (e == Encoding::CHAR && !ValueIsBinary(def, n));
    if (!byteForByte || units < valueBytes) return false;
    for (int i = 0; i < 2 * valueBytes; ++i) {
        if (mask.NibbleMasked(i)) out.Nibble(i);
    }
    return true;
}

void UnitsHex(const AutoBuff& message, int offset, int count, std::string& out) {
    AssignHex(out, message.Data() + offset, count);
}

// A value shown as hex ("4111..."), masked as the units it stands for would be.
std::string MaskedHexText(const std::string& hex, bool mask) {
    if (!mask) return hex;
    std::vector<std::uint8_t> bytes(hex.size() / 2);
    const int n = static_cast<int>(bytes.size());
    if (DecodeHex(static_cast<int>(hex.size()), bytes.data(), hex.c_str(), n) != n) return hex;
    return MaskedUnitsHex(bytes.data(), n, true);
}

}  // namespace

void MapRows::TakeField(const AutoBuff& message, const DecodedField& field) {
    const int n = field.number;
    MapRow& row = fields[n];
    InspectField(def, field, options, inspection);
    row.value = inspection.value;
    const int prefix = def.fields[n].sizeLen;
    const int dataAt = field.offset + prefix;
    const int units = field.consumed - prefix;
    UnitsHex(message, field.offset, prefix, row.prefixHex);
    if (!options.mask) return UnitsHex(message, dataAt, units, row.hex);
    unitMask.Reset(units);
    if (inspection.masked &&
        !MapValueMask(def, n, field.value->Length(), units, inspection.scratch.value, unitMask)) {
        unitMask.All();
    }
    // The units may spell a number the value does not: packed digits read as text, say.
    // Declared subfields are searched one by one, as their values are.
    const SubfieldReading& subfields = inspection.subfields;
    if (subfields.tried && !subfields.failed) {
        for (std::size_t i = 0; i < subfields.rows.size(); ++i) {
            const SubfieldRow& leaf = subfields.rows[i];
            if (leaf.end != static_cast<int>(i) + 1) continue;
            const int from = std::clamp(leaf.valueOffset - dataAt, 0, units);
            const int to = std::clamp(leaf.valueOffset + leaf.valueUnits - dataAt, from, units);
            MaskCardNumberRuns(message.Data() + dataAt + from, to - from, ValueShown::kHex,
                               unitMask, from);
        }
    } else {
        MaskCardNumberRuns(message.Data() + dataAt, units, ValueShown::kHex, unitMask);
    }
    MaskedHex(message.Data() + dataAt, units, unitMask, row.hex);
}

void MapRows::FieldRow(const AutoBuff& message, const MapEntry& entry, MapRow& row) {
    if (!entry.stopped) {
        row = fields[entry.field];
        return;
    }
    // Units the walk could not read as the field: only the card-number backstop applies.
    const int prefix = entry.prefixUnits;
    UnitsHex(message, entry.offset, prefix, row.prefixHex);
    row.hex =
        MaskedUnitsHex(message.Data() + entry.offset + prefix, entry.units - prefix, options.mask);
    row.value.clear();
}

void MapRows::Build(const AutoBuff& message, const Diagnosis& diagnosis,
                    std::vector<MapRow>& rows) {
    WalkOutline walk;
    WalkMessage(message, diagnosis.header, def, value, walk,
                [&](const DecodedField& field) { TakeField(message, field); });
    rows.resize(diagnosis.map.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MapEntry& entry = diagnosis.map[i];
        MapRow& row = rows[i];
        row.prefixHex.clear();
        switch (entry.part) {
            case MapPart::kField:
                FieldRow(message, entry, row);
                break;
            case MapPart::kMti:
                UnitsHex(message, entry.offset, entry.units, row.hex);
                row.value = entry.value;
                break;
            case MapPart::kBitmap:
                // Behind a header nobody declared, the bitmap is read from the header's units.
                row.hex = MaskedUnitsHex(message.Data() + entry.offset, entry.units, options.mask);
                row.value = MaskedHexText(entry.value, options.mask);
                break;
            default:
                row.hex = MaskedUnitsHex(message.Data() + entry.offset, entry.units, options.mask);
                row.value.clear();
                break;
        }
    }
}

std::string ReadingHeaderHex(const std::uint8_t* message, int length, const Reading& reading,
                             bool mask) {
    const int units = std::min(reading.header, length);
    return MaskedUnitsHex(message, units > 0 ? units : 0, mask);
}
