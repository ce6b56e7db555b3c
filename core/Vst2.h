// Vst2.h: our own declaration of the VST 2.4 binary interface between a host and
// an effect module, written from the published interface. Only what Kelvane and
// kelvane-host use is declared. Every structure is checked below for the 32-bit
// and 64-bit layouts that hosts expect.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALL __cdecl
#else
#define VSTCALL
#endif

#pragma pack(push, 8)

struct AEffect;

using VstIntPtr = intptr_t;
using VstInt32 = int32_t;

using audioMasterCallback = VstIntPtr(VSTCALL*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALL*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                  VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void(VSTCALL*)(AEffect* effect, float** inputs, float** outputs,
                                          VstInt32 sampleFrames);
using AEffectProcessDoubleProc = void(VSTCALL*)(AEffect* effect, double** inputs, double** outputs,
                                                VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALL*)(AEffect* effect, VstInt32 index, float parameter);
using AEffectGetParameterProc = float(VSTCALL*)(AEffect* effect, VstInt32 index);

constexpr VstInt32 kEffectMagic = 0x56737450;  // 'VstP'

struct AEffect {
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

// AEffect::flags
enum VstAEffectFlags : VstInt32 {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanMono = 1 << 3,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12,
};

// Host -> effect opcodes.
enum AEffectOpcodes : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetParameterProperties = 56,
  effGetVstVersion = 58,
  effGetMidiProgramName = 62,
  effGetCurrentMidiProgram = 63,
  effGetMidiProgramCategory = 64,
  effHasMidiProgramsChanged = 65,
  effGetMidiKeyName = 66,
};

// Effect -> host opcodes.
enum AudioMasterOpcodes : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterIOChanged = 13,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
};

enum VstPlugCategory : VstInt32 { kPlugCategUnknown = 0, kPlugCategEffect = 1 };

struct ERect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// VstTimeInfo::flags
enum VstTimeInfoFlags : VstInt32 {
  kVstTransportChanged = 1,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};

enum VstEventTypes : VstInt32 { kVstMidiType = 1, kVstSysExType = 6 };

struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};

struct VstMidiEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 noteLength;
  VstInt32 noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];  // variable length in practice
};

enum VstPinPropertiesFlags : VstInt32 {
  kVstPinIsActive = 1 << 0,
  kVstPinIsStereo = 1 << 1,
  kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
  char label[64];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[8];
  char future[48];
};

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  VstInt32 type;
  char future[28];
};

struct VstSpeakerArrangement {
  VstInt32 type;
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};

struct MidiKeyName {
  VstInt32 thisProgramIndex;
  VstInt32 thisKeyNumber;
  char keyName[64];
  VstInt32 reserved;
  VstInt32 flags;
};

#pragma pack(pop)

