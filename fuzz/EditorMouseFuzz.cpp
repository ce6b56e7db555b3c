// Fuzz target: mouse sequences on the editor without a window, as a musician's
// hands and a host make them. The input decodes into presses (left or right,
// with shift, control and alt), drags, releases, double-clicks, wheel turns,
// hovers and leaves anywhere on the editor (main view, overview, zoom window,
// shape points, panel items, outside), ticks of the redraw timer, host
// automation and typed values, waits on the reset countdown's clock, host
// transport jumps and state saves and restores. Audio is processed (and so
// captured for the display) between gestures.
//
// After every step: both shape lists are ordered and free of overlaps, each
// point lies inside its segment, levels and settings are in range, the
// engine plays what the editor shows (the lists agree once the editor has
// taken any restored state), the views keep sane ranges, the parameters stay
// in [0, 1], a release leaves no control captured, and the output is clean
// (FuzzEffect). Any failure aborts, with the check named on stderr.
//
// Threads: libFuzzer's one thread plays host, audio and GUI thread in turn.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "FuzzEffect.h"
#include "FuzzInput.h"
#include "controls/WaveDisplay.h"
#include "core/EditorProbe.h"
#include "effect/EffectPlugin.h"
#include "graphics/platform/headless/HeadlessGraphics.h"
#include "shapes/EditPanel.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 540;
constexpr int kTickMilliseconds = 55;
constexpr int kFramesPerTick = 44100 * kTickMilliseconds / 1000;
constexpr int kFramesPerGesture = 128;
constexpr int kMaxSteps = 160;
// The manual link opens a desktop program: the target leaves it alone.
constexpr PixelRect kManualLink{20, 465, 170, 510};
constexpr PixelRect kPanelRect{273, 455, 612, 512};

// The countdown's clock: only the target moves it (timer ticks, waits).
int64_t gNow = 0;
int64_t FakeClock() { return gNow; }

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "editor mouse finding: %s\n", what);
  std::abort();
}

bool InRange(double v, double low, double high) { return v >= low && v <= high; }

// A list as the engine and the editor rely on it.
void CheckList(const ShapeStore& store) {
  int64_t previousEnd = INT64_MIN;
  for (int i = 0; i < store.Count(); ++i) {
    const ShapeSegment* s = store.At(i);
    if (!s) Finding("a null segment in a list");
    if (!(s->start.pos <= s->control.pos && s->control.pos <= s->end.pos)) Finding("a point outside its segment");
    if (s->start.pos < previousEnd) Finding("segments out of order or overlapping");
    previousEnd = s->end.pos;
    for (const ShapePoint* p : {&s->start, &s->control, &s->end})
      if (!(p->level >= 0.0 && p->level < 64.0)) Finding("a level out of range");
    if (!InRange(s->follow, 0, 1) || !InRange(s->clip, 0, 1) || !InRange(s->blend, 0, 1))
      Finding("a setting out of range");
  }
}

// What the engine plays: positions, levels and settings.
bool SameSound(const ShapeStore& a, const ShapeStore& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    const ShapeSegment& s = *a.At(i);
    const ShapeSegment& t = *b.At(i);
    if (s.bypass != t.bypass || s.mute != t.mute || s.follow != t.follow || s.clip != t.clip || s.blend != t.blend)
      return false;
    const ShapePoint* p[3] = {&s.start, &s.control, &s.end};
    const ShapePoint* q[3] = {&t.start, &t.control, &t.end};
    for (int k = 0; k < 3; ++k)
      if (p[k]->pos != q[k]->pos || p[k]->level != q[k]->level) return false;
  }
  return true;
}

class EditorRun {
 public:
  explicit EditorRun(FuzzEffect& effect) : effect_(effect) {}

