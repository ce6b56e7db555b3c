// The Windows kelvane-host under Wine for the tests: which loader runs each
// build here (or why none does), Windows paths, and whether 32-bit programs
// run under an emulator.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "HostRunner.h"
#include "tests/WineRuns.h"

namespace {

const std::string kWineEnvironment = WineEnvironment();

inline std::string WindowsPath(const std::string& path) {
  std::string converted = "Z:" + std::filesystem::absolute(path).string();
  for (char& c : converted)
    if (c == '/') c = '\\';
  return converted;
}

class HostWine : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "Wine runs the Windows builds, which the sanitizers do not instrument; "
                    "these tests run in the release build";
#endif
    std::string arch = GetParam();
    std::string dir = arch == "win32" ? KELVANE_WIN32_DIR : KELVANE_WIN64_DIR;
    if (dir.empty()) GTEST_SKIP() << "KELVANE_" << arch << "_DIR is not set for this build";
    exe_ = dir + "/host/kelvane-host.exe";
    dllDir_ = dir;
    if (!FileExists(exe_)) GTEST_SKIP() << "no Windows host at " << exe_ << " (build the " << arch << " preset)";
    loader_ = Loader(arch);
    if (loader_.empty()) GTEST_SKIP() << "Wine cannot run the " << arch << " host here: " << loaderProblem_[arch];
  }

  HostRun Run(const std::vector<std::string>& args) {
    std::vector<std::string> command{loader_, exe_};
    command.insert(command.end(), args.begin(), args.end());
    return RunProgram(command, kWineEnvironment);
  }

  std::string Fake(const std::string& name) const { return dllDir_ + "/tests/host/fakes/" + name + ".dll"; }

  std::string exe_, dllDir_, loader_;

 private:
  // The x86_64 host goes straight to Wine's 64-bit loader where it is installed:
  // the `wine` launcher prefers the 32-bit loader, which fails on a kernel
  // without 32-bit support and crawls where qemu emulates it. The i686 host
  // needs `wine`. The answer is kept next to the prefix for the other test
  // processes (ctest runs each test alone), keyed by the host's build time.
  std::string Loader(const std::string& arch) {
    std::string cacheFile = std::string(WINE_PREFIX) + "." + arch + ".loader";
    std::string key = exe_ + " " + std::to_string(std::filesystem::last_write_time(exe_).time_since_epoch().count());
    std::vector<uint8_t> bytes = ReadFileBytes(cacheFile);
    std::vector<std::string> cached = Lines(std::string(bytes.begin(), bytes.end()));
    if (cached.size() == 3 && cached[0] == key) {
      loaderProblem_[arch] = cached[2];
      return cached[1];
    }
    std::vector<std::string> candidates;
    if (arch == "win64") {
      for (const char* path : {"/usr/lib/wine/wine64", "/usr/lib64/wine/wine64", "/opt/wine-stable/bin/wine64"})
        if (FileExists(path)) candidates.push_back(path);
    }
    candidates.push_back("wine");
    std::string found;
    for (const std::string& candidate : candidates) {
      // The first run may build the prefix, which takes minutes under an emulator.
      HostRun run = RunProgram({"timeout", "1500", candidate, exe_, "help"}, kWineEnvironment);
      if (run.exitCode == 0 && run.out.find("kelvane-host") != std::string::npos) {
        found = candidate;
        break;
      }
      // (Where qemu runs 32-bit Wine, a start may fail with exit code 1 and, with
      // WINEDEBUG=-all, no output: "failed to map the shared user data".)
      std::string why = run.exitCode == 124        ? "no answer within 1500 s"
                        : !Lines(run.err).empty() ? Lines(run.err)[0]
                                                  : "exit code " + std::to_string(run.exitCode) + ", no output";
      loaderProblem_[arch] += candidate + ": " + why + "; ";
    }
    WriteTextFile(cacheFile, key + "\n" + found + "\n" + loaderProblem_[arch] + "\n");
    return found;
  }
  static inline std::map<std::string, std::string> loaderProblem_;
};

}  // namespace
