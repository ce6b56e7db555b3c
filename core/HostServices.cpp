#include "core/HostServices.h"

#include <cmath>

#include "core/Module.h"
#include "core/PlugBase.h"

namespace {

// Module-wide: the lookup is made once, from the user-interface thread.
bool gTimeOffsetLooked = false;
const double* gTimeOffset = nullptr;

constexpr VstInt32 kHostApiOpcode = static_cast<VstInt32>(0xdeadbeefu);
constexpr VstInt32 kHostApiIndex = static_cast<VstInt32>(0xdeadf00du);

using GetConfigVarFn = void* (*)(const char* name, int* size);
using GetPlayStateFn = int (*)();
// REAPER declares the two flags as bool; passing ints is read correctly either way.
using SetEditCurPosFn = void (*)(double time, int moveView, int seekPlay);

}  // namespace

void* HostApi(const char* name) {
  return reinterpret_cast<void*>(CallHost(nullptr, kHostApiOpcode, kHostApiIndex, 0, const_cast<char*>(name), 0.0f));
}

double GetProjectTimeOffset() {
  if (!gTimeOffsetLooked) {
    gTimeOffsetLooked = true;
    if (auto getConfigVar = reinterpret_cast<GetConfigVarFn>(HostApi("get_config_var"))) {
      int size = 0;
      void* variable = getConfigVar("projtimeoffs", &size);
      if (variable && size == 8) gTimeOffset = static_cast<const double*>(variable);
    }
  }
  return gTimeOffset ? *gTimeOffset : 0.0;
}

void ForgetProjectTimeOffsetLookup() {
  gTimeOffsetLooked = false;
  gTimeOffset = nullptr;
}

void MoveHostEditCursor(double seconds, int moveView, int seekPlayback) {
  auto getPlayState = reinterpret_cast<GetPlayStateFn>(HostApi("GetPlayState"));
  if (!getPlayState) return;
  int state = getPlayState();
  if (state == 5 || state == 6) return;  // recording, playing or paused
  auto setEditCurPos = reinterpret_cast<SetEditCurPosFn>(HostApi("SetEditCurPos"));
  if (!setEditCurPos) return;
  setEditCurPos(seconds - GetProjectTimeOffset(), moveView != 0 ? 1 : 0, seekPlayback != 0 ? 1 : 0);
}

int64_t PlugBase::PlayPosition() {
  auto* info = reinterpret_cast<VstTimeInfo*>(CallHost(&effect_, audioMasterGetTime, 0, 0, nullptr, 0.0f));
  if (!info || !(info->samplePos >= 0.0)) return 0;
  // Positions beyond 2^62 samples (millions of years) are not real; keep the conversion defined.
  constexpr double kLimit = 4611686018427387904.0;
  return info->samplePos >= kLimit ? static_cast<int64_t>(kLimit) : static_cast<int64_t>(info->samplePos);
}

double PlugBase::HostTempo() {
  auto* info = reinterpret_cast<VstTimeInfo*>(CallHost(&effect_, audioMasterGetTime, 0, kVstTempoValid, nullptr, 0.0f));
  if (!info || !(info->flags & kVstTempoValid) || !(info->tempo >= 0.0) || !std::isfinite(info->tempo)) return 0.0;
  return info->tempo;
}

double PlugBase::SamplesPerBeat() {
  double tempo = HostTempo();
  return tempo > 0.0 ? sampleRate_ * 60.0 / tempo : 0.0;
}
