// The validator's checks. Each drives fresh instances of the module through
// the VST 2 ABI only and returns its verdict; a check that cannot apply to a
// module (no chunk, no allocation counter in this build) is skipped with the reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "validate/Random.h"

class TestInstance;

struct Validation {
  std::string module;
  uint64_t seed = 1;
  bool quick = false;
  double bound = 1000.0;  // largest output magnitude accepted for input within +-1

  int Scale(int quickCount, int fullCount) const { return quick ? quickCount : fullCount; }
  Random RandomFor(const char* check) const { return Random(MixSeed(seed, check)); }
};

struct CheckResult {
  enum class Status { Pass, Fail, Skip };
  Status status = Status::Pass;
  std::string detail;

  static CheckResult Pass(std::string detail) { return {Status::Pass, std::move(detail)}; }
  static CheckResult Fail(std::string detail) { return {Status::Fail, std::move(detail)}; }
  static CheckResult Skip(std::string detail) { return {Status::Skip, std::move(detail)}; }
};

using CheckFunction = CheckResult (*)(const Validation&);

struct Check {
  const char* name;
  CheckFunction run;
};

const std::vector<Check>& AllChecks();

// Processing checks (ProcessChecks.cpp).
CheckResult CheckOpenClose(const Validation& v);
CheckResult CheckInstances(const Validation& v);
CheckResult CheckSampleRates(const Validation& v);
CheckResult CheckBlockSizes(const Validation& v);
CheckResult CheckTransport(const Validation& v);
CheckResult CheckParameters(const Validation& v);
CheckResult CheckParameterExtremes(const Validation& v);
CheckResult CheckAllocations(const Validation& v);

// Lock calls in process, alone and with a GUI thread calling (LockChecks.cpp).
CheckResult CheckLocks(const Validation& v);

// Editor checks (EditorChecks.cpp).
CheckResult CheckEditorOpenClose(const Validation& v);
CheckResult CheckEditorMouse(const Validation& v);

// State checks (StateChecks.cpp).
CheckResult CheckStateRoundTrip(const Validation& v);
CheckResult CheckStateShapes(const Validation& v);
CheckResult CheckStateBlobs(const Validation& v);
CheckResult CheckStateCorrupt(const Validation& v);
CheckResult CheckStateWhileProcessing(const Validation& v);

// Shared by the checks.
// Random values for every parameter through setParameter; for Kelvane also a
// saved state with random gain shapes, placed where the transport goes.
void RandomiseInstance(TestInstance& instance, Random& random);
bool IsKelvane(TestInstance& instance);
bool HasChunks(TestInstance& instance);
// A saved state of Kelvane's format with random, well-formed shapes around
// the positions the checks play (0, and just below 2^31).
std::vector<uint8_t> RandomKelvaneState(Random& random, const std::vector<uint8_t>& header, int maxSegments);
std::vector<uint8_t> GetChunk(TestInstance& instance);
bool SetChunk(TestInstance& instance, const std::vector<uint8_t>& bytes);
// Kelvane's own state with the flags its format clears on reading (`selected`, `hit`) cleared.
std::vector<uint8_t> WithoutClearedFlags(const std::vector<uint8_t>& bytes);
std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
// A state the module gave must be one it takes back unchanged: restored into
// `probe` and saved again, it gives the same bytes. Empty when it does.
std::string FixedPointProblem(TestInstance& probe, const std::vector<uint8_t>& state);
