#include "decode/mti_index.h"

#include <cstring>

namespace {

// The text up to its NUL, at most 4 bytes, zero-filled: equal keys, equal texts. False for a
// longer text.
bool KeyOf(const char* mti, std::uint32_t& key) noexcept {
    const std::size_t length = strnlen(mti, 5);
    if (length > 4) return false;
    unsigned char bytes[4] = {};
    std::memcpy(bytes, mti, length);
    key = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
          static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

unsigned Bucket(std::uint32_t key, int buckets) noexcept {
    return (key * 2654435761u) >> 24 & static_cast<unsigned>(buckets - 1);
}

}  // namespace

void MtiIndex::Build(const MsgTable& table) noexcept {
    source = &table;
    complete = true;
    entries.fill(Entry{});
    for (int i = 0; i < table.SlotCount(); ++i) {
        const MsgDef* msg = table.At(i).get();
        if (msg == nullptr) continue;
        std::uint32_t key = 0;
        if (!KeyOf(msg->mti, key)) {
            complete = false;
            return;
        }
        unsigned b = Bucket(key, kBuckets);
        while (entries[b].slot >= 0 && entries[b].key != key)
            b = (b + 1) & (kBuckets - 1);
        if (entries[b].slot < 0) entries[b] = Entry{key, static_cast<std::int16_t>(i)};
    }
}

int MtiIndex::Find(const char* mti) const noexcept {
    if (mti == nullptr || source == nullptr) return MsgTable::kNone;
    std::uint32_t key = 0;
    if (!complete || !KeyOf(mti, key)) return source->FindByMti(mti);
    for (unsigned b = Bucket(key, kBuckets);; b = (b + 1) & (kBuckets - 1)) {
        if (entries[b].slot < 0) return MsgTable::kNone;
        if (entries[b].key == key) return entries[b].slot;
    }
}
