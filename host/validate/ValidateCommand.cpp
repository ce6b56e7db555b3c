// validate: runs every check of the validator on a module and prints one
// verdict line per check with the seed that reproduces it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>

#include "Commands.h"
#include "HostError.h"
#include "NumberText.h"
#include "validate/Checks.h"

const std::vector<Check>& AllChecks() {
  static const std::vector<Check> kChecks = {
      {"open-close", &CheckOpenClose},
      {"instances", &CheckInstances},
      {"sample-rates", &CheckSampleRates},
      {"block-sizes", &CheckBlockSizes},
      {"transport", &CheckTransport},
      {"parameters", &CheckParameters},
      {"parameter-extremes", &CheckParameterExtremes},
      {"allocations", &CheckAllocations},
      {"locks", &CheckLocks},
      {"state-round-trip", &CheckStateRoundTrip},
      {"state-shapes", &CheckStateShapes},
      {"state-blobs", &CheckStateBlobs},
      {"state-corrupt", &CheckStateCorrupt},
      {"state-while-processing", &CheckStateWhileProcessing},
      {"editor-open-close", &CheckEditorOpenClose},
      {"editor-mouse", &CheckEditorMouse},
  };
  return kChecks;
}

int RunValidate(const Args& args) {
  CommandLine line(args, {{"seed", true}, {"quick", false}, {"check", true}, {"bound", true}});
  line.ExpectPositional(1, "validate MODULE [--seed N] [--quick] [--check NAME]... [--bound B]");
  Validation v;
  v.module = line.Positional()[0];
  v.quick = line.Has("quick");
  v.bound = line.DoubleValue("bound", 1.0, 1e300).value_or(v.bound);
  if (auto seed = line.IntValue("seed", 0, INT64_MAX))
    v.seed = static_cast<uint64_t>(*seed);
  else
    v.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000000u;
  std::vector<std::string> only = line.Values("check");
  for (const std::string& name : only) {
    bool known = false;
    for (const Check& check : AllChecks()) known = known || name == check.name;
    if (!known) throw HostError("no check named '" + name + "'", true);
  }

  std::printf("validate %s, seed %llu%s\n", v.module.c_str(), static_cast<unsigned long long>(v.seed),
              v.quick ? ", quick" : "");
  int passed = 0, failed = 0, skipped = 0;
  for (const Check& check : AllChecks()) {
    if (!only.empty() && std::find(only.begin(), only.end(), check.name) == only.end()) continue;
    // A crash inside the module ends the run: the check it happened in is on screen.
    std::printf("RUN  %s\n", check.name);
    std::fflush(stdout);
    CheckResult result;
    try {
      result = check.run(v);
    } catch (const std::exception& error) {
      result = CheckResult::Fail(error.what());
    }
    const char* verdict = result.status == CheckResult::Status::Pass   ? "PASS"
                          : result.status == CheckResult::Status::Fail ? "FAIL"
                                                                       : "SKIP";
    (result.status == CheckResult::Status::Pass ? passed : result.status == CheckResult::Status::Fail ? failed : skipped)++;
    std::printf("%s %s (seed %llu): %s\n", verdict, check.name, static_cast<unsigned long long>(v.seed),
                result.detail.c_str());
    std::fflush(stdout);
  }
  std::printf("validate: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed ? 1 : 0;
}
