#include "encode/tlv_parts.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// As the reader walks the data (content/tlv.cpp), without keeping the objects: a fault leaves
// its text in reason.
bool WalkLevel(const std::uint8_t* data, long pos, long end, int depth, std::string& reason) {
    auto fail = [&](const char* what, long at) {
        reason = std::string(what) + " at byte " + std::to_string(at);
        return false;
    };
    while (pos < end) {
        if (data[pos] == 0x00) {
            ++pos;
            continue;
        }
        const long start = pos;
        const std::uint8_t first = data[pos++];
        int tagSize = 1;
        if ((first & 0x1F) == 0x1F) {
            std::uint8_t byte = 0;
            do {
                if (pos >= end) return fail("tag runs past the end", start);
                if (tagSize == kTlvMaxTagBytes) return fail("tag longer than 4 bytes", start);
                byte = data[pos++];
                ++tagSize;
            } while ((byte & 0x80) != 0);
        }
        if (pos >= end) return fail("length missing", pos);
        const long at = pos;
        const std::uint8_t form = data[pos++];
        long length = form;
        if (form == 0x80) return fail("indefinite length", at);
        if (form > 0x80 + kTlvMaxLengthBytes) return fail("length of more than 4 bytes", at);
        if (form > 0x80) {
            const int n = form - 0x80;
            if (pos + n > end) return fail("length bytes run past the end", at);
            length = 0;
            for (int i = 0; i < n; ++i)
                length = length << 8 | data[pos++];
        }
        if (length > end - pos) return fail("length runs past the end", at);
        if ((first & 0x20) != 0 && length > 0) {
            if (depth == kTlvMaxDepth) return fail("nesting deeper than 8 levels", start);
            if (!WalkLevel(data, pos, pos + length, depth + 1, reason)) return false;
        }
        pos += length;
    }
    return true;
}

}  // namespace

bool TlvTagOf(std::string_view id, TlvTag& tag, std::string& reason) {
    tag = TlvTag{};
    const std::size_t size = id.size() / 2;
    bool digits = id.size() % 2 == 0 && size >= 1 && size <= kTlvMaxTagBytes;
    for (std::size_t i = 0; digits && i < id.size(); ++i)
        digits = HexDigitValue(id[i]) >= 0;
    if (!digits) {
        reason = "tag '" + std::string(id) + "' is not 1 to 4 bytes in hexadecimal digits";
        return false;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const int high = HexDigitValue(id[2 * i]);
        const int low = HexDigitValue(id[2 * i + 1]);
        tag.bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
        tag.hex[2 * i] = kHexDigits[high];
        tag.hex[2 * i + 1] = kHexDigits[low];
        tag.value = tag.value << 8 | tag.bytes[i];
    }
    tag.size = static_cast<int>(size);
    const bool more = (tag.bytes[0] & 0x1F) == 0x1F;
    bool fits = tag.bytes[0] != 0x00 && (more ? size >= 2 : size == 1);
    for (std::size_t i = 1; fits && i < size; ++i)
        fits = ((tag.bytes[i] & 0x80) != 0) == (i + 1 < size);
    if (!fits) {
        reason = "tag " + std::string(tag.Hex()) +
                 (tag.bytes[0] == 0x00 ? " begins with 00, which is read as padding"
                  : more ? " does not end where its bytes say (the last without its top bit)"
                         : " is one byte long by its first byte");
        return false;
    }
    return true;
}

int WriteTlvLength(std::uint32_t length, std::uint8_t (&out)[kTlvMaxLengthForm]) noexcept {
    if (length < 0x80) {
        out[0] = static_cast<std::uint8_t>(length);
        return 1;
    }
    int n = 1;
    while (n < kTlvMaxLengthBytes && (length >> (8 * n)) != 0)
        ++n;
    out[0] = static_cast<std::uint8_t>(0x80 + n);
    for (int i = 0; i < n; ++i)
        out[1 + i] = static_cast<std::uint8_t>(length >> (8 * (n - 1 - i)));
    return 1 + n;
}

bool ReadsAsDataObjects(const std::uint8_t* data, int size, int depth, std::string& reason) {
    return WalkLevel(data, 0, size, depth, reason);
}
