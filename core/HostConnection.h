// HostConnection: one plug-in instance's line to the host that created it. Each
// instance keeps the callback it was created with, so two hosts in one process
// (a DAW and a plug-in chainer inside it) never see each other's instances, and
// nothing module-wide belongs to one host. Besides the plain calls it fetches
// the host's own functions by name (REAPER's extension lookup).
#pragma once

#include "core/Vst2.h"

class HostConnection {
 public:
  HostConnection(audioMasterCallback callback, AEffect* effect) : callback_(callback), effect_(effect) {}
  HostConnection(const HostConnection&) = delete;
  HostConnection& operator=(const HostConnection&) = delete;

  // Any thread: a call of the host callback for this instance; 0 without a host.
  VstIntPtr Call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) const;

  // Any thread: the address of the host function `name`, or null when the host has none.
  void* Function(const char* name) const;

  // GUI thread: the project time offset in seconds (REAPER's "projtimeoffs"); 0
  // when the host does not offer it. The variable is looked up once per
  // instance and read at every call.
  double ProjectTimeOffset();

  // GUI thread: moves REAPER's edit cursor to `seconds` on the plug-in's
  // timeline, unless the host is recording or lacks the functions.
  void MoveEditCursor(double seconds, int moveView, int seekPlayback);

 private:
  audioMasterCallback callback_;
  AEffect* effect_;
  bool timeOffsetLooked_ = false;
  const double* timeOffset_ = nullptr;
};
