#include "content/field_content.h"

#include <algorithm>
#include <cstring>

#include "content/card_number.h"
#include "content/emv_bits.h"
#include "content/tag_names.h"
#include "content/tlv.h"
#include "content/track_data.h"
#include "content/value_mask.h"
#include "support/text.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int Nibble(const std::uint8_t* bytes, int i) noexcept {
    return (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2]) & 0x0F;
}

bool TlvWanted(const ProtocolDef& def, int n, const InspectOptions& options) noexcept {
    return TestBit(options.tlvFields, n) || FieldHoldsDataObjects(def, n);
}

// The bytes of a binary value, or those that a value of hex text spells.
bool ReadTlvData(bool binary, const std::uint8_t* value, int size,
                 std::vector<std::uint8_t>& data) {
    if (binary) {
        data.assign(value, value + size);
        return true;
    }
    if (size < 2 || size % 2 != 0) return false;
    data.resize(static_cast<std::size_t>(size / 2));
    return DecodeHex(size, data.data(), reinterpret_cast<const char*>(value), size / 2) == size / 2;
}

// The Luhn check of count packed digits from nibble first.
bool LuhnValidNibbles(const std::uint8_t* bytes, int first, int count) noexcept {
    char digits[kMaxCardDigits + 1];
    if (count < 2 || count > kMaxCardDigits + 1) {
        // A number longer than any card's is checked all the same, digit by digit.
        int sum = 0;
        for (int i = first + count - 1, k = 0; i >= first; --i, ++k) {
            const int d = Nibble(bytes, i);
            if (d > 9) return false;
            sum += k % 2 == 0 ? d : (d * 2 > 9 ? d * 2 - 9 : d * 2);
        }
        return count >= 2 && sum % 10 == 0;
    }
    for (int i = 0; i < count; ++i)
        digits[i] = kHexDigits[Nibble(bytes, first + i)];
    return LuhnValid(digits, count);
}

// Decimal nibbles, then only F nibbles: the digits of a packed card number, or -1.
int PackedDigits(const std::uint8_t* bytes, int size) noexcept {
    int n = 0;
    while (n < 2 * size && Nibble(bytes, n) <= 9)
        ++n;
    for (int i = n; i < 2 * size; ++i) {
        if (Nibble(bytes, i) != 0x0F) return -1;
    }
    return n > 0 ? n : -1;
}

// Hex of bytes [from, from + count) with masked nibbles as '*', into hex (its storage reused).
void HexRange(const std::uint8_t* bytes, int from, int count, const ValueMask& mask,
              std::string& hex) {
    hex.resize(2 * static_cast<std::size_t>(count));
    PutHex(hex.data(), bytes + from, count);
    mask.HideInHex(hex.data(), 2 * from, 2 * count);
}

void TagHex(std::uint32_t tag, int size, std::string& hex) {
    hex.resize(2 * static_cast<std::size_t>(size));
    for (int i = 0; i < 2 * size; ++i)
        hex[i] = kHexDigits[(tag >> (4 * (2 * size - 1 - i))) & 0x0F];
}

bool HoldsTrack(std::uint32_t tag) noexcept {
    return tag == 0x56 || tag == 0x57 || tag == 0x9F6B;
}

void ClearTrack(TrackParts& parts) noexcept {
    parts.track = 0;
    for (std::string* part :
         {&parts.account, &parts.name, &parts.expiry, &parts.serviceCode, &parts.discretionary})
        part->clear();
    parts.luhn = false;
}

// The track's parts as shown, into parts (their storage reused): masked symbols as '*'. base
// is the track's first byte.
void PartsOf(const TrackData& track, const std::uint8_t* data, int base, const ValueMask& mask,
             TrackParts& parts) {
    const int first = track.packed ? 2 * base : base;
    const std::uint8_t* start = data + base;
    auto part = [&](const TrackSpan& span, std::string& out) {
        out.resize(static_cast<std::size_t>(std::max(span.size, 0)));
        char* symbol = out.data();
        for (int i = span.start; i < span.start + span.size; ++i) {
            const bool hidden =
                track.packed ? mask.NibbleMasked(first + i) : mask.ByteMasked(first + i);
            *symbol++ = hidden ? '*' : TrackSymbol(start, track.packed, i);
        }
    };
    parts.track = track.track;
    part(track.account, parts.account);
    part(track.name, parts.name);
    part(track.expiry, parts.expiry);
    part(track.serviceCode, parts.serviceCode);
    part(track.discretionary, parts.discretionary);
    // An account number is at most 19 digits: the track layouts refuse a longer one.
    char digits[kMaxCardDigits];
    const int count = std::min(track.account.size, kMaxCardDigits);
    for (int i = 0; i < count; ++i)
        digits[i] = TrackSymbol(start, track.packed, track.account.start + i);
    parts.luhn = count == track.account.size && LuhnValid(digits, count);
}

