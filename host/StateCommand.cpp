// state save | load | dump | make: saved-state chunks as files.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Commands.h"
#include "HostError.h"
#include "PluginInstance.h"
#include "SavedState.h"
#include "SavedStateText.h"

namespace {

constexpr const char* kUsage =
    "state save MODULE FILE | state load MODULE FILE | state dump FILE | state make TEXT OUT";

int Save(const Args& args) {
  CommandLine line(args, HostOptionSpecs({{"state", true}, {"set", true}}));
  line.ExpectPositional(2, "state save MODULE FILE [--state FILE] [--set NAME=VALUE]...");
  ApplyHostOptions(line);
  PluginInstance plugin(line.Positional()[0]);
  ApplyStateAndSets(plugin, line);
  std::vector<uint8_t> bytes = plugin.GetChunk();
  if (bytes.empty()) throw HostError("the module gave no state (effGetChunk returned 0)");
  WriteBinaryFile(line.Positional()[1], bytes, "state file");
  std::printf("saved %zu bytes to %s\n", bytes.size(), line.Positional()[1].c_str());
  return 0;
}

int Load(const Args& args) {
  CommandLine line(args, HostOptionSpecs({}));
  line.ExpectPositional(2, "state load MODULE FILE");
  ApplyHostOptions(line);
  std::vector<uint8_t> bytes = ReadBinaryFile(line.Positional()[1], "state file");
  PluginInstance plugin(line.Positional()[0]);
  if (!plugin.SetChunk(bytes))
    throw HostError("the module rejected the state in " + line.Positional()[1] + " (effSetChunk returned 0)");
  std::printf("effSetChunk accepted %zu bytes\n", bytes.size());
  for (int i = 0; i < plugin.ParamCount(); ++i) std::printf("param %s\n", DescribeParam(plugin, i).c_str());
  return 0;
}

int Dump(const Args& args) {
  CommandLine line(args, {});
  line.ExpectPositional(1, "state dump FILE");
  SavedState state = ParseSavedState(ReadBinaryFile(line.Positional()[0], "state file"));
  std::fputs(DumpSavedState(state).c_str(), stdout);
  return 0;
}

int Make(const Args& args) {
  CommandLine line(args, {});
  line.ExpectPositional(2, "state make TEXT OUT");
  std::vector<uint8_t> text = ReadBinaryFile(line.Positional()[0], "state text");
  SavedState state = MakeSavedState(std::string(text.begin(), text.end()));
  std::vector<uint8_t> bytes = SerialiseSavedState(state);
  WriteBinaryFile(line.Positional()[1], bytes, "state file");
  std::printf("wrote %zu bytes to %s\n", bytes.size(), line.Positional()[1].c_str());
  return 0;
}

}  // namespace

int RunState(const Args& args) {
  if (args.empty()) throw HostError(std::string("usage: kelvane-host ") + kUsage, true);
  Args rest(args.begin() + 1, args.end());
  if (args[0] == "save") return Save(rest);
  if (args[0] == "load") return Load(rest);
  if (args[0] == "dump") return Dump(rest);
  if (args[0] == "make") return Make(rest);
  throw HostError(std::string("usage: kelvane-host ") + kUsage, true);
}
