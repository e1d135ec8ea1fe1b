// Lines of a stream read in large blocks, for the line-based input framings.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

// A line longer than its limit (kLineMax unless the reader is given another) is flagged
// overlong and skipped unstored, so that memory stays flat. Where it lies among the blocks read
// does not matter: a line of the limit is always whole, a longer one always overlong.
class LineReader {
  public:
    // No line of the lines and hexadecimal lines framings can be a message of 32767 units
    // past this; the dump framing, whose notations take up to a dozen characters a unit, sets
    // its own.
    static constexpr std::size_t kLineMax = 1 << 17;
    static constexpr std::size_t kBlock = 1 << 18;

    // A lone carriage return ends a line too when carriageReturnEnds; otherwise it is part of
    // the line unless a line feed follows it. block is raised to what lineMax needs; it is small
    // in the fuzz target only, so that short inputs reach the refills.
    explicit LineReader(std::FILE* stream, bool carriageReturnEnds = false,
                        std::size_t lineMax = kLineMax, std::size_t block = kBlock)
        : file(stream),
          lineMax(lineMax),
          block(block >= lineMax + 2 ? block : lineMax + 2),
          buffer(new char[this->block + 1]),
          carriageReturnEnds(carriageReturnEnds) {}

    // The next line without its line end (a carriage return before a line feed included); the
    // text is writable and may be NUL-terminated in place at line[size]. An overlong line comes
    // back empty. False at the end or on error.
    bool Next(char*& line, std::size_t& size, bool& overlong);

    // The error number of a failed read, 0 otherwise.
    int Error() const { return error; }

  private:
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

    std::size_t Find(char c) const;  // where c next occurs at or after begin, else end
    bool TakeLast(char*& line, std::size_t& size, bool& overlong);
    void Refill();

    std::FILE* file;
    std::size_t lineMax;
    std::size_t block;
    // One spare byte for a NUL after the last line. Left uninitialised: a reader of a short
    // input touches only the pages it reads into.
    std::unique_ptr<char[]> buffer;
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
