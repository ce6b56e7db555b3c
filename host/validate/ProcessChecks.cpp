// The validator's processing checks: lifetimes, instances side by side,
// sample rates, block sizes, transports, parameters and allocations.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "NumberText.h"
#include "validate/AllocationCounter.h"
#include "validate/Checks.h"
#include "validate/TestInstance.h"

namespace {

std::vector<float> Parameters(TestInstance& instance) {
  std::vector<float> values;
  for (int i = 0; i < instance.Plugin().ParamCount(); ++i) values.push_back(instance.Plugin().GetParam(i));
  return values;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

std::vector<Precision> Precisions(TestInstance& instance) {
  std::vector<Precision> list;
  for (Precision p : {Precision::Double, Precision::Single})
    if (instance.Supports(p)) list.push_back(p);
  return list;
}

CheckResult Verdict(const OutputCheck& check, const std::string& passText) {
  if (check.Clean()) return CheckResult::Pass(passText + "; " + check.Summary());
  return CheckResult::Fail(check.Summary());
}

// Runs `blocks` blocks of random sizes up to `largest` with the timeline left alone.
void PlayBlocks(TestInstance& instance, Precision precision, int blocks, int32_t largest, Random& random,
                TestSignal& signal, Timeline& timeline, OutputCheck& check, const std::string& where) {
  for (int b = 0; b < blocks; ++b) {
    int32_t frames = timeline.Limit(static_cast<int32_t>(random.Range(1, largest)));
    instance.Process(frames, precision, signal, timeline, check, where);
  }
}

}  // namespace

CheckResult CheckOpenClose(const Validation& v) {
  Random random = v.RandomFor("open-close");
  const int cycles = v.Scale(6, 60);
  std::vector<float> defaults;
  std::vector<uint8_t> firstChunk;
  bool chunksComparable = false;
  OutputCheck check;
  check.bound = v.bound;
  // For the first half one instance stays open, so the module stays loaded and
  // module-wide state survives between instances, as in a host; later cycles
  // unload and load the module each time.
  auto keeper = std::make_unique<TestInstance>(v.module);
  for (int k = 0; k < cycles; ++k) {
    if (k == cycles / 2) keeper.reset();
    TestInstance instance(v.module, k % ValidatorHost::kCallbacks);
    std::vector<float> params = Parameters(instance);
    std::vector<uint8_t> chunk = HasChunks(instance) ? GetChunk(instance) : std::vector<uint8_t>{};
    if (k == 0) {
      defaults = params;
      firstChunk = chunk;
    } else if (!SameBits(params, defaults)) {
      return CheckResult::Fail("instance " + std::to_string(k) +
                               " does not start with the parameters a first instance had (state left over from an "
                               "earlier instance?)");
    } else if (k == 1) {
      // A module whose fresh chunks differ (time stamps, ids) cannot be judged by them.
      chunksComparable = chunk == firstChunk;
    } else if (chunksComparable && chunk != firstChunk) {
      return CheckResult::Fail("instance " + std::to_string(k) + " starts with another state than the first instances");
    }
    TestSignal signal(MixSeed(v.seed, "open-close", static_cast<uint64_t>(k)));
    Timeline timeline;
    switch (k % 3) {
      case 0: RandomiseInstance(instance, random); break;  // closed without ever being resumed
      case 1:
        instance.Resume(44100, 512);
        PlayBlocks(instance, instance.Preferred(), 3, 512, random, signal, timeline, check, "cycle " + std::to_string(k));
        instance.Suspend();
        break;
      default:
        // Parameters left changed, closed while still resumed.
        instance.Resume(48000, 256);
        RandomiseInstance(instance, random);
        PlayBlocks(instance, instance.Preferred(), 2, 256, random, signal, timeline, check, "cycle " + std::to_string(k));
        break;
    }
  }
  // Many at once, closed in random order.
  const int many = v.Scale(8, 32);
  std::vector<std::unique_ptr<TestInstance>> open;
  for (int k = 0; k < many; ++k) {
    open.push_back(std::make_unique<TestInstance>(v.module, k % ValidatorHost::kCallbacks));
    open.back()->Resume(44100, 128);
  }
  for (int k = 0; k < many; ++k) {
    TestSignal signal(MixSeed(v.seed, "open-close many", static_cast<uint64_t>(k)));
    Timeline timeline;
    PlayBlocks(*open[static_cast<size_t>(k)], open[static_cast<size_t>(k)]->Preferred(), 2, 128, random, signal,
               timeline, check, "instance " + std::to_string(k) + " of " + std::to_string(many));
  }
  while (!open.empty()) open.erase(open.begin() + random.Range(0, static_cast<int64_t>(open.size()) - 1));
  return Verdict(check, std::to_string(cycles) + " open/close cycles, " + std::to_string(many) + " instances at once");
}

namespace {

std::vector<std::vector<double>> Concatenate(const std::vector<std::vector<std::vector<double>>>& blocks) {
  std::vector<std::vector<double>> joined;
  for (const auto& block : blocks) {
    if (joined.size() < block.size()) joined.resize(block.size());
    for (size_t c = 0; c < block.size(); ++c) joined[c].insert(joined[c].end(), block[c].begin(), block[c].end());
  }
  return joined;
}

bool SameSamples(const std::vector<std::vector<double>>& a, const std::vector<std::vector<double>>& b) {
  if (a.size() != b.size()) return false;
  for (size_t c = 0; c < a.size(); ++c)
    if (a[c].size() != b[c].size() || (!a[c].empty() && std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(double)) != 0))
      return false;
  return true;
}

// One instance's life in the side-by-side check, replayable alone from its seed.
class Player {
 public:
  Player(const Validation& v, int index)
      : random_(MixSeed(v.seed, "instances", static_cast<uint64_t>(index))),
        signal_(MixSeed(v.seed, "instances signal", static_cast<uint64_t>(index))),
        instance_(std::make_unique<TestInstance>(v.module, index % ValidatorHost::kCallbacks)) {
    check_.bound = v.bound;
    RandomiseInstance(*instance_, random_);
    instance_->Resume(48000, 1024);
  }