  // A fresh instance with a fresh editor, its capture ring empty.
  void Begin() {
    effect_.Restart();
    probe_ = EditorProbe{};
    if (effect_.Dispatch(effVendorSpecific, kEditorProbeIndex, kEditorProbeValue, &probe_) != 1) Finding("no probe");
    if (probe_.width != kWidth || probe_.height != kHeight) Finding("editor size");
    plug_ = effect_.Plugin();
    graphics_ = static_cast<HeadlessGraphics*>(static_cast<Graphics*>(plug_->Editor()));
    display_ = plug_->Display();
    if (!graphics_ || !display_ || !plug_->Panel()) Finding("editor without display or panel");
    gNow = 0;
    plug_->Panel()->SetClock(&FakeClock);
    // A block at a position no int32 holds empties the capture ring.
    effect_.Process(1, 1e12, true, false);
    position_ = 0;
    timeAvailable_ = true;
    x_ = y_ = 0;
    held_ = 0;
    restorePending_ = false;
    saved_.clear();
  }

  void Step(FuzzInput& in) {
    const int op = in.U8() % 16;
    switch (op) {
      case 0:
      case 1: Press(in); break;
      case 2:
      case 3:
      case 4: Drag(in); break;
      case 5: Mouse(kProbeRelease, Point(in), 0, 0); held_ = 0; break;
      case 6: {
        Target t = Point(in);
        if (!kManualLink.Contains(t.x, t.y)) Mouse(kProbeDoubleClick, t, kProbeLeft | Modifiers(in.U8()), 0);
        break;
      }
      case 7: {
        Target t = Point(in);
        uint8_t n = in.U8();
        int notches = n < 240 ? static_cast<int>(n % 11) - 5 : static_cast<int>(in.U16() % 2001) - 1000;
        Mouse(kProbeWheel, t, Modifiers(in.U8()), notches);
        break;
      }
      case 8: Mouse(kProbeHover, Point(in), Modifiers(in.U8()), 0); break;
      case 9: Mouse(kProbeLeave, Target{x_, y_}, 0, 0); break;
      case 10:
      case 11: Ticks(1 + in.U8() % 4); break;
      case 12: {
        const uint16_t n = in.U16();
        Play(n % (FuzzEffect::kMaxFrames + 1), n & 0x8000);
        break;
      }
      case 13: Jump(in); break;
      case 14: State(in.U8()); break;
      default: Host(in); break;
    }
    // KELVANE_FUZZ_TRACE=1 shows each step, the failing one included, for reading what a finding did.
    static const bool trace = std::getenv("KELVANE_FUZZ_TRACE") != nullptr;
    if (trace)
      std::fprintf(stderr,
                   "step %2d at %4d,%4d held %2d: %d segments (%d in the engine), selected %d, drag %d, panel item %d, "
                   "zoom window %d,%d-%d,%d%s\n",
                   op, x_, y_, held_, display_->Shapes().Count(), plug_->EngineStore().Count(),
                   display_->Shapes().FirstSelected(), display_->DragModeNow(), plug_->Panel()->PressedItem(),
                   display_->ZoomWindow().left, display_->ZoomWindow().top, display_->ZoomWindow().right,
                   display_->ZoomWindow().bottom, plug_->Panel()->SegmentShown() ? ", panel shows a segment" : "");
    Check();
  }

 private:
  struct Target {
    int x;
    int y;
  };

  static int32_t Modifiers(uint8_t bits) {
    return (bits & 1 ? kProbeShift : 0) | (bits & 2 ? kProbeControl : 0) | (bits & 4 ? kProbeAlt : 0);
  }

  static int Scale(int byte, int from, int to) { return from + byte * (to - from) / 255; }

