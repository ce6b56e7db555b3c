#include "effect/EffectPlugin.h"

#include <new>

#include "core/Module.h"

EffectPlugin::EffectPlugin()
    : PlugBase(kParamCount, 2, 2, "Kelvane", "", "Ulmor", 1000, VstFourCC('k', 'v', 'l', 'n'), 1024,
               /*usesMidi=*/false, /*canMono=*/true, /*usesChunks=*/true) {
  ParamAt(kReset)->DeclareSwitch("reset", false);

  Param* bright = ParamAt(kBright);
  bright->DeclareNumber("bright", 1.0, 0.1, 10.0, 0.1, "x");
  bright->SetCurveExponent(2.0);

  Param* colormap = ParamAt(kColormap);
  colormap->DeclareChoice("colormap", 3, 4);
  colormap->SetValueText(0, "pompeii");
  colormap->SetValueText(1, "thermal");
  colormap->SetValueText(2, "chlorine");
  colormap->SetValueText(3, "brrr");
}

EffectPlugin::~EffectPlugin() = default;

PlugBase* CreateEffectInstance() {
  try {
    return new EffectPlugin();
  } catch (...) {
    return nullptr;  // the memory of a failed construction is already freed
  }
}