  void Step() {
    if (random_.Chance(0.2)) timeline_.RandomEvent(random_);
    int32_t frames = timeline_.Limit(static_cast<int32_t>(random_.Range(1, 1024)));
    instance_->Process(frames, instance_->Preferred(), signal_, timeline_, check_, "side by side");
    std::vector<std::vector<double>> block;
    for (const auto& c : instance_->Output()) block.emplace_back(c.begin(), c.begin() + frames);
    output_.push_back(std::move(block));
  }

  std::vector<std::vector<double>> Output() const { return Concatenate(output_); }
  const OutputCheck& Check() const { return check_; }
  TestInstance& Instance() { return *instance_; }

 private:
  Random random_;
  TestSignal signal_;
  Timeline timeline_;
  OutputCheck check_;
  std::unique_ptr<TestInstance> instance_;
  std::vector<std::vector<std::vector<double>>> output_;
};

std::vector<std::vector<double>> PlayAlone(const Validation& v, int index, int blocks) {
  Player player(v, index);
  for (int b = 0; b < blocks; ++b) player.Step();
  return player.Output();
}

}  // namespace

CheckResult CheckInstances(const Validation& v) {
  const int count = v.Scale(4, 16), blocks = v.Scale(12, 200), replayed = v.Scale(2, 4);
  std::vector<std::unique_ptr<Player>> players;
  for (int i = 0; i < count; ++i) players.push_back(std::make_unique<Player>(v, i));
  for (int b = 0; b < blocks; ++b)
    for (auto& player : players) player->Step();
  std::string problems;
  auto fail = [&](const std::string& text) { problems += (problems.empty() ? "" : "; ") + text; };
  int misrouted = 0, affected = 0;
  for (int i = 0; i < count; ++i) {
    Player& player = *players[static_cast<size_t>(i)];
    // Appended piece by piece: "literal" + to_string(i) trips a false -Wrestrict in i686 GCC 12.
    if (!player.Check().Clean()) fail(std::string("instance ").append(std::to_string(i)).append(": ").append(player.Check().Summary()));
    int calls = player.Instance().Slot().Misrouted();
    misrouted += calls;
    affected += calls > 0;
  }
  if (misrouted > 0)
    fail(std::to_string(misrouted) + " host calls of " + std::to_string(affected) + " of the " + std::to_string(count) +
         " instances arrived through the callback of another host (instances made by " +
         std::to_string(ValidatorHost::kCallbacks) + " host callbacks)");
  std::string note;
  for (int i = 0; i < replayed; ++i) {
    std::vector<std::vector<double>> alone = PlayAlone(v, i, blocks);
    if (SameSamples(alone, players[static_cast<size_t>(i)]->Output())) continue;
    if (!SameSamples(alone, PlayAlone(v, i, blocks))) {
      note = "; output not reproducible run to run, so instance isolation was not judged";
      break;
    }
    fail("instance " + std::to_string(i) + " sounds different next to " + std::to_string(count - 1) +
         " other instances than alone with the same input, parameters and transport");
    break;
  }
  if (!problems.empty()) return CheckResult::Fail(problems);
  return CheckResult::Pass(std::to_string(count) + " instances side by side through " +
                           std::to_string(ValidatorHost::kCallbacks) + " host callbacks, " + std::to_string(blocks) +
                           " blocks each, each call through its own host" + note);
}

