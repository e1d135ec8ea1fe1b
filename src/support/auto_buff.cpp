#include "support/auto_buff.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "support/text.h"

namespace {

constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePage1252 = 1252;
constexpr char16_t kReplacement = 0xFFFD;

// One well-formed UTF-8 sequence at s (n bytes available) into *cp; returns its length, or
// the length of the longest valid start of a sequence (at least 1) with U+FFFD.
int ReadUtf8(const std::uint8_t* s, int n, std::uint32_t* cp) noexcept {
    const std::uint8_t b = s[0];
    if (b < 0x80) {
        *cp = b;
        return 1;
    }
    int need = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        *cp = kReplacement;
        return 1;
    }
    std::uint32_t value = b & (0x3F >> need);
    for (int i = 1; i <= need; ++i) {
        const bool ok = i < n && s[i] >= (i == 1 ? lo : 0x80) && s[i] <= (i == 1 ? hi : 0xBF);
        if (!ok) {
            *cp = kReplacement;
            return i;
        }
        value = (value << 6) | (s[i] & 0x3F);
    }
    *cp = value;
    return need + 1;
}

// Stand-in for MultiByteToWideChar: n bytes of code page cp into room wide characters, or
// with room 0 the number needed. 0 on failure, as with the system call.
int NarrowToWide(int cp, const std::uint8_t* src, int n, char16_t* out, int room) noexcept {
    if (cp != kCodePage1252 && cp != kCodePageUtf8) return 0;
    int w = 0;
    for (int i = 0; i < n;) {
        std::uint32_t c = 0;
        if (cp == kCodePage1252) {
            c = Cp1252ToWide(src[i]);
            ++i;
        } else {
            i += ReadUtf8(src + i, n - i, &c);
        }
        const int units = c > 0xFFFF ? 2 : 1;
        if (room > 0) {
            if (w + units > room) return 0;
            if (units == 2) {
                out[w] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                out[w + 1] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            } else {
                out[w] = static_cast<char16_t>(c);
            }
        }
        w += units;
    }
    return w;
}

// One code point from the UTF-16 at s[*i]; a lone surrogate becomes U+FFFD.
std::uint32_t ReadUtf16(const char16_t* s, int n, int* i) noexcept {
    std::uint32_t c = s[(*i)++];
    if (c >= 0xD800 && c <= 0xDBFF && *i < n && s[*i] >= 0xDC00 && s[*i] <= 0xDFFF) {
        return 0x10000 + ((c - 0xD800) << 10) + (s[(*i)++] - 0xDC00);
    }
    return c >= 0xD800 && c <= 0xDFFF ? kReplacement : c;
}

int WriteUtf8(std::uint32_t c, std::uint8_t* out) noexcept {
    if (c < 0x80) {
        out[0] = static_cast<std::uint8_t>(c);
        return 1;
    }
    const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    for (int k = n - 1; k > 0; --k, c >>= 6)
        out[k] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    out[0] = static_cast<std::uint8_t>((0xF00 >> n) | c);
    return n;
}

// Stand-in for WideCharToMultiByte, with the same room convention.
int WideToNarrow(int cp, const char16_t* src, int n, std::uint8_t* out, int room) noexcept {
    if (cp != kCodePage1252 && cp != kCodePageUtf8) return 0;
    int m = 0;
    for (int i = 0; i < n;) {
        const std::uint32_t c = ReadUtf16(src, n, &i);
        std::uint8_t bytes[4];
        int count = 1;
        if (cp == kCodePageUtf8) {
            count = WriteUtf8(c, bytes);
        } else {
            bytes[0] = c > 0xFFFF ? '?' : WideToCp1252(static_cast<char16_t>(c));
        }
        if (room > 0) {
            if (m + count > room) return 0;
            std::memcpy(out + m, bytes, static_cast<std::size_t>(count));
        }
        m += count;
    }
    return m;
}

}  // namespace

// The narrow character set of this platform is UTF-8.
int AnsiCodePage() noexcept {
    return kCodePageUtf8;
}

