// The Windows editor window of the i686 and x86_64 builds under Wine and an X
// server: one Wine process per build runs every check of
// kelvane-editor-checks.exe, which reports one line per check.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/WineRuns.h"

namespace {

const char* const kChecks[] = {
    "timer_period",  "open_close_reopen", "reopen_in_place", "two_instances",         "timer_redraws", "knob_drag",
    "wheel",         "list_prompt",       "number_prompt",   "prompt_cancel_refresh", "lost_capture",  "parent_destroyed",
};

class WinEditorUnderWine : public ::testing::TestWithParam<const char*> {};

TEST_P(WinEditorUnderWine, EveryCheckPasses) {
  const std::string arch = GetParam();
  const std::string dir = arch == "win32" ? KELVANE_WIN32_DIR : KELVANE_WIN64_DIR;
  const std::string exe = dir + "/tests/platform/win32/kelvane-editor-checks.exe";
  if (dir.empty() || !std::filesystem::exists(exe)) GTEST_SKIP() << "no " << exe << " (build the " << arch << " preset)";
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
  // The `wine` launcher prefers the 32-bit loader; the x86_64 program goes straight to the 64-bit one.
  std::string loader = "wine";
  if (arch == "win64" && std::filesystem::exists("/usr/lib/wine/wine64")) loader = "/usr/lib/wine/wine64";
  const std::string command = WineEnvironment() + " timeout 1500 " + loader + " '" + exe + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
  const int status = pclose(pipe);

  // Where qemu emulates 32-bit programs, 32-bit Wine sometimes cannot start
  // one at all (with WINEDEBUG=-all: exit code 1 and no output; the reason is
  // "failed to map the shared user data"). The program's first line tells that
  // apart from a failure of the checks.
  if (output.find("started") == std::string::npos && arch == "win32" && Emulated32Bit())
    GTEST_SKIP() << "32-bit Wine (through qemu-i386) could not start " << exe << ": exit status " << status
                 << (output.empty() ? ", no output" : ", said: " + output);

  std::map<std::string, std::string> results;  // check -> "" when it passed, else its complaint
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // the C library's text mode
    if (line.rfind("ok ", 0) == 0) results[line.substr(3)] = "";
    if (line.rfind("FAIL ", 0) == 0) {
      const size_t colon = line.find(':');
      results[line.substr(5, colon - 5)] = line.substr(colon == std::string::npos ? line.size() : colon + 2);
    }
  }
  for (const char* check : kChecks) {
    auto found = results.find(check);
    if (found == results.end()) {
      ADD_FAILURE() << check << " did not report; the checks said:\n" << output;
    } else {
      EXPECT_EQ(found->second, "") << check;
    }
  }
  EXPECT_EQ(status, 0) << output;
}

INSTANTIATE_TEST_SUITE_P(Builds, WinEditorUnderWine, ::testing::Values("win32", "win64"));

}  // namespace
