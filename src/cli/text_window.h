// Writing at the end of a report's text through a pointer. Room is made ahead, a block at a
// time, so that a write is a check and a copy rather than a call for each piece: the reports
// write hundreds of pieces a message. The text holds what was written once the window closes
// when it goes; nothing else may change the text while it is open.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

class TextWindow {
  public:
    explicit TextWindow(std::string& text) : text(text), at(text.data() + text.size()), end(at) {}
    ~TextWindow() { text.resize(static_cast<std::size_t>(at - text.data())); }
    TextWindow(const TextWindow&) = delete;
    TextWindow& operator=(const TextWindow&) = delete;

    // Where the next characters go, with room for at least n of them; Commit(p) once they are
    // written up to p.
    char* Room(std::size_t n) {
        if (static_cast<std::size_t>(end - at) < n) Grow(n);
        return at;
    }
    void Commit(char* written) noexcept { at = written; }

  private:
    // Below the size at which memset turns to "rep stosb", which profilers count a byte at a
    // time; the clearing a resize does costs the same either way.
    static constexpr std::size_t kBlock = 1024;

    void Grow(std::size_t n);

    std::string& text;
    char* at;
    char* end;
};

// Most pieces are a few characters: those are copied in two moves that may overlap, not by a
// call.
inline char* Put(char* out, std::string_view text) noexcept {
    const char* from = text.data();
    const std::size_t n = text.size();
    if (n > 16) {
        std::memcpy(out, from, n);
    } else if (n >= 8) {
        std::memcpy(out, from, 8);
        std::memcpy(out + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, from, 4);
        std::memcpy(out + n - 4, from + n - 4, 4);
    } else if (n > 0) {
        out[0] = from[0];
        out[n / 2] = from[n / 2];
        out[n - 1] = from[n - 1];
    }
    return out + n;
}

inline char* PutSpaces(char* out, std::size_t count) noexcept {
    std::memset(out, ' ', count);
    return out + count;
}

// Any number the way PutNumber writes it.
char* PutAnyNumber(char* out, long number, std::size_t width) noexcept;

inline constexpr char kDecimalPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A number in decimal, right-aligned in width characters (printf's "%*ld"): at most
// max(width, 20) characters, and room for 20 is written to. Lengths, offsets and counts, short
// and not negative, are written in place behind blanks.
inline char* PutNumber(char* out, long number, std::size_t width = 0) noexcept {
    if (number < 0 || number >= 100000000 || width > 8) return PutAnyNumber(out, number, width);
    auto magnitude = static_cast<unsigned>(number);
    const std::size_t digits = magnitude < 10         ? 1
                               : magnitude < 100      ? 2
                               : magnitude < 1000     ? 3
                               : magnitude < 10000    ? 4
                               : magnitude < 100000   ? 5
                               : magnitude < 1000000  ? 6
                               : magnitude < 10000000 ? 7
                                                      : 8;
    std::memset(out, ' ', 8);
    char* const end = out + (width > digits ? width : digits);
    char* p = end;
    while (magnitude >= 100) {
        p -= 2;
        std::memcpy(p, kDecimalPairs + 2 * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        std::memcpy(p - 2, kDecimalPairs + 2 * magnitude, 2);
    } else {
        p[-1] = static_cast<char>('0' + magnitude);
    }
    return end;
}
