// The validator's editor checks: an audio thread processes while the editor
// opens and closes again and again in a real window the validator made, with
// effEditIdle called as a host's GUI loop calls it; and, for modules that
// answer Kelvane's editor probe, random mouse edits on the waveform display
// and the edit panel while the audio runs, with the state saved, edited
// further and restored in between.
#include <chrono>
#include <thread>

#include "core/EditorProbe.h"
#include "validate/AudioThread.h"
#include "validate/Checks.h"
#include "validate/ParentWindow.h"

namespace {

constexpr int kIdleMilliseconds = 10;

// GUI thread: the host's GUI loop for `ms` milliseconds (at least one turn).
void RunGuiLoop(TestInstance& instance, ParentWindow& window, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    instance.Plugin().Dispatch(effEditIdle);
    window.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMilliseconds));
  } while (std::chrono::steady_clock::now() < end);
}

std::string AudioVerdict(const OutputCheck& check, std::string& problems) {
  if (!check.Clean()) problems += (problems.empty() ? "" : "; ") + check.Summary();
  return check.Summary();
}

}  // namespace

CheckResult CheckEditorOpenClose(const Validation& v) {
  Random random = v.RandomFor("editor-open-close");
  TestInstance instance(v.module);
  if (!(instance.Effect().flags & effFlagsHasEditor))
    return CheckResult::Skip("the module has no editor (effFlagsHasEditor not set)");
  // Some editors know their size only once open: a common size then.
  int width = 640, height = 480;
  ERect* rect = nullptr;
  if (instance.Plugin().Dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left &&
      rect->bottom > rect->top) {
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
  }
  std::string why;
  std::unique_ptr<ParentWindow> window = ParentWindow::Create(width, height, why);
  if (!window) return CheckResult::Skip(why);

  RandomiseInstance(instance, random);
  instance.Resume(48000, 512);
  const int cycles = v.Scale(4, 40);
  int refused = 0;
  AudioThread audio(instance, random.Next(), v.bound, 512, "audio thread while the editor opens and closes");
  for (int k = 0; k < cycles; ++k) {
    if (instance.Plugin().Dispatch(effEditOpen, 0, 0, window->Handle()) == 0) ++refused;
    // A quarter of the editors close at once; the rest run a while as in a host.
    int ms = random.Chance(0.25) ? 0 : static_cast<int>(random.Range(20, v.quick ? 150 : 600));
    RunGuiLoop(instance, *window, ms);
    instance.Plugin().Dispatch(effEditClose);
    window->Pump();
  }
  audio.Stop();
  std::string problems;
  std::string summary = AudioVerdict(audio.Check(), problems);
  if (!problems.empty()) return CheckResult::Fail(problems);
  std::string note = refused ? "; effEditOpen answered 0 " + std::to_string(refused) + " times" : "";
  return CheckResult::Pass(std::to_string(cycles) + " editor opens and closes in a " + std::to_string(width) + "x" +
                           std::to_string(height) + " window while processing" + note + "; " + summary);
}