CheckResult CheckSampleRates(const Validation& v) {
  static const double kRates[] = {22050, 44100, 48000, 88200, 96000, 176400, 192000};
  Random random = v.RandomFor("sample-rates");
  const double seconds = v.quick ? 0.05 : 2.0;
  OutputCheck check;
  check.bound = v.bound;
  TestInstance probe(v.module);
  for (Precision precision : Precisions(probe)) {
    TestInstance instance(v.module);
    RandomiseInstance(instance, random);
    TestSignal signal(random.Next());
    std::vector<double> rates(std::begin(kRates), std::end(kRates));
    for (size_t i = rates.size(); i > 1; --i) std::swap(rates[i - 1], rates[static_cast<size_t>(random.Range(0, static_cast<int64_t>(i) - 1))]);
    for (double rate : rates) {
      instance.Suspend();
      instance.Resume(rate, 512);
      Timeline timeline;
      int blocks = static_cast<int>(rate * seconds / 512) + 1;
      for (int b = 0; b < blocks; ++b)
        instance.Process(512, precision, signal, timeline, check, "rate " + FormatDouble(rate));
    }
  }
  return Verdict(check, "22050 to 192000 Hz");
}

CheckResult CheckBlockSizes(const Validation& v) {
  Random random = v.RandomFor("block-sizes");
  const int blocks = v.Scale(60, 1500);
  OutputCheck check;
  check.bound = v.bound;
  TestInstance probe(v.module);
  for (Precision precision : Precisions(probe)) {
    static const int32_t kAnnounced[] = {1, 32, 512, 4096};
    int32_t announced = random.Pick(kAnnounced);
    TestInstance instance(v.module);
    RandomiseInstance(instance, random);
    instance.Resume(44100, announced);
    TestSignal signal(random.Next());
    Timeline timeline;
    const int32_t special[] = {0, 1, 2, 3, announced - 1, announced, announced + 1, 2 * announced, kMaxBlock};
    for (int b = 0; b < blocks; ++b) {
      int32_t frames = random.Chance(0.4) ? special[random.Range(0, 8)] : static_cast<int32_t>(random.Range(1, kMaxBlock));
      instance.Process(std::clamp<int32_t>(frames, 0, kMaxBlock), precision, signal, timeline, check,
                       "announced " + std::to_string(announced));
    }
  }
  return Verdict(check, "0 to 8192 frames, varying per call and longer than announced");
}

