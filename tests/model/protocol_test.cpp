#include "model/protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

std::unique_ptr<MsgDef> MakeMsg(ProtocolDef& def, const char* mti) {
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    std::strcpy(msg->mti, mti);
    return msg;
}

TEST(NameLookupTest, MatchesWholeNameCaseSensitively) {
    EXPECT_EQ(FieldTypeFromName("AN"), FieldType::AN);
    EXPECT_EQ(FieldTypeFromName("ANS"), FieldType::ANS);
    EXPECT_EQ(FieldTypeFromName("Z"), FieldType::Z);
    EXPECT_EQ(FieldTypeFromName("an"), FieldType::U);
    EXPECT_EQ(FieldTypeFromName(""), FieldType::U);
    EXPECT_EQ(FieldTypeFromName("X"), FieldType::U);
    EXPECT_EQ(FieldTypeFromName("AN "), FieldType::U);
    EXPECT_EQ(FieldTypeFromName(nullptr), FieldType::U);
    EXPECT_EQ(EncodingFromName("HEX"), Encoding::HEX);
    EXPECT_EQ(EncodingFromName("EBCDIC"), Encoding::EBCDIC);
    EXPECT_EQ(EncodingFromName("Hex"), Encoding::NONE);
    EXPECT_EQ(EncodingFromName(nullptr), Encoding::NONE);
    EXPECT_STREQ(NameOf(Encoding::BIGEND), "BIGEND");
    EXPECT_STREQ(NameOf(FieldType::ANS), "ANS");
}

TEST(FieldMaskTest, UsesBitmapBitOrder) {
    const struct {
        int field;
        int byte;
        std::uint8_t value;
    } cases[] = {{1, 0, 0x80},  {8, 0, 0x01},  {9, 1, 0x80},
                 {64, 7, 0x01}, {65, 8, 0x80}, {128, 15, 0x01}};
    for (const auto& c : cases) {
        FieldMask mask{};
        EXPECT_TRUE(SetBit(mask, c.field)) << c.field;
        FieldMask expected{};
        expected[c.byte] = c.value;
        EXPECT_EQ(mask, expected) << c.field;
        EXPECT_TRUE(TestBit(mask, c.field)) << c.field;
        EXPECT_TRUE(ClearBit(mask, c.field)) << c.field;
        EXPECT_EQ(mask, FieldMask{}) << c.field;
    }
}

TEST(FieldMaskTest, RefusesFieldsOutsideOneTo128) {
    FieldMask mask;
    mask.fill(0xFF);
    const FieldMask full = mask;
    for (int n : {0, 129, -1}) {
        EXPECT_FALSE(SetBit(mask, n)) << n;
        EXPECT_FALSE(ClearBit(mask, n)) << n;
        EXPECT_FALSE(TestBit(mask, n)) << n;
        EXPECT_EQ(mask, full) << n;
    }
}

TEST(DefineFieldTest, StoresValuesOrClearsOnBadSize) {
    FldDef entry;
    EXPECT_TRUE(DefineField(entry, FieldType::N, 19, 1, true, "Primary account number"));
    EXPECT_EQ(entry.type, FieldType::N);
    EXPECT_EQ(entry.size, 19);
    EXPECT_EQ(entry.sizeLen, 1);
    EXPECT_TRUE(entry.subfield);
    EXPECT_STREQ(entry.description, "Primary account number");

    EXPECT_TRUE(DefineField(entry, FieldType::B, 8, 0, false, nullptr));
    EXPECT_STREQ(entry.description, "");

    EXPECT_TRUE(DefineField(entry, FieldType::AN, 5, 0, false, std::string(200, 'd').c_str()));
    EXPECT_EQ(std::strlen(entry.description), 128u);

    for (auto [size, sizeLen] : {std::pair<int, int>{0, 0}, {-3, 0}, {5, -1}}) {
        DefineField(entry, FieldType::N, 3, 1, true, "x");
        EXPECT_FALSE(DefineField(entry, FieldType::N, static_cast<std::int16_t>(size),
                                 static_cast<std::int16_t>(sizeLen), true, "y"));
        EXPECT_EQ(entry.type, FieldType::U);
        EXPECT_EQ(entry.size, 0);
        EXPECT_EQ(entry.sizeLen, 0);
        EXPECT_FALSE(entry.subfield);
        EXPECT_STREQ(entry.description, "");
    }
}

TEST(ProtocolDefTest, StartsWithStartUpEncodingsAnd99EmptySlots) {
    ProtocolDef def;
    EXPECT_STREQ(def.name, "");
    EXPECT_EQ(def.mtiEnc, Encoding::CHAR);
    EXPECT_EQ(def.bmpEnc, Encoding::NONE);
    EXPECT_EQ(def.lenEnc, Encoding::BIGEND);
    EXPECT_EQ(def.numEnc, Encoding::PBCD);
    EXPECT_EQ(def.chrEnc, Encoding::ASCII);
    EXPECT_EQ(def.binEnc, Encoding::NONE);
    EXPECT_EQ(def.messages.SlotCount(), 99);
    EXPECT_EQ(def.messages.FirstEmpty(), 0);
    for (const auto& f : def.fields)
        EXPECT_EQ(f.type, FieldType::U);
}

