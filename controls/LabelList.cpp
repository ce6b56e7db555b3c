#include "controls/LabelList.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "controls/DisplayMath.h"

namespace {

void CopyText(char* out, const char* text) {
  std::snprintf(out, LabelList::kTextBytes, "%s", text ? text : "");
}

// 10^(dB / 20) as exp(dB * ln(10) / 20).
const double kDecibelToExponent = std::log(10.0) / 20.0;

double DecibelsToGain(double decibels) { return std::exp(decibels * kDecibelToExponent); }

}  // namespace

void LabelList::Clear() { entries_.Resize(0); }

int LabelList::Add(float position, const char* text) {
  Entry entry{};
  entry.position = position;
  CopyText(entry.text, text);
  entries_.Append(&entry, sizeof entry);
  return Count();
}

int LabelList::Count() const { return static_cast<int>(entries_.Size() / sizeof(Entry)); }

const LabelList::Entry* LabelList::EntryAt(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return reinterpret_cast<const Entry*>(entries_.Data()) + index;
}

float LabelList::Position(int index) const {
  const Entry* entry = EntryAt(index);
  return entry ? entry->position : 0.0f;
}

const char* LabelList::Text(int index) const {
  const Entry* entry = EntryAt(index);
  return entry ? entry->text : "";
}

void LabelList::SetEndTexts(const char* low, const char* high) {
  CopyText(low_, low);
  CopyText(high_, high);
}

void FormatTimeText(char* out, double seconds, bool hundredths) {
  double c = std::floor(seconds * 100.0 + 0.5);
  double whole = std::floor(c * 0.01);
  double minutes = std::floor(whole * (1.0 / 60.0));
  int m = TruncToInt(minutes);
  int s = TruncToInt(whole - minutes * 60.0);
  int h = TruncToInt(c - whole * 100.0);
  if (hundredths) {
    std::snprintf(out, LabelList::kTextBytes, "%d:%02d.%02d", m, s, h);
  } else {
    std::snprintf(out, LabelList::kTextBytes, "%d:%02d", m, s);
  }
}

void FormatLevelText(char* out, double decibels) {
  if (decibels >= 0.0) {
    std::snprintf(out, LabelList::kTextBytes, "+%.1f", decibels);
  } else if (decibels < -144.0 || !(decibels == decibels)) {
    std::snprintf(out, LabelList::kTextBytes, "-oo");
  } else {
    std::snprintf(out, LabelList::kTextBytes, "%.1f", decibels);
  }
}

void BuildTimeLabels(LabelList& labels, int64_t start, int64_t end, int rate) {
  labels.Clear();
  if (rate <= 0 || end <= start) return;
  const double startSeconds = static_cast<double>(start) / rate;
  const double endSeconds = static_cast<double>(end) / rate;
  const double range = endSeconds - startSeconds;
  double step = std::pow(10.0, std::trunc(std::log10(range)));
  if (TruncToInt(range / step) < 1) step *= 0.1;
  if (range / step < 4.0) step *= 0.5;
  const bool hundredths = range < 10.0;

  char low[LabelList::kTextBytes];
  char high[LabelList::kTextBytes];
  FormatTimeText(low, startSeconds, hundredths);
  FormatTimeText(high, endSeconds, hundredths);
  labels.SetEndTexts(low, high);

  const double margin = labels.Margin();
  char text[LabelList::kTextBytes];
  double t = (std::floor(startSeconds / step) + 1.0) * step;
  // At most range / step, about ten, steps; the bound only guards rounding.
  for (int guard = 0; endSeconds > t && guard < 64; ++guard, t += step) {
    double u = (t - startSeconds) / range;
    if (u <= margin || u >= 1.0 - margin) continue;
    if (u > 0.1 && u < 0.9) {
      FormatTimeText(text, t, hundredths);
    } else {
      text[0] = 0;
    }
    labels.Add(static_cast<float>(u), text);
  }
}

void BuildGainLabels(LabelList& labels, double bottom, double top) {
  labels.Clear();
  char low[LabelList::kTextBytes];
  char high[LabelList::kTextBytes];
  FormatLevelText(low, 20.0 * std::log10(std::fabs(bottom)));
  FormatLevelText(high, 20.0 * std::log10(std::fabs(top)));
  labels.SetEndTexts(low, high);
  if (!(top > bottom)) return;

  const double margin = labels.Margin();
  const double scale = 1.0 / (top - bottom);
  const double zero = -bottom * scale;
  char text[LabelList::kTextBytes];
  // Each side: 3 dB steps from its end towards gain 0; the labels crowd
  // together near 0, so the walk stops at the first one within the margin.
  auto side = [&](double end, double sign) {
    double dB = std::floor(((20.0 * std::log10(std::fabs(end))) - 0.5) / 3.0) * 3.0;
    if (!std::isfinite(dB)) return;
    double last = zero + sign * DecibelsToGain(dB) * scale;
    if (last > margin && last < 1.0 - margin) {
      FormatLevelText(text, dB);
      labels.Add(static_cast<float>(last), text);
    }
    for (int guard = 0; guard < 64; ++guard) {
      dB -= 3.0;
      double next = zero + sign * DecibelsToGain(dB) * scale;
      bool apart = sign < 0 ? next - last > margin : last - next > margin;
      bool inside = sign < 0 ? next < 1.0 - margin : next > margin;
      if (!apart || !inside) break;
      FormatLevelText(text, dB);
      labels.Add(static_cast<float>(next), text);
      last = next;
    }
  };
  if (bottom < 0.0) {
    if (top > 0.0) labels.Add(static_cast<float>(zero), "-oo");
    side(bottom, -1.0);
  }
  if (top > 0.0) side(top, 1.0);
}
