// Messages written as hexdumps: xxd, hexdump -C, od -A x -t x1z, jPOS, Wireshark's "Copy as
// Hex Dump". Rows are fed one at a time; the character column is never read as data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class HexdumpAssembler {
  public:
    enum class Step {
        kTaken,     // the row belongs to the message
        kNewStart,  // the offset went back to 0: the message ended before this row
        kBad,       // not a row of this dump
    };

    explicit HexdumpAssembler(std::vector<std::uint8_t>& out) : bytes(out) {}

    // Whether line opens a hexdump: an offset of 0 written with a ':' or four digits or more,
    // followed by data.
    static bool Opens(std::string_view line);

    void Start();
    Step Feed(std::string_view line);
    // Ends the message; false when its rows do not add up.
    bool Finish();

  private:
    static constexpr int kMaxRow = 64;

    struct Row {
        std::uint64_t offset = 0;
        bool star = false;
        bool offsetOnly = false;
        std::uint8_t data[kMaxRow] = {};
        std::size_t after[kMaxRow] =
            {};  // where the text after each byte's group begins; 0 mid-group
        int count = 0;
        int bar = -1;           // bytes before a '|' or '>' that opens the character column
        std::size_t start = 0;  // where the data begins
        std::string_view line;
    };

    static bool Parse(std::string_view line, Row& row);
    bool Append(const Row& row, int count);
    bool ResolvePending(int count);
    int GuessCount(const Row& row) const;
    bool RepeatUpTo(std::uint64_t offset);

    std::vector<std::uint8_t>& bytes;
    Row pending;
    std::string pendingLine;  // the pending row's text, which outlives the reader's buffer
    Row next;
    bool hasPending = false;
    bool repeating = false;  // a '*' row was seen
    bool ended = false;      // an offset-only row was seen
    std::vector<std::uint8_t> lastRow;
    int width = 16;
    std::size_t base = 0;  // bytes.size() when the message started
};
