// kelvane-host: a command-line VST 2 host for testing Kelvane and for its demo.
// It loads a module through the VST 2 ABI alone, stands in for REAPER (or a
// plain host), processes WAV files and handles saved-state chunks.
#include <cstdio>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Commands.h"
#include "HostError.h"
#include "HostServices.h"
#include "ScriptLine.h"

namespace {

constexpr const char* kHelp = R"(kelvane-host: a command-line VST 2 host (REAPER stand-in by default)

usage: kelvane-host COMMAND ARGS [OPTIONS]

commands:
  info MODULE                      identity, flags, channels, latency and every parameter
  param MODULE [NAME|INDEX]...     parameters (all when none named), after --state and --set
  process MODULE IN.wav OUT.wav    run a WAV file through the module
  state save MODULE FILE           write the module's state chunk (effGetChunk) to FILE
  state load MODULE FILE           hand FILE to the module (effSetChunk), report the result
  state dump FILE                  print a Kelvane saved state as text
  state make TEXT OUT              build a saved state from such text (dump output gives the same bytes)
  generate OUT.wav                 write the deterministic stereo test music
  draw-test REAPER.png PLAIN.png   draw Kelvane's test editor with this platform's code, as REAPER's
                                   stand-in and as a plain host (this command links the plug-in)
  validate MODULE                  check any VST 2 effect: lifetimes, rates, blocks, transport,
                                   parameters, allocations in process, states (see docs)
  editor MODULE IN.wav SCRIPT      play IN.wav through the module's editor without a window,
                                   replaying a mouse script and writing PNG screenshots
  plot OUT.png IN.wav...           draw WAV files' waveforms one above the other (the manual's pictures)
  annotate IN.png OUT.png [N:X:Y]...  copy a picture, optionally cropped, with numbered markers
  batch FILE                       run the commands in FILE, one a line ("#" starts a comment;
                                   words without blanks), in this one process, each from the
                                   default host settings; after each: "batch line N: exit CODE"
  help                             this text

options of the commands that load a module:
  --plain-host          present a plain VST 2 host instead of REAPER (no named host functions)
  --trace               print every call the module makes to the host on stderr
  --time-offset SEC     REAPER's project time offset ("projtimeoffs"), default 0
  --play-state N        the "GetPlayState" answer (5, 6: recording); default follows the transport
  --state FILE          load a state chunk (effSetChunk) first       (info, param, process, editor, state save)
  --set NAME=VALUE      set a parameter by name or index, normalised (info, param, process, editor, state save)
  --save-state FILE     write the state chunk at the end             (param, process, editor)

process options:
  --float               use processReplacing (32-bit) instead of processDoubleReplacing
  --block N             frames per block (default 512)
  --start POS           play position of the first frame in samples (default 0)
  --tempo BPM           tempo reported in the time info (default 120; 0: none)
  --script FILE         transport script (below)
  --format f32|f64|s16  output samples (default f64, f32 with --float); f32 and f64 keep values
                        exact, s16 (16-bit PCM, clipped) is a copy for listening

validate options:
  --seed N              seed of every random case (default: from the clock; printed)
  --quick               fewer cases (seconds instead of minutes)
  --check NAME          run only this check (repeatable)
  --bound B             largest output accepted for input within +-1 (default 1000)

editor options: those of process except --format, with --transport FILE for --script;
  --window              the editor in a real window (X11 on Linux, Win32 on Windows), the
                        script replayed as pointer input (XTest) or window messages (Win32),
                        screenshots read back from the window
editor script: one action a line ("#" starts a comment):
  play BLOCKS | tick N | press X Y [right] [shift] [ctrl] [alt] | drag X Y | release X Y
  double X Y | wheel X Y NOTCHES | hover X Y | leave | png FILE
  (while play runs, the editor's timer ticks once per 55 ms of audio)

plot options:
  --from SEC --to SEC   time range (default: all)   --label TEXT  one per file, in order
  --state FILE          draw the gain shapes of a saved state as target-level curves
  --width PX (default 960)   --height PX per waveform (default 170)
annotate options:
  --crop X,Y,W,H        keep this part of the picture (markers use the uncropped coordinates)
  --scale N             enlarge every pixel to N x N (default 1)

generate options:
  --seconds S (default 12)   --rate R (default 44100)   --format f32|f64|s16 (default f32)
  --signal music|ramp   the test music (default), or a 110 Hz tone rising from silence to full scale

transport script: one command a line, "[@FRAME] COMMAND ARGS", FRAME counting input
frames (absolute, or @+N after the previous line); "#" starts a comment.
  pos P | block N | tempo BPM | loop START END | loop off | play | stop
  playstate N | offset SECONDS | rate HZ | set NAME=VALUE

The sample rate comes from the input file. Before processing the host calls effOpen,
effSetSampleRate, effSetBlockSize (largest block) and effMainsChanged(1); afterwards
effMainsChanged(0) and effClose. Errors print one line on stderr and exit non-zero
(2 for bad arguments).
)";

int RunBatch(const Args& args);

int Run(const std::vector<std::string>& words) {
  if (words.empty()) throw HostError("no command given (see kelvane-host --help)", true);
  const std::string& command = words[0];
  Args rest(words.begin() + 1, words.end());
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == "info") return RunInfo(rest);
  if (command == "param") return RunParam(rest);
  if (command == "process") return RunProcess(rest);
  if (command == "state") return RunState(rest);
  if (command == "generate") return RunGenerate(rest);
  if (command == "draw-test") return RunDrawTest(rest);
  if (command == "validate") return RunValidate(rest);
  if (command == "editor") return RunEditor(rest);
  if (command == "plot") return RunPlot(rest);
  if (command == "annotate") return RunAnnotate(rest);
  if (command == "batch") return RunBatch(rest);
  throw HostError("unknown command '" + command + "' (see kelvane-host --help)", true);
}

// One command with the error handling of a whole run: the exit code.
int RunReporting(const std::vector<std::string>& words) {
  int code = 1;
  try {
    code = Run(words);
  } catch (const HostError& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelvane-host: error: %s\n", error.what());
    code = error.usageError ? 2 : 1;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelvane-host: error: %s\n", error.what());
  }
  std::fflush(stdout);
  std::fflush(stderr);
  return code;
}

// batch FILE: many commands for one start of the program (a Windows host
// under an emulated Wine takes minutes to start). A failing command reports
// its error and the next one runs; the batch fails when any command failed.
int RunBatch(const Args& args) {
  if (args.size() != 1) throw HostError("usage: batch FILE", true);
  std::istringstream text(ReadScriptFile(args[0], "batch file"));
  int number = 0;
  int failed = 0;
  for (std::string lineText; std::getline(text, lineText);) {
    ScriptLine line("batch file", ++number, lineText);
    if (line.Empty()) continue;
    std::vector<std::string> words;
    while (line.More()) words.push_back(line.Word("word"));
    if (words[0] == "batch") line.Fail("a batch cannot run a batch");
    HostServices& host = HostServices::Get();
    host.settings = HostSettings{};
    host.transport = TransportState{};
    const int code = RunReporting(words);
    std::printf("batch line %d: exit %d\n", number, code);
    std::fflush(stdout);
    failed += code != 0;
  }
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Byte-identical output on both systems: no CR/LF translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  return RunReporting(std::vector<std::string>(argv + 1, argv + argc));
}
