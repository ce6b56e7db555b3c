#include "core/Module.h"

void* ModuleHandle = nullptr;
audioMasterCallback HostCallback = nullptr;

VstIntPtr CallHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  audioMasterCallback callback = HostCallback;
  return callback ? callback(effect, opcode, index, value, ptr, opt) : 0;
}