bool ParseTrackAt(std::uint32_t tag, const std::uint8_t* bytes, int size, TrackData& track) {
    if (tag == 0x56) return ParseTrack1(bytes, size, track);
    return ParseTrack2Packed(bytes, size, track);
}

// Marks what masking hides of one primitive data object; track is its track data as read.
void MaskTag(const TlvObject& object, const std::uint8_t* data, const TlvTrack& track,
             ValueMask& mask) {
    const std::uint8_t* value = data + object.valueOffset;
    switch (object.tag) {
        case 0x5A: {
            const int digits = PackedDigits(value, object.length);
            if (digits > 0) return MaskCardNumber(mask, 2 * object.valueOffset, digits, true);
            return MaskBytes(mask, object.valueOffset, object.length);
        }
        case 0x56:
        case 0x57:
        case 0x9F6B:
            if (track.fits) return MaskTrack(mask, track.data, object.valueOffset);
            return MaskBytes(mask, object.valueOffset, object.length);
        case 0x9F1F:
        case 0x9F20:
            return MaskBytes(mask, object.valueOffset, object.length);
        default:
            return;
    }
}

// Marks what masking hides of a data object the definition says holds a card number, track
// data or a secret.
void MaskHeldTag(const TlvObject& object, SubfieldHolds holds, const std::uint8_t* data,
                 ValueMask& mask) {
    const std::uint8_t* value = data + object.valueOffset;
    TrackData track;
    if (holds == SubfieldHolds::kCardNumber) {
        const int digits = PackedDigits(value, object.length);
        if (digits > 0) return MaskCardNumber(mask, 2 * object.valueOffset, digits, true);
    } else if (holds == SubfieldHolds::kTrackData &&
               ParseTrack2Packed(value, object.length, track)) {
        return MaskTrack(mask, track, object.valueOffset);
    } else if (holds == SubfieldHolds::kNothing) {
        return;
    }
    MaskBytes(mask, object.valueOffset, object.length);
}

void DescribeTag(const TlvObject& object, const std::uint8_t* data, const TlvTrack& track,
                 const ValueMask& shown, InspectedTag& out) {
    const std::uint8_t* value = data + object.valueOffset;
    const char* texts[kMaxBitTexts];
    const int n = ExplainBits(object.tag, value, object.length, texts, kMaxBitTexts);
    out.bits.assign(texts, texts + n);
    HexRange(data, object.valueOffset, object.length, shown, out.hex);
    out.masked = shown.HidesText(object.valueOffset, object.length);
    out.hasLuhn = object.tag == 0x5A;
    out.luhn = false;
    if (out.hasLuhn) {
        const int digits = PackedDigits(value, object.length);
        out.luhn = digits > 0 && LuhnValidNibbles(value, 0, digits);
    }
    if (out.track.track != 0) ClearTrack(out.track);
    if (track.fits) PartsOf(track.data, data, object.valueOffset, shown, out.track);
}

class Inspection {
  public:
    Inspection(const ProtocolDef& protocol, const DecodedField& decoded, const InspectOptions& opts,
               FieldInspection& out)
        : def(protocol),
          field(decoded),
          options(opts),
          n(decoded.number),
          bytes(decoded.value->Data()),
          size(decoded.value->Length()),
          binary(ValueIsBinary(protocol, decoded.number)),
          result(out),
          valueMask(out.scratch.value) {
        valueMask.Reset(size);
        result.tlvTried = false;
        result.tlvError.clear();
        result.trackTried = false;
        if (result.track.track != 0) ClearTrack(result.track);
        result.trackError.clear();
        result.hasLuhn = false;
        result.luhn = false;
    }

