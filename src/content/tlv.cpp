#include "content/tlv.h"

#include <charconv>
#include <string_view>

namespace {

struct TlvParse {
    const std::uint8_t* data;
    TlvObject* objects;
    int room;
    int count = 0;
    TlvFailure& failure;
};

bool Fail(TlvParse& parse, TlvFault fault, std::int64_t offset, std::int64_t past = 0) noexcept {
    parse.failure.fault = fault;
    parse.failure.offset = static_cast<std::int32_t>(offset);
    parse.failure.past = past;
    return false;
}

// Reads the tag at pos; pos is left after it.
bool ReadTag(TlvParse& parse, std::int64_t& pos, std::int64_t end, std::uint32_t& tag,
             int& size) noexcept {
    const std::int64_t start = pos;
    std::uint8_t byte = parse.data[pos++];
    tag = byte;
    size = 1;
    if ((byte & 0x1F) != 0x1F) return true;
    do {
        if (pos >= end) return Fail(parse, TlvFault::kTagPastEnd, start);
        if (size == kTlvMaxTagBytes) return Fail(parse, TlvFault::kTagTooLong, start);
        byte = parse.data[pos++];
        tag = tag << 8 | byte;
        ++size;
    } while ((byte & 0x80) != 0);
    return true;
}

// Reads the length at pos; pos is left at the value.
bool ReadLength(TlvParse& parse, std::int64_t& pos, std::int64_t end,
                std::int64_t& length) noexcept {
    if (pos >= end) return Fail(parse, TlvFault::kLengthMissing, pos);
    const std::int64_t at = pos;
    const std::uint8_t first = parse.data[pos++];
    if (first < 0x80) {
        length = first;
    } else if (first == 0x80) {
        return Fail(parse, TlvFault::kIndefiniteLength, at);
    } else if (first > 0x80 + kTlvMaxLengthBytes) {
        return Fail(parse, TlvFault::kLengthTooLong, at);
    } else {
        const int n = first - 0x80;
        if (pos + n > end) return Fail(parse, TlvFault::kLengthBytesPastEnd, at);
        length = 0;
        for (int i = 0; i < n; ++i)
            length = length << 8 | parse.data[pos++];
    }
    if (pos + length > end) return Fail(parse, TlvFault::kValuePastEnd, at, pos + length - end);
    return true;
}

// Recursion is bounded by kTlvMaxDepth.
bool ParseLevel(TlvParse& parse, std::int64_t pos, std::int64_t end, int depth,
                int parent) noexcept {
    while (pos < end) {
        if (parse.data[pos] == 0x00) {
            ++pos;
            continue;
        }
        const std::int64_t start = pos;
        std::uint32_t tag = 0;
        int tagSize = 0;
        std::int64_t length = 0;
        if (!ReadTag(parse, pos, end, tag, tagSize) || !ReadLength(parse, pos, end, length)) {
            return false;
        }
        if (parse.count >= parse.room) return Fail(parse, TlvFault::kNoRoom, start);
        const int index = parse.count++;
        TlvObject& object = parse.objects[index];
        object.tag = tag;
        object.tagSize = static_cast<std::uint8_t>(tagSize);
        object.offset = static_cast<std::int32_t>(start);
        object.valueOffset = static_cast<std::int32_t>(pos);
        object.length = static_cast<std::int32_t>(length);
        object.parent = parent;
        object.depth = static_cast<std::uint8_t>(depth);
        object.constructed = IsConstructedTag(tag, tagSize);
        if (object.constructed && length > 0) {
            if (depth == kTlvMaxDepth) return Fail(parse, TlvFault::kTooDeep, start);
            if (!ParseLevel(parse, pos, pos + length, depth + 1, index)) return false;
        }
        parse.objects[index].end = parse.count;
        pos += length;
    }
    return true;
}

const char* FaultText(TlvFault fault) noexcept {
    switch (fault) {
        case TlvFault::kNone:
            return "no fault";
        case TlvFault::kNoDataObject:
            return "no data object";
        case TlvFault::kTagPastEnd:
            return "tag runs past the end";
        case TlvFault::kTagTooLong:
            return "tag longer than 4 bytes";
        case TlvFault::kLengthMissing:
            return "length missing";
        case TlvFault::kIndefiniteLength:
            return "indefinite length";
        case TlvFault::kLengthTooLong:
            return "length of more than 4 bytes";
        case TlvFault::kLengthBytesPastEnd:
            return "length bytes run past the end";
        case TlvFault::kValuePastEnd:
            return "length runs past the end";
        case TlvFault::kTooDeep:
            return "nesting deeper than 8 levels";
        case TlvFault::kNoRoom:
            return "more data objects than room";
    }
    return "unknown fault";
}

}  // namespace

bool IsConstructedTag(std::uint32_t tag, int tagSize) noexcept {
    if (tagSize < 1 || tagSize > kTlvMaxTagBytes) return false;
    return ((tag >> (8 * (tagSize - 1))) & 0x20) != 0;
}

int ParseTlv(const std::uint8_t* data, int size, TlvObject* objects, int room,
             TlvFailure& failure) noexcept {
    failure = TlvFailure{};
    TlvParse parse{data, objects, objects != nullptr && room > 0 ? room : 0, 0, failure};
    if (data == nullptr || size < 0) size = 0;
    if (!ParseLevel(parse, 0, size, 1, -1)) return -1;
    if (parse.count == 0) {
        Fail(parse, TlvFault::kNoDataObject, 0);
        return -1;
    }
    return parse.count;
}

namespace {

// Text written as snprintf writes it into room characters: cut short, and always ended by NUL.
class BoundedText {
  public:
    BoundedText(char* out, int room) noexcept : out(out), room(room) {}

    BoundedText& operator<<(std::string_view text) noexcept {
        for (const char c : text) {
            if (length < room - 1) out[length] = c;
            ++length;
        }
        return *this;
    }
    BoundedText& operator<<(long long number) noexcept {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
    }
    // The length written, the NUL not counted.
    int End() noexcept {
        const int written = length < room ? length : room - 1;
        out[written] = '\0';
        return written;
    }

  private:
    char* out;
    int room;
    int length = 0;
};

}  // namespace

// Without printf: a failure is formatted for most messages of a dialect whose chip data is not
// BER-TLV.
int FormatTlvFailure(const TlvFailure& failure, char* out, int room) noexcept {
    if (out == nullptr || room < 1) return 0;
    BoundedText text(out, room);
    if (failure.fault == TlvFault::kValuePastEnd) {
        text << "length runs " << static_cast<long long>(failure.past)
             << (failure.past == 1 ? " byte" : " bytes") << " past the end at byte "
             << static_cast<long long>(failure.offset);
    } else {
        text << FaultText(failure.fault) << " at byte " << static_cast<long long>(failure.offset);
    }
    return text.End();
}
