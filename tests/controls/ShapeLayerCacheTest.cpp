// The overview's shapes kept between paints give exactly the pixels that
// drawing every segment in every paint gives: two editors, one with the cache
// and one without, play the same audio and take the same random mouse session
// over hundreds of segments, and their surfaces are compared after each paint.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "controls/WaveDisplay.h"
#include "core/ByteOrder.h"
#include "tests/controls/DisplayRig.h"

namespace {

constexpr int kSegments = 300;

// 300 segments over the first 40 s, some taller than the overview, a few
// muted; each rig restores them as a host restores a project.
void LoadShapes(DisplayRig& rig, uint32_t seed) {
  std::mt19937 random(seed);
  ShapeStore shapes;
  int64_t position = 1000;
  for (int i = 0; i < kSegments; ++i) {
    auto* s = new ShapeSegment;
    const int64_t length = 500 + static_cast<int64_t>(random() % 8000);
    s->selected = 0;
    s->mute = i % 17 == 0;
    s->start.pos = static_cast<int32_t>(position);
    s->control.pos = static_cast<int32_t>(position + 1 + static_cast<int64_t>(random() % (length - 1)));
    s->end.pos = static_cast<int32_t>(position + length);
    for (ShapePoint* p : {&s->start, &s->control, &s->end}) p->level = (random() % 1000) / 500.0;
    shapes.InsertSegment(i, s);
    position += length + static_cast<int64_t>(random() % 1500);
  }
  HeapBuffer state;
  EffectPlugin::WriteStateOf(shapes, 1.0, 3.0, state);
  AEffect* effect = rig.plug->Effect();
  ASSERT_EQ(effect->dispatcher(effect, effSetChunk, 0, static_cast<VstIntPtr>(state.Size()), state.Data(), 0.0f), 1);
}

TEST(ShapeLayerCache, CachedOverviewShapesMatchAFullDrawingThroughARandomSession) {
  DisplayRig cached, full;
  full.display->OverviewShapeCache().SetEnabled(false);
  for (DisplayRig* rig : {&cached, &full}) {
    rig->signal = [](int64_t n) { return 0.5 * std::sin(n * 0.003) * std::sin(n * 0.00001); };
    LoadShapes(*rig, 11);
  }
  std::mt19937 random(5);
  const PointerState none, left{true};
  int64_t position = 0;
  int partialPaints = 0;
  int paints = 0;
  for (int frame = 0; frame < 500; ++frame) {
    // The host plays on, and now and then jumps back (a loop) or ahead.
    const uint32_t event = random() % 100;
    if (event < 3) position = std::max<int64_t>(0, position - 200000);
    if (event == 3) position += 500000;
    // Mouse: the same action on both editors.
    const int action = static_cast<int>(random() % 12);
    const int x = 30 + static_cast<int>(random() % 580);
    const int y = 30 + static_cast<int>(random() % 400);
    const int dx = static_cast<int>(random() % 21) - 10;
    const int dy = static_cast<int>(random() % 21) - 10;
    const int look = static_cast<int>(random() % 4);
    for (DisplayRig* rig : {&cached, &full}) {
      rig->Play(position, 512);
      rig->Play(position + 512, 512);
      HeadlessGraphics& g = *rig->g;
      switch (action) {
        case 0:  // press on the shapes (select, create) or elsewhere, and drag
        case 1:
        case 2:
          g.MouseHover(x, y, none);
          g.MousePress(x, y, left);
          g.MouseDrag(x + dx, y + dy, left);
          g.MouseDrag(x + 2 * dx, y + dy, left);
          g.MouseRelease(x + 2 * dx, y + dy);
          break;
        case 3:
          g.MouseWheel(x, y, none, dx > 0 ? 1 : -1);
          break;
        case 4:
          g.MouseDoubleClick(300, 400, left);  // the overview: follow again
          break;
        case 5:
          rig->display->SetDisplayLook(1.0 + look, look);
          break;
        case 6:
          g.MouseHover(x, y, none);
          break;
        default:
          break;
      }
    }
    position += 1024;
    cached.Tick();
    full.Tick();
    ++paints;
    if (cached.display->OverviewShapeCache().LastDrawn() < cached.display->Shapes().Count()) ++partialPaints;
    ASSERT_EQ(std::memcmp(cached.g->SurfacePixels(), full.g->SurfacePixels(), 640 * 540 * sizeof(uint32_t)), 0)
        << "frame " << frame << " action " << action;
  }
  EXPECT_GE(cached.display->Shapes().Count(), kSegments);
  // The cache did its work: most paints drew only a few segments again.
  EXPECT_GT(partialPaints, paints / 2);
}

}  // namespace