AutoBuff::~AutoBuff() {
    delete[] data;
}

bool AutoBuff::Reserve(int size, bool keep) noexcept {
    if (size < 1) {
        delete[] data;
        data = nullptr;
        capacity = 0;
        length = 0;
        return true;
    }
    if (size == capacity) return true;
    if (size > maxCapacity) return false;
    auto* fresh = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)];
    if (fresh == nullptr) return false;
    if (data != nullptr) {
        if (keep && length > 0) {
            length = length < size ? length : size;
            std::memcpy(fresh, data, static_cast<std::size_t>(length));
        } else {
            length = 0;
        }
        delete[] data;
    }
    data = fresh;
    capacity = size;
    return true;
}

const char* AutoBuff::Text() const noexcept {
    return length > 0 ? reinterpret_cast<const char*>(data) : "";
}

bool AutoBuff::Format(const char* format, ...) noexcept {
    if (format == nullptr) return false;
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    bool ok = false;
    if (n >= 1 && Reserve(n + 1, false)) {
        const int count = std::vsnprintf(reinterpret_cast<char*>(data),
                                         static_cast<std::size_t>(capacity), format, again);
        ok = count >= 0 && count < capacity;
        length = ok ? count : 0;
        if (!ok) data[0] = 0;
    }
    va_end(again);
    return ok;
}

bool AutoBuff::ConvertCodePage(bool toUtf8) noexcept {
    return ConvertCodePageAs(AnsiCodePage(), toUtf8);
}

bool AutoBuff::ConvertCodePageAs(int ansiCodePage, bool toUtf8) noexcept {
    if (length < 1) return false;
    if (ansiCodePage == kCodePageUtf8) return true;
    const int source = toUtf8 ? ansiCodePage : kCodePageUtf8;
    const int target = toUtf8 ? kCodePageUtf8 : ansiCodePage;
    const int w = NarrowToWide(source, data, length, nullptr, 0);
    if (w == 0) return false;
    auto* wide = new (std::nothrow) char16_t[static_cast<std::size_t>(w)];
    if (wide == nullptr) return false;
    const int w2 = NarrowToWide(source, data, length, wide, w);
    const int m = WideToNarrow(target, wide, w2, nullptr, 0);
    Clear();
    if (m > 0 && (capacity >= m + 1 || Reserve(m + 1, false))) {
        SetLength(WideToNarrow(target, wide, w2, data, capacity));
        Terminate();
    }
    delete[] wide;
    return length > 0;
}

void AutoBuff::NormaliseBlanks(bool cp1252) noexcept {
    // The normalisers run to the NUL: make sure it lies inside the storage.
    if (data == nullptr || !Terminate()) return;
    char* text = reinterpret_cast<char*>(data);
    SetLength(cp1252 ? CollapseBlanks1252(text) : CollapseBlanksUtf8(text));
    Terminate();
}

bool AutoBuff::SetFromFieldMask(const FieldMask& mask) noexcept {
    constexpr int kDigits = 2 * static_cast<int>(sizeof(FieldMask));
    Clear();
    if (capacity < kDigits + 1) {
        if (maxCapacity < kDigits + 1 || !Reserve(kDigits + 1, false)) return false;
    }
    EncodeHex(static_cast<int>(mask.size()), capacity, reinterpret_cast<char*>(data), mask.data());
    length = kDigits;
    return Terminate();
}

int AutoBuff::SetHexOf(const AutoBuff& source) noexcept {
    Clear();
    const int need = 2 * source.length + 1;
    if (capacity < need && !Reserve(need, true)) return 0;
    const int r = EncodeHex(source.length, capacity, reinterpret_cast<char*>(data),
                            reinterpret_cast<const std::uint8_t*>(source.Text()));
    SetLength(r);
    Terminate();
    return r;
}

int AutoBuff::DecodeHexInPlace() noexcept {
    const int r = DecodeHex(length, data, Text(), capacity);
    SetLength(r);
    Terminate();
    return r;
}
