// The card-number backstop against the rule read literally: every candidate of every length at
// every end, in each of the four readings, on random values rich in digits and card numbers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "content/card_number.h"
#include "content/value_mask.h"

namespace {

bool IsTextDigit(std::uint8_t b) {
    return b >= '0' && b <= '9';
}

int NibbleOf(const std::uint8_t* bytes, int i) {
    return (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2]) & 0x0F;
}

// Calls found(start, count) for each candidate among the symbols [0, count), each read by
// digitAt (-1 for no decimal digit): every start and length inside every run, checked whole.
template <typename DigitAt, typename Found>
void EachCandidate(int count, DigitAt digitAt, Found found) {
    for (int start = 0; start < count; ++start) {
        for (int length = kMinCardDigits; length <= kMaxCardDigits && start + length <= count;
             ++length) {
            std::string digits;
            for (int i = start; i < start + length && digitAt(i) >= 0; ++i)
                digits.push_back(static_cast<char>('0' + digitAt(i)));
            if (static_cast<int>(digits.size()) != length) continue;
            const bool repeated = digits.find_first_not_of(digits[0]) == std::string::npos;
            if (LuhnValid(digits.data(), length) && !repeated && digits[0] >= '2' &&
                digits[0] <= '6') {
                found(start, length);
            }
        }
    }
}

// The backstop as its comment states it, one candidate at a time.
void LiteralBackstop(const std::uint8_t* bytes, int size, ValueShown shown, ValueMask& mask,
                     int at) {
    EachCandidate(
        size, [&](int i) { return IsTextDigit(bytes[i]) ? bytes[i] - '0' : -1; },
        [&](int start, int count) {
            for (int i = start; i < start + count; ++i) {
                int from = 0;
                int to = 0;
                MaskedDigits(count, from, to);
                if (i - start >= from && i - start < to) mask.Byte(at + i);
            }
        });
    for (int align = 0; align < 2; ++align) {
        EachCandidate((size - align) / 2,
                      [&](int j) {
                          const std::uint8_t* pair = bytes + align + 2 * j;
                          return pair[0] == '3' && IsTextDigit(pair[1]) ? pair[1] - '0' : -1;
                      },
                      [&](int start, int count) {
                          int from = 0;
                          int to = 0;
                          MaskedDigits(count, from, to);
                          for (int j = start + from; j < start + to; ++j) {
                              mask.Byte(at + align + 2 * j);
                              mask.Byte(at + align + 2 * j + 1);
                          }
                      });
    }
    if (shown == ValueShown::kTextAlone) return;
    EachCandidate(
        2 * size,
        [&](int i) {
            const int v = NibbleOf(bytes, i);
            return v <= 9 ? v : -1;
        },
        [&](int start, int count) {
            bool spellsTextDigits = true;
            for (int k = start / 2; k <= (start + count - 1) / 2; ++k)
                spellsTextDigits = spellsTextDigits && IsTextDigit(bytes[k]);
            if (spellsTextDigits) return;
            for (int i = start; i < start + count; ++i) {
                int from = 0;
                int to = 0;
                MaskedDigits(count, from, to);
                if (i - start < from || i - start >= to) continue;
                if (shown == ValueShown::kHex) {
                    mask.Nibble(2 * at + i);
                } else {
                    mask.HexNibble(2 * at + i);
                }
            }
        });
}

// A card number of 13 to 19 digits that passes the Luhn check.
std::string CardNumber(std::mt19937& random) {
    std::uniform_int_distribution<int> length(kMinCardDigits, kMaxCardDigits);
    std::uniform_int_distribution<int> digit(0, 9);
    std::string digits(1, static_cast<char>('2' + random() % 5));
    const int count = length(random);
    while (static_cast<int>(digits.size()) < count - 1)
        digits.push_back(static_cast<char>('0' + digit(random)));
    for (char check = '0'; check <= '9'; ++check) {
        if (LuhnValid((digits + check).c_str(), count)) return digits + check;
    }
    return digits;
}

