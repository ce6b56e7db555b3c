#include "graphics/TypedValue.h"

#include <cmath>
#include <cstdlib>

#include "controls/Control.h"
#include "core/Param.h"

void CommitTypedText(Control* control, Param* param, const char* text) {
  if (!control || !param || !text) return;
  double value;
  if (param->ValueTextCount() > 0) {
    value = param->FindValueText(text);
  } else {
    value = std::strtod(text, nullptr);
  }
  if (std::isfinite(value)) control->TakeTypedValue(param->NormalFromPlain(value));
}
