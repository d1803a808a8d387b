// The game's one random generator: xoshiro256** seeded through splitmix64.
#include <chrono>

#include "core/core.h"

namespace {

uint64_t state[4] = {0x9E3779B97F4A7C15ull, 0xBF58476D1CE4E5B9ull, 0x94D049BB133111EBull, 1};

uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

uint64_t Next() {
  const uint64_t result = Rotl(state[1] * 5, 7) * 9;
  const uint64_t t = state[1] << 17;
  state[2] ^= state[0];
  state[3] ^= state[1];
  state[1] ^= state[2];
  state[0] ^= state[3];
  state[2] ^= t;
  state[3] = Rotl(state[3], 45);
  return result;
}

}  // namespace

void RandSeed(uint64_t seed) {
  for (uint64_t& s : state) {
    seed += 0x9E3779B97F4A7C15ull;
    uint64_t z = seed;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    s = z ^ (z >> 31);
  }
}

int RandInt(int n) {
  if (n <= 0) return 0;
  // Rejection sampling keeps every value equally likely.
  const uint64_t range = static_cast<uint64_t>(n);
  const uint64_t limit = UINT64_MAX - UINT64_MAX % range;
  uint64_t v;
  do {
    v = Next();
  } while (v >= limit);
  return static_cast<int>(v % range);
}

uint64_t RandBits64() { return Next(); }

void SeedRandomAtStart(const uint64_t* fixedSeed) {
  RandSeed(fixedSeed != nullptr ? *fixedSeed
                                : static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
}
