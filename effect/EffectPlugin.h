// EffectPlugin: Kelvane itself. Declares the three parameters and, through the
// base, answers the host.
#pragma once

#include "core/PlugBase.h"

class EffectPlugin : public PlugBase {
 public:
  enum ParamIndex { kReset = 0, kBright = 1, kColormap = 2, kParamCount = 3 };

  EffectPlugin();
  ~EffectPlugin() override;
};
