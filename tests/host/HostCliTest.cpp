// kelvane-host as a program: info, parameters, the host callback it offers
// and how it refuses bad input.
#include <gtest/gtest.h>

#include "HostRunner.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A refusal: non-zero exit, no crash, nothing on stdout and exactly one error line.
void ExpectOneErrorLine(const HostRun& run, const std::string& part) {
  EXPECT_FALSE(run.crashed);
  EXPECT_NE(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  auto lines = Lines(run.err);
  ASSERT_EQ(lines.size(), 1u) << run.err;
  EXPECT_EQ(lines[0].rfind("kelvane-host: error: ", 0), 0u) << lines[0];
  EXPECT_TRUE(Contains(lines[0], part)) << lines[0];
}

}  // namespace

TEST(HostInfo, PrintsIdentityFlagsAndEveryParameter) {
  HostRun run = RunHost({"info", FakeModule("FakePassThrough")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "name: FakePass\n"
            "vendor: Kelvane tests\n"
            "product: Pass\n"
            "unique id: fkps (1718317171)\n"
            "version: 7\n"
            "identify: 1316373862\n"
            "vst version: 2400\n"
            "category: 1\n"
            "flags: 4144 (CanReplacing ProgramChunks CanDoubleReplacing)\n"
            "inputs: 2\n"
            "outputs: 2\n"
            "initial delay: 0\n"
            "io ratio: 1\n"
            "can do receiveVstTimeInfo: 1\n"
            "can do hasCockosExtensions: 0\n"
            "can do sendVstEvents: 0\n"
            "can do receiveVstMidiEvent: 0\n"
            "programs: 0\n"
            "params: 2\n"
            "param   0: name \"gain\" label \"dB\" display \"-6.0\" value 0.25\n"
            "param   1: name \"mode\" label \"\" display \"wide\" value 1\n");
  EXPECT_EQ(run.err, "");
}

TEST(HostInfo, StateAndSetsApplyBeforeTheReport) {
  HostRun run = RunHost({"info", FakeModule("FakePassThrough"), "--set", "gain=0.30151135", "--set=1=0"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "name \"gain\" label \"dB\" display \"-4.8\" value 0.30151135\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"mode\" label \"\" display \"narrow\" value 0\n")) << run.out;
}

TEST(HostParam, GetsAndSetsByNameOrIndex) {
  std::string module = FakeModule("FakePassThrough");
  HostRun all = RunHost({"param", module});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(Lines(all.out).size(), 2u);

  HostRun one = RunHost({"param", module, "--set", "gain=0.75", "gain"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(one.out, "param   0: name \"gain\" label \"dB\" display \"6.0\" value 0.75\n");

  HostRun byIndex = RunHost({"param", module, "--set", "1=0.5", "1", "0"});
  ASSERT_EQ(byIndex.exitCode, 0) << byIndex.err;
  auto lines = Lines(byIndex.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "param   1: name \"mode\" label \"\" display \"narrow\" value 0.5");
  EXPECT_EQ(lines[1].substr(0, 14), "param   0: nam");

  ExpectOneErrorLine(RunHost({"param", module, "volume"}), "no parameter named or numbered 'volume'");
  ExpectOneErrorLine(RunHost({"param", module, "--set", "gain=1.5"}), "from 0 to 1");
  ExpectOneErrorLine(RunHost({"param", module, "--set", "gain=nan"}), "from 0 to 1");
  ExpectOneErrorLine(RunHost({"param", module, "--set", "gain"}), "NAME=VALUE");
  ExpectOneErrorLine(RunHost({"param", module, "2"}), "no parameter");
}

TEST(HostCallback, StandsInForReaperByDefault) {
  HostRun run = RunHost({"info", FakeModule("FakeProbe")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "name \"product\" label \"\" display \"REAPER")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"vendor\" label \"\" display \"kelvane-host stand-in\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"vendorver\" label \"\" display \"7000\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"hostver\" label \"\" display \"2400\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"timeoffs\" label \"\" display \"0 size 8\"")) << run.out;
  // No transport runs for info; the transport's default is playing.
  EXPECT_TRUE(Contains(run.out, "name \"playstate\" label \"\" display \"1\"")) << run.out;
  EXPECT_EQ(run.err, "kelvane-host: SetEditCurPos(time=2.5, moveView=1, seekPlay=0)\n");
}

TEST(HostCallback, ReportsTheChosenTimeOffsetAndPlayState) {
  HostRun run = RunHost({"info", FakeModule("FakeProbe"), "--time-offset", "-12.25", "--play-state", "5"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "display \"-12.25 size 8\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"playstate\" label \"\" display \"5\"")) << run.out;
}

TEST(HostCallback, PlainHostHasNoReaperFunctions) {
  HostRun run = RunHost({"info", FakeModule("FakeProbe"), "--plain-host"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "display \"kelvane-host\"")) << run.out;
  EXPECT_FALSE(Contains(run.out, "REAPER"));
  EXPECT_TRUE(Contains(run.out, "name \"vendor\" label \"\" display \"Kelvane project\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"timeoffs\" label \"\" display \"none\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"playstate\" label \"\" display \"none\"")) << run.out;
  EXPECT_TRUE(Contains(run.out, "name \"hostver\" label \"\" display \"2400\"")) << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(HostCallback, TracePrintsEveryHostCall) {
  HostRun run = RunHost({"info", FakeModule("FakeProbe"), "--trace"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "host: audioMasterGetProductString(index=0, value=0, opt=0) -> 1\n")) << run.err;
  EXPECT_TRUE(Contains(run.err, "host: audioMasterVersion(index=0, value=0, opt=0) -> 2400\n")) << run.err;
  EXPECT_TRUE(Contains(run.err, "host: host function lookup \"get_config_var\"")) << run.err;
  EXPECT_TRUE(Contains(run.err, "host: get_config_var(\"projtimeoffs\") -> double\n")) << run.err;
  EXPECT_TRUE(Contains(run.err, "host: GetPlayState() -> 1\n")) << run.err;
  // Without --trace the output stays free of it (see StandsInForReaperByDefault).
  EXPECT_FALSE(Contains(RunHost({"info", FakeModule("FakeProbe")}).err, "host: audioMaster"));
}

TEST(HostErrors, BadModulesGiveOneLineAndNoCrash) {
  std::string folder = TestFolder();
  ExpectOneErrorLine(RunHost({"info", folder + "/missing.so"}), "cannot open module");
  ExpectOneErrorLine(RunHost({"info", folder}), "not a regular file");
  WriteTextFile(folder + "/text.so", "this is not a shared object\n");
  ExpectOneErrorLine(RunHost({"info", folder + "/text.so"}), "cannot load module");
  ExpectOneErrorLine(RunHost({"info", FakeModule("FakeNotVst")}), "exports neither VSTPluginMain nor main");
  ExpectOneErrorLine(RunHost({"info", FakeModule("FakeNullEntry")}), "entry returned no effect");
  // This one exports only the old "main" entry: reaching the magic check shows the fallback works.
  ExpectOneErrorLine(RunHost({"info", FakeModule("FakeBadMagic")}), "bad magic 0x4e6f7065");
  ExpectOneErrorLine(RunHost({"param", FakeModule("FakeNullEntry"), "gain"}), "entry returned no effect");
}

TEST(HostErrors, BadArgumentsGiveOneLineAndExitTwo) {
  std::string module = FakeModule("FakePassThrough");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"info"},
           {"info", module, "extra"},
           {"info", module, "--bogus"},
           {"info", module, "--trace=yes"},
           {"process", module, "a.wav"},
           {"process", module, "a.wav", "b.wav", "--block", "0"},
           {"process", module, "a.wav", "b.wav", "--block", "12x"},
           {"process", module, "a.wav", "b.wav", "--block"},
           {"process", module, "a.wav", "b.wav", "--format", "f16"},
           {"state"},
           {"state", "eat", "x"},
           {"generate", "x.wav", "--seconds", "-1"},
       }) {
    HostRun run = RunHost(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    ExpectOneErrorLine(run, "");
    EXPECT_EQ(run.exitCode, 2);
  }
}

TEST(HostErrors, HelpDescribesEveryCommand) {
  HostRun run = RunHost({"--help"});
  ASSERT_EQ(run.exitCode, 0);
  for (const char* word : {"info MODULE", "param MODULE", "process MODULE IN.wav OUT.wav", "state save", "state load",
                           "state dump", "state make", "generate OUT.wav", "--plain-host", "--trace", "--script",
                           "--float", "--block", "--start", "--state", "--save-state", "--set"})
    EXPECT_TRUE(Contains(run.out, word)) << word;
}

// batch: the commands of a file in one process, each from the default host
// settings; a failing one reports its error and the next one runs.
TEST(HostBatch, RunsEachLineFromTheDefaultsAndGoesOnAfterAFailure) {
  const std::string folder = TestFolder();
  const std::string probe = FakeModule("FakeProbe");
  WriteTextFile(folder + "/batch.txt", "# REAPER's answers, then the defaults again\n"
                                       "info " + probe + " --time-offset 4.5 --play-state 6\n"
                                       "\n"
                                       "info " + probe + "\n"
                                       "info " + folder + "/missing.so\n"
                                       "param " + probe + " 0   # still runs\n");
  HostRun batch = RunHost({"batch", folder + "/batch.txt"});
  EXPECT_EQ(batch.exitCode, 1);
  const HostRun set = RunHost({"info", probe, "--time-offset", "4.5", "--play-state", "6"});
  const HostRun plain = RunHost({"info", probe});
  const HostRun param = RunHost({"param", probe, "0"});
  ASSERT_NE(set.out, plain.out);
  EXPECT_EQ(batch.out, set.out + "batch line 2: exit 0\n" + plain.out + "batch line 4: exit 0\n" +
                           "batch line 5: exit 1\n" + param.out + "batch line 6: exit 0\n");
  const std::string errors = set.err + plain.err + "kelvane-host: error: cannot open module " + folder + "/missing.so";
  EXPECT_EQ(batch.err.rfind(errors, 0), 0u) << batch.err;
  WriteTextFile(folder + "/nested.txt", "batch " + folder + "/batch.txt\n");
  HostRun nested = RunHost({"batch", folder + "/nested.txt"});
  EXPECT_EQ(nested.exitCode, 1);
  EXPECT_TRUE(Contains(nested.err, "batch file line 1: a batch cannot run a batch")) << nested.err;
}
