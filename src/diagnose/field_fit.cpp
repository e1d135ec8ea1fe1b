#include "diagnose/field_fit.h"

#include <array>

#include "decode/codecs.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#define ISO_FIT_SSE2 1
#endif

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

// Index of the first of the n units outside [low, high], or n: sixteen at a time where every
// x86-64 processor can, for the digits and printable text that make up most of a message.
int FirstOutside(const std::uint8_t* p, int n, std::uint8_t low, std::uint8_t high) noexcept {
    int i = 0;
#ifdef ISO_FIT_SSE2
    // Shifted by 0x80, the unsigned range becomes a signed one SSE2 compares.
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i lo = _mm_set1_epi8(static_cast<char>(low ^ 0x80));
    const __m128i hi = _mm_set1_epi8(static_cast<char>(high ^ 0x80));
    for (; i + 16 <= n; i += 16) {
        const __m128i v =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), bias);
        const int outside =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(v, lo), _mm_cmpgt_epi8(v, hi)));
        if (outside != 0) return i + __builtin_ctz(static_cast<unsigned>(outside));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] < low || p[i] > high) return i;
    }
    return n;
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
    CheckFieldFit(def, field, fit);
    return fit;
}

void CheckFieldFit(const ProtocolDef& def, const DecodedField& field, FieldFit& fit) noexcept {
    fit = FieldFit{};
    if (field.number < kFirstDataElement || field.number > kLastField || field.value == nullptr) {
        return;
    }
    const FldDef& element = def.fields[field.number];
    const int length = field.value->Length();
    if (element.sizeLen > 0) {
        fit.prefixLength = length;
        fit.prefixAboveMax = length > element.size;
    }
    if (!IsTextValue(def, field.number)) return;
    // Every character of every field under check --strict: a table, not FitsType's branches.
    static const auto kFits = [] {
        std::array<std::array<bool, 256>, kFieldTypeCount> fits{};
        for (int t = 0; t < kFieldTypeCount; ++t) {
            for (int ch = 0; ch < 256; ++ch)
                fits[t][ch] = FitsType(static_cast<FieldType>(t), static_cast<std::uint8_t>(ch));
        }
        return fits;
    }();
    const int type = static_cast<int>(element.type);
    if (type < 0 || type >= kFieldTypeCount) return;
    const std::uint8_t* value = field.value->Data();
    if (element.type == FieldType::N || element.type == FieldType::ANS ||
        element.type == FieldType::AS) {
        const bool digits = element.type == FieldType::N;
        const int at = FirstOutside(value, length, digits ? '0' : 0x20, digits ? '9' : 0x7E);
        if (at < length) fit.unfit = at;
        return;
    }
    const std::array<bool, 256>& fits = kFits[type];
    for (int i = 0; i < length; ++i) {
        if (!fits[value[i]]) {
            fit.unfit = i;
            break;
        }
    }
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
