// PluginInstance: one effect created from a module, driven through the VST 2
// dispatcher and the record's callbacks only. It is opened (effOpen) when made
// and closed (effClose) when destroyed, before its module is unloaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ModuleLibrary.h"
#include "core/Vst2.h"

class PluginInstance {
 public:
  // `callback` is the host the effect is created with (kelvane-host's own by default).
  explicit PluginInstance(const std::string& modulePath, audioMasterCallback callback = nullptr);
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect& Effect() const { return *effect_; }
  const ModuleLibrary& Library() const { return *library_; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
  // A text the module writes into a buffer we hand it (names, labels, displays).
  std::string QueryString(VstInt32 opcode, VstInt32 index = 0);

  int ParamCount() const { return effect_->numParams; }
  std::string ParamName(int index) { return QueryString(effGetParamName, index); }
  std::string ParamLabel(int index) { return QueryString(effGetParamLabel, index); }
  std::string ParamDisplay(int index) { return QueryString(effGetParamDisplay, index); }
  float GetParam(int index) const;
  void SetParam(int index, float value);
  // A parameter by its exact name or by its index; throws when there is none.
  int FindParam(const std::string& nameOrIndex);
  // "name=value" or "index=value" with a normalised value in [0, 1].
  void SetParamAssignment(const std::string& assignment);

  // effGetChunk / effSetChunk (bank chunks); SetChunk reports the module's answer.
  std::vector<uint8_t> GetChunk();
  bool SetChunk(const std::vector<uint8_t>& bytes);

 private:
  std::unique_ptr<ModuleLibrary> library_;
  AEffect* effect_ = nullptr;
};

// "  1: name "bright" label "x" display "1.0" value 0.30151135"
std::string DescribeParam(PluginInstance& plugin, int index);
