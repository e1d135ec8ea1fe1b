#include "content/emv_bits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/tag_names.h"
#include "hex_bytes.h"

namespace {

std::vector<std::string> Explain(std::uint32_t tag, const char* hex) {
    const std::vector<std::uint8_t> value = HexBytes(hex);
    const char* texts[kMaxBitTexts];
    const int n =
        ExplainBits(tag, value.data(), static_cast<int>(value.size()), texts, kMaxBitTexts);
    return std::vector<std::string>(texts, texts + n);
}

struct BitsCase {
    const char* name;
    std::uint32_t tag;
    const char* hex;
    std::vector<std::string> texts;
};

class EmvBits : public testing::TestWithParam<BitsCase> {};

TEST_P(EmvBits, NameTheSetBits) {
    EXPECT_EQ(Explain(GetParam().tag, GetParam().hex), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, EmvBits,
    testing::Values(
        BitsCase{"TvrFloorLimit", 0x95, "0000008000", {"Transaction exceeds floor limit"}},
        BitsCase{"TvrFirstAndLastBytes",
                 0x95,
                 "8000000040",
                 {"Offline data authentication was not performed", "Issuer authentication failed"}},
        BitsCase{"TvrReservedBit", 0x95, "0000000001", {"byte 5 bit 1: RFU"}},
        BitsCase{"TvrClear", 0x95, "0000000000", {}},
        BitsCase{
            "Tsi",
            0x9B,
            "E800",
            {"Offline data authentication was performed", "Cardholder verification was performed",
             "Card risk management was performed", "Terminal risk management was performed"}},
        BitsCase{"CidAac", 0x9F27, "00", {"AAC"}}, BitsCase{"CidTc", 0x9F27, "40", {"TC"}},
        BitsCase{
            "CidArqcWithAdvice", 0x9F27, "89", {"ARQC", "Advice required", "Service not allowed"}},
        BitsCase{"CvmSignature",
                 0x9F34,
                 "1E0300",
                 {"method: Signature (paper)", "condition: If terminal supports the CVM",
                  "result: Unknown"}},
        BitsCase{"CvmOnlinePinGoOn",
                 0x9F34,
                 "420002",
                 {"method: Enciphered PIN verified online",
                  "Apply succeeding CV Rule if this CVM is unsuccessful", "condition: Always",
                  "result: Successful"}},
        BitsCase{"WrongLength", 0x95, "00008000", {}}, BitsCase{"OtherTag", 0x9A, "251231", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TagNames, NameKnownTagsAndOnlyThose) {
    EXPECT_STREQ(TagName(0x9F02), "Amount, Authorised (Numeric)");
    EXPECT_STREQ(TagName(0x4F), "Application Identifier (AID) \u2013 card");
    EXPECT_STREQ(TagName(0x95), "Terminal Verification Results");
    EXPECT_STREQ(TagName(0x56), "Track 1 Data");
    EXPECT_STREQ(TagName(0x9F6B), "Track 2 Data");
    EXPECT_STREQ(TagName(0xBF0C), "File Control Information (FCI) Issuer Discretionary Data");
    EXPECT_STREQ(TagName(0x42), "Issuer Identification Number (IIN)");
    EXPECT_STREQ(TagName(0xDF8101), "unknown tag");
    EXPECT_STREQ(TagName(0), "unknown tag");
    EXPECT_STREQ(TagName(0x5F20), "Cardholder Name");
}

// The low byte of a named tag names nothing under another first byte, or alone.
TEST(TagNames, AnotherTagWithTheSameLowByteIsUnknown) {
    for (const std::uint32_t tag :
         {0x02u, 0x0Cu, 0x7F02u, 0x5F02u, 0xBF02u, 0x9F0Cu, 0x5F42u, 0x0142u, 0x9F4200u, 0x564Fu})
        EXPECT_STREQ(TagName(tag), "unknown tag") << std::hex << tag;
}

}  // namespace