// Layout checks: a host compiled against the published headers sees exactly these offsets.
#define KV_CHECK_OFFSET(type, field, off32, off64) \
  static_assert(offsetof(type, field) == (sizeof(void*) == 4 ? (off32) : (off64)), #type "::" #field)
#define KV_CHECK_SIZE(type, size32, size64) \
  static_assert(sizeof(type) == (sizeof(void*) == 4 ? (size32) : (size64)), "sizeof " #type)

KV_CHECK_OFFSET(AEffect, magic, 0, 0);
KV_CHECK_OFFSET(AEffect, dispatcher, 4, 8);
KV_CHECK_OFFSET(AEffect, process, 8, 16);
KV_CHECK_OFFSET(AEffect, setParameter, 12, 24);
KV_CHECK_OFFSET(AEffect, getParameter, 16, 32);
KV_CHECK_OFFSET(AEffect, numPrograms, 20, 40);
KV_CHECK_OFFSET(AEffect, numParams, 24, 44);
KV_CHECK_OFFSET(AEffect, numInputs, 28, 48);
KV_CHECK_OFFSET(AEffect, numOutputs, 32, 52);
KV_CHECK_OFFSET(AEffect, flags, 36, 56);
KV_CHECK_OFFSET(AEffect, resvd1, 40, 64);
KV_CHECK_OFFSET(AEffect, resvd2, 44, 72);
KV_CHECK_OFFSET(AEffect, initialDelay, 48, 80);
KV_CHECK_OFFSET(AEffect, realQualities, 52, 84);
KV_CHECK_OFFSET(AEffect, offQualities, 56, 88);
KV_CHECK_OFFSET(AEffect, ioRatio, 60, 92);
KV_CHECK_OFFSET(AEffect, object, 64, 96);
KV_CHECK_OFFSET(AEffect, user, 68, 104);
KV_CHECK_OFFSET(AEffect, uniqueID, 72, 112);
KV_CHECK_OFFSET(AEffect, version, 76, 116);
KV_CHECK_OFFSET(AEffect, processReplacing, 80, 120);
KV_CHECK_OFFSET(AEffect, processDoubleReplacing, 84, 128);
KV_CHECK_OFFSET(AEffect, future, 88, 136);
KV_CHECK_SIZE(AEffect, 144, 192);

KV_CHECK_SIZE(ERect, 8, 8);
KV_CHECK_OFFSET(ERect, left, 2, 2);
KV_CHECK_OFFSET(ERect, bottom, 4, 4);
KV_CHECK_OFFSET(ERect, right, 6, 6);

KV_CHECK_OFFSET(VstTimeInfo, samplePos, 0, 0);
KV_CHECK_OFFSET(VstTimeInfo, sampleRate, 8, 8);
KV_CHECK_OFFSET(VstTimeInfo, nanoSeconds, 16, 16);
KV_CHECK_OFFSET(VstTimeInfo, ppqPos, 24, 24);
KV_CHECK_OFFSET(VstTimeInfo, tempo, 32, 32);
KV_CHECK_OFFSET(VstTimeInfo, barStartPos, 40, 40);
KV_CHECK_OFFSET(VstTimeInfo, cycleStartPos, 48, 48);
KV_CHECK_OFFSET(VstTimeInfo, cycleEndPos, 56, 56);
KV_CHECK_OFFSET(VstTimeInfo, timeSigNumerator, 64, 64);
KV_CHECK_OFFSET(VstTimeInfo, timeSigDenominator, 68, 68);
KV_CHECK_OFFSET(VstTimeInfo, smpteOffset, 72, 72);
KV_CHECK_OFFSET(VstTimeInfo, smpteFrameRate, 76, 76);
KV_CHECK_OFFSET(VstTimeInfo, samplesToNextClock, 80, 80);
KV_CHECK_OFFSET(VstTimeInfo, flags, 84, 84);
KV_CHECK_SIZE(VstTimeInfo, 88, 88);

KV_CHECK_SIZE(VstEvent, 32, 32);
KV_CHECK_OFFSET(VstMidiEvent, deltaFrames, 8, 8);
KV_CHECK_OFFSET(VstMidiEvent, noteLength, 16, 16);
KV_CHECK_OFFSET(VstMidiEvent, midiData, 24, 24);
KV_CHECK_OFFSET(VstMidiEvent, detune, 28, 28);
KV_CHECK_SIZE(VstMidiEvent, 32, 32);
KV_CHECK_OFFSET(VstEvents, reserved, 4, 8);
KV_CHECK_OFFSET(VstEvents, events, 8, 16);
KV_CHECK_SIZE(VstEvents, 16, 32);

KV_CHECK_OFFSET(VstPinProperties, flags, 64, 64);
KV_CHECK_OFFSET(VstPinProperties, arrangementType, 68, 68);
KV_CHECK_OFFSET(VstPinProperties, shortLabel, 72, 72);
KV_CHECK_OFFSET(VstPinProperties, future, 80, 80);
KV_CHECK_SIZE(VstPinProperties, 128, 128);

KV_CHECK_OFFSET(VstSpeakerProperties, name, 16, 16);
KV_CHECK_OFFSET(VstSpeakerProperties, type, 80, 80);
KV_CHECK_SIZE(VstSpeakerProperties, 112, 112);
KV_CHECK_OFFSET(VstSpeakerArrangement, numChannels, 4, 4);
KV_CHECK_OFFSET(VstSpeakerArrangement, speakers, 8, 8);
KV_CHECK_SIZE(VstSpeakerArrangement, 904, 904);

KV_CHECK_OFFSET(MidiKeyName, thisKeyNumber, 4, 4);
KV_CHECK_OFFSET(MidiKeyName, keyName, 8, 8);
KV_CHECK_OFFSET(MidiKeyName, reserved, 72, 72);
KV_CHECK_OFFSET(MidiKeyName, flags, 76, 76);
KV_CHECK_SIZE(MidiKeyName, 80, 80);

#undef KV_CHECK_OFFSET
#undef KV_CHECK_SIZE

// Four-character constant as the published interface builds it (big-endian packing).
constexpr VstInt32 VstFourCC(char a, char b, char c, char d) {
  return static_cast<VstInt32>((static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24) |
                               (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16) |
                               (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8) |
                               static_cast<uint32_t>(static_cast<unsigned char>(d)));
}
