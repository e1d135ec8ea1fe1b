#include "support/text.h"

#include <array>
#include <cstring>

namespace {

using Byte = unsigned char;

// Windows-1252 bytes 0x80 to 0x9F; the five bytes it leaves undefined pass through as the C1
// controls of the same value, as the system's own converter does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr bool IsControlOrSpace(Byte c) noexcept {
    return (c >= 0x01 && c <= 0x20) || c == 0x7F;
}

constexpr bool IsBlank1252(Byte c) noexcept {
    switch (c) {
        case 0x81:
        case 0x8D:
        case 0x8F:
        case 0x90:
        case 0x9D:
        case 0xA0:
        case 0xAD:
            return true;
        default:
            return IsControlOrSpace(c);
    }
}

// Bytes with no printable 7-bit look-alike in Windows-1252; what is kept can still be
// recognised as a (wrong) digit by the user, what is dropped cannot.
constexpr bool IsUnprintable(Byte c) noexcept {
    if (c >= 0x01 && c <= 0x20) return true;
    if (c <= 0x7E || c >= 0xC0) return false;
    switch (c) {
        case 0x8A:
        case 0x8C:
        case 0x8E:
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:
        case 0xA1:
        case 0xA6:
        case 0xAB:
        case 0xBB:
        case 0xBF:
            return false;
        default:
            return true;
    }
}

bool IsBlankCodePoint(std::uint32_t cp) noexcept {
    return (cp >= 0x01 && cp <= 0x20) || (cp >= 0x7F && cp <= 0xA0) || cp == 0xAD;
}

// Byte classes as tables: the normalisers run over every pasted hex message.
using ByteClass = std::array<bool, 256>;

template <typename Predicate>
constexpr ByteClass MakeByteClass(Predicate predicate) noexcept {
    ByteClass table{};
    for (int c = 0; c < 256; ++c)
        table[c] = predicate(static_cast<Byte>(c));
    return table;
}

constexpr ByteClass kControlOrSpace = MakeByteClass(IsControlOrSpace);
constexpr ByteClass kBlank1252 = MakeByteClass(IsBlank1252);
constexpr ByteClass kUnprintable = MakeByteClass(IsUnprintable);

// One pass, single-byte units: each run of blank bytes becomes one space, none at the ends.
int CollapseBytes(char* text, const ByteClass& isBlank) noexcept {
    if (text == nullptr) return 0;
    char* w = text;
    for (const char* r = text; *r != '\0'; ++r) {
        if (!isBlank[static_cast<Byte>(*r)]) {
            *w++ = *r;
        } else if (w != text && w[-1] != ' ') {
            *w++ = ' ';
        }
    }
    if (w != text && w[-1] == ' ') --w;
    *w = '\0';
    return static_cast<int>(w - text);
}

bool IsContinuation(Byte c) noexcept {
    return (c & 0xC0) == 0x80;
}

// Length of the sequence announced by a lead byte, 0 when c does not start one.
int SequenceLength(Byte c) noexcept {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 0;
}

constexpr std::array<std::int8_t, 256> MakeHexDigitValues() noexcept {
    std::array<std::int8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            table[c] = static_cast<std::int8_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            table[c] = static_cast<std::int8_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            table[c] = static_cast<std::int8_t>(c - 'A' + 10);
        else
            table[c] = -1;
    }
    return table;
}

constexpr auto kHexDigitValues = MakeHexDigitValues();

int HexDigitValue(char c) noexcept {
    return kHexDigitValues[static_cast<Byte>(c)];
}

}  // namespace

int CollapseBlanks(char* text) noexcept {
    return CollapseBytes(text, kControlOrSpace);
}

int CollapseBlanks1252(char* text) noexcept {
    return CollapseBytes(text, kBlank1252);
}

bool IsUnprintableByte(unsigned char c) noexcept {
    return kUnprintable[c];
}

int CollapseUnprintable(char* text) noexcept {
    return CollapseBytes(text, kUnprintable);
}

int CollapseBlanksUtf8(char* text) noexcept {
    if (text == nullptr) return 0;
    char* w = text;
    const char* r = text;
    std::uint32_t cp = 0;
    // An invalid sequence ends the text: what follows it cannot be trusted to be UTF-8.
    for (int len; (len = DecodeUtf8(r, &cp)) > 0; r += len) {
        if (!IsBlankCodePoint(cp)) {
            std::memmove(w, r, static_cast<std::size_t>(len));
            w += len;
        } else if (w != text && w[-1] != ' ') {
            *w++ = ' ';
        }
    }
    if (w != text && w[-1] == ' ') --w;
    *w = '\0';
    return static_cast<int>(w - text);
}

