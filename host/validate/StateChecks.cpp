// The validator's state checks: chunks saved and restored, random shapes,
// random and corrupted chunks, and a chunk set while another thread processes.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <set>
#include <thread>

#include "SavedState.h"
#include "validate/Checks.h"
#include "validate/TestInstance.h"

// --- Shared helpers ---

bool IsKelvane(TestInstance& instance) { return instance.Effect().uniqueID == VstFourCC('k', 'v', 'l', 'n'); }

bool HasChunks(TestInstance& instance) { return (instance.Effect().flags & effFlagsProgramChunks) != 0; }

std::vector<uint8_t> GetChunk(TestInstance& instance) { return instance.Plugin().GetChunk(); }

bool SetChunk(TestInstance& instance, const std::vector<uint8_t>& bytes) { return instance.Plugin().SetChunk(bytes); }

std::vector<uint8_t> RandomKelvaneState(Random& random, const std::vector<uint8_t>& header, int maxSegments) {
  SavedState state = ParseSavedState(header);
  state.count = 0;
  state.segments.clear();
  state.trailing.clear();
  const int count = static_cast<int>(random.Range(0, maxSegments));
  std::vector<int32_t> starts;
  for (int k = 0; k < count; ++k) {
    // Where the checks play: around 0, and just below the last position a state can hold.
    int64_t start = random.Chance(0.5) ? random.Range(-50000, 2000000) : random.Range(INT32_MAX - 2000000LL, INT32_MAX);
    starts.push_back(static_cast<int32_t>(start));
  }
  std::sort(starts.begin(), starts.end());
  auto unit = [&] { return random.Chance(0.2) ? static_cast<double>(random.Range(0, 1)) : random.Unit(); };
  auto level = [&] { return random.Chance(0.1) ? 0.0 : random.Unit() * 63.99; };
  auto point = [&](int32_t pos) {
    ShapePointRecord p;
    p.pos = pos;
    p.level = level();
    p.x = static_cast<int32_t>(random.Range(-100000, 100000));
    p.yNeg = static_cast<int32_t>(random.Range(-100000, 100000));
    p.yPos = static_cast<int32_t>(random.Range(-100000, 100000));
    p.hit = static_cast<uint8_t>(random.Range(0, 1));
    p.negShown = static_cast<uint8_t>(random.Range(0, 1));
    p.posShown = static_cast<uint8_t>(random.Range(0, 1));
    return p;
  };
  for (int32_t start : starts) {
    ShapeSegmentRecord s;
    s.visible = static_cast<uint8_t>(random.Range(0, 1));
    s.selected = static_cast<uint8_t>(random.Range(0, 1));
    s.bypass = random.Chance(0.2);
    s.mute = random.Chance(0.2);
    s.follow = unit();
    s.clip = unit();
    s.blend = unit();
    int32_t end = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, start + random.Range(0, 200000)));
    s.start = point(start);
    s.control = point(static_cast<int32_t>(random.Range(start, end)));
    s.end = point(end);
    state.segments.push_back(s);
  }
  state.count = count;
  return SerialiseSavedState(state);
}

void RandomiseInstance(TestInstance& instance, Random& random) {
  PluginInstance& plugin = instance.Plugin();
  for (int i = 0; i < plugin.ParamCount(); ++i)
    if (random.Chance(0.8)) plugin.SetParam(i, static_cast<float>(random.Unit()));
  if (IsKelvane(instance) && HasChunks(instance)) {
    std::vector<uint8_t> header = GetChunk(instance);
    if (header.size() >= 24) SetChunk(instance, RandomKelvaneState(random, header, 12));
  }
}

std::vector<uint8_t> WithoutClearedFlags(const std::vector<uint8_t>& bytes) {
  SavedState state = ParseSavedState(bytes);
  for (ShapeSegmentRecord& s : state.segments) {
    s.selected = 0;
    s.start.hit = s.control.hit = s.end.hit = 0;
  }
  return SerialiseSavedState(state);
}

