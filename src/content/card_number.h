// Card numbers: the Luhn check and which of their digits masking hides.
#pragma once

inline constexpr int kMinCardDigits = 13;
inline constexpr int kMaxCardDigits = 19;

// False unless count >= 2 and every character is a decimal digit.
bool LuhnValid(const char* digits, int count) noexcept;

// The digits [from, to) of a card number of count digits that masking replaces: all but the
// first 6 and last 4, or all but the last 4 for 12 digits or fewer.
void MaskedDigits(int count, int& from, int& to) noexcept;
