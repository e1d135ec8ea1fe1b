#include "cli/json_writer.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#define ISO_JSON_SSE2 1
#endif

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes written as they are: printable ASCII and DEL, all but '"' and '\'.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    return plain;
}();

// The escape of '"', '\\' or a control character.
char* PutEscape(char* out, std::uint8_t c) noexcept {
    out[0] = '\\';
    switch (c) {
        case '"':
        case '\\':
            out[1] = static_cast<char>(c);
            return out + 2;
        case '\b':
            out[1] = 'b';
            return out + 2;
        case '\f':
            out[1] = 'f';
            return out + 2;
        case '\n':
            out[1] = 'n';
            return out + 2;
        case '\r':
            out[1] = 'r';
            return out + 2;
        case '\t':
            out[1] = 't';
            return out + 2;
        default:
            out[1] = 'u';
            out[2] = '0';
            out[3] = '0';
            out[4] = kHexDigits[c >> 4];
            out[5] = kHexDigits[c & 15];
            return out + 6;
    }
}

// The bytes a well-formed UTF-8 sequence that starts with lead takes (0 for a byte that starts
// none), and the range of its second byte: the rest lie in 80..BF.
struct Lead {
    int length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
};

Lead LeadOf(std::uint8_t c) noexcept {
    if (c >= 0xC2 && c <= 0xDF) return {2};
    if (c == 0xE0) return {3, 0xA0, 0xBF};  // no overlong form
    if (c == 0xED) return {3, 0x80, 0x9F};  // no surrogate
    if (c >= 0xE1 && c <= 0xEF) return {3};
    if (c == 0xF0) return {4, 0x90, 0xBF};
    if (c == 0xF4) return {4, 0x80, 0x8F};  // nothing past U+10FFFF
    if (c >= 0xF1 && c <= 0xF3) return {4};
    return {};
}

// Writes the UTF-8 sequence at text[i], or U+FFFD for as much of it as is well formed, and
// moves out past it; the bytes it takes. A byte that breaks a sequence off is not taken: it may
// start the next one.
std::size_t PutSequence(char*& out, std::string_view text, std::size_t i) noexcept {
    const Lead lead = LeadOf(static_cast<std::uint8_t>(text[i]));
    if (lead.length == 0) {
        out = Put(out, kReplacement);
        return 1;
    }
    for (int k = 1; k < lead.length; ++k) {
        if (i + k >= text.size()) {
            out = Put(out, kReplacement);
            return text.size() - i;
        }
        const auto c = static_cast<std::uint8_t>(text[i + k]);
        const std::uint8_t low = k == 1 ? lead.low : 0x80;
        const std::uint8_t high = k == 1 ? lead.high : 0xBF;
        if (c < low || c > high) {
            out = Put(out, kReplacement);
            return static_cast<std::size_t>(k);
        }
    }
    out = Put(out, text.substr(i, static_cast<std::size_t>(lead.length)));
    return static_cast<std::size_t>(lead.length);
}

// How many bytes from bytes[0] are written as they are, at most size: sixteen at a time where
// every x86-64 processor can (SSE2), a byte at a time after.
std::size_t PlainRun(const char* bytes, std::size_t size) noexcept {
    std::size_t i = 0;
#ifdef ISO_JSON_SSE2
    const auto special = [](__m128i v) {
        // Signed, bytes from 0x80 are below 0x20 too: UTF-8 takes the slow way.
        return _mm_movemask_epi8(
            _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')))));
    };
    for (; i + 16 <= size; i += 16) {
        const int found = special(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
        if (found != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
        }
    }
    // The last bytes through a copy padded with letters, which are plain: no read past the end.
    if (i < size) {
        char last[16];
        std::memset(last, 'a', sizeof last);
        std::memcpy(last, bytes + i, size - i);
        const int found = special(_mm_loadu_si128(reinterpret_cast<const __m128i*>(last)));
        return found != 0
                   ? i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)))
                   : size;
    }
#endif
    while (i < size && kPlain[static_cast<std::uint8_t>(bytes[i])])
        ++i;
    return i;
}

}  // namespace

char* PutJsonString(char* out, std::string_view text) noexcept {
    *out++ = '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t plain = PlainRun(text.data() + i, text.size() - i);
        out = Put(out, text.substr(i, plain));
        i += plain;
        if (i == text.size()) break;
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (c < 0x80) {
            out = PutEscape(out, c);
            ++i;
        } else {
            i += PutSequence(out, text, i);
        }
    }
    *out++ = '"';
    return out;
}

char* PutJsonMessageString(char* out, std::string_view lead, std::string_view bytes) noexcept {
    out = PutJsonString(out, lead) - 1;  // its closing quote is the message's to write
    for (char b : bytes) {
        const auto c = static_cast<std::uint8_t>(b);
        if (c < 0x20 || c >= 0x7F) {
            // Each unit on its own, the same way whatever it is: a message's bytes are no UTF-8.
            out = Put(out, "\\u00");
            *out++ = kHexDigits[c >> 4];
            *out++ = kHexDigits[c & 15];
        } else if (kPlain[c]) {
            *out++ = b;
        } else {
            out = PutEscape(out, c);
        }
    }
    *out++ = '"';
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    const std::size_t size = out.size();
    out.resize(size + JsonStringRoom(text.size()));
    out.resize(static_cast<std::size_t>(PutJsonString(out.data() + size, text) - out.data()));
}
