// ShapeStore: an ordered list of gain-shape segments plus the running state of
// the engine that imposes them on the audio.
//
// The plug-in has two stores. The editor edits its own (the edit store) on the
// GUI thread and commits it into the plug-in's (the engine store) with
// CopyShapes under PlugLock; saved state is written from and restored into the
// engine store. The audio thread reads the engine store through ApplyShapes,
// also under PlugLock, so it always sees a complete list.
//
// How the plug-in uses it: a commit is PlugLock + CopyShapes(edit, engine);
// the state writer appends WriteShapes after its header; the state reader
// calls ReadShapes at the offset after its header and, only on success,
// CopyShapes(engine, edit). The process copies input to output, then calls
// ApplyShapes under PlugLock with FTZ/DAZ set.
//
// List invariants kept by the editing operations: segments ordered by
// start.pos; start.pos <= control.pos <= end.pos; neighbours do not overlap;
// levels >= 0; follow, clip and blend in 0..1. ReadShapes restores them from
// whatever a saved state holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/HeapBuffer.h"
#include "core/PixelRect.h"
#include "core/PtrList.h"
#include "core/RecursiveLock.h"
#include "shapes/ShapeSegment.h"

class WaveView;

// The settings of the selected segment as the edit panel shows them.
struct SegmentSettings {
  int32_t controlPos = 0;
  bool bypass = false;
  bool mute = false;
  double follow = 0.5;
  double clip = 1.0;
  double blend = 0.5;
};

class ShapeStore {
 public:
  ShapeStore();
  ~ShapeStore();
  ShapeStore(const ShapeStore&) = delete;
  ShapeStore& operator=(const ShapeStore&) = delete;

  // ---- Edit-store state (carried by neither copies nor saved state) ----
  uint8_t flipped = 0;      // the last click on the shapes lay in the mirrored image
  int32_t copySource = -1;  // index of the segment waiting to be pasted, -1 for none

  // ---- Engine state (carried by neither copies nor saved state) ----
  int32_t currentIndex = -1;  // segment processed last; -1 after running outside all
  double sampleRate = 44100.0;  // fixed: time constants ignore the host's rate
  double envelope = 1.0;     // follower's peak envelope, never below kEnvelopeFloor
  double gain = 1.0;         // follower gain of the last processed sample
  double attackCoef = 0.0;   // follower rise coefficient of the last run
  double releaseCoef = 0.0;  // follower fall coefficient of the last run; also smooths to 1
  // Shaped runs use 4-lane AVX vectors (x86_64 processors that have them) or
  // 2-lane SSE2 vectors; both give the same bits.
  bool wideVectors;

  // Serialises copies between stores, restores and clearing. Lock order:
  // PlugLock, then the two stores' in address order.
  RecursiveLock storeLock;

  // ---- Limits of the engine ----
  // Keeps the follower envelope off 0 and denormals; a follower gain below it snaps to 0.
  static constexpr double kEnvelopeFloor = 1e-20;
  static constexpr double kMaxGain = 100.0;        // +40 dB: silence cannot turn into bursts
  static constexpr double kUnitySnap = 1e-8;       // smoothing snaps to 1 this close

  // ---- List access (no lock) ----
  int Count() const { return segments_.Count(); }
  // The segment at index, or null outside the list. The engine store's
  // segments change only through the operations below (copy, restore,
  // clearing): they tell the engine that the list changed.
  ShapeSegment* At(int index) const { return segments_.At(index); }

  // Takes ownership of segment and stores it at index (clamped to 0..Count()).
  // copySource keeps pointing at the same segment. Returns the segment, or null
  // when segment is null or the list could not grow (the segment is then
  // deleted). No lock: edit-store use on the GUI thread.
  ShapeSegment* InsertSegment(int index, ShapeSegment* segment);
  // Deletes the segment at index and closes the gap; copySource follows, and is
  // cleared when it named this segment. Returns false outside the list.
  bool RemoveSegment(int index);

  // Number of leading segments whose start.pos is at most position: also the
  // index of the first segment starting after position. Linear scan.
  int CountStartingAtOrBefore(int64_t position) const;
  // Number of leading segments lying wholly before position: the count above,
  // reduced while the last counted segment has end.pos >= position.
  int CountWhollyBefore(int64_t position) const;

  // Under storeLock, deletes every segment (last first); clears copySource.
  void ClearShapes();

  // Makes destination a record-for-record copy of source (every field of every
  // segment, flags and cached screen fields included), reusing the
  // destination's segments: a copy of an unchanged count allocates nothing.
  // Locks both stores, in address order. All or nothing: when an allocation fails
  // the destination is unchanged and false is returned. The destination's
  // copySource is cleared, since the segment it named has been replaced.
  static bool CopyShapes(ShapeStore& source, ShapeStore& destination);

  // Appends the saved payload: int32 segment count, then each segment's
  // 128-byte record in list order (little-endian). Returns false, with the
  // buffer as it was, when the buffer cannot grow. Caller holds PlugLock for
  // the engine store.
  bool WriteShapes(HeapBuffer& buffer) const;

  // Restores the payload found at offset in size bytes of data, replacing the
  // list. Fewer than 4 bytes after offset restore an empty list (success).
  // Fails, keeping the current list untouched, on a negative count, a count of
  // more records than the bytes hold, or an allocation failure. What is read is
  // sanitised (non-finite values take their defaults, settings clamp to 0..1,
  // levels to [0, 64), reversed ends swap, the control point clamps between
  // them, the list is stably sorted by start) and `selected` and `hit` are
  // cleared, as is copySource; the engine fields are left alone. Takes
  // storeLock for the swap.
  bool ReadShapes(const uint8_t* data, size_t size, size_t offset);
  bool ReadShapes(const HeapBuffer& buffer, size_t offset) {
    return ReadShapes(buffer.Data(), buffer.Size(), offset);
  }

