#include "cli/message_output.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kLowerDigits[] = "0123456789abcdef";
constexpr std::size_t kDumpRow = 16;

// The largest message each framing's prefix can count.
std::size_t LargestCounted(OutputFraming framing) noexcept {
    switch (framing) {
        case OutputFraming::kLen2:
            return 0xFFFF;
        case OutputFraming::kLen4:
            return 0xFFFFFFFF;
        case OutputFraming::kAscii4:
            return 9999;
        default:
            return static_cast<std::size_t>(-1);
    }
}

constexpr char kUpperDigits[] = "0123456789ABCDEF";

// Upper-case hexadecimal digits of a nibble in each byte of v (every x86-64 has SSE2).
#if defined(__SSE2__)
inline __m128i HexDigits(__m128i v) noexcept {
    const __m128i letter = _mm_cmpgt_epi8(v, _mm_set1_epi8(9));
    return _mm_add_epi8(_mm_add_epi8(v, _mm_set1_epi8('0')),
                        _mm_and_si128(letter, _mm_set1_epi8('A' - '0' - 10)));
}
#endif

// The digits of size bytes into out, two a byte: a message's hex line is most of what `build`
// writes, 16 bytes at a time where the processor allows.
void WriteHex(const std::uint8_t* bytes, std::size_t size, char* out) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i low = _mm_set1_epi8(0x0F);
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i high = HexDigits(_mm_and_si128(_mm_srli_epi16(v, 4), low));
        const __m128i rest = HexDigits(_mm_and_si128(v, low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(high, rest));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16),
                         _mm_unpackhi_epi8(high, rest));
    }
#endif
    for (; i < size; ++i) {
        out[2 * i] = kUpperDigits[bytes[i] >> 4];
        out[2 * i + 1] = kUpperDigits[bytes[i] & 0x0F];
    }
}

}  // namespace

OutputFraming OutputFramingNamed(std::string_view name) noexcept {
    for (std::size_t i = 0; i < std::size(kOutputFramingNames); ++i) {
        if (kOutputFramingNames[i] == name) return static_cast<OutputFraming>(i);
    }
    return OutputFraming::kHex;
}

MessageOutput::MessageOutput(std::FILE* stream, OutputFraming framing)
    : out(stream), framing(framing) {}

bool MessageOutput::Fits(std::size_t size, std::string& reason) const {
    if (size <= LargestCounted(framing)) return true;
    reason = std::to_string(size) + " units do not fit the length prefix of " +
             std::string(kOutputFramingNames[static_cast<int>(framing)]);
    return false;
}

bool MessageOutput::Write(std::span<const std::uint8_t> units) {
    std::string& text = out.Text();
    const std::size_t size = units.size();
    switch (framing) {
        case OutputFraming::kHex: {
            const std::size_t at = text.size();
            text.resize(at + 2 * size + 1);
            WriteHex(units.data(), size, text.data() + at);
            text.back() = '\n';
            break;
        }
        case OutputFraming::kLen4:
            text.push_back(static_cast<char>(size >> 24));
            text.push_back(static_cast<char>(size >> 16));
            [[fallthrough]];
        case OutputFraming::kLen2:
            text.push_back(static_cast<char>(size >> 8));
            text.push_back(static_cast<char>(size));
            text.append(reinterpret_cast<const char*>(units.data()), size);
            break;
        case OutputFraming::kAscii4:
            for (std::size_t scale = 1000; scale > 0; scale /= 10)
                text.push_back(static_cast<char>('0' + size / scale % 10));
            text.append(reinterpret_cast<const char*>(units.data()), size);
            break;
        case OutputFraming::kRaw:
            text.append(reinterpret_cast<const char*>(units.data()), size);
            break;
        case OutputFraming::kDump:
            Dump(units);
            break;
    }
    first = false;
    return out.FlushIfFull();
}

// xxd's layout: an 8-digit offset, 16 bytes in groups of two, the bytes as characters.
void MessageOutput::Dump(std::span<const std::uint8_t> units) {
    std::string& text = out.Text();
    if (!first) text.push_back('\n');
    for (std::size_t row = 0; row < units.size(); row += kDumpRow) {
        for (int shift = 28; shift >= 0; shift -= 4)
            text.push_back(kLowerDigits[(row >> shift) & 0xF]);
        text.push_back(':');
        const std::size_t count = std::min(kDumpRow, units.size() - row);
        for (std::size_t i = 0; i < kDumpRow; ++i) {
            if (i % 2 == 0) text.push_back(' ');
            if (i < count) {
                text.push_back(kLowerDigits[units[row + i] >> 4]);
                text.push_back(kLowerDigits[units[row + i] & 0xF]);
            } else {
                text.append("  ");
            }
        }
        text.append("  ");
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t b = units[row + i];
            text.push_back(b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.');
        }
        text.push_back('\n');
    }
}