    void Run() {
        // An empty field has no number to check.
        if ((n == 2 || n == 34) && size > 0) CardNumber();
        if (n == 35 || n == 45) Track();
        if (options.mask && (n == 36 || n == 52 || TestBit(options.maskFields, n))) {
            valueMask.All();
        }
        // The data's own backstop, carried over, already covers the value's digits.
        const bool dataScanned = TlvWanted(def, n, options) && Tlv();
        if ((!result.tlvTried || !result.tlvError.empty()) && !result.tags.empty())
            result.tags.Clear();
        const bool subfieldsScanned = Subfields();
        const ValueShown shown = binary             ? ValueShown::kHex
                                 : options.hexShown ? ValueShown::kText
                                                    : ValueShown::kTextAlone;
        if (options.mask && !dataScanned && !subfieldsScanned) {
            MaskCardNumberRuns(bytes, size, shown, valueMask);
        }
        if (shown == ValueShown::kTextAlone) {
            result.hex.clear();
        } else {
            MaskedHex(bytes, size, valueMask, result.hex);
        }
        if (binary) {
            result.value = result.hex;
        } else {
            // Every unit, a NUL among them: the reports escape what is not printable.
            MaskedText(reinterpret_cast<const char*>(bytes), size, valueMask, result.value);
        }
        result.masked = valueMask.Any();
    }

  private:
    void CardNumber() {
        result.hasLuhn = true;
        const char* text = reinterpret_cast<const char*>(bytes);
        const int digits =
            binary ? PackedDigits(bytes, size) : static_cast<int>(strnlen(text, size));
        result.luhn =
            digits > 0 && (binary ? LuhnValidNibbles(bytes, 0, digits) : LuhnValid(text, digits));
        if (!options.mask) return;
        // Packed digits are decimal to the last by PackedDigits. Units after a NUL are shown
        // too, and the rule that masks a card number knows nothing of them: the whole is hidden.
        const bool digitsOnly =
            digits > 0 &&
            (binary || (digits == size && std::all_of(text, text + digits, [](char c) {
                            return c >= '0' && c <= '9';
                        })));
        if (digitsOnly) {
            MaskCardNumber(valueMask, 0, digits, binary);
        } else {
            valueMask.All();
        }
    }

    void Track() {
        result.trackTried = true;
        TrackData track;
        const bool fits = n == 45  ? ParseTrack1(bytes, size, track)
                          : binary ? ParseTrack2Packed(bytes, size, track)
                                   : ParseTrack2Text(bytes, size, track);
        if (!fits) {
            result.trackError =
                n == 45 ? "does not fit the track 1 layout" : "does not fit the track 2 layout";
            if (options.mask) valueMask.All();
            return;
        }
        if (options.mask) MaskTrack(valueMask, track, 0);
        PartsOf(track, bytes, 0, valueMask, result.track);
    }

    // True when the declared subfields were all read, their masking and backstop included.
    bool Subfields() {
        if (ReadableStructure(def, n) == nullptr) {
            // Most fields have no structure, nor rows left from a value before.
            if (!result.subfields.rows.empty()) ForgetSubfields(result.subfields);
            result.subfields.tried = false;
            result.subfields.failed = false;
            return false;
        }
        const int prefix = def.fields[n].sizeLen;
        const Placement place =
            PlaceFieldValue(def, n, field.offset + prefix, field.consumed - prefix, size);
        ReadSubfields(def, n, bytes, size, binary, place, options.mask, valueMask,
                      result.subfields);
        return options.mask && !result.subfields.failed;
    }

