#pragma once

#include <cstdint>

// A fixed generator (xorshift), so that every run measures the same corpus: each corpus
// gives its own seed.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state(seed) {}

    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 16);
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % (high - low + 1)); }

  private:
    std::uint64_t state;
};
