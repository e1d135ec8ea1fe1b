// The words of the reasons a value is refused for, shared by every writer of values so that a
// field, a subfield and a classic field say the same thing for the same fault.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "model/protocol.h"

// What a value's length counts: "digits" for N, "bytes" for binary data, "characters"
// otherwise (packed track data included); singular for 1.
const char* UnitWord(FieldType type, Encoding dataEnc, int count) noexcept;
// "13 digits, at most 12", "7 characters, fixed at 8".
std::string CountReason(int count, const char* word, const char* limit, int size);
// The unit at value[i] as a person reads it: 'A', 'é' (a whole UTF-8 sequence), or 0x1F.
std::string ShownUnit(std::span<const std::uint8_t> value, std::size_t i);
// "'A' is not a digit" for the first unit of value that is not one of the digits (or '=' where
// track data allows it); empty when there is none.
std::string NotADigit(std::span<const std::uint8_t> value, bool track);
