// One value written under the rules the decoder reads it by (decode/field_with_settings.h):
// a field with settings of its own, a field of a dialect with empty fields, or a subfield inside
// a binary value. The inverse of DecodeValue.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/field_with_settings.h"

// Appends the prefix and data units of value (the decoded value's bytes: characters, digits, or
// bytes when binary) to out. False, with reason set and out as it was, when the value does not
// fit the rules: "13 digits, at most 12", "'A' is not a digit", "7 characters, fixed at 8".
// The reason does not name the field; the caller puts the path before it.
bool EncodeValue(const ValueRules& rules, std::span<const std::uint8_t> value, bool padNumbers,
                 std::vector<std::uint8_t>& out, std::string& reason);
