#include "decode/decode_plan.h"

#include "decode/codecs.h"
#include "decode/field_with_settings.h"

namespace {

// The rules below mirror DecodeLengthPrefix, FieldDataSize, the decoder's UnitsRead and
// ConvertFieldData branch for branch: a plan must decode exactly as the definition does.

PrefixRule PrefixOf(const ProtocolDef& def, std::int16_t sizeLen) noexcept {
    const int size = static_cast<std::uint16_t>(sizeLen);
    if (size == 0) return PrefixRule::kFixed;
    if (size > 5) return PrefixRule::kRefused;
    switch (def.lenEnc) {
        case Encoding::BIGEND:
        case Encoding::NONE:
            return size == 2 ? PrefixRule::kTwoBytes : PrefixRule::kByte;
        case Encoding::PBCD:
            return PrefixRule::kPacked;
        case Encoding::HEX:
            return PrefixRule::kText16;
        case Encoding::CHAR:
            return PrefixRule::kText10;
        default:
            return PrefixRule::kRefused;
    }
}

SizeRule SizeOf(const ProtocolDef& def, int n) noexcept {
    switch (def.DataEncoding(n)) {
        case Encoding::BIGEND:
            return SizeRule::kReference;
        case Encoding::PBCD:
            return SizeRule::kPacked;
        case Encoding::HEX:
            return def.fields[n].type == FieldType::N ? SizeRule::kReference : SizeRule::kHexBytes;
        case Encoding::CHAR:
            return def.IsBinaryField(n) ? SizeRule::kBits : SizeRule::kSame;
        default:
            return SizeRule::kSame;
    }
}

ConvertRule ConvertOf(const ProtocolDef& def, int n) noexcept {
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    const Encoding e = def.DataEncoding(n);
    if (e == Encoding::NONE) return ConvertRule::kCopy;
    if (e == Encoding::PBCD) return ConvertRule::kPacked;
    if (e == Encoding::HEX) return ebcdic ? ConvertRule::kHexEbcdic : ConvertRule::kHex;
    if (def.IsBinaryField(n)) return ebcdic ? ConvertRule::kBitsEbcdic : ConvertRule::kBits;
    return ebcdic ? ConvertRule::kTextEbcdic : ConvertRule::kText;
}

bool ReadsBitText(const ProtocolDef& def, const FldDef& field) noexcept {
    if (field.type != FieldType::B && field.type != FieldType::Z) return false;
    const Encoding e = def.binEnc;
    return e == Encoding::BIGEND || e == Encoding::CHAR || e == Encoding::ASCII ||
           e == Encoding::EBCDIC;
}

int DigitValue(std::uint8_t ch) noexcept {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return 0xFF;
}

}  // namespace

void DecodePlan::Build(const ProtocolDef& def) noexcept {
    source = &def;
    translate = FastestEbcdicTranslation();
    const bool ebcdic = def.chrEnc == Encoding::EBCDIC;
    for (int b = 0; b < 256; ++b) {
        const auto unit = static_cast<std::uint8_t>(b);
        digits[unit] = static_cast<std::uint8_t>(DigitValue(ebcdic ? EbcdicToAsciiTable[b] : unit));
    }
    for (int n = 0; n < kFieldCount; ++n) {
        const FldDef& field = def.fields[n];
        FieldPlan& plan = fields[static_cast<std::size_t>(n)];
        plan = FieldPlan{};
        plan.defined = field.type != FieldType::U;
        plan.prefix = PrefixOf(def, field.sizeLen);
        plan.size = SizeOf(def, n);
        plan.convert = ConvertOf(def, n);
        plan.zeroFirst = field.type == FieldType::N &&
                         (def.numEnc == Encoding::BIGEND || def.numEnc == Encoding::HEX);
        plan.bitText = ReadsBitText(def, field);
        plan.route =
            plan.defined
                ? static_cast<std::uint8_t>(1 + static_cast<int>(plan.prefix) * kConvertRuleCount +
                                            static_cast<int>(plan.convert))
                : 0;
        if (plan.defined && FollowsOwnSettings(def, n)) plan.route = kOwnSettingsRoute;
        plan.prefixUnits = field.sizeLen;
        plan.fixedSize = field.size;
    }
}