CheckResult CheckTransport(const Validation& v) {
  Random random = v.RandomFor("transport");
  const int blocks = v.Scale(200, 4000);
  OutputCheck check;
  check.bound = v.bound;
  TestInstance probe(v.module);
  for (Precision precision : Precisions(probe)) {
    TestInstance instance(v.module);
    RandomiseInstance(instance, random);
    instance.Resume(48000, 2048);
    TestSignal signal(random.Next());
    Timeline timeline;
    timeline.available = false;  // a host without time info from the very first block
    for (int b = 0; b < blocks; ++b) {
      if (b == 8) timeline.available = true;
      if (b > 8 && random.Chance(0.25)) timeline.RandomEvent(random);
      int32_t frames = timeline.Limit(static_cast<int32_t>(random.Range(1, 2048)));
      instance.Process(frames, precision, signal, timeline, check, "transport");
    }
  }
  return Verdict(check, "no time info, jumps, loops, stops, negative and huge positions, past 2^31");
}

namespace {

// A parameter's text from the dispatcher into a buffer larger than any host
// gives, surrounded by canaries: it must end within 256 bytes and leave the rest.
bool TextWellFormed(TestInstance& instance, VstInt32 opcode, int index, std::string& problem) {
  char buffer[512];
  std::memset(buffer, 0xa5, sizeof buffer);
  instance.Plugin().Dispatch(opcode, index, 0, buffer);
  const void* end = std::memchr(buffer, 0, 256);
  if (!end) {
    problem = "no terminator within 256 bytes";
    return false;
  }
  for (size_t i = 256; i < sizeof buffer; ++i)
    if (static_cast<unsigned char>(buffer[i]) != 0xa5) {
      problem = "wrote past 256 bytes";
      return false;
    }
  return true;
}

}  // namespace

namespace {

// Sets each parameter to each of `values` and sends each of `texts` to its
// text entry; after each, getParameter must give a value in [0, 1], the texts
// must be well formed and a block must come out clean.
std::string ParameterSweep(TestInstance& instance, const std::vector<float>& values, const std::vector<std::string>& texts,
                           Random& random, OutputCheck& check) {
  TestSignal signal(random.Next());
  Timeline timeline;
  PluginInstance& plugin = instance.Plugin();
  auto verify = [&](int index, const std::string& what) -> std::string {
    float value = plugin.GetParam(index);
    if (!(value >= 0.0f && value <= 1.0f))
      return "getParameter(" + std::to_string(index) + ") gives " + FormatFloat(value) + " after " + what;
    for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
      std::string problem;
      if (!TextWellFormed(instance, opcode, index, problem))
        return "parameter " + std::to_string(index) + " text (opcode " + std::to_string(opcode) + ") " + problem +
               " after " + what;
    }
    instance.Process(static_cast<int32_t>(random.Range(1, 256)), instance.Preferred(), signal, timeline, check, what);
    return "";
  };
  for (int index = 0; index < plugin.ParamCount(); ++index) {
    for (float value : values) {
      plugin.SetParam(index, value);
      std::string what = "setParameter(" + std::to_string(index) + ", " + FormatFloat(value) + ")";
      if (std::string problem = verify(index, what); !problem.empty()) return problem;
    }
    for (std::string text : texts) {
      std::string shown = text.size() > 20 ? text.substr(0, 20) + "..." : text;
      plugin.Dispatch(effString2Parameter, index, 0, text.data());
      std::string what = "effString2Parameter(" + std::to_string(index) + ", \"" + shown + "\")";
      if (std::string problem = verify(index, what); !problem.empty()) return problem;
    }
  }
  return "";
}

}  // namespace