TEST(ProtocolDefTest, ResetClearsFieldsAndEncodingsButKeepsMessages) {
    ProtocolDef def;
    std::strcpy(def.name, "Demo");
    DefineField(def.fields[0], FieldType::B, 16, 0, false, "");
    DefineField(def.fields[128], FieldType::N, 3, 1, true, "last");
    auto msg = MakeMsg(def, "0200");
    ASSERT_TRUE(def.messages.PutIfEmpty(0, msg));

    def.Reset();
    EXPECT_STREQ(def.name, "");
    for (const auto& f : def.fields) {
        EXPECT_EQ(f.type, FieldType::U);
        EXPECT_EQ(f.size, 0);
        EXPECT_FALSE(f.subfield);
    }
    EXPECT_EQ(def.mtiEnc, Encoding::PBCD);
    EXPECT_EQ(def.lenEnc, Encoding::NONE);
    EXPECT_EQ(def.messages.FindByMti("0200"), 0);
}

TEST(ProtocolDefTest, DataEncodingFollowsTheFieldClass) {
    ProtocolDef def;
    def.numEnc = Encoding::HEX;
    def.chrEnc = Encoding::EBCDIC;
    def.binEnc = Encoding::CHAR;
    const struct {
        FieldType type;
        Encoding encoding;
        bool binary;
    } cases[] = {
        {FieldType::U, Encoding::NONE, false},   {FieldType::N, Encoding::HEX, false},
        {FieldType::A, Encoding::EBCDIC, false}, {FieldType::AS, Encoding::EBCDIC, false},
        {FieldType::B, Encoding::CHAR, true},    {FieldType::Z, Encoding::CHAR, true},
    };
    for (const auto& c : cases) {
        def.fields[7].type = c.type;
        EXPECT_EQ(def.DataEncoding(7), c.encoding) << NameOf(c.type);
        EXPECT_EQ(def.IsBinaryField(7), c.binary) << NameOf(c.type);
    }
}

TEST(LengthPrefixSizeTest, CountsExactlyAtPowersOfTwoTenAndSixteen) {
    const struct {
        int maxLen;
        int bigend, pbcd, hex, dec;
    } cases[] = {
        {0, 0, 0, 0, 0},     {1, 1, 1, 1, 1},    {9, 1, 1, 1, 1},    {10, 1, 1, 1, 2},
        {15, 1, 1, 1, 2},    {16, 1, 1, 2, 2},   {99, 1, 1, 2, 2},   {100, 1, 2, 2, 3},
        {255, 1, 2, 2, 3},   {256, 2, 2, 3, 3},  {999, 2, 2, 3, 3},  {1000, 2, 2, 3, 4},
        {4095, 2, 2, 3, 4},  {4096, 2, 2, 4, 4}, {9999, 2, 2, 4, 4}, {10000, 2, 3, 4, 5},
        {32767, 2, 3, 4, 5}, {-1, 0, 0, 0, 0},
    };
    ProtocolDef def;
    for (const auto& c : cases) {
        const auto len = static_cast<std::int16_t>(c.maxLen);
        def.lenEnc = Encoding::BIGEND;
        EXPECT_EQ(def.LengthPrefixSize(len, 2), c.bigend) << c.maxLen;
        def.lenEnc = Encoding::PBCD;
        EXPECT_EQ(def.LengthPrefixSize(len, 2), c.pbcd) << c.maxLen;
        def.lenEnc = Encoding::HEX;
        EXPECT_EQ(def.LengthPrefixSize(len, 2), c.hex) << c.maxLen;
        def.lenEnc = Encoding::CHAR;
        EXPECT_EQ(def.LengthPrefixSize(len, 2), c.dec) << c.maxLen;
        def.lenEnc = Encoding::NONE;
        EXPECT_EQ(def.LengthPrefixSize(len, 2), c.dec) << c.maxLen;
    }
}

TEST(LengthPrefixSizeTest, NegativeMaximumUsesTheFieldsOwnSize) {
    ProtocolDef def;
    def.lenEnc = Encoding::CHAR;
    def.fields[35].size = 1000;
    EXPECT_EQ(def.LengthPrefixSize(-1, 35), 4);
    EXPECT_EQ(def.LengthPrefixSize(99, 35), 2);
}

