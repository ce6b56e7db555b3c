#include "graphics/TypedText.h"

#include <cmath>
#include <cstdlib>

#include "controls/Control.h"
#include "core/Param.h"

bool CommitTypedText(Control* control, Param* param, const char* text) {
  if (!control || !param || !text) return false;
  double value = param->ValueTextCount() > 0 ? param->FindValueText(text) : std::strtod(text, nullptr);
  if (!std::isfinite(value)) return false;
  control->TakeTypedValue(param->NormalFromPlain(value));
  return true;
}