char* TrimSpaces(char* text) noexcept {
    if (text == nullptr) return nullptr;
    std::size_t end = std::strlen(text);
    while (end > 0 && text[end - 1] == ' ')
        --end;
    text[end] = '\0';
    std::size_t lead = 0;
    while (text[lead] == ' ')
        ++lead;
    if (lead > 0) std::memmove(text, text + lead, end - lead + 1);
    return text;
}

int DecodeUtf8(const char* p, std::uint32_t* codePoint) noexcept {
    if (p == nullptr) return 0;
    const auto* b = reinterpret_cast<const Byte*>(p);
    const int len = SequenceLength(b[0]);
    if (len == 0) return -2;
    static constexpr Byte kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::uint32_t cp = b[0] & kLeadBits[len];
    // Short-circuits at the first byte that is not a continuation, so never reads past a NUL.
    for (int i = 1; i < len; ++i) {
        if (!IsContinuation(b[i])) return -3;
        cp = (cp << 6) | (b[i] & 0x3Fu);
    }
    if (cp < kSmallest[len]) return -4;
    if (codePoint != nullptr) *codePoint = cp;
    return b[0] == 0 ? 0 : len;
}

int HexPairValue(const char* p) noexcept {
    const int hi = HexDigitValue(p[0]);
    if (hi < 0) return -1;
    const int lo = HexDigitValue(p[1]);
    if (lo < 0) return -1;
    return hi * 16 + lo;
}

int EncodeHex(int n, int room, char* out, const std::uint8_t* in) noexcept {
    if (in == nullptr || out == nullptr || n < 1 || room / 2 < n) return 0;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < n; ++i) {
        out[2 * i] = kDigits[in[i] >> 4];
        out[2 * i + 1] = kDigits[in[i] & 0x0F];
    }
    if (room > 2 * n) out[2 * n] = '\0';
    return 2 * n;
}

int DecodeHexScalar(int m, std::uint8_t* out, const char* in, int room) noexcept {
    if (out == nullptr || in == nullptr || m < 2 || m % 2 != 0 || room < m / 2) return 0;
    const int count = m / 2;
    for (int i = 0; i < count; ++i) {
        const int value = HexPairValue(in + 2 * i);
        if (value < 0) return 0;
        out[i] = static_cast<std::uint8_t>(value);
    }
    if (room > count) out[count] = 0;
    return count;
}

void CopyTextCut(char* dst, std::size_t size, const char* src) noexcept {
    if (dst == nullptr || size == 0) return;
    if (src == nullptr) src = "";
    std::size_t n = 0;
    while (n < size - 1 && src[n] != '\0')
        ++n;
    // When the cut falls inside a multi-byte sequence, drop the whole sequence. Look back at
    // most three bytes so that a text that is not UTF-8 loses nothing more than before.
    if (IsContinuation(static_cast<Byte>(src[n]))) {
        for (std::size_t k = n; k > 0 && n - k < 3; --k) {
            const auto c = static_cast<Byte>(src[k - 1]);
            if (IsContinuation(c)) continue;
            const int len = SequenceLength(c);
            if (len > 1 && k - 1 + static_cast<std::size_t>(len) > n) n = k - 1;
            break;
        }
    }
    std::memmove(dst, src, n);
    dst[n] = '\0';
}

char16_t Cp1252ToWide(std::uint8_t b) noexcept {
    return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

// No default character is asked for, so an unmappable character becomes the system's '?'.
std::uint8_t WideToCp1252(char16_t w) noexcept {
    if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) return static_cast<std::uint8_t>(w);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == w) return static_cast<std::uint8_t>(0x80 + i);
    }
    return '?';
}

void AssignHex(std::string& hex, const unsigned char* bytes, int count) {
    hex.resize(2 * static_cast<std::size_t>(count));
    if (count > 0) EncodeHex(count, static_cast<int>(hex.size()), hex.data(), bytes);
}

void EscapeUnits(std::string& out, const unsigned char* units, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        const unsigned char c = units[i];
        if (c >= 0x20 && c <= 0x7E) {
            out += static_cast<char>(c);
            continue;
        }
        const char escaped[] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
        out.append(escaped, sizeof escaped);
    }
}