TEST(LengthPrefixSizeTest, RecomputeTouchesOnlyVariableFields) {
    ProtocolDef def;
    def.lenEnc = Encoding::CHAR;
    DefineField(def.fields[2], FieldType::N, 19, 2, false, "");
    DefineField(def.fields[3], FieldType::N, 6, 0, false, "");
    DefineField(def.fields[128], FieldType::B, 999, 3, false, "");
    def.lenEnc = Encoding::BIGEND;
    EXPECT_TRUE(def.RecomputeLengthPrefixSizes());
    EXPECT_EQ(def.fields[2].sizeLen, 1);
    EXPECT_EQ(def.fields[3].sizeLen, 0);
    EXPECT_EQ(def.fields[128].sizeLen, 2);
}

TEST(PickEncodingTest, OnlyANewLengthEncodingRecomputesPrefixSizes) {
    ProtocolDef def;
    def.lenEnc = Encoding::CHAR;
    DefineField(def.fields[2], FieldType::N, 19, 2, false, "");
    PickEncoding(def, EncodingRole::kNumeric, Encoding::CHAR);
    EXPECT_EQ(def.numEnc, Encoding::CHAR);
    EXPECT_EQ(def.fields[2].sizeLen, 2);
    PickEncoding(def, EncodingRole::kLength, Encoding::PBCD);
    EXPECT_EQ(def.lenEnc, Encoding::PBCD);
    EXPECT_EQ(def.fields[2].sizeLen, 1);
    EXPECT_STREQ(KeyOf(EncodingRole::kBinary), "BIN_Enc");
    EXPECT_EQ(OfferedEncodings(EncodingRole::kLength).size(), 4u);
}

TEST(MsgTableTest, FindsAcrossHolesAndReusesTheLowestEmptySlot) {
    ProtocolDef def;
    MsgTable& table = def.messages;
    for (const char* mti : {"0100", "0200", "0400"}) {
        auto msg = MakeMsg(def, mti);
        ASSERT_TRUE(table.PutIfEmpty(table.FirstEmpty(), msg));
        EXPECT_EQ(msg, nullptr);
    }
    table.At(0).reset();
    EXPECT_EQ(table.FindByMti("0100"), MsgTable::kNone);
    EXPECT_EQ(table.FindByMti("0200"), 1);
    EXPECT_EQ(table.FindByMti("0400"), 2);
    EXPECT_EQ(table.FindByMti("040"), MsgTable::kNone);
    EXPECT_EQ(table.FirstEmpty(), 0);
}

TEST(MsgTableTest, PutIfEmptyLeavesTheDefinitionWithTheCallerWhenRefused) {
    ProtocolDef def;
    auto first = MakeMsg(def, "0100");
    ASSERT_TRUE(def.messages.PutIfEmpty(4, first));
    for (int i : {4, -1, 99}) {
        auto other = MakeMsg(def, "0200");
        EXPECT_FALSE(def.messages.PutIfEmpty(i, other)) << i;
        ASSERT_NE(other, nullptr) << i;
    }
    EXPECT_STREQ(def.messages.At(4)->mti, "0100");
}

TEST(MsgTableTest, FullTableHasNoEmptySlot) {
    ProtocolDef def;
    for (int i = 0; i < MsgTable::kSlots; ++i) {
        auto msg = MakeMsg(def, "0000");
        ASSERT_TRUE(def.messages.PutIfEmpty(i, msg));
    }
    EXPECT_EQ(def.messages.FirstEmpty(), MsgTable::kNone);
}

TEST(MsgTableTest, AtOutsideTheTableThrows) {
    ProtocolDef def;
    EXPECT_THROW(def.messages.At(-1), std::out_of_range);
    EXPECT_THROW(def.messages.At(99), std::out_of_range);
    EXPECT_NO_THROW(def.messages.At(98));
}

TEST(MsgTableTest, ClearAllKeepsSlotsReleaseAllDropsThem) {
    ProtocolDef def;
    auto msg = MakeMsg(def, "0200");
    def.messages.PutIfEmpty(3, msg);
    EXPECT_TRUE(def.messages.ClearAll());
    EXPECT_EQ(def.messages.SlotCount(), 99);
    EXPECT_EQ(def.messages.FindByMti("0200"), MsgTable::kNone);
    EXPECT_TRUE(def.messages.ReleaseAll());
    EXPECT_EQ(def.messages.SlotCount(), 0);
    EXPECT_FALSE(def.messages.ReleaseAll());
    EXPECT_FALSE(def.messages.ClearAll());
    EXPECT_EQ(def.messages.FirstEmpty(), MsgTable::kNone);
    auto late = MakeMsg(def, "0300");
    EXPECT_FALSE(def.messages.PutIfEmpty(0, late));
    EXPECT_THROW(def.messages.At(0), std::out_of_range);
}

TEST(ProtocolDefTest, TheProtocolIsOneInstance) {
    EXPECT_EQ(&TheProtocol(), &TheProtocol());
    EXPECT_EQ(TheProtocol().messages.SlotCount(), 99);
}

}  // namespace
