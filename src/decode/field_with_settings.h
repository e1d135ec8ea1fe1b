// One field read under settings of its own (its encodings, character set, padding, length
// prefix) or under the dialect's empty fields: the general routine, which the decoder takes for
// such fields only, so that a definition without settings decodes as its classic lines say.
#pragma once

#include <cstdint>

#include "model/protocol.h"
#include "support/auto_buff.h"

// Whether field n is read by DecodeFieldWithSettings rather than by the classic rules.
bool FollowsOwnSettings(const ProtocolDef& def, int n) noexcept;

// The length its prefix gives (its size when it has none), -1 when the prefix is no length.
int FieldLength(const ProtocolDef& def, int n, const std::uint8_t* units) noexcept;

// Decodes field n from units (remaining of them) into value: the units consumed, or a
// NextFieldCode.
int DecodeFieldWithSettings(const ProtocolDef& def, int n, const std::uint8_t* units, int remaining,
                            AutoBuff& value) noexcept;
