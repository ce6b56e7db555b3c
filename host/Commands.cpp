// info, param and generate, and the helpers the module commands share.
#include "Commands.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "HostError.h"
#include "HostServices.h"
#include "NumberText.h"
#include "PluginInstance.h"
#include "SignalGenerator.h"

namespace {

std::string FourChars(int32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xff);
    text += (c >= 32 && c < 127) ? c : '?';
  }
  return text;
}

std::string FlagNames(int32_t flags) {
  static const struct {
    int32_t bit;
    const char* name;
  } names[] = {{effFlagsHasEditor, "HasEditor"},         {effFlagsCanMono, "CanMono"},
               {effFlagsCanReplacing, "CanReplacing"},   {effFlagsProgramChunks, "ProgramChunks"},
               {effFlagsIsSynth, "IsSynth"},             {effFlagsNoSoundInStop, "NoSoundInStop"},
               {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
  std::string text;
  int32_t known = 0;
  for (const auto& n : names) {
    known |= n.bit;
    if (flags & n.bit) text += std::string(text.empty() ? "" : " ") + n.name;
  }
  if (flags & ~known) text += std::string(text.empty() ? "" : " ") + "other:" + std::to_string(flags & ~known);
  return text;
}

}  // namespace

std::vector<OptionSpec> HostOptionSpecs(std::vector<OptionSpec> more) {
  more.push_back({"plain-host", false});
  more.push_back({"trace", false});
  more.push_back({"time-offset", true});
  more.push_back({"play-state", true});
  return more;
}

void ApplyHostOptions(const CommandLine& line) {
  HostSettings& settings = HostServices::Get().settings;
  settings.plainHost = line.Has("plain-host");
  settings.trace = line.Has("trace");
  if (auto offset = line.DoubleValue("time-offset", -1e9, 1e9)) settings.projectTimeOffset = *offset;
  if (auto state = line.IntValue("play-state", 0, 255)) settings.playState = static_cast<int>(*state);
}

std::vector<uint8_t> ReadBinaryFile(const std::string& path, const char* what) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw HostError(std::string("cannot read ") + what + " " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes, const char* what) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file || !file.flush()) throw HostError(std::string("cannot write ") + what + " " + path);
}

void ApplyStateAndSets(PluginInstance& plugin, const CommandLine& line) {
  if (auto path = line.Value("state")) {
    std::vector<uint8_t> bytes = ReadBinaryFile(*path, "state file");
    if (!plugin.SetChunk(bytes)) throw HostError("the module rejected the state in " + *path + " (effSetChunk returned 0)");
  }
  for (const std::string& assignment : line.Values("set")) plugin.SetParamAssignment(assignment);
}

void SaveStateIfAsked(PluginInstance& plugin, const CommandLine& line) {
  if (auto path = line.Value("save-state")) {
    std::vector<uint8_t> bytes = plugin.GetChunk();
    if (bytes.empty()) throw HostError("the module gave no state (effGetChunk returned 0)");
    WriteBinaryFile(*path, bytes, "state file");
  }
}