std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t n = std::min(a.size(), b.size()), i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at byte " +
         std::to_string(i);
}

std::string FixedPointProblem(TestInstance& probe, const std::vector<uint8_t>& state) {
  if (state.empty()) return "";
  if (!SetChunk(probe, state)) return "the module refuses a state it saved itself";
  std::vector<uint8_t> again = GetChunk(probe);
  if (again != state) return "a state it saved does not read back to the same bytes (" + FirstDifference(state, again) + ")";
  return "";
}

namespace {

CheckResult NoChunks() { return CheckResult::Skip("the module keeps no chunk (effFlagsProgramChunks not set)"); }

void PlayAFewBlocks(TestInstance& instance, Random& random, OutputCheck& check, const std::string& where) {
  TestSignal signal(random.Next());
  Timeline timeline;
  timeline.position = static_cast<double>(random.Chance(0.5) ? random.Range(0, 2000000) : random.Range(INT32_MAX - 3000000LL, INT32_MAX));
  for (int b = 0; b < 3; ++b) instance.Process(static_cast<int32_t>(random.Range(1, 512)), instance.Preferred(), signal, timeline, check, where);
}

}  // namespace

CheckResult CheckStateRoundTrip(const Validation& v) {
  Random random = v.RandomFor("state-round-trip");
  TestInstance source(v.module), target(v.module);
  if (!HasChunks(source)) return NoChunks();
  const int cases = v.Scale(8, 200);
  std::set<int> notSaved;
  for (int k = 0; k < cases; ++k) {
    RandomiseInstance(source, random);
    std::vector<uint8_t> saved = GetChunk(source);
    if (saved.empty()) return CheckResult::Fail("effGetChunk gave nothing (case " + std::to_string(k) + ")");
    if (!SetChunk(target, saved)) return CheckResult::Fail("another instance refuses the saved state (case " + std::to_string(k) + ")");
    std::vector<uint8_t> again = GetChunk(target);
    if (again != saved)
      return CheckResult::Fail("saved, restored and saved again differs: " + FirstDifference(saved, again) + " (case " +
                               std::to_string(k) + ")");
    // A momentary parameter (a reset button) need not be saved: noted, not judged.
    for (int i = 0; i < source.Plugin().ParamCount(); ++i) {
      float a = source.Plugin().GetParam(i), b = target.Plugin().GetParam(i);
      if (std::memcmp(&a, &b, sizeof a) != 0) notSaved.insert(i);
    }
    // Hosts hand back the very buffer effGetChunk returned.
    void* own = nullptr;
    VstIntPtr size = target.Plugin().Dispatch(effGetChunk, 0, 0, &own);
    if (size <= 0 || !own) return CheckResult::Fail("effGetChunk gave nothing the second time");
    if (!target.Plugin().Dispatch(effSetChunk, 0, size, own))
      return CheckResult::Fail("the module refuses its own effGetChunk buffer handed back (case " + std::to_string(k) + ")");
    if (GetChunk(target) != saved)
      return CheckResult::Fail("restoring its own effGetChunk buffer changes the state (case " + std::to_string(k) + ")");
  }
  std::string note;
  for (int i : notSaved) note += (note.empty() ? "; parameters the state does not carry: " : ", ") + source.Plugin().ParamName(i);
  return CheckResult::Pass(std::to_string(cases) + " random states saved, restored elsewhere and saved again byte for byte" + note);
}