  // Where a pointer event lands.
  Target Point(FuzzInput& in) {
    const uint8_t mode = in.U8();
    const int a = in.U8();
    const int b = in.U8();
    const PixelRect& m = WaveDisplay::kMainRect;
    const PixelRect& o = WaveDisplay::kOverviewRect;
    switch (mode % 10) {
      case 0:
      case 1:
      case 2: return {x_ + static_cast<int8_t>(a), y_ + static_cast<int8_t>(b)};
      case 3: return {Scale(a, m.left - 4, m.right + 4), Scale(b, m.top - 20, m.bottom + 4)};
      case 4: return {Scale(a, o.left - 4, o.right + 4), Scale(b, o.top - 4, o.bottom + 4)};
      case 5: return {Scale(a, kPanelRect.left, kPanelRect.right), Scale(b, kPanelRect.top, kPanelRect.bottom)};
      case 6: return {Scale(a, 0, kWidth - 1), Scale(b, 0, kHeight - 1)};
      case 7: {
        // Near a corner of the zoom window (its handles) or inside it.
        const PixelRect& z = display_->ZoomWindow();
        const int dx = a % 21 - 10;
        const int dy = b % 21 - 10;
        switch (mode / 10 % 3) {
          case 0: return {z.left + dx, z.top + dy};
          case 1: return {z.right + dx, z.bottom + dy};
          default: return {(z.left + z.right) / 2 + dx, (z.top + z.bottom) / 2 + dy};
        }
      }
      case 8: {
        // On (or next to) a point of a shape, where the last paint drew it.
        const ShapeStore& shapes = display_->Shapes();
        if (shapes.Count() == 0) return {Scale(a, m.left, m.right), Scale(b, m.top, m.bottom)};
        const ShapeSegment* s = shapes.At(a % shapes.Count());
        const ShapePoint* points[3] = {&s->start, &s->control, &s->end};
        const ShapePoint* p = points[b % 3];
        const int dx = mode / 10 % 5 - 2;
        return {p->x + dx, (b & 4 ? p->yNeg : p->yPos) + (b >> 3) % 5 - 2};
      }
      default:
        // Anywhere, outside the editor too.
        return {static_cast<int8_t>(a) * 6 + kWidth / 2, static_cast<int8_t>(b) * 5 + kHeight / 2};
    }
  }

  void Mouse(int32_t event, Target t, int32_t buttons, int32_t notches) {
    x_ = t.x;
    y_ = t.y;
    probe_.mouse(probe_.context, event, t.x, t.y, buttons, notches);
    Play(kFramesPerGesture, false);
  }

  void Press(FuzzInput& in) {
    const Target t = Point(in);
    const uint8_t bits = in.U8();
    if (kManualLink.Contains(t.x, t.y)) return;
    const int32_t buttons = (bits & 8 ? kProbeRight : kProbeLeft) | Modifiers(bits);
    // A pointer reaches the place it presses: a hover comes first, unless the
    // window delivered none (a press right after the pointer entered).
    if (!(bits & 16)) Mouse(kProbeHover, t, 0, 0);
    Mouse(kProbePress, t, buttons, 0);
    held_ = buttons;
  }

  // A drag in one to four moves toward a target.
  void Drag(FuzzInput& in) {
    const Target from{x_, y_};
    const Target to = Point(in);
    const int moves = 1 + in.U8() % 4;
    for (int k = 1; k <= moves; ++k)
      Mouse(kProbeDrag, Target{from.x + (to.x - from.x) * k / moves, from.y + (to.y - from.y) * k / moves}, held_, 0);
    // A window stops reporting drags once the button is up, and its release
    // always comes: a drag with nothing held ends the press.
    if (held_ == 0) Mouse(kProbeRelease, to, 0, 0);
  }

  void Ticks(int count) {
    for (int i = 0; i < count; ++i) {
      Play(kFramesPerTick, false);
      gNow += kTickMilliseconds;
      // The display was marked dirty by any restore: a paint lets it take the shapes.
      if (probe_.tick(probe_.context)) restorePending_ = false;
    }
  }

  // The host plays on from where it is.
  void Play(int frames, bool singlePrecision) {
    effect_.Process(frames, position_, timeAvailable_, singlePrecision);
    if (std::isfinite(position_) && std::fabs(position_) < 1e15) position_ += frames;
  }

