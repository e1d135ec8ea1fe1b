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

    explicit LineReader(std::FILE* stream) : file(stream), buffer(kBlock + 1) {}

    // The next line without its line feed (and the carriage return before it); the text is
    // writable and may be NUL-terminated in place at line[size]. False at the end or on error.
    bool Next(char*& line, std::size_t& size, bool& overlong);

    // The error number of a failed read, 0 otherwise.
    int Error() const { return error; }

  private:
    static constexpr std::size_t kBlock = 1 << 18;

    bool TakeLast(char*& line, std::size_t& size, bool& overlong);
    void Refill();

    std::FILE* file;
    std::vector<char> buffer;  // one spare byte for a NUL after the last line
    std::size_t begin = 0;
    std::size_t end = 0;
    bool skipping = false;
    bool atEnd = false;
    int error = 0;
};
