// Fuzz target: a stream of host calls into one effect, as a careless but
// well-formed host might make them: dispatcher opcodes with their arguments
// (text buffers, chunks, speaker arrangements, MIDI events, editor rects),
// parameters set and read, blocks processed in both precisions at any
// position, with and without time info. The effect must not crash, must keep
// every parameter's value in [0, 1] and must process clean audio.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzEffect.h"
#include "FuzzInput.h"

namespace {

// Opcodes the host may send (not effClose: the instance serves every case).
constexpr VstInt32 kOpcodes[] = {
    effOpen,          effSetProgram,           effGetProgram,       effSetProgramName,     effGetProgramName,
    effGetParamLabel, effGetParamDisplay,      effGetParamName,     effSetSampleRate,      effSetBlockSize,
    effMainsChanged,  effEditGetRect,          effEditOpen,         effEditClose,          effEditIdle,
    effIdentify,      effGetChunk,             effSetChunk,         effProcessEvents,      effCanBeAutomated,
    effString2Parameter, effGetProgramNameIndexed, effGetInputProperties, effGetOutputProperties,
    effGetPlugCategory, effSetSpeakerArrangement, effSetBypass,     effGetEffectName,      effGetVendorString,
    effGetProductString, effGetVendorVersion,  effVendorSpecific,   effCanDo,              effGetTailSize,
    effIdle,          effGetParameterProperties, effGetVstVersion,  effGetMidiKeyName,     99,
};

struct Scratch {
  alignas(16) uint8_t bytes[4096];
  void Fill(FuzzInput& in) {
    std::memset(bytes, 0, sizeof bytes);
    size_t n = in.U8();
    for (size_t i = 0; i < n; ++i) bytes[i] = in.U8();
    bytes[sizeof bytes - 1] = 0;  // texts a host hands over are terminated
  }
};

void CallDispatcher(FuzzEffect& effect, FuzzInput& in, Scratch& scratch) {
  VstInt32 opcode = kOpcodes[in.U8() % (sizeof kOpcodes / sizeof kOpcodes[0])];
  VstInt32 index = in.SmallInt();
  VstIntPtr value = in.SmallInt();
  float opt = in.Float();
  void* ptr = nullptr;
  scratch.Fill(in);
  bool nullPtr = in.U8() < 32;
  switch (opcode) {
    case effGetChunk:
    case effEditGetRect: {
      void* out = nullptr;
      effect.Dispatch(opcode, index, value, nullPtr ? nullptr : &out, opt);
      return;
    }
    case effSetChunk: {
      // The bytes come from the input; the size never exceeds them.
      size_t n = in.U16() % (in.Remaining() + 1);
      std::vector<uint8_t> chunk(in.Here(), in.Here() + n);
      in.Skip(n);
      effect.Dispatch(opcode, index, static_cast<VstIntPtr>(chunk.size()), chunk.empty() ? nullptr : chunk.data(), opt);
      return;
    }
    case effSetSpeakerArrangement: {
      VstSpeakerArrangement inputs{}, outputs{};
      inputs.numChannels = in.SmallInt();
      outputs.numChannels = in.SmallInt();
      effect.Dispatch(opcode, index, nullPtr ? 0 : reinterpret_cast<VstIntPtr>(&inputs), in.U8() < 32 ? nullptr : &outputs, opt);
      return;
    }
    case effProcessEvents: {
      struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[4];
      } list{};
      VstMidiEvent midi[4] = {};
      list.numEvents = in.U8() % 5;
      for (int i = 0; i < list.numEvents; ++i) {
        midi[i].type = in.U8() < 200 ? kVstMidiType : in.SmallInt();
        midi[i].byteSize = sizeof(VstMidiEvent);
        midi[i].deltaFrames = in.SmallInt();
        for (char& b : midi[i].midiData) b = static_cast<char>(in.U8());
        list.events[i] = in.U8() < 16 ? nullptr : reinterpret_cast<VstEvent*>(&midi[i]);
      }
      effect.Dispatch(opcode, index, value, nullPtr ? nullptr : &list, opt);
      return;
    }
    case effSetBlockSize:
      // A host announces blocks it can hand over; the stream never processes more than kMaxFrames.
      value = static_cast<VstIntPtr>(in.U16() % (FuzzEffect::kMaxFrames + 1));
      break;
    default: break;
  }
  ptr = nullPtr ? nullptr : scratch.bytes;
  effect.Dispatch(opcode, index, value, ptr, opt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  // Building an instance (its editor surface, images and fonts) costs far more
  // than a case: one instance serves every case, brought back to where a fresh
  // one starts first.
  static auto effect = std::make_unique<FuzzEffect>();
  effect->Restart();
  Scratch scratch;
  double position = 0;
  bool timeAvailable = true;
  for (int steps = 0; !in.Empty() && steps < 200; ++steps) {
    AEffect* e = effect->Effect();
    switch (in.U8() % 8) {
      case 0:
      case 1: CallDispatcher(*effect, in, scratch); break;
      case 2: e->setParameter(e, in.SmallInt(), in.Float()); break;
      case 3: {
        VstInt32 index = in.SmallInt();
        float value = e->getParameter(e, index);
        if (index >= 0 && index < e->numParams && !(value >= 0.0f && value <= 1.0f)) std::abort();
        break;
      }
      case 4:
      case 5: {
        // Mostly host-sized blocks; now and then up to the longest.
        int frames = in.U16() % (in.U8() < 16 ? FuzzEffect::kMaxFrames + 1 : 513);
        effect->Process(frames, position, timeAvailable, in.U8() & 1);
        if (std::isfinite(position)) position += frames;
        break;
      }
      case 6:
        if (in.U8() & 1) {
          position = in.Double();
        } else {
          position = static_cast<double>(in.SmallInt()) * 4096.0;
        }
        timeAvailable = in.U8() >= 16;
        break;
      default:  // suspended and resumed, as hosts do around setting changes
        effect->Dispatch(effMainsChanged, 0, 0);
        effect->Dispatch(effMainsChanged, 0, 1);
        break;
    }
  }
  return 0;
}
