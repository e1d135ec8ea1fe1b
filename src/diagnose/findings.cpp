#include "diagnose/findings.h"

#include <cstdio>
#include <vector>

#include "decode/codecs.h"
#include "decode/field_with_settings.h"

namespace {

std::string Units(long n) {
    return std::to_string(n) + (n == 1 ? " unit" : " units");
}

std::string FieldLead(int field) {
    return "field " + std::to_string(field) + ": ";
}

bool Printable(std::uint8_t ch) noexcept {
    return ch >= 0x20 && ch <= 0x7E;
}

// A unit as the user can find it: the character it stands for, or the unit itself, which the
// reports show as \xHH.
std::string UnitText(std::uint8_t raw, std::uint8_t shown) {
    return std::string("'") + static_cast<char>(Printable(shown) ? shown : raw) + "'";
}

std::string HexOf(const std::uint8_t* units, int count) {
    std::string hex;
    char pair[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", units[i]);
        hex += pair;
    }
    return hex;
}

std::uint8_t Shown(const ProtocolDef& def, std::uint8_t raw) noexcept {
    return def.chrEnc == Encoding::EBCDIC ? EbcdicToAsciiTable[raw] : raw;
}

int DigitValue(std::uint8_t ch) noexcept {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

bool TextPrefix(Encoding lenEnc) noexcept {
    return lenEnc == Encoding::HEX || lenEnc == Encoding::CHAR;
}

// Whether the prefix spells a number under the length encoding; binary prefixes always do.
bool PrefixIsNumber(const ProtocolDef& def, const std::uint8_t* units, int s) noexcept {
    for (int i = 0; i < s; ++i) {
        if (def.lenEnc == Encoding::PBCD) {
            if ((units[i] & 0x0F) > 9 || (units[i] >> 4) > 9) return false;
        } else if (TextPrefix(def.lenEnc)) {
            const int v = DigitValue(Shown(def, units[i]));
            if (v < 0 || v >= (def.lenEnc == Encoding::HEX ? 16 : 10)) return false;
        }
    }
    return true;
}

// The prefix's value before the decoder reduces it to 16 bits.
long PrefixValue(const ProtocolDef& def, const std::uint8_t* units, int s) noexcept {
    if (def.lenEnc == Encoding::PBCD) return PackedBcdToInt(s, units);
    if (TextPrefix(def.lenEnc)) {
        const int radix = def.lenEnc == Encoding::HEX ? 16 : 10;
        return def.chrEnc == Encoding::EBCDIC ? ParseRadixTextEbcdic(units, s, radix)
                                              : ParseRadixText(units, s, radix);
    }
    return s == 2 ? units[0] * 256 + units[1] : units[0];
}

std::string PrefixShown(const ProtocolDef& def, const std::uint8_t* units, int s) {
    if (!TextPrefix(def.lenEnc)) return HexOf(units, s);
    std::string text = "'";
    for (int i = 0; i < s; ++i) {
        const std::uint8_t ch = Shown(def, units[i]);
        text += static_cast<char>(Printable(ch) ? ch : units[i]);
    }
    return text + "'";
}

std::string ExplainPrefix(const AutoBuff& message, const ProtocolDef& def, int offset, int s) {
    if (s < 1 || s > 5) return "length prefix size " + std::to_string(s) + " is outside 1 to 5";
    const std::uint8_t* units = message.Data() + offset;
    const std::string lead = "length prefix " + PrefixShown(def, units, s) + " (" + Units(s) +
                             " at offset " + std::to_string(offset) + ")";
    if (!PrefixIsNumber(def, units, s))
        return lead + " is not a number under " + NameOf(def.lenEnc);
    const long value = PrefixValue(def, units, s);
    if (value > 32767) return lead + " gives length " + std::to_string(value) + ", above 32767";
    return lead + " gives length " + std::to_string(value);
}

// Units the conversion reads: bit text takes 8 per byte even where the data size wraps.
int UnitsNeeded(const ProtocolDef& def, int n, int d, int c) noexcept {
    if (!def.IsBinaryField(n)) return c;
    const Encoding e = def.DataEncoding(n);
    const bool bitText = e == Encoding::BIGEND || e == Encoding::CHAR || e == Encoding::ASCII ||
                         e == Encoding::EBCDIC;
    return bitText && 8 * d > c ? 8 * d : c;
}

std::string ExplainPackedDigits(const std::uint8_t* data, int start, int c, int d) {
    // The order PackedBcdToDigits reads: from the last byte back, as far as the digits go.
    int p = d - 1;
    for (int i = c - 1; i >= 0 && p >= 0; --i, p -= 2) {
        const int low = data[i] & 0x0F;
        const int high = data[i] >> 4;
        if (low > 9 || high > 9) {
            char nibble[4];
            std::snprintf(nibble, sizeof nibble, "%X", low > 9 ? low : high);
            return std::string("PBCD nibble ") + nibble + " at offset " + std::to_string(start + i);
        }
    }
    return "packed digits at offset " + std::to_string(start) + " do not convert";
}

std::string ExplainConversion(const AutoBuff& message, const ProtocolDef& def, int n, int start,
                              int d, int c) {
    const std::uint8_t* data = message.Data() + start;
    const Encoding e = def.DataEncoding(n);
    if (e == Encoding::PBCD) return ExplainPackedDigits(data, start, c, d);
    if (e == Encoding::HEX) {
        if (c % 2 != 0) {
            return std::to_string(c) + " hexadecimal digits at offset " + std::to_string(start) +
                   ", an odd count";
        }
        for (int i = 0; i < c; ++i) {
            if (DigitValue(Shown(def, data[i])) < 0) {
                return UnitText(data[i], Shown(def, data[i])) + " at offset " +
                       std::to_string(start + i) + " is not a hexadecimal digit";
            }
        }
    } else if (e != Encoding::NONE && def.IsBinaryField(n)) {
        for (int i = 0; i < 8 * d && i < message.Length() - start; ++i) {
            const std::uint8_t ch = Shown(def, data[i]);
            if (ch != '0' && ch != '1') {
                return UnitText(data[i], ch) + " at offset " + std::to_string(start + i) +
                       " is neither 0 nor 1";
            }
        }
    }
    return "data (" + Units(c) + " at offset " + std::to_string(start) +
           ") does not convert under " + NameOf(e);
}

}  // namespace

Finding ExplainStop(const AutoBuff& message, const ProtocolDef& def, int field, int offset,
                    int code) {
    Finding out{field, offset, FieldLead(field)};
    if (field < kFirstDataElement || field > kLastField || offset < 0 ||
        offset > message.Length()) {
        out.text += "does not decode";
        return out;
    }
    const FldDef& element = def.fields[field];
    if (code == kFieldUndefined || element.type == FieldType::U) {
        out.text += "bit set, no data element";
        return out;
    }
    const int remaining = message.Length() - offset;
    const int s = element.sizeLen;
    if (s > remaining) {
        out.text += "length prefix needs " + Units(s) + " at offset " + std::to_string(offset) +
                    ", " + std::to_string(remaining) + (remaining == 1 ? " remains" : " remain");
        return out;
    }
    int d = 0;
    if (FollowsOwnSettings(def, field)) {
        // The field's own prefix rules: its encoding, alignment and what it counts.
        const int length = FieldLength(def, field, message.Data() + offset);
        const bool empty = length == 0 && s > 0 && def.options.emptyFields;
        if (code == kBadLengthPrefix || length < 0 || (length == 0 && !empty)) {
            out.text += "length prefix " + HexOf(message.Data() + offset, s) + " (" + Units(s) +
                        " at offset " + std::to_string(offset) + ")" +
                        (length < 0 ? " is not a length under the field's " +
                                          std::string(NameOf(LengthEncoding(def, field)))
                                    : " gives length 0");
            return out;
        }
        const bool bytes = ValueIsBinary(def, field);
        d = def.settings[field].prefixNibbles && s > 0 && bytes ? (length + 1) / 2 : length;
    } else {
        d = static_cast<std::int16_t>(
            DecodeLengthPrefix(static_cast<std::int16_t>(s), message.Data() + offset, def, field));
        if (code == kBadLengthPrefix || d < 1) {
            out.text += ExplainPrefix(message, def, offset, s);
            return out;
        }
    }
    const int c = FieldDataSize(field, static_cast<std::int16_t>(d), def);
    const int start = offset + s;
    const int needed = UnitsNeeded(def, field, d, c);
    if (code == kMessageTooShort || needed > remaining - s) {
        out.offset = start;
        out.text += "needs " + Units(needed) + " at offset " + std::to_string(start) + ", " +
                    std::to_string(remaining - s) + (remaining - s == 1 ? " remains" : " remain");
        return out;
    }
    if (code == kNoMemory) {
        out.text += "no memory for a value of " + Units(d);
        return out;
    }
    out.offset = start;
    out.text += ExplainConversion(message, def, field, start, d, c);
    return out;
}

Finding ExplainNoVerdict(const AutoBuff& message, const ProtocolDef& def, int start) {
    const int units = message.Length() - start;
    const int mti = def.mtiEnc == Encoding::PBCD ? 4 : 8;
    const int bitmap = def.bmpEnc == Encoding::HEX ? 16 : def.bmpEnc == Encoding::CHAR ? 64 : 8;
    return {0, start,
            Units(units) + ": too short for the MTI (" + std::to_string(mti) + " under " +
                NameOf(def.mtiEnc) + ") and for the bitmap (" + std::to_string(bitmap) + " under " +
                NameOf(def.bmpEnc) + ")"};
}

const char* NameOf(FindingKind kind) noexcept {
    switch (kind) {
        case FindingKind::kBitmap:
            return "bitmap";
        case FindingKind::kType:
            return "type";
        case FindingKind::kLength:
            return "length";
        case FindingKind::kTrailing:
            return "trailing";
        case FindingKind::kSubfield:
            return "subfield";
        default:
            return "other";
    }
}

void AddFitWarnings(const AutoBuff& message, const ProtocolDef& def, const DecodedField& field,
                    const FieldFit& fit, std::vector<Finding>& out) {
    const int n = field.number;
    const FldDef& element = def.fields[n];
    if (fit.unfit >= 0) {
        const int at = field.offset + element.sizeLen + fit.unfit;
        const std::uint8_t raw = at < message.Length() ? message.Data()[at] : 0;
        out.push_back({n, at,
                       FieldLead(n) + UnitText(raw, field.value->Data()[fit.unfit]) +
                           " at offset " + std::to_string(at) + " does not fit " +
                           NameOf(element.type),
                       FindingKind::kType});
    }
    if (fit.prefixAboveMax) {
        out.push_back({n, field.offset,
                       FieldLead(n) + "length " + std::to_string(fit.prefixLength) +
                           " above the maximum " + std::to_string(element.size) + " at offset " +
                           std::to_string(field.offset),
                       FindingKind::kLength});
    }
}

Finding BitmapWarning(const AutoBuff& message, const ProtocolDef& def, int block, int offset) {
    const std::uint8_t raw = message.Data()[offset];
    const char* expected =
        def.bmpEnc == Encoding::CHAR ? " is neither 0 nor 1" : " is not hexadecimal";
    return {0, offset,
            std::string(block == 0 ? "bitmap" : "secondary bitmap") + " unit " +
                std::to_string(offset) + " (" + UnitText(raw, Shown(def, raw)) + ")" + expected +
                ", read as zero bits from there",
            FindingKind::kBitmap};
}

void AddBitmapFindings(const AutoBuff& message, const ProtocolDef& def, const WalkOutline& walk,
                       std::vector<Finding>& out) {
    if (!walk.read) return;
    const int block = def.bmpEnc == Encoding::HEX ? 16 : def.bmpEnc == Encoding::CHAR ? 64 : 8;
    const int primaryAt = walk.BitmapStart();
    const int secondaryAt = primaryAt + walk.primaryUnits;
    if (walk.primaryUnits == 0) {
        const int left = message.Length() - primaryAt;
        out.push_back({0, primaryAt,
                       "bitmap: " + Units(left > 0 ? left : 0) + ", needs " + std::to_string(block),
                       FindingKind::kBitmap});
        return;
    }
    const int primary = BitmapFault(message, primaryAt, walk.primaryUnits, def);
    if (primary >= 0) out.push_back(BitmapWarning(message, def, 0, primary));
    // Under OPTION= BITMAP; FIXED128 bit 1 announces nothing, and a message may end before
    // the second block.
    const bool announced = TestBit(walk.bitmap, 1) && !def.options.fixedBitmap;
    if (announced && walk.secondaryUnits == 0) {
        const int left = message.Length() - secondaryAt;
        out.push_back({0, secondaryAt,
                       left <= 0
                           ? "secondary bitmap announced (bit 1) but the message ends at unit " +
                                 std::to_string(secondaryAt)
                           : "secondary bitmap announced (bit 1): " + Units(left) + " at offset " +
                                 std::to_string(secondaryAt) + ", needs " + std::to_string(block),
                       FindingKind::kBitmap});
    }
    const int secondary = BitmapFault(message, secondaryAt, walk.secondaryUnits, def);
    if (secondary >= 0) out.push_back(BitmapWarning(message, def, 1, secondary));
}

Finding NotAllowedWarning(int field, int offset, const char* mti) {
    return {field, offset, FieldLead(field) + "not allowed in message " + mti};
}

void AddTrailingFinding(const AutoBuff& message, const ProtocolDef& def, const WalkOutline& walk,
                        std::vector<Finding>& out) {
    const int rest = message.Length() - walk.end;
    if (!walk.read || walk.code != kNoMoreFields || rest <= 0 || walk.primaryUnits == 0) return;
    const int bitmapEnd = walk.BitmapStart() + walk.primaryUnits;
    const bool secondaryCut = TestBit(walk.bitmap, 1) && !def.options.fixedBitmap &&
                              walk.secondaryUnits == 0 && walk.end == bitmapEnd;
    if (!secondaryCut) out.push_back(TrailingWarning(walk.end, rest));
}

Finding TrailingWarning(int offset, int units) {
    return {0, offset,
            std::to_string(units) + (units == 1 ? " trailing unit" : " trailing units") +
                " at offset " + std::to_string(offset),
            FindingKind::kTrailing};
}
