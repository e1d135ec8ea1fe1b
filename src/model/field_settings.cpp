#include "model/field_settings.h"

#include "model/protocol.h"

namespace {

bool Valid(int n) noexcept {
    return n >= 0 && n < kFieldCount;
}

bool OneOf(Encoding e, std::initializer_list<Encoding> values) noexcept {
    for (Encoding v : values) {
        if (e == v) return true;
    }
    return false;
}

}  // namespace

bool FieldSettings::Any() const noexcept {
    return *this != FieldSettings{};
}

Encoding LengthEncoding(const ProtocolDef& def, int n) noexcept {
    return Valid(n) ? def.settings[n].lenEnc.value_or(def.lenEnc) : def.lenEnc;
}

Encoding FieldCharset(const ProtocolDef& def, int n) noexcept {
    return Valid(n) ? def.settings[n].charset.value_or(def.chrEnc) : def.chrEnc;
}

bool ValueIsBinary(const ProtocolDef& def, int n) noexcept {
    return def.IsBinaryField(n) && def.DataEncoding(n) != Encoding::PBCD;
}

bool HasFieldSettings(const ProtocolDef& def, int n) noexcept {
    return Valid(n) && def.settings[n].Any();
}

bool HasSettings(const ProtocolDef& def) noexcept {
    if (def.options.Any()) return true;
    for (const FieldSettings& s : def.settings) {
        if (s.Any()) return true;
    }
    return false;
}

Encoding DataEncodingOf(const ProtocolDef& dialect, FieldType type,
                        const FieldSettings& own) noexcept {
    switch (type) {
        case FieldType::N:
            return own.numEnc.value_or(dialect.numEnc);
        case FieldType::A:
        case FieldType::AN:
        case FieldType::ANS:
        case FieldType::AS:
            return own.charset.value_or(dialect.chrEnc);
        case FieldType::B:
        case FieldType::Z:
            return own.binEnc.value_or(dialect.binEnc);
        default:
            return Encoding::NONE;
    }
}

EncodingRole DataRole(FieldType type) noexcept {
    switch (type) {
        case FieldType::N:
            return EncodingRole::kNumeric;
        case FieldType::B:
        case FieldType::Z:
            return EncodingRole::kBinary;
        default:
            return EncodingRole::kCharacter;
    }
}

bool AcceptsFieldEncoding(EncodingRole role, FieldType type, Encoding e) noexcept {
    using enum Encoding;
    switch (role) {
        case EncodingRole::kLength:
            return OneOf(e, {BIGEND, PBCD, HEX, CHAR});
        case EncodingRole::kCharacter:
            return OneOf(e, {ASCII, EBCDIC});
        case EncodingRole::kNumeric:
            return type == FieldType::N && OneOf(e, {BIGEND, PBCD, HEX, CHAR});
        case EncodingRole::kBinary:
            return (type == FieldType::B && OneOf(e, {NONE, HEX, CHAR})) ||
                   (type == FieldType::Z && OneOf(e, {NONE, HEX, CHAR, PBCD}));
        default:
            return false;
    }
}

namespace {

std::optional<Encoding> FieldSettings::*OwnField(EncodingRole role) noexcept {
    switch (role) {
        case EncodingRole::kLength:
            return &FieldSettings::lenEnc;
        case EncodingRole::kNumeric:
            return &FieldSettings::numEnc;
        case EncodingRole::kBinary:
            return &FieldSettings::binEnc;
        case EncodingRole::kCharacter:
            return &FieldSettings::charset;
        default:
            return nullptr;
    }
}

}  // namespace

std::optional<Encoding> OwnEncoding(const FieldSettings& settings, EncodingRole role) noexcept {
    const auto field = OwnField(role);
    return field != nullptr ? settings.*field : std::nullopt;
}

void SetOwnEncoding(FieldSettings& settings, EncodingRole role, Encoding e) noexcept {
    const auto field = OwnField(role);
    if (field != nullptr) settings.*field = e;
}

Encoding EffectiveEncoding(const ProtocolDef& def, int n, EncodingRole role) noexcept {
    const std::optional<Encoding> own =
        Valid(n) ? OwnEncoding(def.settings[n], role) : std::nullopt;
    return own.value_or(def.*EncodingField(role));
}