namespace {

struct Area {
  int left, top, right, bottom;
};

// Kelvane's editor: the waveform display and the edit panel. The knob, the
// reset button and the manual link stay untouched: the link opens a document.
constexpr int kKelvaneWidth = 640, kKelvaneHeight = 540;
constexpr Area kDisplay{24, 24, 616, 445};
constexpr Area kPanel{273, 455, 612, 512};

// GUI thread: a burst of random presses, drags, releases, double clicks,
// wheel turns and hovers, with timer ticks between; ends with the mouse up.
void MouseBurst(EditorProbe& editor, Random& random, int events) {
  bool held = false;
  int x = 0, y = 0, buttons = kProbeLeft;
  auto place = [&] {
    const Area& area = random.Chance(0.7) ? kDisplay : kPanel;
    x = static_cast<int>(random.Range(area.left, area.right - 1));
    y = static_cast<int>(random.Range(area.top, area.bottom - 1));
  };
  auto modifiers = [&] {
    int bits = random.Chance(0.15) ? kProbeRight : kProbeLeft;
    if (random.Chance(0.1)) bits |= kProbeShift;
    if (random.Chance(0.1)) bits |= kProbeControl;
    if (random.Chance(0.1)) bits |= kProbeAlt;
    return bits;
  };
  for (int i = 0; i < events; ++i) {
    switch (random.Range(0, 9)) {
      case 0:
      case 1:
        if (held) {
          editor.mouse(editor.context, kProbeRelease, x, y, 0, 0);
        } else {
          place();
          buttons = modifiers();
          editor.mouse(editor.context, kProbePress, x, y, buttons, 0);
        }
        held = !held;
        break;
      case 2:
      case 3:
      case 4:
      case 5:
        // Mostly small steps; now and then far off, beyond the editor's edges.
        if (random.Chance(0.1)) {
          x = static_cast<int>(random.Range(-100, kKelvaneWidth + 100));
          y = static_cast<int>(random.Range(-100, kKelvaneHeight + 100));
        } else {
          x += static_cast<int>(random.Range(-40, 40));
          y += static_cast<int>(random.Range(-20, 20));
        }
        editor.mouse(editor.context, held ? kProbeDrag : kProbeHover, x, y, held ? buttons : 0, 0);
        break;
      case 6:
        place();
        editor.mouse(editor.context, kProbeWheel, x, y, modifiers() & ~(kProbeLeft | kProbeRight),
                     static_cast<int>(random.Range(1, 3)) * (random.Chance(0.5) ? 1 : -1));
        break;
      case 7:
        if (!held) {
          place();
          editor.mouse(editor.context, kProbeDoubleClick, x, y, modifiers(), 0);
        }
        break;
      default: editor.tick(editor.context); break;
    }
  }
  if (held) editor.mouse(editor.context, kProbeRelease, x, y, 0, 0);
  editor.tick(editor.context);
}

}  // namespace

CheckResult CheckEditorMouse(const Validation& v) {
  Random random = v.RandomFor("editor-mouse");
  TestInstance instance(v.module), probe(v.module);
  EditorProbe editor;
  if (instance.Plugin().Dispatch(effVendorSpecific, kEditorProbeIndex, kEditorProbeValue, &editor) != 1 ||
      !editor.tick || !editor.mouse)
    return CheckResult::Skip("the module does not answer Kelvane's editor probe");
  if (editor.width != kKelvaneWidth || editor.height != kKelvaneHeight)
    return CheckResult::Skip("the probed editor is " + std::to_string(editor.width) + "x" +
                             std::to_string(editor.height) + ", not Kelvane's layout");
  if (!HasChunks(instance)) return CheckResult::Skip("the module keeps no chunk to save between the edits");

  RandomiseInstance(instance, random);
  instance.Resume(48000, 256);
  const int rounds = v.Scale(4, 40), events = v.Scale(40, 200);
  const bool kelvane = IsKelvane(instance);
  std::string problems;
  int changed = 0;  // bursts after which the state was not what it was before
  AudioThread audio(instance, random.Next(), v.bound, 256, "audio thread while the mouse edits");
  for (int round = 0; round < rounds && problems.empty(); ++round) {
    std::string where = " (round " + std::to_string(round) + ")";
    std::vector<uint8_t> before = GetChunk(instance);
    MouseBurst(editor, random, events);
    std::vector<uint8_t> saved = GetChunk(instance);
    // Edits the saved state does not hold, then the state restored over them.
    MouseBurst(editor, random, events);
    changed += (saved != before) + (GetChunk(instance) != saved);
    if (!SetChunk(instance, saved)) {
      problems = "the module refuses the state it saved after mouse edits" + where;
      break;
    }
    std::vector<uint8_t> restored = GetChunk(instance), expected = kelvane ? WithoutClearedFlags(saved) : saved;
    if (restored != expected)
      problems = "the state saved after mouse edits does not restore byte for byte: " +
                 FirstDifference(expected, restored) + where;
    else if (std::string problem = FixedPointProblem(probe, restored); !problem.empty())
      problems = problem + where;
    for (int t = 0; t < 3; ++t) editor.tick(editor.context);
  }
  audio.Stop();
  std::string summary = AudioVerdict(audio.Check(), problems);
  if (!problems.empty()) return CheckResult::Fail(problems);
  return CheckResult::Pass(std::to_string(rounds) + " rounds of 2 x " + std::to_string(events) +
                           " mouse events on the display and panel while processing (" + std::to_string(changed) +
                           " of the " + std::to_string(2 * rounds) +
                           " bursts changed the state), the state saved, edited over and restored byte for byte "
                           "each round; " + summary);
}
