// Param: one automatable parameter: kind, plain value and range, the curve to
// and from the host's normalised 0..1 scale, and its texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/HeapBuffer.h"

class Param {
 public:
  enum Kind : int32_t { kUndeclared = 0, kBool = 1, kEnum = 3, kDouble = 4 };
  static constexpr size_t kTextBytes = 32;  // 31 characters and a terminator

  Param() = default;
  ~Param() { ClearValueTexts(); }
  Param(const Param&) = delete;
  Param& operator=(const Param&) = delete;

  // Declaration.
  void DeclareNumber(const char* name, double defaultValue, double minValue, double maxValue, double step,
                     const char* label);
  void DeclareSwitch(const char* name, bool defaultOn);
  void DeclareChoice(const char* name, int defaultIndex, int count);
  void SetCurveExponent(double shape);
  void SetValueText(double value, const char* text);

  // Values.
  void SetPlain(double value);
  double NormalFromPlain() const { return NormalFromPlain(value_); }
  double NormalFromPlain(double plain) const;
  void SetFromNormal(float normal);

  // Texts; out buffers hold at least kTextBytes.
  void CopyName(char* out) const;
  void CopyLabel(char* out) const;
  void FormatValue(char* out) const;
  int ValueTextCount() const { return static_cast<int>(texts_.Size() / kTextBytes); }
  void ValueTextAt(int index, char* out) const;
  int FindValueText(const char* text) const;
  void ClearValueTexts() { texts_.Release(); }

  int32_t Kind() const { return kind_; }
  double Plain() const { return value_; }
  double Min() const { return min_; }
  double Max() const { return max_; }
  double Step() const { return step_; }
  double Shape() const { return shape_; }
  int32_t Precision() const { return precision_; }
  const char* Name() const { return name_; }
  const char* Label() const { return label_; }

 private:
  int32_t kind_ = kUndeclared;
  double value_ = 0.0;
  double min_ = 0.0;
  double max_ = 1.0;
  double step_ = 1.0;
  double shape_ = 1.0;
  int32_t precision_ = 0;
  HeapBuffer texts_{64};
  char name_[kTextBytes] = {};
  char label_[kTextBytes] = {};
};

// Copies text into a fixed field of `size` bytes, cutting it and always terminating.
void CopyFixedText(char* out, size_t size, const char* text);
