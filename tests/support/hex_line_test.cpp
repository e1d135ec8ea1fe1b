#include "support/hex_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct Outcome {
    HexLineResult result;
    std::string units;
};

Outcome Apply(std::string line, bool onePass, int maxUnits) {
    line.push_back('\0');  // the writable byte after the line
    AutoBuff message;
    const std::size_t size = line.size() - 1;
    const HexLineResult r = onePass ? DecodeHexLine(line.data(), size, message, maxUnits)
                                    : DecodeHexLineNormalised(line.data(), size, message, maxUnits);
    Outcome outcome{r, {}};
    if (r == HexLineResult::kMessage)
        outcome.units.assign(reinterpret_cast<const char*>(message.Data()), message.Length());
    return outcome;
}

TEST(HexLineTest, GivesEachFaultOfTheNormalisingPath) {
    const struct {
        std::string line;
        HexLineResult result;
    } cases[] = {
        {" \t0aFf\r ", HexLineResult::kMessage}, {" \t\x7F ", HexLineResult::kEmpty},
        {"0A 0B", HexLineResult::kBlanks},       {"0A\t0B", HexLineResult::kBlanks},
        {"0G", HexLineResult::kBadDigit},        {std::string("0A\0", 3), HexLineResult::kBadDigit},
        {"0A0", HexLineResult::kOddCount},       {"0A0B0C", HexLineResult::kTooLong},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Apply(c.line, true, 2).result, c.result) << c.line;
        EXPECT_EQ(Apply(c.line, false, 2).result, c.result) << c.line;
    }
}

// Random lines of digits, blanks, tabs, CR, NULs and bytes above 0x7F, mostly at the ends.
TEST(HexLineTest, OnePassEqualsTheNormalisingPathOnRandomLines) {
    std::mt19937 random(8583);
    const std::string digits = "0123456789abcdefABCDEF";
    const std::string others = std::string(
                                   " \t\r\x01\x7F\x80\xA0\xBF\xC0\xFF"
                                   "gxZ",
                                   13) +
                               std::string(1, '\0');
    for (int i = 0; i < 20000; ++i) {
        auto pick = [&](const std::string& from) { return from[random() % from.size()]; };
        std::string line;
        for (int k = random() % 3; k > 0; --k)
            line.push_back(pick(others));
        for (int k = random() % 40; k > 0; --k)
            line.push_back(random() % 50 == 0 ? pick(others) : pick(digits));
        for (int k = random() % 3; k > 0; --k)
            line.push_back(pick(others));
        const int maxUnits = random() % 4 == 0 ? 8 : 32767;
        const Outcome fast = Apply(line, true, maxUnits);
        const Outcome full = Apply(line, false, maxUnits);
        ASSERT_EQ(fast.result, full.result) << testing::PrintToString(line);
        ASSERT_EQ(fast.units, full.units) << testing::PrintToString(line);
    }
}

}  // namespace
