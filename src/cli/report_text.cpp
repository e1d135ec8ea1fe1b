#include "cli/report_text.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "cli/text_window.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#define ISO_TEXT_SSE2 1
#endif

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
// The only verdict that quotes the message: the MTI that has no message definition.
constexpr std::string_view kUnknownMessage = "Unknown message ";

// How many characters each byte of a message takes: 1 as it is, 2 for "\\", 4 for \xHH.
constexpr std::array<std::uint8_t, 256> kMessageWidth = [] {
    std::array<std::uint8_t, 256> width{};
    for (int c = 0; c < 256; ++c)
        width[static_cast<std::size_t>(c)] = c == '\\' ? 2 : c >= 0x20 && c <= 0x7E ? 1 : 4;
    return width;
}();

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// How many bytes from bytes[0] are shown as they are, at most size: sixteen at a time where
// every x86-64 processor can (SSE2), a byte at a time after.
std::size_t ShownRun(const char* bytes, std::size_t size) noexcept {
    std::size_t i = 0;
#ifdef ISO_TEXT_SSE2
    const auto escaped = [](__m128i v) {
        // Signed, bytes from 0x80 are below 0x20 too.
        return _mm_movemask_epi8(
            _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')))));
    };
    for (; i + 16 <= size; i += 16) {
        const int found = escaped(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
        if (found != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
        }
    }
    // The last bytes through a copy padded with letters, which are shown as they are: no
    // read past the end.
    if (i < size) {
        char last[16];
        std::memset(last, 'a', sizeof last);
        std::memcpy(last, bytes + i, size - i);
        const int found = escaped(_mm_loadu_si128(reinterpret_cast<const __m128i*>(last)));
        return found != 0
                   ? i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)))
                   : size;
    }
#endif
    while (i < size && kMessageWidth[static_cast<unsigned char>(bytes[i])] == 1)
        ++i;
    return i;
}

char* PutEscape(char* out, unsigned char c) noexcept {
    out[0] = '\\';
    out[1] = 'x';
    out[2] = kDigits[c >> 4];
    out[3] = kDigits[c & 15];
    return out + 4;
}

}  // namespace

char* PutMessageText(char* out, std::string_view bytes) noexcept {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t shown = ShownRun(bytes.data() + i, bytes.size() - i);
        out = Put(out, bytes.substr(i, shown));
        i += shown;
        if (i == bytes.size()) break;
        const auto c = static_cast<unsigned char>(bytes[i++]);
        if (c == '\\') {
            *out++ = '\\';
            *out++ = '\\';
        } else {
            out = PutEscape(out, c);
        }
    }
    return out;
}

char* PutDefinitionText(char* out, std::string_view text) noexcept {
    for (char b : text) {
        const auto c = static_cast<unsigned char>(b);
        if (IsControl(c)) {
            out = PutEscape(out, c);
        } else {
            *out++ = b;
        }
    }
    return out;
}

void AppendMessageText(std::string& out, std::string_view bytes) {
    const std::size_t size = out.size();
    out.resize(size + 4 * bytes.size());
    out.resize(static_cast<std::size_t>(PutMessageText(out.data() + size, bytes) - out.data()));
}

std::size_t MessageTextWidth(std::string_view bytes) {
    std::size_t width = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t shown = ShownRun(bytes.data() + i, bytes.size() - i);
        width += shown;
        i += shown;
        if (i < bytes.size()) width += kMessageWidth[static_cast<unsigned char>(bytes[i++])];
    }
    return width;
}

void AppendDefinitionText(std::string& out, std::string_view text) {
    const std::size_t size = out.size();
    out.resize(size + 4 * text.size());
    out.resize(static_cast<std::size_t>(PutDefinitionText(out.data() + size, text) - out.data()));
}

std::size_t VerdictQuoteStart(std::string_view verdict) noexcept {
    return verdict.substr(0, kUnknownMessage.size()) == kUnknownMessage ? kUnknownMessage.size()
                                                                        : verdict.size();
}

char* PutVerdict(char* out, std::string_view verdict) noexcept {
    const std::size_t quote = VerdictQuoteStart(verdict);
    return PutMessageText(PutDefinitionText(out, verdict.substr(0, quote)), verdict.substr(quote));
}

void AppendVerdict(std::string& out, std::string_view verdict) {
    const std::size_t size = out.size();
    out.resize(size + 4 * verdict.size());
    out.resize(static_cast<std::size_t>(PutVerdict(out.data() + size, verdict) - out.data()));
}

void AppendNumber(std::string& out, long number, std::size_t width) {
    char digits[24];
    const auto size = static_cast<std::size_t>(PutAnyNumber(digits, number, 0) - digits);
    if (size < width) out.append(width - size, ' ');
    out.append(digits, size);
}
