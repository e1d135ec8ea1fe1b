#include "input/input_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/line_reader.h"
#include "recording_sink.h"

namespace {

// Arrays.toString of a message of 32767 units: one line of six characters a unit.
std::string JavaSignedList(std::size_t units) {
    std::string list = "[-128";
    for (std::size_t i = 1; i < units; ++i)
        list += ", -128";
    return list + "]\n";
}

// Plain hexadecimal digits, 64 a line.
std::string PlainHex(std::size_t units) {
    std::string hex;
    for (std::size_t i = 0; i < units; ++i)
        hex += i % 32 == 31 ? "30\n" : "30";
    return hex + "\n\n";
}

TEST(InputDumpTest, ReadsALiteralOfTheLongestMessageOnOneLineWhereverItLies) {
    const std::string list = JavaSignedList(32767);
    ASSERT_GT(list.size(), LineReader::kLineMax);
    for (const std::string& dump : {list, PlainHex(32767) + list, list + "\n" + list}) {
        const std::vector<std::string> got = ReadText(dump, ReadDump);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back(), "=32767 units \x80..\x80") << got.back().substr(0, 80);
    }
}

}  // namespace
