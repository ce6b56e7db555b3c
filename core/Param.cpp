#include "core/Param.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void CopyFixedText(char* out, size_t size, const char* text) {
  if (!out || size == 0) return;
  if (!text) text = "";
  size_t n = std::strlen(text);
  if (n > size - 1) n = size - 1;
  std::memmove(out, text, n);
  out[n] = 0;
}

void Param::DeclareNumber(const char* name, double defaultValue, double minValue, double maxValue, double step,
                          const char* label) {
  if (kind_ == kUndeclared) kind_ = kDouble;
  CopyFixedText(name_, kTextBytes, name);
  CopyFixedText(label_, kTextBytes, label);
  value_ = defaultValue;
  min_ = minValue;
  max_ = std::fmax(maxValue, minValue + step);
  step_ = step;
  precision_ = 0;
  double s = step;
  while (std::isfinite(s) && s != std::floor(s) && precision_ < 6) {
    ++precision_;
    s *= 10.0;
  }
}

void Param::DeclareSwitch(const char* name, bool defaultOn) {
  if (kind_ == kUndeclared) kind_ = kBool;
  DeclareNumber(name, defaultOn ? 1.0 : 0.0, 0.0, 1.0, 1.0, "");
  SetValueText(0, "off");
  SetValueText(1, "on");
}

void Param::DeclareChoice(const char* name, int defaultIndex, int count) {
  if (kind_ == kUndeclared) kind_ = kEnum;
  DeclareNumber(name, defaultIndex, 0.0, count - 1, 1.0, "");
}

void Param::SetCurveExponent(double shape) {
  if (shape != 0.0) shape_ = shape;
}

void Param::SetValueText(double value, const char* text) {
  if (!(value >= 0.0) || value >= 1e6) return;  // negative, NaN or absurd indexes change nothing
  size_t index = static_cast<size_t>(value);
  size_t need = (index + 1) * kTextBytes;
  size_t old = texts_.Size();
  if (need > old) {
    if (!texts_.Resize(need)) return;
    std::memset(texts_.Data() + old, 0, need - old);
  }
  CopyFixedText(reinterpret_cast<char*>(texts_.Data()) + index * kTextBytes, kTextBytes, text);
}

void Param::SetPlain(double value) {
  if (std::isnan(value)) return;
  value_ = std::fmin(max_, std::fmax(min_, value));
}

double Param::NormalFromPlain(double plain) const {
  double v = std::isnan(plain) ? min_ : std::fmin(max_, std::fmax(min_, plain));
  return std::pow((v - min_) / (max_ - min_), 1.0 / shape_);
}

void Param::SetFromNormal(float normal) {
  // A NaN from the host is ignored; anything else is held inside 0..1 so the
  // plain value always stays inside its range.
  if (std::isnan(normal)) return;
  double x = static_cast<double>(normal);
  if (x < 0.0) x = 0.0;
  if (x > 1.0) x = 1.0;
  double v = min_ + (max_ - min_) * std::pow(x, shape_);
  if (kind_ != kDouble) v = std::floor(v / step_ + 0.5) * step_;
  value_ = std::fmin(v, max_);
}

void Param::CopyName(char* out) const { CopyFixedText(out, kTextBytes, name_); }
void Param::CopyLabel(char* out) const { CopyFixedText(out, kTextBytes, label_); }

void Param::ValueTextAt(int index, char* out) const {
  if (index < 0 || index >= ValueTextCount()) {
    CopyFixedText(out, kTextBytes, "");
    return;
  }
  CopyFixedText(out, kTextBytes, reinterpret_cast<const char*>(texts_.Data()) + index * kTextBytes);
}

int Param::FindValueText(const char* text) const {
  if (!text) return -1;
  for (int i = 0; i < ValueTextCount(); ++i) {
    if (std::strcmp(reinterpret_cast<const char*>(texts_.Data()) + i * kTextBytes, text) == 0) return i;
  }
  return -1;
}

void Param::FormatValue(char* out) const {
  // The text table is indexed by the value truncated toward zero.
  if (value_ > -1.0 && value_ < ValueTextCount()) {
    ValueTextAt(static_cast<int>(value_), out);
    return;
  }
  if (value_ == 0.0) {
    CopyFixedText(out, kTextBytes, "0");
    return;
  }
  if (precision_ == 0 && std::fabs(value_) < 2147483648.0) {
    std::snprintf(out, kTextBytes, "%d", static_cast<int>(value_));
    return;
  }
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", precision_);
  std::snprintf(out, kTextBytes, format, value_);
}
