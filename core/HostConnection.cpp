#include "core/HostConnection.h"

namespace {

constexpr VstInt32 kHostFunctionOpcode = static_cast<VstInt32>(0xdeadbeefu);
constexpr VstInt32 kHostFunctionIndex = static_cast<VstInt32>(0xdeadf00du);

using GetConfigVarFn = void* (*)(const char* name, int* size);
using GetPlayStateFn = int (*)();
// REAPER declares the two flags as bool; passing ints is read correctly either way.
using SetEditCurPosFn = void (*)(double time, int moveView, int seekPlay);

}  // namespace

VstIntPtr HostConnection::Call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) const {
  return callback_ ? callback_(effect_, opcode, index, value, ptr, opt) : 0;
}

void* HostConnection::Function(const char* name) const {
  // The lookup names no effect: the functions are the host's, not the instance's.
  if (!callback_) return nullptr;
  return reinterpret_cast<void*>(
      callback_(nullptr, kHostFunctionOpcode, kHostFunctionIndex, 0, const_cast<char*>(name), 0.0f));
}

double HostConnection::ProjectTimeOffset() {
  if (!timeOffsetLooked_) {
    timeOffsetLooked_ = true;
    if (auto getConfigVar = reinterpret_cast<GetConfigVarFn>(Function("get_config_var"))) {
      int size = 0;
      void* variable = getConfigVar("projtimeoffs", &size);
      if (variable && size == 8) timeOffset_ = static_cast<const double*>(variable);
    }
  }
  return timeOffset_ ? *timeOffset_ : 0.0;
}

void HostConnection::MoveEditCursor(double seconds, int moveView, int seekPlayback) {
  auto getPlayState = reinterpret_cast<GetPlayStateFn>(Function("GetPlayState"));
  if (!getPlayState) return;
  int state = getPlayState();
  if (state == 5 || state == 6) return;  // recording, playing or paused
  auto setEditCurPos = reinterpret_cast<SetEditCurPosFn>(Function("SetEditCurPos"));
  if (!setEditCurPos) return;
  setEditCurPos(seconds - ProjectTimeOffset(), moveView != 0 ? 1 : 0, seekPlayback != 0 ? 1 : 0);
}
