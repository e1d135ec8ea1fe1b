#include "content/value_mask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/card_number.h"
#include "hex_bytes.h"

namespace {

TEST(Luhn, AcceptsValidNumbersOnly) {
    EXPECT_TRUE(LuhnValid("4111111111111111", 16));
    EXPECT_TRUE(LuhnValid("378282246310005", 15));
    EXPECT_TRUE(LuhnValid("79927398713", 11));
    EXPECT_FALSE(LuhnValid("4111111111111112", 16));
    EXPECT_FALSE(LuhnValid("79927398710", 11));
    EXPECT_FALSE(LuhnValid("41111111111111a1", 16));
    EXPECT_FALSE(LuhnValid("0", 1));
}

struct Shown {
    std::string text;
    std::string hex;
};

Shown Show(const std::vector<std::uint8_t>& v, const ValueMask& mask) {
    const int n = static_cast<int>(v.size());
    Shown shown;
    MaskedText(reinterpret_cast<const char*>(v.data()), n, mask, shown.text);
    MaskedHex(v.data(), n, mask, shown.hex);
    return shown;
}

struct MaskCase {
    const char* name;
    std::vector<std::uint8_t> value;
    void (*mark)(const std::vector<std::uint8_t>&, ValueMask&);
    std::string hex;
    std::string text;  // empty for packed values, which show as hex
};

void CardText(const std::vector<std::uint8_t>& v, ValueMask& m) {
    MaskCardNumber(m, 0, static_cast<int>(v.size()), false);
}
void CardPacked(const std::vector<std::uint8_t>& v, ValueMask& m) {
    MaskCardNumber(m, 0, 2 * static_cast<int>(v.size()), true);
}
void Track2Text(const std::vector<std::uint8_t>& v, ValueMask& m) {
    TrackData t;
    ASSERT_TRUE(ParseTrack2Text(v.data(), static_cast<int>(v.size()), t));
    MaskTrack(m, t, 0);
}
void Track2Packed(const std::vector<std::uint8_t>& v, ValueMask& m) {
    TrackData t;
    ASSERT_TRUE(ParseTrack2Packed(v.data() + 2, static_cast<int>(v.size()) - 2, t));
    MaskTrack(m, t, 2);
}
void Track1(const std::vector<std::uint8_t>& v, ValueMask& m) {
    TrackData t;
    ASSERT_TRUE(ParseTrack1(v.data(), static_cast<int>(v.size()), t));
    MaskTrack(m, t, 0);
}
void Whole(const std::vector<std::uint8_t>&, ValueMask& m) {
    m.All();
}
void Backstop(const std::vector<std::uint8_t>& v, ValueMask& m) {
    MaskCardNumberRuns(v.data(), static_cast<int>(v.size()), ValueShown::kHex, m);
}
void BackstopText(const std::vector<std::uint8_t>& v, ValueMask& m) {
    MaskCardNumberRuns(v.data(), static_cast<int>(v.size()), ValueShown::kText, m);
}

class Masking : public testing::TestWithParam<MaskCase> {};

TEST_P(Masking, HidesWhatTheRuleSaysInTextAndHex) {
    const MaskCase& c = GetParam();
    ValueMask mask;
    mask.Reset(static_cast<int>(c.value.size()));
    c.mark(c.value, mask);
    const Shown shown = Show(c.value, mask);
    EXPECT_EQ(shown.hex, c.hex);
    if (!c.text.empty()) {
        EXPECT_EQ(shown.text, c.text);
    }
}

const auto T = TextBytes;

INSTANTIATE_TEST_SUITE_P(
    Mask, Masking,
    testing::Values(
        MaskCase{"CardText", T("4111111111111111"), CardText, "343131313131************31313131",
                 "411111******1111"},
        MaskCase{"ShortCardKeepsLastFour", T("123456789012"), CardText, "****************39303132",
                 "********9012"},
        MaskCase{"CardPacked", HexBytes("4111111111111111"), CardPacked, "411111******1111", ""},
        MaskCase{"Track2Text", T(";4111111111111111=25121011234?"), Track2Text,
                 "3B343131313131************313131313D32353132313031********3F",
                 ";411111******1111=2512101****?"},
        MaskCase{"Track2PackedInsideATag", HexBytes("5713 4111111111111111D2512101123F"),
                 Track2Packed, "5713411111******1111D2512101***F", ""},
        MaskCase{
            "Track1", T("%B4111111111111111^DOE/JOHN^2512101000000?"), Track1,
            "2542343131313131************313131315E****************5E32353132313031************3F",
            "%B411111******1111^********^2512101******?"},
        MaskCase{"Whole", T("12"), Whole, "****", "**"},
        MaskCase{"BackstopNibbles", HexBytes("FF 4111111111111111 FF"), Backstop,
                 "FF411111******1111FF", ""},
        MaskCase{"BackstopText", T("pan 4111111111111111 end"), BackstopText,
                 "70616E20343131313131*********************0656E64", "pan 411111******1111 end"},
        MaskCase{"BackstopInsideALongNibbleRun", HexBytes("08 4111111111111111 70"), Backstop,
                 "08411111******111170", ""},
        MaskCase{"BackstopInsideARunThatFailsWhole", T("5A084111111111111111"), BackstopText,
                 "35413038****31313131************31313131", "5A08411111******1111"},
        MaskCase{"BackstopLeavesLuhnFailures", T("4111111111111112"), BackstopText,
                 "34313131313131313131313131313132", "4111111111111112"},
        MaskCase{"BackstopLeavesLongRunsWithoutCardDigits", T("01111111111111111111"), BackstopText,
                 "3031313131313131313131313131313131313131", "01111111111111111111"},
        MaskCase{"BackstopFindsPackedDigitsAtAnOddNibble", HexBytes("00000F0378282246310005"),
                 Backstop, "00000F0378282*****0005", ""},
        MaskCase{"BackstopLeavesOneDigitRepeated", T("22222222222222222"), BackstopText,
                 "3232323232323232323232323232323232", "22222222222222222"},
        MaskCase{"BackstopLeavesNumbersOutsideTwoToSix", T("799273987130000"), BackstopText,
                 "373939323733393837313330303030", "799273987130000"},
        MaskCase{"BackstopHidesPackedDigitsOfTextInHexOnly", HexBytes("41 11 11 11 11 11 11 11"),
                 BackstopText, "411111******1111", "\x41\x11\x11\x11\x11\x11\x11\x11"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Masking, TextOfDigitsIsNotReadAsNibblesUnlessAsked) {
    const std::vector<std::uint8_t> text = T("4111111111111111");
    ValueMask mask;
    mask.Reset(16);
    MaskCardNumberRuns(text.data(), 16, ValueShown::kText, mask);
    std::string shown;
    MaskedText("4111111111111111", 16, mask, shown);
    EXPECT_EQ(shown, "411111******1111");
}

// Card numbers of each length the rule looks for, each passing the Luhn check.
std::vector<std::string> PlantedNumbers() {
    std::vector<std::string> numbers;
    const std::string stems[] = {"411111111111", "52004828", "37828224631", "601100099990139",
                                 "2221000000000009"};
    for (const std::string& stem : stems) {
        for (int length = kMinCardDigits; length <= kMaxCardDigits; ++length) {
            std::string digits = stem;
            while (static_cast<int>(digits.size()) < length - 1)
                digits.push_back(static_cast<char>('0' + digits.size() % 7));
            digits.resize(static_cast<std::size_t>(length - 1));
            for (char check = '0'; check <= '9'; ++check) {
                if (LuhnValid((digits + check).c_str(), length)) {
                    numbers.push_back(digits + check);
                    break;
                }
            }
        }
    }
    return numbers;
}

std::string HexOfDigits(const std::string& digits) {
    std::string hex;
    for (char d : digits) {
        hex.push_back('3');
        hex.push_back(d);
    }
    return hex;
}

struct Placement {
    const char* name;
    ValueShown shown;
    std::vector<std::uint8_t> (*plant)(const std::string& number);
};

// Digits around the number, so that earlier false matches and longer runs are in its way.
const std::string kBefore = "241483";
const std::string kAfter = "0052";

const Placement kPlacements[] = {
    {"TextAlone", ValueShown::kText, [](const std::string& n) { return T(n); }},
    {"TextInsideDigits", ValueShown::kText,
     [](const std::string& n) { return T("REF" + kBefore + n + kAfter); }},
    {"HexOfDigitsAsCharacters", ValueShown::kText,
     [](const std::string& n) { return T("x" + HexOfDigits(kBefore + n) + "y"); }},
    {"PackedEvenInsideDigits", ValueShown::kHex,
     [](const std::string& n) {
         const std::string digits = kBefore + n + kAfter;
         return HexBytes(digits.size() % 2 == 0 ? digits : digits + "F");
     }},
    {"PackedOddInsideDigits", ValueShown::kHex,
     [](const std::string& n) {
         const std::string digits = "0" + kBefore + "5" + n + kAfter;
         return HexBytes(digits.size() % 2 == 0 ? digits : digits + "F");
     }},
    {"PackedInsideTextValue", ValueShown::kText,
     [](const std::string& n) { return HexBytes("F" + n + (n.size() % 2 == 0 ? "F" : "")); }},
};

TEST(Masking, NoPlantedNumberSurvivesInAnyForm) {
    for (const Placement& placement : kPlacements) {
        for (const std::string& number : PlantedNumbers()) {
            const std::vector<std::uint8_t> value = placement.plant(number);
            ValueMask mask;
            mask.Reset(static_cast<int>(value.size()));
            MaskCardNumberRuns(value.data(), static_cast<int>(value.size()), placement.shown, mask);
            const Shown shown = Show(value, mask);
            for (const std::string& form : {number, HexOfDigits(number)}) {
                EXPECT_EQ(shown.text.find(form), std::string::npos)
                    << placement.name << " " << number << " text " << shown.text;
                EXPECT_EQ(shown.hex.find(form), std::string::npos)
                    << placement.name << " " << number << " hex " << shown.hex;
            }
        }
    }
}

}  // namespace