  // ---- Edits of the edit store (GUI thread, no lock; the caller commits) ----

  // Index of the first selected segment in list order, or -1.
  int FirstSelected() const;
  // Moves the selection one segment back or on, wrapping at the ends; nothing
  // happens with fewer than two segments or nothing selected.
  void SelectPrevious();
  void SelectNext();
  // The first selected segment's settings and control position; false when
  // nothing is selected.
  bool GetSelectedSettings(SegmentSettings* settings) const;
  // Writes the five settings (follow, clip, blend clamped to 0..1) into the
  // first selected segment; false when nothing is selected.
  bool SetSelectedSettings(bool bypass, bool mute, double follow, double clip, double blend);
  // Removes and deletes the first selected segment; false when nothing is selected.
  bool DeleteSelected();
  // Makes the first selected segment the one the next click pastes; false when
  // nothing is selected.
  bool MarkCopySource();
  // Where a pasted copy of length `length` wanted at `position` goes: the
  // returned insertion index, with `position` moved past the segment before it
  // and into the first gap wider than the copy by more than one sample (or
  // after the last segment).
  int FindPasteSlot(int64_t& position, int64_t length) const;
  // Copies the segments lying in the loop [loopStart, loopEnd) into the first
  // later period of the loop's length that no segment overlaps (touching is
  // allowed), unselected. False when the loop is empty, holds no segment, or
  // no free period fits before the end of the 32-bit timeline.
  bool CopyLoopShapes(int64_t loopStart, int64_t loopEnd);

  // Marks the points under the pointer (x, y), as cached by the last draw;
  // without a point hit, marks every point of the first segment whose body lies
  // under it. Segments not drawn in the view lose their marks.
  void HitTestShapes(int x, int y);
  // A press at (x, y) on the view's shape area; `flipped` when it lies below
  // the centre line. Pastes a pending copy, selects the segments whose points
  // are hit, or creates a segment. True when a segment is now selected for the
  // panel to show; false when the press only deselected or found no place.
  bool ClickShapes(const WaveView& view, int x, int y, bool flipped);
  // Creates a segment 64 pixels wide around (x, y); false on or next to an
  // existing segment and on the centre line.
  bool CreateSegmentAt(const WaveView& view, int x, int y);
  // Moves the hit points by the pointer's movement from (x - dx, y - dy) to
  // (x, y), within the view, the neighbours and the level range. Shift keeps
  // the move horizontal, control vertical. True when a segment had hit points.
  bool DragHitPoints(const WaveView& view, int x, int y, int dx, int dy, const PointerState& mods);

  // ---- Engine (audio thread, under PlugLock; no allocation, lock or system call) ----

  // Applies the shapes in place to count samples of both channels, the first
  // at sample position pos. Each step takes the first non-bypassed segment
  // whose end lies after the current position and whose start lies at or
  // before the block's last sample; positions before it (or all, if none) are
  // smoothed back to unity gain; a muted segment gives exact zeros. For a list
  // ordered by start the output does not depend on how the host splits the
  // audio into blocks. Finite input always gives finite output: the follower
  // gain is capped at kMaxGain and the envelope kept at or above
  // kEnvelopeFloor, and a non-finite state is reset. Float samples are
  // processed in double and rounded once when stored: the same result as
  // widening the block, processing it in double and narrowing it.
  void ApplyShapes(double* left, double* right, int32_t pos, int32_t count);
  void ApplyShapes(float* left, float* right, int32_t pos, int32_t count);

  // Level of the segment's curve at a sample position; the curve parameter is
  // clamped to 0..1, so positions outside the segment give its end levels.
  static double CurveLevel(const ShapeSegment& segment, int64_t position);

  // Shapes the samples of positions from .. to-1, all inside one unmuted
  // segment; left and right point at the sample of position from.
  void ShapeRun(double* left, double* right, int64_t from, int64_t to, const ShapeSegment& segment);
  void ShapeRun(float* left, float* right, int64_t from, int64_t to, const ShapeSegment& segment);

  // Eases the follower gain back to 1 over up to count samples (exactly 1
  // once within kUnitySnap, after which samples pass untouched), and marks the
  // engine as outside every segment.
  void SmoothToUnity(double* left, double* right, int64_t count);
  void SmoothToUnity(float* left, float* right, int64_t count);

 private:
  void DeleteAll();
  template <class Sample>
  void ApplyShapesTo(Sample* left, Sample* right, int32_t pos, int32_t count);
  template <class Sample>
  void ShapeRunOn(Sample* left, Sample* right, int64_t from, int64_t to, const ShapeSegment& segment);
  template <class Sample>
  void SmoothOn(Sample* left, Sample* right, int64_t count);

  PtrList<ShapeSegment> segments_{4096};
  // Counts every change of the list by the operations above.
  uint32_t listChanges_ = 0;
  // Where the engine's segment scan may begin: the first scanFrom_ segments
  // are bypassed or end at or before scanPosition_, for as long as
  // listChanges_ equals scanList_.
  int scanFrom_ = 0;
  int64_t scanPosition_ = 0;
  uint32_t scanList_ = 0;
};
