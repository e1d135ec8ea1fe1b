#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/text.h"

namespace {

struct Decoded {
    int result;
    std::vector<std::uint8_t> out;
};

Decoded Apply(bool scalar, const std::string& digits, std::size_t offset, int room) {
    Decoded d{0, std::vector<std::uint8_t>(offset + static_cast<std::size_t>(room) + 1, 0xEE)};
    const auto m = static_cast<int>(digits.size());
    d.result = scalar ? DecodeHexScalar(m, d.out.data() + offset, digits.data(), room)
                      : DecodeHex(m, d.out.data() + offset, digits.data(), room);
    return d;
}

// Every pair of bytes, at every place of a 32-byte block and of a 16-byte one after it.
TEST(DecodeHexTest, EqualsScalarOnEveryDigitPair) {
    for (int pair = 0; pair < 65536; ++pair) {
        std::string digits(96, '7');
        const std::size_t at = 2 * static_cast<std::size_t>(pair % 48);
        digits[at] = static_cast<char>(pair >> 8);
        digits[at + 1] = static_cast<char>(pair & 0xFF);
        const Decoded fast = Apply(false, digits, 0, 49);
        const Decoded scalar = Apply(true, digits, 0, 49);
        ASSERT_EQ(fast.result, scalar.result) << pair;
        ASSERT_EQ(fast.out, scalar.out) << pair;  // the bytes before a bad pair too
    }
}

TEST(DecodeHexTest, EqualsScalarOnRandomLengthsAndAlignments) {
    std::mt19937 random(8583);
    const std::string alphabet = "0123456789abcdefABCDEF";
    for (int i = 0; i < 20000; ++i) {
        std::string buffer(1 + random() % 16, 'x');  // moves the digits off any alignment
        const std::size_t start = buffer.size();
        const int m = static_cast<int>(random() % 300);
        for (int k = 0; k < m; ++k)
            buffer.push_back(alphabet[random() % alphabet.size()]);
        if (random() % 4 == 0 && m > 0) buffer[start + random() % m] = "g \0\xC6"[random() % 4];
        const std::string digits = buffer.substr(start);
        const int room = m / 2 + static_cast<int>(random() % 2);
        const std::size_t offset = random() % 16;
        const Decoded fast = Apply(false, digits, offset, room);
        const Decoded scalar = Apply(true, digits, offset, room);
        ASSERT_EQ(fast.result, scalar.result) << digits;
        ASSERT_EQ(fast.out, scalar.out) << digits;
        // In place, as a message buffer is decoded.
        std::string inPlace = digits + '\0';
        auto* bytes = reinterpret_cast<std::uint8_t*>(inPlace.data());
        ASSERT_EQ(DecodeHex(m, bytes, inPlace.data(), m + 1), scalar.result);
        if (scalar.result > 0) {
            ASSERT_EQ(std::vector<std::uint8_t>(bytes, bytes + scalar.result),
                      std::vector<std::uint8_t>(
                          scalar.out.begin() + static_cast<long>(offset),
                          scalar.out.begin() + static_cast<long>(offset) + scalar.result));
        }
    }
}

}  // namespace