    // True when the data objects were read, their backstop included.
    bool Tlv() {
        result.tlvTried = true;
        std::vector<std::uint8_t>& data = result.scratch.bytes;
        if (!ReadTlvData(binary, bytes, size, data)) {
            result.tlvError = "not hexadecimal text";
            return false;
        }
        const int count = static_cast<int>(data.size());
        std::vector<TlvObject>& objects = result.scratch.objects;
        objects.resize(static_cast<std::size_t>(TlvRoom(count)));
        TlvFailure failure;
        const int found =
            ParseTlv(data.data(), count, objects.data(), static_cast<int>(objects.size()), failure);
        if (found < 0) {
            char reason[96];
            FormatTlvFailure(failure, reason, sizeof reason);
            result.tlvError = reason;
            return false;
        }
        // Track data is read once, for masking and for showing.
        std::vector<TlvTrack>& tracks = result.scratch.tracks;
        tracks.resize(static_cast<std::size_t>(found));
        for (int i = 0; i < found; ++i) {
            const TlvObject& object = objects[i];
            tracks[i].fits = !object.constructed && HoldsTrack(object.tag) &&
                             ParseTrackAt(object.tag, data.data() + object.valueOffset,
                                          object.length, tracks[i].data);
        }
        ValueMask& dataMask = result.scratch.data;
        dataMask.Reset(count);
        if (options.mask) {
            const SubfieldNode* declared = def.subfields.Field(n);
            for (int i = 0; i < found; ++i) {
                if (objects[i].constructed) continue;
                MaskTag(objects[i], data.data(), tracks[i], dataMask);
                const SubfieldNode* held = declared != nullptr
                                               ? DeclaredDataObject(*declared, objects.data(), i)
                                               : nullptr;
                if (held != nullptr)
                    MaskHeldTag(objects[i], held->def.holds, data.data(), dataMask);
            }
            // One data object at a time: an amount beside a verification result is no number.
            for (int i = 0; i < found; ++i) {
                const TlvObject& object = objects[i];
                if (object.constructed) continue;
                MaskCardNumberRuns(data.data() + object.valueOffset, object.length,
                                   ValueShown::kHex, dataMask, object.valueOffset);
            }
        }
        const int unitsPerByte = UnitsPerTlvByte(def, n);
        const int first = field.offset + def.fields[n].sizeLen;
        result.tags.Resize(static_cast<std::size_t>(found));
        for (int i = 0; i < found; ++i) {
            const TlvObject& object = objects[i];
            InspectedTag& tag = result.tags[i];
            tag.tag = object.tag;
            TagHex(object.tag, object.tagSize, tag.tagHex);
            tag.name = TagName(object.tag);
            tag.depth = object.depth;
            tag.parent = object.parent;
            tag.end = object.end;
            tag.offset = object.offset;
            tag.valueOffset = object.valueOffset;
            tag.length = object.length;
            tag.constructed = object.constructed;
            const int objectEnd = object.valueOffset + object.length;
            tag.units = {first + object.offset * unitsPerByte,
                         (objectEnd - object.offset) * unitsPerByte};
            tag.valueUnits = {first + object.valueOffset * unitsPerByte,
                              object.length * unitsPerByte};
            DescribeTag(object, data.data(), tracks[i], dataMask, tag);
        }
        CarryOver(dataMask);
        return options.mask;
    }

    // A hidden nibble of the data hides the same nibble of a binary value, or the character
    // that spells it in hex text.
    void CarryOver(const ValueMask& dataMask) noexcept {
        dataMask.ForEachMaskedStretch([this](int from, int to) {
            if (binary) {
                valueMask.Nibbles(from, to);
            } else {
                valueMask.Nibbles(2 * from, 2 * to);
            }
        });
    }

    const ProtocolDef& def;
    const DecodedField& field;
    const InspectOptions& options;
    int n;
    const std::uint8_t* bytes;
    int size;
    bool binary;
    FieldInspection& result;
    ValueMask& valueMask;
    std::string tagHex;
};

}  // namespace

bool FieldHoldsDataObjects(const ProtocolDef& def, int n) noexcept {
    const SubfieldNode* declared = def.subfields.Field(n);
    const SubfieldLayout layout =
        declared != nullptr ? declared->structure.layout : SubfieldLayout::kNone;
    if (layout == SubfieldLayout::kBerTlv) return true;
    // A structure of another kind says what is inside instead.
    if (layout != SubfieldLayout::kNone) return false;
    return n == 55 || (def.fields[n].subfield && ValueIsBinary(def, n));
}

int UnitsPerTlvByte(const ProtocolDef& def, int field) noexcept {
    if (!ValueIsBinary(def, field)) return 2;
    const Encoding e = def.DataEncoding(field);
    if (e == Encoding::NONE) return 1;
    if (e == Encoding::HEX) return 2;
    return 8;
}

void InspectField(const ProtocolDef& def, const DecodedField& field, const InspectOptions& options,
                  FieldInspection& out) {
    if (field.value == nullptr || field.number < kFirstDataElement || field.number > kLastField) {
        out = FieldInspection{};
        return;
    }
    Inspection(def, field, options, out).Run();
}

FieldInspection InspectField(const ProtocolDef& def, const DecodedField& field,
                             const InspectOptions& options) {
    FieldInspection out;
    InspectField(def, field, options, out);
    return out;
}

std::string MaskedUnitsHex(const std::uint8_t* units, int count, bool mask) {
    ValueMask hidden;
    hidden.Reset(count);
    if (mask) MaskCardNumberRuns(units, count, ValueShown::kHex, hidden);
    std::string hex;
    MaskedHex(units, count, hidden, hex);
    return hex;
}
