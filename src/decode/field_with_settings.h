// One field read under settings of its own (its encodings, character set, padding, length
// prefix) or under the dialect's empty fields: the general routine, which the decoder takes for
// such fields only, so that a definition without settings decodes as its classic lines say.
#pragma once

#include <cstdint>

#include "model/protocol.h"
#include "support/auto_buff.h"

// The rules one value is read by: a field's with its settings, or a subfield's inside a binary
// value, which takes the dialect's encodings where it has none of its own.
struct ValueRules {
    FieldType type{0};
    int size = 0;
    int sizeLen = 0;  // prefix units; 0: fixed
    const FieldSettings* own = nullptr;
    Encoding lenEnc{0};
    Encoding dataEnc{0};
    Encoding charset{0};
    bool emptyAllowed = false;   // a prefix of 0 is an empty value
    bool sixUnitPrefix = false;  // a prefix may take 6 units, not only 1 to 5
};

ValueRules FieldRules(const ProtocolDef& def, int n) noexcept;
// A value of that type, size and settings read under def's dialect encodings.
ValueRules RulesOf(const ProtocolDef& def, FieldType type, int size, int sizeLen,
                   const FieldSettings& own) noexcept;

// The length the prefix gives (the size when there is none), -1 when the prefix is no length.
int ValueLength(const ValueRules& rules, const std::uint8_t* units) noexcept;
// The data units a value of d characters, digits or bytes takes.
int ValueDataUnits(const ValueRules& rules, int d) noexcept;
// Decodes one value from units (remaining of them) into value: the units consumed, or a
// NextFieldCode.
int DecodeValue(const ValueRules& rules, const std::uint8_t* units, int remaining,
                AutoBuff& value) noexcept;

// Whether field n is read by DecodeFieldWithSettings rather than by the classic rules.
bool FollowsOwnSettings(const ProtocolDef& def, int n) noexcept;

// The length its prefix gives (its size when it has none), -1 when the prefix is no length.
int FieldLength(const ProtocolDef& def, int n, const std::uint8_t* units) noexcept;

// Decodes field n from units (remaining of them) into value: the units consumed, or a
// NextFieldCode.
int DecodeFieldWithSettings(const ProtocolDef& def, int n, const std::uint8_t* units, int remaining,
                            AutoBuff& value) noexcept;
