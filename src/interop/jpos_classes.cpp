#include "interop/jpos_classes.h"

#include <array>

namespace {

using enum JposKind;
using enum JposPrefix;
using enum JposData;
using FieldType::AN;
using FieldType::ANS;
using FieldType::B;
using FieldType::N;

// Read from each class's constructor and, where it packs by hand, from its pack and unpack. Of
// two classes that read alike the first is written.
constexpr JposClass kClasses[] = {
    {"IFA_NUMERIC", kValue, kNone, 0, kAsciiDigits, N, 0, true},
    {"IFE_NUMERIC", kValue, kNone, 0, kEbcdicDigits, N, 0, true},
    {"IFB_NUMERIC", kValue, kNone, 0, kPacked, N, 0, true},
    {"IFB_FNUMERIC", kValue, kNone, 0, kPackedF, N, 0, true},
    {"IFA_CHAR", kValue, kNone, 0, kAsciiText, ANS, 0, true},
    {"IF_CHAR", kValue, kNone, 0, kAsciiText, ANS, 0, false},
    {"IFE_CHAR", kValue, kNone, 0, kEbcdicText, ANS, 0, true},
    {"IFA_AMOUNT", kValue, kNone, 0, kAsciiText, AN, 0, false},
    {"IFE_AMOUNT", kValue, kNone, 0, kEbcdicText, AN, 0, false},
    {"IFA_BINARY", kValue, kNone, 0, kAsciiHex, B, 0, true},
    {"IFE_BINARY", kValue, kNone, 0, kEbcdicHex, B, 0, true},
    {"IFB_BINARY", kValue, kNone, 0, kRaw, B, 0, true},

    {"IFA_LLNUM", kValue, kAscii, 2, kAsciiDigits, N, 0, true},
    {"IFA_LLLNUM", kValue, kAscii, 3, kAsciiDigits, N, 0, true},
    {"IFE_LLNUM", kValue, kEbcdic, 2, kEbcdicDigits, N, 0, true},
    {"IFB_LLNUM", kValue, kBcd, 2, kPacked, N, 0, true},
    {"IFB_LLLNUM", kValue, kBcd, 3, kPacked, N, 0, true},
    {"IFB_FLLNUM", kValue, kBcd, 2, kPackedF, N, 0, true},
    {"IFB_FLLLNUM", kValue, kBcd, 3, kPackedF, N, 0, true},
    {"IFB_LLHNUM", kValue, kBinary, 1, kPacked, N, 0, true},
    {"IFB_LLLHNUM", kValue, kBinary, 2, kPacked, N, 0, true},
    // Packs an even digit count in its prefix, which reads back as the digits it packed.
    {"IFA_LLBNUM", kValue, kAscii, 2, kPacked, N, 0, true},

    {"IFA_LCHAR", kValue, kAscii, 1, kAsciiText, ANS, 0, true},
    {"IFA_LLCHAR", kValue, kAscii, 2, kAsciiText, ANS, 0, true},
    {"IFA_LLLCHAR", kValue, kAscii, 3, kAsciiText, ANS, 0, true},
    {"IFA_LLLLCHAR", kValue, kAscii, 4, kAsciiText, ANS, 0, true},
    {"IFA_LLLLLCHAR", kValue, kAscii, 5, kAsciiText, ANS, 0, true},
    {"IFA_LLLLLLCHAR", kValue, kAscii, 6, kAsciiText, ANS, 0, true},
    {"IFE_LCHAR", kValue, kEbcdic, 1, kEbcdicText, ANS, 0, true},
    {"IFE_LLCHAR", kValue, kEbcdic, 2, kEbcdicText, ANS, 0, true},
    {"IFE_LLLCHAR", kValue, kEbcdic, 3, kEbcdicText, ANS, 0, true},
    {"IFB_LLCHAR", kValue, kBcd, 2, kAsciiText, ANS, 0, true},
    {"IFB_LLLCHAR", kValue, kBcd, 3, kAsciiText, ANS, 0, true},
    {"IFB_LLLLCHAR", kValue, kBcd, 4, kAsciiText, ANS, 0, true},
    {"IFB_LLLLLLCHAR", kValue, kBcd, 6, kAsciiText, ANS, 0, true},
    {"IFB_LLHCHAR", kValue, kBinary, 1, kAsciiText, ANS, 0, true},
    {"IFB_LLLHCHAR", kValue, kBinary, 2, kAsciiText, ANS, 0, true},
    {"IFB_LLHECHAR", kValue, kBinary, 1, kEbcdicText, ANS, 0, true},
    {"IFB_LLLHECHAR", kValue, kBinary, 2, kEbcdicText, ANS, 0, true},
    // A prefix in one character set and text in the other: the model has one set a field.
    {"IFEA_LLCHAR", kValue, kEbcdic, 2, kAsciiText, ANS, 0, false},
    {"IFAE_LLCHAR", kValue, kAscii, 2, kEbcdicText, ANS, 0, false},

    {"IFA_LBINARY", kValue, kAscii, 1, kRaw, B, 0, true},
    {"IFA_LLBINARY", kValue, kAscii, 2, kRaw, B, 0, true},
    {"IFA_LLLBINARY", kValue, kAscii, 3, kRaw, B, 0, true},
    {"IFA_LLLLBINARY", kValue, kAscii, 4, kRaw, B, 0, true},
    {"IFA_LLLLLBINARY", kValue, kAscii, 5, kRaw, B, 0, true},
    {"IFA_LLLLLLBINARY", kValue, kAscii, 6, kRaw, B, 0, true},
    {"IFA_LLABINARY", kValue, kAscii, 2, kAsciiHex, B, 0, true},
    {"IFA_LLLABINARY", kValue, kAscii, 3, kAsciiHex, B, 0, true},
    {"IFE_LBINARY", kValue, kEbcdic, 1, kRaw, B, 0, true},
    {"IFE_LLBINARY", kValue, kEbcdic, 2, kRaw, B, 0, true},
    {"IFE_LLLBINARY", kValue, kEbcdic, 3, kRaw, B, 0, true},
    {"IFB_LLBINARY", kValue, kBcd, 2, kRaw, B, 0, true},
    {"IFB_LLLBINARY", kValue, kBcd, 3, kRaw, B, 0, true},
    {"IFB_LLLLBINARY", kValue, kBcd, 4, kRaw, B, 0, true},
    {"IFB_LLHBINARY", kValue, kBinary, 1, kRaw, B, 0, true},
    {"IFB_LLLHBINARY", kValue, kBinary, 2, kRaw, B, 0, true},
    {"IFB_LLHEX", kValue, kHexNibbles, 2, kRaw, B, 0, true},
    {"IFB_LLLHEX", kValue, kHexNibbles, 3, kRaw, B, 0, true},

    {"IFB_BITMAP", kBitmap, kNone, 0, kRaw, B, 0, true},
    {"IFA_BITMAP", kBitmap, kNone, 0, kAsciiHex, B, 0, true},
    {"IFE_BITMAP", kBitmap, kNone, 0, kEbcdicHex, B, 0, true},

    // A tag of ASCII characters, then the value of a delegate IFA_ class.
    {"IFA_TTLCHAR", kTagged, kAscii, 1, kAsciiText, ANS, 2, true},
    {"IFA_TTLLCHAR", kTagged, kAscii, 2, kAsciiText, ANS, 2, true},
    {"IFA_TTLLLCHAR", kTagged, kAscii, 3, kAsciiText, ANS, 2, true},
    {"IFA_TTLLLLCHAR", kTagged, kAscii, 4, kAsciiText, ANS, 2, true},
    {"IFA_TTTLLLCHAR", kTagged, kAscii, 3, kAsciiText, ANS, 3, true},
    {"IFA_TTLBINARY", kTagged, kAscii, 1, kRaw, B, 2, true},
    {"IFA_TTLLBINARY", kTagged, kAscii, 2, kRaw, B, 2, true},
    {"IFA_TTLLLBINARY", kTagged, kAscii, 3, kRaw, B, 2, true},
    {"IFA_TTLLLLBINARY", kTagged, kAscii, 4, kRaw, B, 2, true},

    {"IFB_AMOUNT", kSignedAmount, kNone, 0, kPacked, B, 0, false},
    {"IFB_LLHFBINARY", kFixedRoom, kBinary, 1, kRaw, B, 0, false},
    {"IFEB_LLNUM", kPackedBytes, kEbcdic, 2, kPackedF, B, 0, false},
    {"IFEB_LLLNUM", kPackedBytes, kEbcdic, 3, kPackedF, B, 0, false},
};

std::optional<Encoding> CharsetOfPrefix(JposPrefix p) noexcept {
    if (p == kAscii) return Encoding::ASCII;
    if (p == kEbcdic) return Encoding::EBCDIC;
    return std::nullopt;
}

std::optional<Encoding> CharsetOfData(JposData d) noexcept {
    switch (d) {
        case kAsciiText:
        case kAsciiDigits:
        case kAsciiHex:
            return Encoding::ASCII;
        case kEbcdicText:
        case kEbcdicDigits:
        case kEbcdicHex:
            return Encoding::EBCDIC;
        default:
            return std::nullopt;
    }
}

bool IsText(FieldType t) noexcept {
    return t == FieldType::A || t == FieldType::AN || t == FieldType::ANS || t == FieldType::AS;
}

// Whether anything of the value is written as characters.
bool UsesCharacters(const ValueLayout& v) noexcept {
    const bool prefix = v.sizeLen > 0 && (v.lenEnc == Encoding::CHAR || v.lenEnc == Encoding::HEX);
    const bool data = IsText(v.type) || v.dataEnc == Encoding::CHAR || v.dataEnc == Encoding::HEX;
    return prefix || data;
}

}  // namespace