  // The host's transport moves: a loop back, a seek, a stop, no time info.
  void Jump(FuzzInput& in) {
    const uint8_t kind = in.U8();
    const uint16_t n = in.U16();
    switch (kind % 8) {
      case 0:
      case 1: position_ -= static_cast<double>(n) * 8; break;   // a loop back
      case 2: position_ += static_cast<double>(n) * 64; break;  // a seek ahead
      case 3: position_ = static_cast<double>(n) * 256; break;
      case 4: position_ = 2147483647.0 - n; break;              // the end of what shapes address
      case 5: position_ = -static_cast<double>(n); break;
      case 6: position_ = in.Double(); break;
      default: timeAvailable_ = !timeAvailable_; break;
    }
    Play(kFramesPerGesture, kind & 8);
  }

  // Saves the state now and then and restores the one saved (or the fresh one).
  void State(uint8_t bits) {
    if (bits & 1 || saved_.empty()) saved_ = effect_.GetChunk();
    if (bits & 2) {
      if (!effect_.SetChunk(saved_.data(), saved_.size())) Finding("the plug-in's own state refused");
      restorePending_ = true;
    }
    if (bits & 4) Ticks(1);
  }

  // The host automates a parameter, or the user types into the prompt, or
  // closes it, or waits.
  void Host(FuzzInput& in) {
    static const char* const kTexts[] = {"0", "1", "0.5", "-3", "100", "nan", "inf", "1e309", "", "x", "2", "Jet"};
    static const float kValues[] = {0.0f, 1.0f, 0.5f, 0.25f, -1.0f, 2.0f, NAN, INFINITY};
    const uint8_t what = in.U8();
    switch (what % 4) {
      case 0: {
        AEffect* e = effect_.Effect();
        e->setParameter(e, (what >> 2) % 3, kValues[(what >> 4) % 8]);
        break;
      }
      case 1: graphics_->TypeValue(kTexts[(what >> 2) % 12]); break;
      case 2: graphics_->ClosePrompt(); break;
      default: gNow += static_cast<int64_t>(what >> 2) * 100; break;
    }
  }

  void Check() {
    const ShapeStore& edit = display_->Shapes();
    CheckList(edit);
    CheckList(plug_->EngineStore());
    // Once the editor has taken any restored state, the engine plays what the editor shows.
    if (!restorePending_ && !SameSound(edit, plug_->EngineStore())) Finding("the engine's list differs from the editor's");
    const WaveView& main = display_->MainView();
    if (!(main.Start() < main.End())) Finding("an empty or inverted main view");
    if (!(main.GainBottom() < main.GainTop())) Finding("an empty or inverted gain range");
    const PixelRect& z = display_->ZoomWindow();
    const PixelRect& o = WaveDisplay::kOverviewRect;
    if (!z.IsAllZero() && (z.left < o.left || z.right > o.right || z.top < o.top || z.bottom > o.bottom || z.left > z.right ||
                           z.top > z.bottom))
      Finding("the zoom window outside the overview");
    AEffect* e = effect_.Effect();
    for (int i = 0; i < e->numParams; ++i)
      if (!InRange(e->getParameter(e, i), 0.0f, 1.0f)) Finding("a parameter out of [0, 1]");
    if (held_ == 0 && graphics_->CapturedControl() != -1) Finding("a control still captured after the release");
  }

  FuzzEffect& effect_;
  EditorProbe probe_;
  EffectPlugin* plug_ = nullptr;
  HeadlessGraphics* graphics_ = nullptr;
  WaveDisplay* display_ = nullptr;
  double position_ = 0;
  bool timeAvailable_ = true;
  int x_ = 0;
  int y_ = 0;
  int32_t held_ = 0;
  bool restorePending_ = false;
  std::vector<uint8_t> saved_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One instance serves every case (building one costs far more than a case);
  // each case starts from a fresh state and a freshly built editor.
  static auto effect = std::make_unique<FuzzEffect>();
  EditorRun run(*effect);
  run.Begin();
  FuzzInput in(data, size);
  for (int steps = 0; !in.Empty() && steps < kMaxSteps; ++steps) run.Step(in);
  return 0;
}
