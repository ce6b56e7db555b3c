// Random: the validator's own generator (splitmix64), so that a seed gives the
// same cases on every system and compiler.
#pragma once

#include <cstdint>
#include <cstring>

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  // Uniform in [low, high] (inclusive), for spans that fit 63 bits.
  int64_t Range(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(Next() % static_cast<uint64_t>(high - low + 1));
  }
  bool Chance(double probability) { return Unit() < probability; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Next() % N];
  }

 private:
  uint64_t state_;
};

// A seed of its own for each check and case, derived from the run's seed.
inline uint64_t MixSeed(uint64_t seed, const char* name, uint64_t index = 0) {
  uint64_t h = seed ^ 0xcbf29ce484222325ull;
  for (size_t i = 0; name[i]; ++i) h = (h ^ static_cast<unsigned char>(name[i])) * 0x100000001b3ull;
  return Random(h ^ (index * 0x9e3779b97f4a7c15ull)).Next();
}