std::span<const JposClass> JposClasses() noexcept {
    return kClasses;
}

const JposClass* FindJposClass(std::string_view fullName) noexcept {
    if (!fullName.starts_with(kJposPackage)) return nullptr;
    fullName.remove_prefix(kJposPackage.size());
    for (const JposClass& c : kClasses) {
        if (c.name == fullName) return &c;
    }
    return nullptr;
}

std::string FullName(const JposClass& c) {
    return std::string(kJposPackage) + std::string(c.name);
}

std::optional<ValueLayout> LayoutOf(const JposClass& c, int length, bool pad) {
    const std::optional<Encoding> prefixSet = CharsetOfPrefix(c.prefix);
    const std::optional<Encoding> dataSet = CharsetOfData(c.data);
    if (prefixSet && dataSet && *prefixSet != *dataSet) return std::nullopt;
    ValueLayout v;
    v.type = c.type;
    v.size = length;
    switch (c.prefix) {
        case kNone:
            break;
        case kAscii:
        case kEbcdic:
            v.lenEnc = Encoding::CHAR;
            v.sizeLen = c.digits;
            break;
        case kBcd:
            v.lenEnc = Encoding::PBCD;
            v.sizeLen = (c.digits + 1) / 2;
            break;
        case kHexNibbles:
            v.lenEnc = Encoding::PBCD;
            v.sizeLen = (c.digits + 1) / 2;
            v.prefixNibbles = true;
            break;
        case kBinary:
            v.lenEnc = Encoding::BIGEND;
            v.sizeLen = c.digits;
            v.prefixWhole = c.digits > 2;
            break;
    }
    switch (c.data) {
        case kAsciiText:
        case kEbcdicText:
            v.dataEnc = *dataSet;
            break;
        case kAsciiDigits:
        case kEbcdicDigits:
            v.dataEnc = Encoding::CHAR;
            break;
        case kPacked:
        case kPackedF:
            // GenericPackager always sets pad: without the attribute it is false, which packs
            // an odd digit count right-aligned.
            v.dataEnc = Encoding::PBCD;
            if (!pad) {
                v.padSide = PadSide::kRight;
                if (c.data == kPackedF) v.padNibble = 0xF;
            }
            break;
        case kRaw:
            v.dataEnc = Encoding::NONE;
            break;
        case kAsciiHex:
        case kEbcdicHex:
            v.dataEnc = Encoding::HEX;
            break;
    }
    v.charset = prefixSet ? prefixSet : dataSet;
    Settle(v);
    return v;
}

