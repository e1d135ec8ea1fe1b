#include "diagnose/field_fit.h"

#include "decode/codecs.h"

namespace {

bool IsDigit(std::uint8_t ch) noexcept {
    return ch >= '0' && ch <= '9';
}
bool IsLetter(std::uint8_t ch) noexcept {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}
bool IsPrintable(std::uint8_t ch) noexcept {
    return ch >= 0x20 && ch <= 0x7E;
}

bool IsTextValue(const ProtocolDef& def, int n) noexcept {
    switch (def.fields[n].type) {
        case FieldType::N:
            return def.DataEncoding(n) == Encoding::CHAR;
        case FieldType::A:
        case FieldType::AN:
        case FieldType::AS:
        case FieldType::ANS:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool FitsType(FieldType type, std::uint8_t ch) noexcept {
    switch (type) {
        case FieldType::N:
            return IsDigit(ch);
        case FieldType::A:
            return IsLetter(ch) || ch == ' ';
        case FieldType::AN:
            return IsLetter(ch) || IsDigit(ch) || ch == ' ';
        case FieldType::AS:
        case FieldType::ANS:
            return IsPrintable(ch);
        default:
            return true;
    }
}

FieldFit CheckFieldFit(const ProtocolDef& def, const DecodedField& field) noexcept {
    FieldFit fit;
    if (field.number < kFirstDataElement || field.number > kLastField || field.value == nullptr) {
        return fit;
    }
    const FldDef& element = def.fields[field.number];
    const int length = field.value->Length();
    if (element.sizeLen > 0) {
        fit.prefixLength = length;
        fit.prefixAboveMax = length > element.size;
    }
    if (!IsTextValue(def, field.number)) return fit;
    const std::uint8_t* value = field.value->Data();
    for (int i = 0; i < length; ++i) {
        if (!FitsType(element.type, value[i])) {
            fit.unfit = i;
            break;
        }
    }
    return fit;
}

int BitmapFault(const AutoBuff& message, int at, int units, const ProtocolDef& def) noexcept {
    if (def.bmpEnc != Encoding::HEX && def.bmpEnc != Encoding::CHAR) return -1;
    if (at < 0 || units < 0 || at + units > message.Length()) return -1;
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    const std::uint8_t* p = message.Data() + at;
    for (int i = 0; i < units; ++i) {
        const std::uint8_t ch = ebcdic ? EbcdicToAsciiTable[p[i]] : p[i];
        const bool fits = def.bmpEnc == Encoding::CHAR
                              ? ch == '0' || ch == '1'
                              : IsDigit(ch) || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
        if (!fits) return at + i;
    }
    return -1;
}