// Pieces a value is made of: text and packed digits, the hex of digits as characters, card
// numbers in each of those forms, letters whose nibbles are digits, and any byte.
std::vector<std::uint8_t> RandomValue(std::mt19937& random) {
    std::vector<std::uint8_t> value;
    const int pieces = static_cast<int>(random() % 12);
    for (int p = 0; p < pieces; ++p) {
        const std::string number = CardNumber(random);
        switch (random() % 9) {
            case 8:
                // Long runs, in digits and in letters whose nibbles are digits, across many
                // of the blocks the search takes at a time.
                for (int i = 100 + static_cast<int>(random() % 300); i > 0; --i) {
                    value.push_back(static_cast<std::uint8_t>(
                        p % 2 == 0 ? '0' + random() % 10 : "ABCDEFGHI"[random() % 9]));
                }
                break;
            case 0:
                value.insert(value.end(), number.begin(), number.end());
                break;
            case 1:
                for (char d : number) {
                    value.push_back('3');
                    value.push_back(static_cast<std::uint8_t>(d));
                }
                break;
            case 2:
                for (std::size_t i = 0; i + 1 < number.size(); i += 2)
                    value.push_back(
                        static_cast<std::uint8_t>((number[i] - '0') << 4 | (number[i + 1] - '0')));
                break;
            case 3:
                for (int i = static_cast<int>(random() % 30); i > 0; --i)
                    value.push_back(static_cast<std::uint8_t>('0' + random() % 10));
                break;
            case 4:
                for (int i = static_cast<int>(random() % 30); i > 0; --i)
                    value.push_back(static_cast<std::uint8_t>(random() % 0x9A));
                break;
            case 5:
                for (int i = static_cast<int>(random() % 20); i > 0; --i)
                    value.push_back(
                        static_cast<std::uint8_t>("ABCDEFGHIPQRSTUVWXY @"[random() % 21]));
                break;
            case 6:
                value.insert(value.end(), 13 + random() % 8,
                             static_cast<std::uint8_t>('0' + random() % 10));
                break;
            default:
                for (int i = static_cast<int>(random() % 8); i > 0; --i)
                    value.push_back(static_cast<std::uint8_t>(random()));
                break;
        }
    }
    return value;
}

std::string Hex(const std::vector<std::uint8_t>& value, const ValueMask& mask) {
    std::string hex;
    MaskedHex(value.data(), static_cast<int>(value.size()), mask, hex);
    return hex;
}

std::string Text(const std::vector<std::uint8_t>& value, const ValueMask& mask) {
    std::string text;
    MaskedText(reinterpret_cast<const char*>(value.data()), static_cast<int>(value.size()), mask,
               text);
    return text;
}

// The value lies inside a larger mask from byte at, as a data object inside chip data does;
// the bytes around it must stay as they are.
TEST(CardNumberRuns, HideWhatTheLiteralRuleHidesInEveryReading) {
    std::mt19937 random(8583);
    const ValueShown readings[] = {ValueShown::kHex, ValueShown::kText};
    for (int round = 0; round < 4000; ++round) {
        const std::vector<std::uint8_t> value = RandomValue(random);
        const int size = static_cast<int>(value.size());
        const int at = static_cast<int>(random() % 3);
        std::vector<std::uint8_t> around(static_cast<std::size_t>(at), 'x');
        around.insert(around.end(), value.begin(), value.end());
        around.push_back('y');
        for (ValueShown shown : readings) {
            ValueMask expected;
            ValueMask found;
            expected.Reset(size + at + 1);
            found.Reset(size + at + 1);
            LiteralBackstop(value.data(), size, shown, expected, at);
            MaskCardNumberRuns(value.data(), size, shown, found, at);
            ASSERT_EQ(Hex(around, found), Hex(around, expected)) << round;
            ASSERT_EQ(Text(around, found), Text(around, expected)) << round;
            ASSERT_EQ(found.Any(), expected.Any()) << round;
        }
    }
}

// Shown as text alone, what only the hex would hide is not looked for, and the characters come
// out as they do with the hex beside them.
TEST(CardNumberRuns, TextAloneShowsTheSameCharactersAsTextWithHex) {
    std::mt19937 random(4111);
    for (int round = 0; round < 2000; ++round) {
        const std::vector<std::uint8_t> value = RandomValue(random);
        const int size = static_cast<int>(value.size());
        ValueMask withHex;
        ValueMask alone;
        ValueMask literal;
        withHex.Reset(size);
        alone.Reset(size);
        literal.Reset(size);
        MaskCardNumberRuns(value.data(), size, ValueShown::kText, withHex);
        MaskCardNumberRuns(value.data(), size, ValueShown::kTextAlone, alone);
        LiteralBackstop(value.data(), size, ValueShown::kTextAlone, literal, 0);
        ASSERT_EQ(Text(value, alone), Text(value, withHex)) << round;
        ASSERT_EQ(Hex(value, alone), Hex(value, literal)) << round;
    }
}

}  // namespace
