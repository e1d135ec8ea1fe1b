// The pieces a subfield's value is turned into before it is written: the decoded value from the
// form a person gives it in, and the length a value read back from a run of units takes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/field_with_settings.h"
#include "model/subfields.h"

// The bytes hexadecimal digits spell, either case; false with reason when they spell none.
bool BytesOfHex(std::string_view hex, std::vector<std::uint8_t>& out, std::string& reason);

// A value shown as the checker masks it ('*' where digits or hex digits were): a binary or
// numeric value, one the definition says holds a card number, a track or a secret, or a run of
// 13 or more digits and '*' anywhere.
bool ShownMasked(std::string_view shown, bool binary, FieldType type, SubfieldHolds holds) noexcept;

// A number whose decoded value is its big-endian bytes (numeric data under BIGEND or HEX)
// rather than its digits.
bool HeldInBinary(const ValueRules& rules) noexcept;
// The decoded value of such a number of d digits given as decimal digits: the bytes the
// decoder yields for it (the number's big-endian bytes, then zeros up to d).
bool HeldNumberOfDigits(std::string_view digits, const ValueRules& rules, int d,
                        std::vector<std::uint8_t>& out, std::string& reason);

// The length of the value the subfield reader reads from exactly c units under rules, whose
// size it works out from them: a value whose length differs does not read back as written.
int ExactValueLength(const ValueRules& rules, int c) noexcept;

// "3 digits", "1 byte", "12 characters": a count in the units of a subfield's value of the
// type, whose value is bytes when binary (a binary subfield inside a binary value) and
// characters otherwise, in the words the value writer uses.
std::string CountOf(int count, FieldType type, bool binary);
