#include "PluginInstance.h"

#include <cmath>
#include <cstdio>

#include "HostError.h"
#include "HostServices.h"
#include "NumberText.h"

PluginInstance::PluginInstance(const std::string& modulePath, audioMasterCallback callback)
    : library_(std::make_unique<ModuleLibrary>(modulePath)) {
  ModuleLibrary::EntryProc entry = library_->Entry();
  AEffect* effect = entry(callback ? callback : &HostServices::Callback);
  if (!effect) throw HostError(modulePath + ": the module's entry returned no effect");
  if (effect->magic != kEffectMagic) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(effect->magic));
    throw HostError(modulePath + " is not a VST 2 module: bad magic " + text);
  }
  if (!effect->dispatcher) throw HostError(modulePath + ": the effect has no dispatcher");
  if (effect->numParams < 0 || effect->numInputs < 0 || effect->numOutputs < 0)
    throw HostError(modulePath + ": the effect reports negative counts");
  effect_ = effect;
  Dispatch(effOpen);
}

PluginInstance::~PluginInstance() {
  if (effect_) Dispatch(effClose);
}

VstIntPtr PluginInstance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::QueryString(VstInt32 opcode, VstInt32 index) {
  // Far larger than any text the interface allows, so a chatty module cannot overrun it.
  char buffer[1024] = {};
  Dispatch(opcode, index, 0, buffer);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

float PluginInstance::GetParam(int index) const {
  return effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void PluginInstance::SetParam(int index, float value) {
  if (effect_->setParameter) effect_->setParameter(effect_, index, value);
}

int PluginInstance::FindParam(const std::string& nameOrIndex) {
  for (int i = 0; i < ParamCount(); ++i)
    if (ParamName(i) == nameOrIndex) return i;
  if (auto index = ParseInt(nameOrIndex); index && *index >= 0 && *index < ParamCount())
    return static_cast<int>(*index);
  throw HostError("no parameter named or numbered '" + nameOrIndex + "'", true);
}

void PluginInstance::SetParamAssignment(const std::string& assignment) {
  size_t equals = assignment.rfind('=');
  if (equals == std::string::npos) throw HostError("expected NAME=VALUE, got '" + assignment + "'", true);
  int index = FindParam(assignment.substr(0, equals));
  auto value = ParseDouble(assignment.substr(equals + 1));
  if (!value || !(*value >= 0.0 && *value <= 1.0))
    throw HostError("parameter value must be a number from 0 to 1: '" + assignment + "'", true);
  SetParam(index, static_cast<float>(*value));
}

std::vector<uint8_t> PluginInstance::GetChunk() {
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, 0, 0, &data);
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool PluginInstance::SetChunk(const std::vector<uint8_t>& bytes) {
  // The module may keep the pointer until it returns; hand it a copy it may read freely.
  std::vector<uint8_t> copy = bytes;
  return Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.empty() ? nullptr : copy.data()) != 0;
}

std::string DescribeParam(PluginInstance& plugin, int index) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%3d: ", index);
  return std::string(prefix) + "name \"" + plugin.ParamName(index) + "\" label \"" + plugin.ParamLabel(index) +
         "\" display \"" + plugin.ParamDisplay(index) + "\" value " + FormatFloat(plugin.GetParam(index));
}
