#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "../model/pro_text_io.h"
#include "diagnose/diagnoser.h"
#include "diagnose/reading_words.h"

namespace {

// A text dialect: field 3 is six digits, and only 0800 and 0810 are known.
const std::string kText =
    "NAME= Ranking\n"
    "MTI_Enc= CHAR\nBMP_Enc= HEX\nLEN_Enc= CHAR\nNUM_Enc= CHAR\nCHR_Enc= ASCII\nBIN_Enc= HEX\n"
    "FIELD=   3;    N;   6; 0; N; Processing code\n"
    "MSG=0800;00000000000000000000000000000000;FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF;Network\n"
    "MSG=0810;00000000000000000000000000000000;FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF;Network response\n";

Diagnosis Diagnosed(const std::string& message) {
    auto def = std::make_unique<ProtocolDef>();
    def->Reset();
    LoadProText(kText, *def);
    AutoBuff buffer;
    EXPECT_TRUE(buffer.Reserve(static_cast<int>(message.size()) + 1, false));
    std::memcpy(buffer.Data(), message.data(), message.size());
    buffer.SetLength(static_cast<int>(message.size()));
    buffer.Terminate();
    return DiagnoseMessage(buffer, 0, *def);
}

struct RankCase {
    const char* name;
    std::string message;
    bool unknownListed;  // whether a reading with an unknown MTI may be listed
    std::string first;   // the first reading's words; empty when there is none
};

void PrintTo(const RankCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadingRank : public testing::TestWithParam<RankCase> {};

// A reading whose MTI is unknown is listed only for a message whose own MTI is unknown, and
// never above one whose MTI is known.
TEST_P(ReadingRank, UnknownMtisOnlyForUnknownMessagesAndNeverFirst) {
    const RankCase& c = GetParam();
    const Diagnosis d = Diagnosed(c.message);
    EXPECT_FALSE(d.ok);
    bool unknownSeen = false;
    for (const Reading& reading : d.readings) {
        if (!reading.knownMti) {
            EXPECT_TRUE(c.unknownListed) << ReadingWords(reading);
            unknownSeen = true;
        } else {
            EXPECT_FALSE(unknownSeen) << "known below unknown: " << ReadingWords(reading);
        }
    }
    if (c.first.empty()) {
        EXPECT_TRUE(d.readings.empty()) << ReadingWords(d.readings.front());
    } else {
        ASSERT_FALSE(d.readings.empty());
        EXPECT_EQ(ReadingWords(d.readings.front()), c.first);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, ReadingRank,
    testing::Values(
        // Field 3 cut short: a header of one unit reads "8002" as the MTI and decodes exactly,
        // but 0800 is known and 8002 is not.
        RankCase{"OneUnitHeaderTurningAKnownMtiUnknown",
                 "0800"
                 "2000000000000000"
                 "0",
                 false, ""},
        // The same units behind an MTI that is unknown itself: the reading is worth listing.
        RankCase{"UnknownMessageKeepsUnknownReadings",
                 "0900"
                 "2000000000000000"
                 "0",
                 true,
                 "a header of 1 unit (30), then decodes exactly as 9002 with the verdict "
                 "\"Unknown message 9002\""},
        // A reading that passes comes before any that decodes exactly with an unknown MTI.
        RankCase{"PassingReadingFirst",
                 "X0800"
                 "2000000000000000"
                 "000000",
                 true, "a header of 1 unit (58), then passes as 0800"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