CheckResult CheckParameters(const Validation& v) {
  Random random = v.RandomFor("parameters");
  const std::vector<float> values = {0.0f, 1.0f, 0.5f, -0.0f, 1e-30f, 1e-40f, 0.99999994f, 0.25f, 0.75f};
  const std::vector<std::string> texts = {"0", "1", "0.5", "", "abc", " 3 ", "1,5", std::string(300, '7')};
  TestInstance instance(v.module);
  instance.Resume(44100, 256);
  OutputCheck check;
  check.bound = v.bound;
  if (std::string problem = ParameterSweep(instance, values, texts, random, check); !problem.empty())
    return CheckResult::Fail(problem);
  // Values as automation sends them, between blocks.
  PluginInstance& plugin = instance.Plugin();
  const int count = plugin.ParamCount();
  const int changes = count ? v.Scale(200, 5000) : 0;
  TestSignal signal(random.Next());
  Timeline timeline;
  for (int k = 0; k < changes; ++k) {
    int index = static_cast<int>(random.Range(0, count - 1));
    float value = static_cast<float>(random.Unit());
    plugin.SetParam(index, value);
    float back = plugin.GetParam(index);
    if (!(back >= 0.0f && back <= 1.0f))
      return CheckResult::Fail("getParameter(" + std::to_string(index) + ") gives " + FormatFloat(back) +
                               " after setParameter(" + FormatFloat(value) + ")");
    if (random.Chance(0.3))
      instance.Process(static_cast<int32_t>(random.Range(1, 256)), instance.Preferred(), signal, timeline, check,
                       "automation");
  }
  return Verdict(check, std::to_string(count) + " parameters: edge values, texts, " + std::to_string(changes) +
                            " automation steps");
}

CheckResult CheckParameterExtremes(const Validation& v) {
  Random random = v.RandomFor("parameter-extremes");
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> values = {-1.0f, 2.0f, 1e30f, -1e30f, nan, -nan, inf, -inf, 0.5f};
  const std::vector<std::string> texts = {"-1", "2", "1e309", "-1e309", "nan", "inf", "-inf", "0x10", "0.5"};
  TestInstance instance(v.module);
  instance.Resume(44100, 256);
  OutputCheck check;
  check.bound = v.bound;
  if (std::string problem = ParameterSweep(instance, values, texts, random, check); !problem.empty())
    return CheckResult::Fail(problem);
  return Verdict(check, std::to_string(instance.Plugin().ParamCount()) +
                            " parameters: out of range, NaN and +-inf values and texts");
}

CheckResult CheckAllocations(const Validation& v) {
  if (!AllocationCounter::Available())
    return CheckResult::Skip("this build cannot count allocations (sanitizer runtime owns malloc)");
  Random random = v.RandomFor("allocations");
  const int blocks = v.Scale(100, 3000);
  OutputCheck check;
  check.bound = v.bound;
  TestInstance probe(v.module);
  std::vector<uint8_t> states[2];
  for (Precision precision : Precisions(probe)) {
    TestInstance instance(v.module);
    if (HasChunks(instance))
      for (auto& state : states) {
        RandomiseInstance(instance, random);
        state = GetChunk(instance);
      }
    instance.Resume(44100, 512);
    TestSignal signal(random.Next());
    Timeline timeline;
    for (int b = 0; b < blocks; ++b) {
      if (random.Chance(0.1)) timeline.RandomEvent(random);
      if (random.Chance(0.1) && instance.Plugin().ParamCount() > 0)
        instance.Plugin().SetParam(static_cast<int>(random.Range(0, instance.Plugin().ParamCount() - 1)),
                                   static_cast<float>(random.Unit()));
      if (random.Chance(0.02) && !states[0].empty()) SetChunk(instance, states[random.Range(0, 1)]);
      // Once, a block longer than any before; allocating for it is allowed.
      int32_t largest = b < blocks / 2 ? 512 : 4096;
      int32_t frames = b == blocks / 2 ? 4096 : static_cast<int32_t>(random.Range(1, largest));
      instance.Process(timeline.Limit(frames), precision, signal, timeline, check, "allocations");
    }
  }
  return Verdict(check, "no allocation calls inside process within the largest block so far; " +
                            std::to_string(check.allowedAllocations) + " in blocks longer than any before (allowed)");
}
