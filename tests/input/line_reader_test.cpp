#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Each line as its text (its size when long), or "<overlong>".
std::vector<std::string> ReadAll(std::string text, bool carriageReturnEnds,
                                 std::size_t lineMax = LineReader::kLineMax,
                                 std::size_t block = LineReader::kBlock) {
    std::FILE* stream = fmemopen(text.data(), text.size(), "rb");
    LineReader reader(stream, carriageReturnEnds, lineMax, block);
    std::vector<std::string> lines;
    char* line = nullptr;
    std::size_t size = 0;
    bool overlong = false;
    while (reader.Next(line, size, overlong))
        lines.push_back(overlong     ? "<overlong>"
                        : size <= 64 ? std::string(line, size)
                                     : "<" + std::to_string(size) + " units>");
    std::fclose(stream);
    return lines;
}

using Lines = std::vector<std::string>;

// A line of the limit is whole and a longer one overlong wherever the blocks fall: found in
// one block, or cut by a refill.
TEST(LineReaderTest, FlagsExactlyTheLinesPastTheLimitWhereverTheBlocksFall) {
    const struct {
        const char* text;
        bool carriageReturnEnds;
        std::size_t block;
        Lines lines;
    } cases[] = {
        {"abcd\nabcde\nab", false, 64, {"abcd", "<overlong>", "ab"}},
        {"abcd\nabcde\nab", false, 6, {"abcd", "<overlong>", "ab"}},
        {"xy\nabcd\r\nabcde\r\n", false, 6, {"xy", "abcd", "<overlong>"}},
        {"xy\nabcd\r\nabcde\r\n", false, 7, {"xy", "abcd", "<overlong>"}},
        {"abcd\rabcde\rabcd\r\nabcdef", true, 6, {"abcd", "<overlong>", "abcd", "<overlong>"}},
        {"abcd\rabcde\rabcd\r\nabcdef", true, 64, {"abcd", "<overlong>", "abcd", "<overlong>"}},
        {"abc\r\r\nabcde", false, 6, {"abc\r", "<overlong>"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadAll(c.text, c.carriageReturnEnds, 4, c.block), c.lines)
            << c.text << " in blocks of " << c.block;
}

TEST(LineReaderTest, FlagsLinesPastTheLimitWithTheBlocksOfTheTool) {
    const std::size_t max = LineReader::kLineMax;
    // Read whole in the first block.
    EXPECT_EQ(ReadAll(std::string(max + 1, 'a') + "\nb\n", false), (Lines{"<overlong>", "b"}));
    // Filling the first block to its end, the line feed in the next.
    const std::string fill(LineReader::kBlock - max - 1, 'f');
    EXPECT_EQ(ReadAll(fill + "\n" + std::string(max, 'a') + "\nb", false),
              (Lines{"<" + std::to_string(fill.size()) + " units>",
                     "<" + std::to_string(max) + " units>", "b"}));
}

}  // namespace
