// LabelList: the labels of one axis of the waveform display. Each label sits
// at a fraction 0..1 along the axis; the two ends carry texts of their own.
// Time labels (minutes, seconds and, for short ranges, hundredths) and gain
// labels (levels in decibels) are built here.
//
// Threads: GUI thread.
#pragma once

#include <cstdint>

#include "core/HeapBuffer.h"

class LabelList {
 public:
  static constexpr int kTextBytes = 32;  // 31 characters and a terminator
  // No label is placed closer than this to either end.
  static constexpr double kMargin = 0.06;

  LabelList() = default;
  LabelList(const LabelList&) = delete;
  LabelList& operator=(const LabelList&) = delete;

  // Empties the entries; the end texts stay.
  void Clear();
  // Appends a label; returns the new count (the old one when out of memory).
  int Add(float position, const char* text);
  int Count() const;
  float Position(int index) const;
  const char* Text(int index) const;
  const char* LowText() const { return low_; }
  const char* HighText() const { return high_; }
  void SetEndTexts(const char* low, const char* high);
  double Margin() const { return margin_; }

 private:
  struct Entry {
    float position;
    char text[kTextBytes];
  };
  const Entry* EntryAt(int index) const;

  HeapBuffer entries_{64};
  char low_[kTextBytes] = {};
  char high_[kTextBytes] = {};
  double margin_ = kMargin;
};

// "m:ss.hh" with hundredths, "m:ss" without; seconds are rounded to the
// nearest hundredth (half up) first.
void FormatTimeText(char* out, double seconds, bool hundredths);
// "+0.0" for 0 dB and above, "-oo" below -144 dB, else "-3.0".
void FormatLevelText(char* out, double decibels);

// Time axis of [start, end) samples at rate samples per second: ticks at round
// steps (1, 2, 5 times a power of ten seconds, about 4 to 10 of them), labelled
// away from the ends and unlabelled close to them.
void BuildTimeLabels(LabelList& labels, int64_t start, int64_t end, int rate);
// Gain axis from bottom to top (linear gains): "-oo" at gain 0, then every
// 3 dB from each end towards 0 while the labels keep the margin apart.
void BuildGainLabels(LabelList& labels, double bottom, double top);