int RunInfo(const Args& args) {
  CommandLine line(args, HostOptionSpecs({{"state", true}, {"set", true}}));
  line.ExpectPositional(1, "info MODULE [--state FILE] [--set NAME=VALUE]...");
  ApplyHostOptions(line);
  PluginInstance plugin(line.Positional()[0]);
  ApplyStateAndSets(plugin, line);
  AEffect& e = plugin.Effect();
  std::printf("name: %s\n", plugin.QueryString(effGetEffectName).c_str());
  std::printf("vendor: %s\n", plugin.QueryString(effGetVendorString).c_str());
  std::printf("product: %s\n", plugin.QueryString(effGetProductString).c_str());
  std::printf("unique id: %s (%d)\n", FourChars(e.uniqueID).c_str(), static_cast<int>(e.uniqueID));
  std::printf("version: %d\n", static_cast<int>(e.version));
  std::printf("identify: %lld\n", static_cast<long long>(plugin.Dispatch(effIdentify)));
  std::printf("vst version: %lld\n", static_cast<long long>(plugin.Dispatch(effGetVstVersion)));
  std::printf("category: %lld\n", static_cast<long long>(plugin.Dispatch(effGetPlugCategory)));
  std::printf("flags: %d (%s)\n", static_cast<int>(e.flags), FlagNames(e.flags).c_str());
  std::printf("inputs: %d\n", static_cast<int>(e.numInputs));
  std::printf("outputs: %d\n", static_cast<int>(e.numOutputs));
  for (bool input : {true, false}) {
    for (int i = 0; i < (input ? e.numInputs : e.numOutputs); ++i) {
      // The whole published record: a module may write any of its fields.
      VstPinProperties pin{};
      if (plugin.Dispatch(input ? effGetInputProperties : effGetOutputProperties, i, 0, &pin) == 0) continue;
      pin.label[sizeof pin.label - 1] = 0;
      std::printf("%s pin %d: \"%s\" flags %d\n", input ? "input" : "output", i, pin.label,
                  static_cast<int>(pin.flags));
    }
  }
  std::printf("initial delay: %d\n", static_cast<int>(e.initialDelay));
  std::printf("io ratio: %s\n", FormatFloat(e.ioRatio).c_str());
  for (const char* canDo : {"receiveVstTimeInfo", "hasCockosExtensions", "sendVstEvents", "receiveVstMidiEvent"}) {
    std::string text = canDo;
    // Large answers are magic words (0xbeef0000); a 32-bit module returns them negative, so print their bits.
    VstIntPtr answer = plugin.Dispatch(effCanDo, 0, 0, text.data());
    if (answer >= -1 && answer <= 1)
      std::printf("can do %s: %d\n", canDo, static_cast<int>(answer));
    else
      std::printf("can do %s: 0x%08x\n", canDo, static_cast<unsigned>(static_cast<uint32_t>(answer)));
  }
  std::printf("programs: %d\n", static_cast<int>(e.numPrograms));
  std::printf("params: %d\n", plugin.ParamCount());
  for (int i = 0; i < plugin.ParamCount(); ++i) std::printf("param %s\n", DescribeParam(plugin, i).c_str());
  return 0;
}

int RunParam(const Args& args) {
  CommandLine line(args, HostOptionSpecs({{"state", true}, {"set", true}, {"save-state", true}}));
  if (line.Positional().empty())
    throw HostError("usage: kelvane-host param MODULE [--set NAME=VALUE]... [NAME|INDEX]...", true);
  ApplyHostOptions(line);
  PluginInstance plugin(line.Positional()[0]);
  std::vector<int> shown;
  for (size_t i = 1; i < line.Positional().size(); ++i) shown.push_back(plugin.FindParam(line.Positional()[i]));
  ApplyStateAndSets(plugin, line);
  if (line.Positional().size() == 1)
    for (int i = 0; i < plugin.ParamCount(); ++i) shown.push_back(i);
  for (int index : shown) std::printf("param %s\n", DescribeParam(plugin, index).c_str());
  SaveStateIfAsked(plugin, line);
  return 0;
}

int RunGenerate(const Args& args) {
  CommandLine line(args, {{"seconds", true}, {"rate", true}, {"format", true}, {"signal", true}});
  line.ExpectPositional(1, "generate OUT.wav [--seconds S] [--rate R] [--format f32|f64|s16] [--signal music|ramp]");
  double seconds = line.DoubleValue("seconds", 0.0, 3600.0).value_or(12.0);
  int rate = static_cast<int>(line.IntValue("rate", 8000, 384000).value_or(44100));
  std::string format = line.Value("format").value_or("f32");
  WavSampleFormat sampleFormat = format == "f64"   ? WavSampleFormat::Float64
                                 : format == "s16" ? WavSampleFormat::Pcm16
                                 : format == "f32" ? WavSampleFormat::Float32
                                                   : throw HostError("--format must be f32, f64 or s16", true);
  const std::string signal = line.Value("signal").value_or("music");
  if (signal != "music" && signal != "ramp") throw HostError("--signal must be music or ramp", true);
  AudioData audio = signal == "ramp" ? GenerateRamp(seconds, rate) : GenerateTestSignal(seconds, rate);
  WriteWav(line.Positional()[0], audio, sampleFormat);
  std::printf("wrote %s: %lld frames, 2 channels, %d Hz\n", line.Positional()[0].c_str(),
              static_cast<long long>(audio.Frames()), rate);
  return 0;
}