CheckResult CheckStateShapes(const Validation& v) {
  Random random = v.RandomFor("state-shapes");
  TestInstance instance(v.module), probe(v.module);
  if (!IsKelvane(instance) || !HasChunks(instance)) return CheckResult::Skip("not a module with Kelvane's state format");
  const int cases = v.Scale(20, 500);
  for (int k = 0; k < cases; ++k) {
    for (int i = 0; i < instance.Plugin().ParamCount(); ++i) instance.Plugin().SetParam(i, static_cast<float>(random.Unit()));
    std::vector<uint8_t> made = RandomKelvaneState(random, GetChunk(instance), k == 0 ? 0 : v.Scale(16, 64));
    if (!SetChunk(instance, made)) return CheckResult::Fail("a well-formed state is refused (case " + std::to_string(k) + ")");
    std::vector<uint8_t> saved = GetChunk(instance);
    if (saved != WithoutClearedFlags(made))
      return CheckResult::Fail("a well-formed state does not read back byte for byte apart from selected and hit: " +
                               FirstDifference(WithoutClearedFlags(made), saved) + " (case " + std::to_string(k) + ")");
    if (std::string problem = FixedPointProblem(probe, saved); !problem.empty())
      return CheckResult::Fail(problem + " (case " + std::to_string(k) + ")");
  }
  return CheckResult::Pass(std::to_string(cases) + " random shape lists restored byte for byte apart from selected and hit");
}

CheckResult CheckStateBlobs(const Validation& v) {
  Random random = v.RandomFor("state-blobs");
  TestInstance instance(v.module), probe(v.module);
  if (!HasChunks(instance)) return NoChunks();
  instance.Resume(44100, 512);
  RandomiseInstance(instance, random);
  std::vector<uint8_t> real = GetChunk(instance);
  OutputCheck check;
  check.bound = v.bound;
  std::string accepted;
  constexpr size_t kBlob = 1 << 20;
  for (int k = 0; k < 3; ++k) {
    std::vector<uint8_t> blob(kBlob);
    for (uint8_t& b : blob) b = static_cast<uint8_t>(random.Next());
    // The second keeps the real state's first bytes, the third also claims as
    // many 128-byte records as fit, so that a parser gets past its first checks.
    if (k >= 1) std::copy_n(real.begin(), std::min<size_t>(real.size(), k == 1 ? 4 : 20), blob.begin());
    if (k == 2) {
      uint32_t records = static_cast<uint32_t>((kBlob - 24) / 128);
      for (int i = 0; i < 4; ++i) blob[20 + static_cast<size_t>(i)] = static_cast<uint8_t>(records >> (8 * i));
    }
    bool taken = SetChunk(instance, blob);
    accepted += std::string(k ? ", " : "") + (taken ? "accepted" : "refused");
    PlayAFewBlocks(instance, random, check, "after random 1 MB chunk " + std::to_string(k));
    if (std::string problem = FixedPointProblem(probe, GetChunk(instance)); !problem.empty())
      return CheckResult::Fail(problem + " (after random 1 MB chunk " + std::to_string(k) + ")");
  }
  if (!check.Clean()) return CheckResult::Fail(check.Summary());
  return CheckResult::Pass("3 random 1 MB chunks: " + accepted + "; state consistent after each; " + check.Summary());
}

