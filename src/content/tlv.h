// BER-TLV as EMV chip data uses it: the data objects of a field's value, constructed ones
// parsed into their children, every position in bytes of that value.
#pragma once

#include <cstdint>

inline constexpr int kTlvMaxDepth = 8;
inline constexpr int kTlvMaxTagBytes = 4;
inline constexpr int kTlvMaxLengthBytes = 4;

// One data object. Objects are listed in document order: a constructed object is followed by
// its descendants, and `end` is the index after its last one.
struct TlvObject {
    std::uint32_t tag = 0;  // its bytes read big-endian: 0x9F02
    std::int32_t offset = 0;
    std::int32_t valueOffset = 0;
    std::int32_t length = 0;
    std::int32_t parent = -1;  // index of the enclosing object, -1 at the top
    std::int32_t end = 0;
    std::uint8_t tagSize = 0;
    std::uint8_t depth = 1;  // 1 at the top
    bool constructed = false;
};

enum class TlvFault : std::uint8_t {
    kNone,
    kNoDataObject,
    kTagPastEnd,
    kTagTooLong,
    kLengthMissing,
    kIndefiniteLength,
    kLengthTooLong,
    kLengthBytesPastEnd,
    kValuePastEnd,
    kTooDeep,
    kNoRoom,
};

struct TlvFailure {
    TlvFault fault = TlvFault::kNone;
    std::int32_t offset = 0;  // the byte where the parse failed
    std::int64_t past = 0;    // for kValuePastEnd: bytes beyond the enclosing value
};

// Every data object takes at least two bytes, so this many objects always fit.
constexpr int TlvRoom(int size) noexcept {
    return size > 0 ? size / 2 : 0;
}

// The number of objects written to objects[0 .. room), or -1 with failure set when the data
// objects do not cover the value exactly. Reads only data[0 .. size).
int ParseTlv(const std::uint8_t* data, int size, TlvObject* objects, int room,
             TlvFailure& failure) noexcept;

// "length runs 3 bytes past the end at byte 41"; the characters written, without the NUL.
int FormatTlvFailure(const TlvFailure& failure, char* out, int room) noexcept;

bool IsConstructedTag(std::uint32_t tag, int tagSize) noexcept;
