// kelvane-host validate: Kelvane passes it, and each check catches the fault
// it exists for, shown on a fake effect that turns faulty on request.
#include <gtest/gtest.h>

#include <cstdlib>

#include "HostRunner.h"

namespace {

const char* const kChecks[] = {"open-close",        "instances",         "sample-rates",  "block-sizes",
                               "transport",         "parameters",        "parameter-extremes", "allocations",
                               "locks",             "state-round-trip",  "state-shapes",  "state-blobs",
                               "state-corrupt",     "state-while-processing", "editor-open-close", "editor-mouse"};

// Checks a build may be unable to run: allocations and locks under the
// sanitizers' runtime, the editor's window without an X display.
bool MaySkip(const std::string& check) {
  return check == "allocations" || check == "locks" || (check == "editor-open-close" && !std::getenv("DISPLAY"));
}

HostRun Validate(const std::string& module, const std::string& fault, const std::vector<std::string>& more = {}) {
  std::vector<std::string> command{KELVANE_HOST, "validate", module, "--quick", "--seed", "5"};
  command.insert(command.end(), more.begin(), more.end());
  return RunProgram(command, fault.empty() ? "" : "FAKE_FAULT=" + fault);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The verdict line of `check`: "PASS name (seed 5): ...".
std::string Verdict(const std::string& out, const std::string& check) {
  for (const std::string& line : Lines(out))
    if (line.size() > 5 && line.compare(5, check.size() + 2, check + " (") == 0) return line.substr(0, 4);
  return "none";
}

}  // namespace

TEST(Validate, KelvanePassesTheQuickRun) {
  HostRun run = Validate(KELVANE_MODULE, "");
  ASSERT_FALSE(run.crashed) << run.out << run.err;
  for (const char* check : kChecks) {
    std::string verdict = Verdict(run.out, check);
    if (MaySkip(check) && verdict == "SKIP") continue;
    EXPECT_EQ(verdict, "PASS") << check << "\n" << run.out;
  }
}

TEST(Validate, AHealthyEffectPassesEveryCheckThatApplies) {
  HostRun run = Validate(FakeModule("FakeFaulty"), "");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  for (const char* check : kChecks) {
    // Not Kelvane's state format, no editor.
    const std::string name = check;
    std::string expected = name == "state-shapes" || name.rfind("editor-", 0) == 0 ? "SKIP" : "PASS";
    if (MaySkip(name) && Has(run.out, "SKIP " + name)) expected = "SKIP";
    EXPECT_EQ(Verdict(run.out, check), expected) << check << "\n" << run.out;
  }
  EXPECT_TRUE(Has(run.out, "validate: ")) << run.out;
}

TEST(Validate, EachFaultFailsTheCheckMeantForIt) {
  const struct {
    const char* fault;
    const char* check;
    const char* says;
  } cases[] = {
      {"nan-past-2^31", "transport", "NaN at channel 0"},
      {"subnormal", "block-sizes", "subnormal"},
      {"overrun", "block-sizes", "written past the block"},
      {"unwritten", "sample-rates", "output left unwritten"},
      {"allocate", "allocations", "allocation calls in process"},
      {"shared-host", "instances", "arrived through the callback of another host"},
      {"shared-params", "open-close", "does not start with the parameters"},
      {"lossy-state", "state-round-trip", "differs"},
      {"param-nan", "parameter-extremes", "getParameter(0) gives nan"},
      {"three-locks", "locks", "3 distinct locks taken in process"},
      {"lock-held", "locks", "lock waits while no other thread called the instance"},
      {"editor-nan", "editor-open-close", "NaN at channel 0"},
      {"probe-lossy", "editor-mouse", "does not restore byte for byte"},
  };
  for (const auto& c : cases) {
    HostRun run = Validate(FakeModule("FakeFaulty"), c.fault, {"--check", c.check});
    if (Verdict(run.out, c.check) == "SKIP" && MaySkip(c.check)) continue;
    EXPECT_EQ(run.exitCode, 1) << c.fault << "\n" << run.out << run.err;
    EXPECT_EQ(Verdict(run.out, c.check), "FAIL") << c.fault << "\n" << run.out;
    EXPECT_TRUE(Has(run.out, c.says)) << c.fault << "\n" << run.out;
    EXPECT_TRUE(Has(run.out, "(seed 5)")) << run.out;
  }
}
