// The message table looked up by MTI through a hash, for a caller that decodes many messages
// under one definition; built once, it answers as MsgTable::FindByMti while the table stays
// unchanged.
#pragma once

#include <array>
#include <cstdint>

#include "model/protocol.h"

class MtiIndex {
  public:
    MtiIndex() noexcept = default;
    explicit MtiIndex(const MsgTable& table) noexcept { Build(table); }

    void Build(const MsgTable& table) noexcept;
    // The first used slot with that MTI, or MsgTable::kNone.
    int Find(const char* mti) const noexcept;

  private:
    static constexpr int kBuckets = 256;  // over 2.5 times the slots: short probe runs

    struct Entry {
        std::uint32_t key = 0;
        std::int16_t slot = -1;  // -1: empty bucket
    };

    const MsgTable* source = nullptr;
    bool complete = false;  // false: an MTI the key cannot hold; Find asks the table
    std::array<Entry, kBuckets> entries{};
};
