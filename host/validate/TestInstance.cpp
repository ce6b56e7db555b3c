#include "validate/TestInstance.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "HostError.h"
#include "NumberText.h"
#include "validate/AllocationCounter.h"

namespace {

constexpr int32_t kGuardFrames = 64;
constexpr int32_t kCapacity = kMaxBlock + kGuardFrames;
constexpr double kTwoPi = 6.283185307179586;
// Signalling NaNs with a payload of our own: a sample still holding one was never written.
constexpr uint64_t kUnwrittenDouble = 0x7ff4deadbeef0001ull;
constexpr uint32_t kUnwrittenFloat = 0x7fa0dea1u;

double UnwrittenDouble() {
  double value;
  std::memcpy(&value, &kUnwrittenDouble, sizeof value);
  return value;
}

float UnwrittenFloat() {
  float value;
  std::memcpy(&value, &kUnwrittenFloat, sizeof value);
  return value;
}

bool IsUnwritten(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == kUnwrittenDouble;
}

bool IsUnwritten(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == kUnwrittenFloat;
}

std::vector<double*> Pointers(std::vector<std::vector<double>>& channels) {
  std::vector<double*> pointers;
  for (auto& c : channels) pointers.push_back(c.data());
  pointers.push_back(nullptr);  // never an empty array, even for a module without inputs
  return pointers;
}

std::vector<float*> Pointers(std::vector<std::vector<float>>& channels) {
  std::vector<float*> pointers;
  for (auto& c : channels) pointers.push_back(c.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

const char* PrecisionName(Precision precision) {
  return precision == Precision::Single ? "processReplacing" : "processDoubleReplacing";
}

// --- TestSignal ---

void TestSignal::StartRun() {
  static const double kLevels[] = {1.0, 0.5, 0.1, 1e-3, 1e-6};
  kind_ = static_cast<int>(random_.Range(0, 5));
  left_ = random_.Chance(0.3) ? random_.Range(1, 64) : random_.Range(64, kind_ == 0 ? 2000 : 20000);
  level_ = random_.Chance(0.5) ? random_.Pick(kLevels) : random_.Unit();
  phase_ = 0;
  step_ = kind_ == 2 ? kTwoPi * (20.0 + random_.Unit() * 20000.0) / 48000.0 : static_cast<double>(random_.Range(2, 2000));
}

void TestSignal::Fill(std::vector<std::vector<double>>& channels, int32_t frames) {
  for (int32_t i = 0; i < frames; ++i) {
    if (left_-- <= 0) StartRun();
    for (size_t c = 0; c < channels.size(); ++c) {
      double sign = (c % 2) ? -1.0 : 1.0;
      double v = 0;
      switch (kind_) {
        case 0: v = 0; break;
        case 1: v = level_ * (2.0 * random_.Unit() - 1.0); break;
        case 2: v = sign * level_ * std::sin(phase_ + static_cast<double>(c)); break;
        case 3: v = sign * level_; break;
        case 4: v = std::fmod(phase_, step_) < 1.0 ? sign : 0.0; break;
        default: v = std::fmod(phase_, step_) < step_ / 2 ? level_ : -level_; break;
      }
      channels[c][static_cast<size_t>(i)] = v;
    }
    phase_ += kind_ == 2 ? step_ : 1.0;
  }
}

// --- Timeline ---

int32_t Timeline::Limit(int32_t frames) const {
  if (!playing || !loop || position >= loopEnd) return frames;
  double room = std::ceil(loopEnd - position);
  return room < frames ? std::max<int32_t>(1, static_cast<int32_t>(room)) : frames;
}

void Timeline::Publish(HostSlot& slot, double sampleRate) const {
  VstTimeInfo& t = slot.time;
  t = VstTimeInfo{};
  slot.timeAvailable = available;
  slot.sampleRate = sampleRate;
  t.samplePos = position;
  t.sampleRate = sampleRate;
  t.nanoSeconds = position / sampleRate * 1e9;
  t.flags = kVstNanosValid;
  if (tempo > 0) {
    double beats = position / sampleRate * tempo / 60.0;
    t.tempo = tempo;
    t.ppqPos = beats;
    t.barStartPos = std::floor(beats / 4.0) * 4.0;
    t.timeSigNumerator = 4;
    t.timeSigDenominator = 4;
    t.flags |= kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid;
    if (loop) {
      t.cycleStartPos = loopStart / sampleRate * tempo / 60.0;
      t.cycleEndPos = loopEnd / sampleRate * tempo / 60.0;
      t.flags |= kVstCyclePosValid;
    }
  }
  if (playing) t.flags |= kVstTransportPlaying;
  if (loop) t.flags |= kVstTransportCycleActive;
  if (changed) t.flags |= kVstTransportChanged;
}

void Timeline::Advance(int32_t frames) {
  changed = false;
  if (!playing) return;
  position += frames;
  if (loop && position >= loopEnd && position - frames < loopEnd) {
    position = loopStart + (position - loopEnd);
    changed = true;
  }
}

void Timeline::RandomEvent(Random& random) {
  const double kTwo31 = 2147483648.0;
  static const double kHuge[] = {4294967296.0, 9007199254740992.0, 1e15, 4.6e18};
  static const double kTempi[] = {0.0, 1.0, 60.0, 120.0, 300.0, 999.0};
  changed = true;
  switch (random.Range(0, 10)) {
    case 0: position = static_cast<double>(random.Range(0, 10000000)); break;
    case 1: position = -static_cast<double>(random.Range(1, 1000000)); break;
    case 2: position = -1e12; break;
    case 3: position = kTwo31 - static_cast<double>(random.Range(0, 9000)); break;
    case 4: position = kTwo31 + static_cast<double>(random.Range(0, 1000000)); break;
    case 5: position = random.Pick(kHuge); break;
    case 6: playing = !playing; break;
    case 7:
      loop = !loop;
      if (loop) {
        loopStart = std::floor(position) - static_cast<double>(random.Range(0, 1000));
        loopEnd = std::floor(position) + static_cast<double>(random.Range(1, 20000));
      }
      break;
    case 8: tempo = random.Pick(kTempi); break;
    case 9: available = !available; break;
    default: position += 0.5; break;
  }
}

std::string Timeline::Describe() const {
  std::string text = available ? "pos " + FormatDouble(position) : "no time info";
  if (available && !playing) text += " stopped";
  if (available && loop) text += " loop " + FormatDouble(loopStart) + ".." + FormatDouble(loopEnd);
  if (available) text += " tempo " + FormatDouble(tempo);
  return text;
}

// --- OutputCheck ---

std::string OutputCheck::Summary() const {
  std::string text = std::to_string(blocks) + " blocks, " + std::to_string(frames) + " frames, peak " +
                     FormatDouble(peak);
  auto add = [&](long count, const char* what) {
    if (count) text += ", " + std::to_string(count) + " " + what;
  };
  add(nan, "NaN");
  add(inf, "Inf");
  add(subnormal, "subnormal");
  add(beyond, ("beyond +-" + FormatDouble(bound)).c_str());
  add(unwritten, "unwritten");
  add(overrun, "written past the block");
  add(allocations, "allocation calls in process");
  if (lockAcquisitions || lockWaits)
    text += ", " + std::to_string(lockAcquisitions) + " lock acquisitions in process (" + std::to_string(lockWaits) +
            " waited, " + std::to_string(quietWaits) + " of them with no other thread calling; " +
            std::to_string(distinctLocks) + " distinct locks)";
  if (!first.empty()) text += "; first: " + first;
  return text;
}

// --- TestInstance ---

TestInstance::TestInstance(const std::string& modulePath, int callbackId)
    : plugin_(std::make_unique<PluginInstance>(modulePath, ValidatorHost::Callback(callbackId))) {
  AllocationCounter::Watch(plugin_->Library().Handle());
  LockCounter::Watch(plugin_->Library().Handle());
  slot_ = ValidatorHost::Claim(&plugin_->Effect(), callbackId);
  if (!slot_) throw HostError("too many instances at once for the validator's host");
  const AEffect& e = plugin_->Effect();
  size_t ins = static_cast<size_t>(e.numInputs), outs = static_cast<size_t>(e.numOutputs);
  input_.assign(ins, std::vector<double>(kCapacity));
  output_.assign(outs, std::vector<double>(kCapacity));
  inD_.assign(ins, std::vector<double>(kCapacity));
  outD_.assign(outs, std::vector<double>(kCapacity));
  inF_.assign(ins, std::vector<float>(kCapacity));
  outF_.assign(outs, std::vector<float>(kCapacity));
  inPtrD_ = Pointers(inD_);
  outPtrD_ = Pointers(outD_);
  inPtrF_ = Pointers(inF_);
  outPtrF_ = Pointers(outF_);
}

TestInstance::~TestInstance() {
  // The module may call its host while closing: keep the slot until it is closed.
  plugin_.reset();
  ValidatorHost::Release(slot_);
}

bool TestInstance::Supports(Precision precision) const {
  const AEffect& e = plugin_->Effect();
  if (precision == Precision::Double) return (e.flags & effFlagsCanDoubleReplacing) && e.processDoubleReplacing;
  return (e.flags & effFlagsCanReplacing) && e.processReplacing;
}

Precision TestInstance::Preferred() const {
  return Supports(Precision::Double) ? Precision::Double : Precision::Single;
}

void TestInstance::Resume(double sampleRate, int32_t announcedBlock) {
  sampleRate_ = sampleRate;
  slot_->sampleRate = sampleRate;
  slot_->blockSize = announcedBlock;
  plugin_->Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  plugin_->Dispatch(effSetBlockSize, 0, announcedBlock);
  plugin_->Dispatch(effMainsChanged, 0, 1);
  largestBlock_ = std::max(largestBlock_, announcedBlock);
}

void TestInstance::Suspend() { plugin_->Dispatch(effMainsChanged, 0, 0); }

void TestInstance::Process(int32_t frames, Precision precision, TestSignal& signal, Timeline& timeline,
                           OutputCheck& check, const std::string& where) {
  frames = std::clamp<int32_t>(frames, 0, kMaxBlock);
  signal.Fill(input_, frames);
  size_t n = static_cast<size_t>(frames), guarded = n + kGuardFrames;
  for (size_t c = 0; c < input_.size(); ++c)
    for (size_t i = 0; i < n; ++i) {
      inD_[c][i] = input_[c][i];
      inF_[c][i] = static_cast<float>(input_[c][i]);
    }
  if (precision == Precision::Double)
    for (auto& c : outD_) std::fill(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(guarded), UnwrittenDouble());
  else
    for (auto& c : outF_) std::fill(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(guarded), UnwrittenFloat());
  timeline.Publish(*slot_, sampleRate_);

  AEffect* e = &plugin_->Effect();
  bool longest = frames > largestBlock_;
  LockCounter::Begin();
  AllocationCounter::Begin();
  if (precision == Precision::Double)
    e->processDoubleReplacing(e, inPtrD_.data(), outPtrD_.data(), frames);
  else
    e->processReplacing(e, inPtrF_.data(), outPtrF_.data(), frames);
  long allocations = AllocationCounter::End();
  LockCounter::Tally locks = LockCounter::End();
  largestBlock_ = std::max(largestBlock_, frames);

  std::string context = where + ", block " + std::to_string(check.blocks) + " of " + std::to_string(frames) +
                        " frames, " + PrecisionName(precision) + ", " + timeline.Describe();
  if (allocations > 0) {
    if (longest) {
      check.allowedAllocations += allocations;
    } else {
      if (check.Clean()) check.first = std::to_string(allocations) + " allocation calls in " + context;
      check.allocations += allocations;
    }
  }
  CheckLocks(locks, check, context);
  CheckOutputs(frames, precision, check, context, timeline);
  timeline.Advance(frames);
}

void TestInstance::CheckLocks(const LockCounter::Tally& tally, OutputCheck& check, const std::string& where) {
  check.lockAcquisitions += tally.acquisitions;
  check.lockWaits += tally.waits;
  if (tally.waits > 0 && !concurrent_) {
    if (check.Clean())
      check.first = std::to_string(tally.waits) + " lock waits while no other thread called the instance in " + where;
    check.quietWaits += tally.waits;
  }
  for (int i = 0; i < tally.count; ++i)
    if (std::find(locks_.begin(), locks_.end(), tally.locks[i]) == locks_.end()) locks_.push_back(tally.locks[i]);
  moreLocks_ = moreLocks_ || tally.more;
  int distinct = static_cast<int>(locks_.size()) + (moreLocks_ ? 1 : 0);
  if (distinct > kAllowedLocks && check.Clean())
    check.first = std::to_string(distinct) + " distinct locks taken in process by " + where;
  check.distinctLocks = std::max(check.distinctLocks, distinct);
}

void TestInstance::CheckOutputs(int32_t frames, Precision precision, OutputCheck& check, const std::string& where,
                                const Timeline&) {
  ++check.blocks;
  check.frames += frames;
  bool clean = check.Clean();
  auto note = [&](long& counter, const char* what, size_t channel, size_t frame) {
    ++counter;
    if (clean) {
      check.first = std::string(what) + " at channel " + std::to_string(channel) + " frame " + std::to_string(frame) +
                    " (" + where + ")";
      clean = false;
    }
  };
  const double tiny = precision == Precision::Double ? DBL_MIN : static_cast<double>(FLT_MIN);
  size_t n = static_cast<size_t>(frames);
  for (size_t c = 0; c < output_.size(); ++c) {
    for (size_t i = 0; i < n + kGuardFrames; ++i) {
      bool unwritten = precision == Precision::Double ? IsUnwritten(outD_[c][i]) : IsUnwritten(outF_[c][i]);
      if (i >= n) {
        if (!unwritten) note(check.overrun, "written past the block", c, i);
        continue;
      }
      if (unwritten) {
        note(check.unwritten, "output left unwritten", c, i);
        output_[c][i] = 0;
        continue;
      }
      double v = precision == Precision::Double ? outD_[c][i] : static_cast<double>(outF_[c][i]);
      output_[c][i] = v;
      double magnitude = std::fabs(v);
      if (std::isnan(v)) note(check.nan, "NaN", c, i);
      else if (std::isinf(v)) note(check.inf, "Inf", c, i);
      else if (magnitude != 0 && magnitude < tiny) note(check.subnormal, "subnormal", c, i);
      else if (magnitude > check.bound) note(check.beyond, "beyond the bound", c, i);
      if (magnitude > check.peak && std::isfinite(v)) check.peak = magnitude;
    }
  }
}