CheckResult CheckStateCorrupt(const Validation& v) {
  Random random = v.RandomFor("state-corrupt");
  TestInstance instance(v.module), probe(v.module);
  if (!HasChunks(instance)) return NoChunks();
  instance.Resume(44100, 512);
  RandomiseInstance(instance, random);
  if (IsKelvane(instance)) SetChunk(instance, RandomKelvaneState(random, GetChunk(instance), 8));
  const std::vector<uint8_t> real = GetChunk(instance);
  const bool kelvane = IsKelvane(instance);
  OutputCheck check;
  check.bound = v.bound;
  std::vector<std::vector<uint8_t>> cases;
  for (size_t n = 0; n < real.size(); ++n)
    if (n <= 32 || n % 128 <= 1 || n % 128 == 127 || (!v.quick && n < 20000) || random.Chance(0.02))
      cases.emplace_back(real.begin(), real.begin() + static_cast<std::ptrdiff_t>(n));
  const size_t truncated = cases.size();
  const int flipped = v.Scale(60, 3000);
  for (int k = 0; k < flipped; ++k) {
    std::vector<uint8_t> bytes = real;
    for (int64_t flips = random.Range(1, 8); flips > 0; --flips) {
      size_t at = static_cast<size_t>(random.Range(0, static_cast<int64_t>(bytes.size()) - 1));
      // Most flips in the first bytes, where the sizes and counts live.
      if (random.Chance(0.3)) at %= std::min<size_t>(bytes.size(), 28);
      bytes[at] ^= static_cast<uint8_t>(1u << random.Range(0, 7));
    }
    cases.push_back(std::move(bytes));
  }
  int refused = 0;
  for (size_t k = 0; k < cases.size(); ++k) {
    std::string which = k < truncated ? "state cut to " + std::to_string(cases[k].size()) + " bytes"
                                      : "state with flipped bits (case " + std::to_string(k - truncated) + ")";
    if (!SetChunk(instance, real)) return CheckResult::Fail("the module refuses its own state");
    bool taken = SetChunk(instance, cases[k]);
    if (!taken) ++refused;
    std::vector<uint8_t> now = GetChunk(instance);
    // Kelvane restores its shapes all or nothing.
    if (kelvane && !taken && (now.size() < 20 || !std::equal(now.begin() + 20, now.end(), real.begin() + 20, real.end())))
      return CheckResult::Fail("a refused " + which + " changed the shapes");
    if (std::string problem = FixedPointProblem(probe, now); !problem.empty())
      return CheckResult::Fail(problem + " (after a " + which + ")");
    if (k % 8 == 0) PlayAFewBlocks(instance, random, check, "after a " + which);
  }
  if (!check.Clean()) return CheckResult::Fail(check.Summary());
  return CheckResult::Pass(std::to_string(truncated) + " truncated and " + std::to_string(flipped) +
                           " bit-flipped states (" + std::to_string(refused) + " refused); state consistent after each");
}

CheckResult CheckStateWhileProcessing(const Validation& v) {
  Random random = v.RandomFor("state-while-processing");
  TestInstance instance(v.module), probe(v.module);
  if (!HasChunks(instance)) return NoChunks();
  std::vector<uint8_t> states[2];
  for (auto& state : states) {
    RandomiseInstance(instance, random);
    state = GetChunk(instance);
  }
  instance.Resume(48000, 256);
  const int loads = v.Scale(100, 3000);
  std::atomic<bool> loading{true};
  std::atomic<int> refusals{0};
  instance.SetConcurrent(true);
  std::thread loader([&] {
    // Another thread, as a host's project loader or undo would.
    for (int k = 0; k < loads; ++k) {
      if (!SetChunk(instance, states[k % 2])) ++refusals;
      if (GetChunk(instance).empty()) ++refusals;
    }
    loading = false;
  });
  OutputCheck check;
  check.bound = v.bound;
  TestSignal signal(random.Next());
  Timeline timeline;
  int blocks = 0;
  while (loading.load() || blocks < 16) {
    instance.Process(static_cast<int32_t>(random.Range(1, 256)), instance.Preferred(), signal, timeline, check,
                     "while another thread sets chunks");
    ++blocks;
  }
  loader.join();
  instance.SetConcurrent(false);
  if (refusals) return CheckResult::Fail(std::to_string(refusals.load()) + " chunk calls failed while processing");
  if (!check.Clean()) return CheckResult::Fail(check.Summary());
  SetChunk(instance, states[1]);
  if (GetChunk(instance) != states[1]) return CheckResult::Fail("after the concurrent loads the state is not the last one set");
  if (std::string problem = FixedPointProblem(probe, states[1]); !problem.empty()) return CheckResult::Fail(problem);
  return CheckResult::Pass(std::to_string(loads) + " chunks set from another thread during " + std::to_string(blocks) +
                           " blocks; " + check.Summary());
}
