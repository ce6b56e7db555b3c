// Fuzz target: a saved state handed to the effect (effSetChunk). Whatever the
// bytes, the effect refuses them or takes them; either way what it then saves
// reads back unchanged, a refused state leaves the shapes as they were, and it
// processes clean audio at and around the shapes it holds.
#include <cstdlib>
#include <cstring>

#include "FuzzEffect.h"
#include "FuzzInput.h"

namespace {

// The effect's own state with one segment, restored before each input so
// that every input starts from the same place.
std::vector<uint8_t> Baseline(FuzzEffect& effect) {
  static std::vector<uint8_t> baseline;
  if (!baseline.empty()) return baseline;
  std::vector<uint8_t> fresh = effect.GetChunk();
  if (fresh.size() != 24) std::abort();
  uint8_t record[128] = {};
  record[0] = 1;  // visible
  auto put32 = [&](size_t at, int32_t v) { std::memcpy(record + at, &v, 4); };
  auto putDouble = [&](size_t at, double v) { std::memcpy(record + at, &v, 8); };
  putDouble(8, 0.5);
  putDouble(16, 1.0);
  putDouble(24, 0.5);
  for (int p = 0; p < 3; ++p) {
    put32(32 + 32 * static_cast<size_t>(p), 1000 + 500 * p);
    putDouble(40 + 32 * static_cast<size_t>(p), 0.25);
  }
  baseline = fresh;
  int32_t one = 1;
  std::memcpy(baseline.data() + 20, &one, 4);
  baseline.insert(baseline.end(), record, record + sizeof record);
  return baseline;
}

int32_t Int32At(const std::vector<uint8_t>& bytes, size_t at) {
  int32_t v = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzEffect effect;
  const std::vector<uint8_t> baseline = Baseline(effect);
  if (!effect.SetChunk(baseline.data(), baseline.size())) std::abort();
  const std::vector<uint8_t> before = effect.GetChunk();

  bool taken = effect.SetChunk(data, size);
  std::vector<uint8_t> saved = effect.GetChunk();
  if (saved.size() < 24) std::abort();
  // Refused: the shapes (after the 20-byte header) are those of before.
  if (!taken && !std::equal(saved.begin() + 20, saved.end(), before.begin() + 20, before.end())) std::abort();
  if (!effect.SetChunk(saved.data(), saved.size()) || effect.GetChunk() != saved) std::abort();

  // Play across the first and the last segment's start and end.
  int32_t count = Int32At(saved, 20);
  for (int32_t k : {0, count - 1}) {
    if (k < 0 || k >= count) continue;
    size_t record = 24 + 128 * static_cast<size_t>(k);
    for (size_t point : {32u, 96u}) {
      double position = static_cast<double>(Int32At(saved, record + point)) - 100.0;
      effect.Process(256, position, true, k == 0);
    }
  }
  effect.Process(64, 0.0, false, false);
  return 0;
}
