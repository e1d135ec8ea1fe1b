#include "content/field_content.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hex_bytes.h"

namespace {

// A binary dialect (binary data as bytes) or a text one (binary data as hex digits, chip
// data as text of hex digits).
void Define(ProtocolDef& def, bool text) {
    def.binEnc = text ? Encoding::HEX : Encoding::NONE;
    DefineField(def.fields[2], FieldType::N, 19, 1, false, "PAN");
    DefineField(def.fields[35], text ? FieldType::ANS : FieldType::Z, 37, 1, false, "Track 2");
    DefineField(def.fields[45], FieldType::ANS, 76, 1, false, "Track 1");
    DefineField(def.fields[48], FieldType::ANS, 99, 1, false, "Additional data");
    DefineField(def.fields[52], FieldType::B, 8, 0, false, "PIN data");
    DefineField(def.fields[55], text ? FieldType::ANS : FieldType::B, 255, 1, true, "Chip");
}

struct Field {
    AutoBuff value;
    DecodedField decoded;
    Field(int number, const std::vector<std::uint8_t>& bytes) {
        const int n = static_cast<int>(bytes.size());
        value.Reserve(n + 1, false);
        if (n > 0) std::memcpy(value.Data(), bytes.data(), bytes.size());
        value.SetLength(n);
        value.Terminate();
        decoded.number = static_cast<std::int16_t>(number);
        decoded.offset = 10;
        decoded.value = &value;
    }
};

FieldInspection Inspect(bool text, int number, const std::vector<std::uint8_t>& bytes,
                        bool mask = true) {
    ProtocolDef def;
    Define(def, text);
    Field field(number, bytes);
    InspectOptions options;
    options.mask = mask;
    return InspectField(def, field.decoded, options);
}

constexpr char kChip[] = "9F0206000000001000 950500000080 00 700A 5A084111111111111111";

TEST(InspectField, ChipDataIsScannedOneDataObjectAtATime) {
    // An unknown tag holding a packed card number at an odd nibble, beside an amount whose
    // digits would run on into the next object's.
    const FieldInspection got =
        Inspect(false, 55, HexBytes("9F0206000000001000 DF02080378282246310005 9505 0000008000"));
    ASSERT_EQ(got.tlvError, "");
    ASSERT_EQ(got.tags.size(), 3u);
    EXPECT_EQ(got.tags[0].hex, "000000001000");
    EXPECT_EQ(got.tags[1].hex, "0378282*****0005");
    EXPECT_EQ(got.tags[2].hex, "0000008000");
    EXPECT_EQ(got.hex.find("378282246310005"), std::string::npos) << got.hex;
}

TEST(InspectField, ListsChipDataUnderABinaryDialectWithNamesBitsAndUnits) {
    const FieldInspection got = Inspect(false, 55, HexBytes(kChip));
    ASSERT_EQ(got.tlvError, "");
    ASSERT_EQ(got.tags.size(), 4u);
    EXPECT_EQ(got.tags[0].tagHex, "9F02");
    EXPECT_STREQ(got.tags[0].name, "Amount, Authorised (Numeric)");
    EXPECT_EQ(got.tags[0].hex, "000000001000");
    ASSERT_EQ(got.tags[1].bits.size(), 1u);
    EXPECT_STREQ(got.tags[1].bits[0], "Transaction exceeds floor limit");
    EXPECT_EQ(got.tags[1].units.start, 11 + 9);
    EXPECT_EQ(got.tags[1].units.count, 7);
    EXPECT_EQ(got.tags[3].depth, 2);
    EXPECT_EQ(got.tags[3].parent, 2);
    EXPECT_EQ(got.tags[3].hex, "411111******1111");
    EXPECT_TRUE(got.tags[3].luhn);
    EXPECT_NE(got.hex.find("5A08411111******1111"), std::string::npos) << got.hex;
    EXPECT_EQ(got.value, got.hex);
    EXPECT_TRUE(got.masked);
}

TEST(InspectField, ReadsChipDataCarriedAsHexTextAndMasksItsCharacters) {
    std::string hex;
    for (char c : std::string(kChip)) {
        if (c != ' ') hex.push_back(c);
    }
    const FieldInspection got = Inspect(true, 55, TextBytes(hex));
    ASSERT_EQ(got.tags.size(), 4u);
    EXPECT_EQ(got.tags[1].units.start, 11 + 2 * 9);
    EXPECT_EQ(got.tags[1].units.count, 14);
    EXPECT_NE(got.value.find("5A08411111******1111"), std::string::npos) << got.value;
    EXPECT_EQ(got.value.find("4111111111"), std::string::npos);
    EXPECT_NE(got.hex.find("35413038343131313131************31313131"), std::string::npos)
        << got.hex;
}

TEST(InspectField, KeepsAValueThatIsNotBerTlvWithTheReason) {
    const FieldInspection got = Inspect(false, 55, HexBytes("9F02060000"));
    EXPECT_EQ(got.tlvError, "length runs 4 bytes past the end at byte 2");
    EXPECT_TRUE(got.tags.empty());
    EXPECT_EQ(got.value, "9F02060000");
}

struct ShownCase {
    const char* name;
    bool text;
    int number;
    std::vector<std::uint8_t> value;
    bool mask;
    std::string shown;
};

class InspectShows : public testing::TestWithParam<ShownCase> {};

TEST_P(InspectShows, TheValueAsTheMaskingRuleSays) {
    const ShownCase& c = GetParam();
    EXPECT_EQ(Inspect(c.text, c.number, c.value, c.mask).value, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Inspect, InspectShows,
    testing::Values(
        ShownCase{"CardNumberUnmasked", true, 2, TextBytes("4111111111111111"), false,
                  "4111111111111111"},
        ShownCase{"PackedTrack2", false, 35, HexBytes("4111111111111111D2512101123F"), true,
                  "411111******1111D2512101***F"},
        ShownCase{"TextTrack2", true, 35, TextBytes("4111111111111111=2512101123"), true,
                  "411111******1111=2512101***"},
        ShownCase{"UnrecognisedTrack", true, 35, TextBytes("4111111111111111"), true,
                  "****************"},
        ShownCase{"PinData", false, 52, HexBytes("0123456789ABCDEF"), true, "****************"},
        ShownCase{"BackstopInAnotherField", true, 48, TextBytes("ref 4111111111111111"), true,
                  "ref 411111******1111"},
        // A NUL ends no value; units after it are shown, and masked by the same rules.
        ShownCase{"TextWithNulInside", true, 48, TextBytes(std::string("AB\0CD", 5)), true,
                  std::string("AB\0CD", 5)},
        ShownCase{"NulThenCardNumber", true, 48,
                  TextBytes(std::string("\0"
                                        "4111111111111111",
                                        17)),
                  true,
                  std::string("\0"
                              "411111******1111",
                              17)},
        ShownCase{"CardNumberThenNulPaddingHiddenWhole", true, 2,
                  TextBytes(std::string("4111111111111111\0\0", 18)), true, std::string(18, '*')},
        ShownCase{"CardNumberCutByNulHiddenWhole", true, 2,
                  TextBytes(std::string("411111\0"
                                        "1111111111",
                                        17)),
                  true, std::string(17, '*')},
        ShownCase{"CardNumberWithNulUnmasked", true, 2,
                  TextBytes(std::string("4111\0"
                                        "1111",
                                        9)),
                  false,
                  std::string("4111\0"
                              "1111",
                              9)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InspectField, ReportsTrackPartsAndLuhn) {
    const FieldInspection got = Inspect(true, 35, TextBytes("4111111111111111=2512101123"));
    EXPECT_EQ(got.track.track, 2);
    EXPECT_EQ(got.track.account, "411111******1111");
    EXPECT_EQ(got.track.expiry, "2512");
    EXPECT_EQ(got.track.serviceCode, "101");
    EXPECT_EQ(got.track.discretionary, "***");
    EXPECT_TRUE(got.track.luhn);
    EXPECT_FALSE(Inspect(true, 2, TextBytes("4111111111111112")).luhn);
    EXPECT_TRUE(Inspect(true, 2, TextBytes("4111111111111112")).hasLuhn);
}

}  // namespace

namespace {

TEST(InspectField, ReusedResultCarriesNothingOverFromTheFieldBefore) {
    ProtocolDef def;
    Define(def, false);
    Field chip(55, HexBytes(kChip));
    Field pan(2, TextBytes("4111111111111112"));
    InspectOptions options;
    FieldInspection out;
    InspectField(def, chip.decoded, options, out);
    ASSERT_EQ(out.tags.size(), 4u);
    InspectField(def, pan.decoded, options, out);
    EXPECT_TRUE(out.tags.empty());
    EXPECT_FALSE(out.tlvTried);
    EXPECT_FALSE(out.luhn);
    EXPECT_EQ(out.value, "411111******1112");
}

}  // namespace

namespace {

TEST(InspectField, ReplacesAFieldNamedForMaskingWhole) {
    ProtocolDef def;
    Define(def, true);
    Field field(48, TextBytes("secret"));
    InspectOptions options;
    SetBit(options.maskFields, 48);
    const FieldInspection got = InspectField(def, field.decoded, options);
    EXPECT_EQ(got.value, "******");
    EXPECT_EQ(got.hex, "************");
    EXPECT_TRUE(got.masked);
}

}  // namespace

namespace {

// Objects kept past a shorter list's size are written whole when a longer list needs them
// again, and never shown while they lie past it.
TEST(InspectField, ReusedResultListsOnlyTheDataObjectsOfItsField) {
    ProtocolDef def;
    Define(def, false);
    Field full(55, HexBytes(kChip));
    Field card(55, HexBytes("5A084111111111111111"));
    Field amount(55, HexBytes("9F0206000000001000"));
    InspectOptions options;
    FieldInspection out;
    const auto tagsOf = [&out] {
        std::string tags;
        for (const InspectedTag& tag : out.tags)
            tags += tag.tagHex + "=" + tag.hex + (tag.luhn ? "+" : "") + " ";
        return tags;
    };
    InspectField(def, full.decoded, options, out);
    EXPECT_EQ(tagsOf(),
              "9F02=000000001000 95=0000008000 70=5A08411111******1111 5A=411111******1111+ ");
    InspectField(def, card.decoded, options, out);
    EXPECT_EQ(tagsOf(), "5A=411111******1111+ ");
    InspectField(def, amount.decoded, options, out);
    EXPECT_EQ(tagsOf(), "9F02=000000001000 ");
    EXPECT_FALSE(out.tags[0].hasLuhn);
    InspectField(def, full.decoded, options, out);
    EXPECT_EQ(tagsOf(),
              "9F02=000000001000 95=0000008000 70=5A08411111******1111 5A=411111******1111+ ");
    EXPECT_EQ(out.tags[3].depth, 2);
    EXPECT_EQ(out.tags[1].bits.size(), 1u);
}

}  // namespace
