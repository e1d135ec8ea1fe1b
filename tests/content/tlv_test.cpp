#include "content/tlv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hex_bytes.h"

namespace {

struct Parsed {
    std::vector<TlvObject> objects;
    std::string error;
};

Parsed Parse(const std::vector<std::uint8_t>& value) {
    Parsed out;
    out.objects.resize(static_cast<std::size_t>(TlvRoom(static_cast<int>(value.size()))));
    TlvFailure failure;
    const int n = ParseTlv(value.data(), static_cast<int>(value.size()), out.objects.data(),
                           static_cast<int>(out.objects.size()), failure);
    if (n < 0) {
        char text[96];
        FormatTlvFailure(failure, text, sizeof text);
        out.error = text;
        out.objects.clear();
    } else {
        out.objects.resize(static_cast<std::size_t>(n));
    }
    return out;
}

// tag, offset, value offset, length, depth
struct Expected {
    std::uint32_t tag;
    int offset;
    int valueOffset;
    int length;
    int depth;
};

struct ParseCase {
    const char* name;
    const char* hex;
    std::vector<Expected> objects;
};

class TlvParses : public testing::TestWithParam<ParseCase> {};

TEST_P(TlvParses, ListsEveryDataObjectWithItsPosition) {
    const Parsed parsed = Parse(HexBytes(GetParam().hex));
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.objects.size(), GetParam().objects.size());
    for (std::size_t i = 0; i < parsed.objects.size(); ++i) {
        const TlvObject& got = parsed.objects[i];
        const Expected& want = GetParam().objects[i];
        EXPECT_EQ(got.tag, want.tag) << i;
        EXPECT_EQ(got.offset, want.offset) << i;
        EXPECT_EQ(got.valueOffset, want.valueOffset) << i;
        EXPECT_EQ(got.length, want.length) << i;
        EXPECT_EQ(got.depth, want.depth) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tlv, TlvParses,
    testing::Values(
        ParseCase{"AmountAndTvr",
                  "9F02 06 000000001000 95 05 0000008000",
                  {{0x9F02, 0, 3, 6, 1}, {0x95, 9, 11, 5, 1}}},
        ParseCase{"ThreeByteTag", "DF8101 02 ABCD", {{0xDF8101, 0, 4, 2, 1}}},
        ParseCase{"LongForm81", "9F10 81 03 010203", {{0x9F10, 0, 4, 3, 1}}},
        ParseCase{"LongForm82", "9F10 82 0003 010203", {{0x9F10, 0, 5, 3, 1}}},
        ParseCase{
            "ConstructedWithChildren",
            "70 08 5A 02 4111 9F02 01 00 9A 01 25",
            {{0x70, 0, 2, 8, 1}, {0x5A, 2, 4, 2, 2}, {0x9F02, 6, 9, 1, 2}, {0x9A, 10, 12, 1, 1}}},
        ParseCase{"PaddingBetweenAndAround",
                  "00 95 01 80 00 00 9A 01 25 00",
                  {{0x95, 1, 3, 1, 1}, {0x9A, 6, 8, 1, 1}}},
        ParseCase{"EmptyConstructedValue", "70 00", {{0x70, 0, 2, 0, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tlv, ChildrenNameTheirParentAndTheParentItsEnd) {
    const Parsed parsed = Parse(HexBytes("70 08 5A 02 4111 9F02 01 00 9A 01 25"));
    ASSERT_EQ(parsed.objects.size(), 4u);
    EXPECT_TRUE(parsed.objects[0].constructed);
    EXPECT_EQ(parsed.objects[0].end, 3);
    EXPECT_EQ(parsed.objects[1].parent, 0);
    EXPECT_EQ(parsed.objects[2].parent, 0);
    EXPECT_EQ(parsed.objects[3].parent, -1);
    EXPECT_FALSE(parsed.objects[3].constructed);
}

// n constructed templates around one primitive data object.
std::vector<std::uint8_t> Nested(int n) {
    std::vector<std::uint8_t> value = HexBytes("95 01 00");
    for (int i = 0; i < n; ++i) {
        value.insert(value.begin(), {0x70, static_cast<std::uint8_t>(value.size())});
    }
    return value;
}

TEST(Tlv, AcceptsEightLevels) {
    const Parsed parsed = Parse(Nested(7));
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.objects.back().depth, 8);
}

struct FailCase {
    const char* name;
    std::vector<std::uint8_t> value;
    const char* error;
};

class TlvRefuses : public testing::TestWithParam<FailCase> {};

TEST_P(TlvRefuses, WithTheReasonAndTheByte) {
    EXPECT_EQ(Parse(GetParam().value).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Tlv, TlvRefuses,
    testing::Values(
        FailCase{"ValuePastTheEnd", HexBytes("9F02 06 0000"),
                 "length runs 4 bytes past the end at byte 2"},
        FailCase{"ChildPastItsParent", HexBytes("70 04 95 05 0000"),
                 "length runs 3 bytes past the end at byte 3"},
        FailCase{"OneBytePast", HexBytes("9A 02 25"), "length runs 1 byte past the end at byte 1"},
        FailCase{"HugeLongForm", HexBytes("95 84 FFFFFFFF 00"),
                 "length runs 4294967294 bytes past the end at byte 1"},
        FailCase{"TagNeverEnds", HexBytes("9A 01 25 9F 81"), "tag runs past the end at byte 3"},
        FailCase{"TagOfFiveBytes", HexBytes("9F 81 82 83 04 01 00"),
                 "tag longer than 4 bytes at byte 0"},
        FailCase{"NoLength", HexBytes("95"), "length missing at byte 1"},
        FailCase{"Indefinite", HexBytes("70 80 95 01 00 00 00"), "indefinite length at byte 1"},
        FailCase{"LengthOfFiveBytes", HexBytes("95 85 0000000001 00"),
                 "length of more than 4 bytes at byte 1"},
        FailCase{"LengthBytesCut", HexBytes("95 82 00"), "length bytes run past the end at byte 1"},
        FailCase{"NineLevels", Nested(8), "nesting deeper than 8 levels at byte 14"},
        FailCase{"EmptyValue", {}, "no data object at byte 0"},
        FailCase{"OnlyPadding", HexBytes("00 00"), "no data object at byte 0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tlv, NeverWritesPastTheRoomGiven) {
    const std::vector<std::uint8_t> value = HexBytes("9A 01 25 9C 01 00");
    TlvObject objects[2];
    TlvFailure failure;
    EXPECT_EQ(ParseTlv(value.data(), 6, objects, 1, failure), -1);
    EXPECT_EQ(failure.fault, TlvFault::kNoRoom);
    EXPECT_EQ(objects[1].tag, 0u);
}

}  // namespace

namespace {

// The reason as printf would write it into room characters: cut short and ended by NUL.
TEST(TlvFailureText, IsPrintfsTextCutToTheRoomGiven) {
    struct Case {
        TlvFault fault;
        std::int64_t past;
        const char* text;
    };
    const Case cases[] = {
        {TlvFault::kTagPastEnd, 0, "tag runs past the end at byte 2147483647"},
        {TlvFault::kNoRoom, 0, "more data objects than room at byte 2147483647"},
        {TlvFault::kValuePastEnd, 1, "length runs 1 byte past the end at byte 2147483647"},
        {TlvFault::kValuePastEnd, 2, "length runs 2 bytes past the end at byte 2147483647"},
        {TlvFault::kValuePastEnd, std::int64_t{1} << 40,
         "length runs 1099511627776 bytes past the end at byte 2147483647"},
    };
    for (const Case& c : cases) {
        const TlvFailure failure{c.fault, 2147483647, c.past};
        for (int room = 1; room < 72; ++room) {
            char cut[80];
            std::memset(cut, '#', sizeof cut);
            const int length = FormatTlvFailure(failure, cut, room);
            const std::string want = std::string(c.text).substr(0, room - 1);
            EXPECT_EQ(length, static_cast<int>(want.size())) << c.text << " " << room;
            EXPECT_STREQ(cut, want.c_str()) << room;
            EXPECT_EQ(cut[room], '#') << room;
        }
    }
}

}  // namespace
