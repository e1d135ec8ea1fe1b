// Lines of a stream read in large blocks, for the line-based input framings.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

// A line longer than kLineMax cannot be a message of 32767 units in any framing; it is
// skipped unstored so that memory stays flat.
class LineReader {
  public:
    static constexpr std::size_t kLineMax = 1 << 17;

    // A lone carriage return ends a line too when carriageReturnEnds; otherwise it is part of
    // the line unless a line feed follows it.
    explicit LineReader(std::FILE* stream, bool carriageReturnEnds = false)
        : file(stream), buffer(kBlock + 1), carriageReturnEnds(carriageReturnEnds) {}

    // The next line without its line end (a carriage return before a line feed included); the text
    // is writable and may be NUL-terminated in place at line[size]. False at the end or on error.
    bool Next(char*& line, std::size_t& size, bool& overlong);

    // The error number of a failed read, 0 otherwise.
    int Error() const { return error; }

  private:
    static constexpr std::size_t kBlock = 1 << 18;

    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

    std::size_t Find(char c) const;  // where c next occurs at or after begin, else end
    bool TakeLast(char*& line, std::size_t& size, bool& overlong);
    void Refill();

    std::FILE* file;
    std::vector<char> buffer;  // one spare byte for a NUL after the last line
    std::size_t begin = 0;
    std::size_t end = 0;
    bool skipping = false;
    bool atEnd = false;
    int error = 0;
    bool carriageReturnEnds;
    bool afterCarriage = false;  // the last line ended at a carriage return
    // Where the next line feed and carriage return lie, or end when there is none before it.
    std::size_t feed = kUnknown;
    std::size_t carriage = kUnknown;
};