void Settle(ValueLayout& v) noexcept {
    if (v.sizeLen == 0) {
        v.lenEnc = Encoding::NONE;
        v.prefixNibbles = false;
        v.prefixLeftAligned = false;
        v.prefixWhole = false;
    }
    if (v.lenEnc != Encoding::PBCD) v.prefixLeftAligned = false;
    if (v.lenEnc != Encoding::BIGEND || v.sizeLen <= 2) v.prefixWhole = false;
    const bool bytes =
        v.type == FieldType::B || (v.type == FieldType::Z && v.dataEnc != Encoding::PBCD);
    if (!bytes) v.prefixNibbles = false;
    const bool packed =
        (v.type == FieldType::N || v.type == FieldType::Z) && v.dataEnc == Encoding::PBCD;
    if (!packed || (v.sizeLen == 0 && v.size % 2 == 0)) {
        v.padSide.reset();
        v.padNibble.reset();
    } else if (v.type == FieldType::N) {
        // A number's rule is a left pad of any digit: saying so changes nothing.
        if (v.padSide == PadSide::kLeft) v.padSide.reset();
        if (v.padNibble == 0) v.padNibble.reset();
    }
    if (!UsesCharacters(v)) v.charset.reset();
}

ValueLayout LayoutInDialect(const ProtocolDef& def, FieldType type, int size, int sizeLen,
                            const FieldSettings& own) {
    ValueLayout v;
    v.type = type;
    v.size = size;
    v.sizeLen = sizeLen;
    // A dialect without a LEN_Enc line reads prefixes as BIGEND does.
    v.lenEnc = own.lenEnc.value_or(def.lenEnc == Encoding::NONE ? Encoding::BIGEND : def.lenEnc);
    v.dataEnc = DataEncodingOf(def, type, own);
    v.charset = own.charset.value_or(def.chrEnc);
    v.padSide = own.padSide;
    v.padNibble = own.padNibble;
    v.prefixNibbles = own.prefixNibbles;
    v.prefixLeftAligned = own.prefixLeftAligned;
    v.prefixWhole = own.prefixNumber;
    Settle(v);
    return v;
}

