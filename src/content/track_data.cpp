#include "content/track_data.h"

#include "content/card_number.h"

namespace {

constexpr int kMaxNameChars = 26;

// Reads the value's symbols one by one: characters, or nibbles as hex digits.
class Symbols {
  public:
    Symbols(const std::uint8_t* bytes, int size, bool nibbles) noexcept
        : data(bytes), packed(nibbles), count(bytes == nullptr || size < 0 ? 0 : size) {
        if (packed) count *= 2;
    }
    int Count() const noexcept { return count; }
    char At(int i) const noexcept { return TrackSymbol(data, packed, i); }
    bool Is(int i, char c) const noexcept { return i < count && At(i) == c; }
    bool Digit(int i) const noexcept {
        if (i >= count) return false;
        const char c = At(i);
        return c >= '0' && c <= '9';
    }
    // The digits from i on, at most max of them.
    int Digits(int i, int max) const noexcept {
        int n = 0;
        while (n < max && Digit(i + n))
            ++n;
        return n;
    }

  private:
    const std::uint8_t* data;
    bool packed;
    int count;
};

// The account number at pos, its separator, expiry and service code; pos is left after them.
bool ReadAccount(const Symbols& s, int& pos, char separator, TrackSpan& account) noexcept {
    const int digits = s.Digits(pos, kMaxCardDigits + 1);
    if (digits < 1 || digits > kMaxCardDigits || !s.Is(pos + digits, separator)) return false;
    account = {pos, digits};
    pos += digits + 1;
    return true;
}

bool ReadExpiryAndService(const Symbols& s, int& pos, TrackData& out) noexcept {
    if (s.Digits(pos, 7) != 7) return false;
    out.expiry = {pos, 4};
    out.serviceCode = {pos + 4, 3};
    pos += 7;
    return true;
}

// Discretionary data up to the end, or up to a final end mark (sentinel or pad).
bool ReadDiscretionary(const Symbols& s, int pos, char endMark, bool digitsOnly,
                       TrackData& out) noexcept {
    int end = s.Count();
    if (end > pos && s.At(end - 1) == endMark) --end;
    for (int i = pos; i < end; ++i) {
        const char c = s.At(i);
        if (digitsOnly ? c < '0' || c > '9' : c == endMark || c == '^') return false;
    }
    out.discretionary = {pos, end - pos};
    out.symbols = s.Count();
    return true;
}

}  // namespace

bool ParseTrack2Text(const std::uint8_t* text, int size, TrackData& out) noexcept {
    out = TrackData{};
    out.track = 2;
    const Symbols s(text, size, false);
    int pos = s.Is(0, ';') ? 1 : 0;
    return ReadAccount(s, pos, '=', out.account) && ReadExpiryAndService(s, pos, out) &&
           ReadDiscretionary(s, pos, '?', true, out);
}

bool ParseTrack2Packed(const std::uint8_t* bytes, int size, TrackData& out) noexcept {
    out = TrackData{};
    out.track = 2;
    out.packed = true;
    const Symbols s(bytes, size, true);
    int pos = 0;
    return ReadAccount(s, pos, 'D', out.account) && ReadExpiryAndService(s, pos, out) &&
           ReadDiscretionary(s, pos, 'F', true, out);
}

bool ParseTrack1(const std::uint8_t* text, int size, TrackData& out) noexcept {
    out = TrackData{};
    out.track = 1;
    const Symbols s(text, size, false);
    int pos = s.Is(0, '%') ? 1 : 0;
    if (!s.Is(pos, 'B')) return false;
    ++pos;
    if (!ReadAccount(s, pos, '^', out.account)) return false;
    int name = 0;
    while (pos + name < s.Count() && !s.Is(pos + name, '^') && !s.Is(pos + name, '?'))
        ++name;
    if (name < 2 || name > kMaxNameChars || !s.Is(pos + name, '^')) return false;
    out.name = {pos, name};
    pos += name + 1;
    return ReadExpiryAndService(s, pos, out) && ReadDiscretionary(s, pos, '?', false, out);
}
