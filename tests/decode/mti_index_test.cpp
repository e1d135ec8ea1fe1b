#include "decode/mti_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

void Put(ProtocolDef& def, int slot, const char* mti) {
    auto msg = std::make_unique<MsgDef>();
    InitMsgDef(*msg, def);
    std::memcpy(msg->mti, mti, std::strlen(mti) + 1);
    def.messages.PutIfEmpty(slot, msg);
}

// Duplicates, gaps, short and empty MTIs and texts that are not MTIs: the same slot as the
// table's own lookup.
TEST(MtiIndexTest, FindsWhatFindByMtiFinds) {
    std::mt19937 random(8583);
    const char* const names[] = {"0100", "0110", "0200", "0800", "01", "", "\x81\x82", "9999"};
    for (int round = 0; round < 200; ++round) {
        auto def = std::make_unique<ProtocolDef>();
        for (int slot = 0; slot < MsgTable::kSlots; ++slot) {
            if (random() % 3 == 0) Put(*def, slot, names[random() % std::size(names)]);
        }
        const MtiIndex index(def->messages);
        for (const char* mti : names)
            ASSERT_EQ(index.Find(mti), def->messages.FindByMti(mti)) << mti;
        char other[5] = {static_cast<char>('0' + random() % 10), '1', '0', '0', '\0'};
        ASSERT_EQ(index.Find(other), def->messages.FindByMti(other));
    }
}

TEST(MtiIndexTest, TextLongerThanAnMtiGoesToTheTable) {
    auto def = std::make_unique<ProtocolDef>();
    Put(*def, 3, "0100");
    const MtiIndex index(def->messages);
    EXPECT_EQ(index.Find("01000"), MsgTable::kNone);
    EXPECT_EQ(index.Find("0100"), 3);
    EXPECT_EQ(index.Find(nullptr), MsgTable::kNone);
}

}  // namespace