ValueLayout LayoutInText(FieldType type, int size, int sizeLen) {
    ValueLayout v;
    v.type = type;
    v.size = size;
    v.sizeLen = sizeLen;
    v.lenEnc = Encoding::CHAR;
    v.dataEnc = type == FieldType::N                           ? Encoding::CHAR
                : type == FieldType::B || type == FieldType::Z ? Encoding::NONE
                                                               : Encoding::ASCII;
    v.charset = Encoding::ASCII;
    Settle(v);
    return v;
}

FieldSettings SettingsFor(const ProtocolDef& def, const ValueLayout& v) {
    FieldSettings s;
    const Encoding dialectLength = def.lenEnc == Encoding::NONE ? Encoding::BIGEND : def.lenEnc;
    if (v.sizeLen > 0 && v.lenEnc != dialectLength) s.lenEnc = v.lenEnc;
    if (v.type == FieldType::N && v.dataEnc != def.numEnc) s.numEnc = v.dataEnc;
    if ((v.type == FieldType::B || v.type == FieldType::Z) && v.dataEnc != def.binEnc) {
        s.binEnc = v.dataEnc;
    }
    if (v.charset && *v.charset != def.chrEnc) s.charset = v.charset;
    s.padSide = v.padSide;
    s.padNibble = v.padNibble;
    s.prefixNibbles = v.prefixNibbles;
    s.prefixLeftAligned = v.prefixLeftAligned;
    s.prefixNumber = v.prefixWhole;
    return s;
}

std::string Describe(const ValueLayout& v) {
    std::string text = std::string(NameOf(v.type)) + " " + std::to_string(v.size);
    const bool number = v.type == FieldType::N;
    const bool bytes = v.type == FieldType::B || v.type == FieldType::Z;
    if (number || bytes) {
        text += std::string(number ? ", NUM_Enc " : ", BIN_Enc ") + NameOf(v.dataEnc);
    }
    if (v.padSide == PadSide::kRight) text += " padded on the right";
    if (v.padSide == PadSide::kLeft) text += " padded on the left";
    if (v.padNibble == 0xF) text += " with F";
    if (v.sizeLen > 0) {
        text += ", LEN_Enc " + std::string(NameOf(v.lenEnc)) + " of " + std::to_string(v.sizeLen) +
                (v.sizeLen == 1 ? " unit" : " units");
        if (v.prefixNibbles) text += " counting nibbles";
        if (v.prefixLeftAligned) text += " left-aligned";
    }
    if (v.charset) text += std::string(", in ") + NameOf(*v.charset);
    return text;
}
