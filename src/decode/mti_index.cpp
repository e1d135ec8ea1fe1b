#include "decode/mti_index.h"

#include <cstring>

namespace {

// The text up to its NUL, at most 4 bytes, zero-filled: equal keys, equal texts. False for a
// longer text.
bool KeyOf(const char* mti, std::uint32_t& key) noexcept {
    // A loop of its own rather than a call: the checker looks up every message.
    std::uint32_t bytes = 0;
    int length = 0;
    for (; length < 4 && mti[length] != '\0'; ++length)
        bytes |= static_cast<std::uint32_t>(static_cast<unsigned char>(mti[length])) << 8 * length;
    if (length == 4 && mti[4] != '\0') return false;
    key = bytes;
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
