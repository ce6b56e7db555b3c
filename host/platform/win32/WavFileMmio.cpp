// WavFile on Windows: winmm's RIFF functions (mmioOpen, mmioDescend, ...).
// The sample conversions match libsndfile's, so both hosts read the same values.
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <cstring>

#include "platform/win32/WideText.h"
#include "HostError.h"
#include "WavFile.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

class MmioFile {
 public:
  MmioFile(const std::string& path, DWORD flags) {
    std::wstring wide = Widen(path);
    handle_ = mmioOpenW(wide.data(), nullptr, flags);
  }
  ~MmioFile() {
    if (handle_) mmioClose(handle_, 0);
  }
  MmioFile(const MmioFile&) = delete;
  MmioFile& operator=(const MmioFile&) = delete;
  HMMIO Handle() const { return handle_; }
  bool Close() {
    MMRESULT result = mmioClose(handle_, 0);
    handle_ = nullptr;
    return result == MMSYSERR_NOERROR;
  }

 private:
  HMMIO handle_ = nullptr;
};

uint32_t ReadLe(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

double DecodeSample(const uint8_t* p, uint16_t format, int bits) {
  if (format == kFormatFloat) {
    if (bits == 32) {
      float value;
      std::memcpy(&value, p, sizeof value);
      return value;
    }
    double value;
    std::memcpy(&value, p, sizeof value);
    return value;
  }
  switch (bits) {
    case 8: return (static_cast<int>(p[0]) - 128) / 128.0;
    case 16: return static_cast<int16_t>(ReadLe(p, 2)) / 32768.0;
    case 24: return static_cast<int32_t>(ReadLe(p, 3) << 8) / 2147483648.0;
    default: return static_cast<int32_t>(ReadLe(p, 4)) / 2147483648.0;
  }
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

AudioData ReadWav(const std::string& path) {
  auto fail = [&](const std::string& why) { return HostError("cannot read WAV file " + path + ": " + why); };
  MmioFile file(path, MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE);
  if (!file.Handle()) throw fail("cannot open the file");
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file.Handle(), &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) throw fail("not a RIFF WAVE file");
  MMCKINFO fmt{};
  fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file.Handle(), &fmt, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) throw fail("no format chunk");
  uint8_t header[40] = {};
  LONG headerSize = static_cast<LONG>(fmt.cksize < sizeof header ? fmt.cksize : sizeof header);
  if (headerSize < 16 || mmioRead(file.Handle(), reinterpret_cast<HPSTR>(header), headerSize) != headerSize)
    throw fail("short format chunk");
  mmioAscend(file.Handle(), &fmt, 0);
  uint16_t format = static_cast<uint16_t>(ReadLe(header, 2));
  int channels = static_cast<int>(ReadLe(header + 2, 2));
  int rate = static_cast<int>(ReadLe(header + 4, 4));
  int blockAlign = static_cast<int>(ReadLe(header + 12, 2));
  int bits = static_cast<int>(ReadLe(header + 14, 2));
  if (format == kFormatExtensible && headerSize >= 26) format = static_cast<uint16_t>(ReadLe(header + 24, 2));
  bool supported = (format == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                   (format == kFormatFloat && (bits == 32 || bits == 64));
  if (!supported) throw fail("unsupported sample format " + std::to_string(format) + "/" + std::to_string(bits));
  if (channels <= 0 || rate <= 0 || blockAlign != channels * bits / 8) throw fail("inconsistent format chunk");

  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file.Handle(), &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) throw fail("no data chunk");
  std::vector<uint8_t> bytes(data.cksize);
  if (!bytes.empty() &&
      mmioRead(file.Handle(), reinterpret_cast<HPSTR>(bytes.data()), static_cast<LONG>(bytes.size())) !=
          static_cast<LONG>(bytes.size()))
    throw fail("the file ends early");

  AudioData audio;
  audio.sampleRate = rate;
  size_t frames = bytes.size() / static_cast<size_t>(blockAlign);
  audio.channels.assign(static_cast<size_t>(channels), std::vector<double>(frames));
  int sampleBytes = bits / 8;
  for (size_t frame = 0; frame < frames; ++frame)
    for (int c = 0; c < channels; ++c)
      audio.channels[static_cast<size_t>(c)][frame] =
          DecodeSample(bytes.data() + frame * static_cast<size_t>(blockAlign) + static_cast<size_t>(c * sampleBytes),
                       format, bits);
  return audio;
}

void WriteWav(const std::string& path, const AudioData& audio, WavSampleFormat format) {
  auto fail = [&](const std::string& why) { return HostError("cannot write WAV file " + path + ": " + why); };
  const int channels = static_cast<int>(audio.channels.size());
  if (channels <= 0) throw fail("no channels");
  const int bits = format == WavSampleFormat::Float64 ? 64 : format == WavSampleFormat::Float32 ? 32 : 16;
  const uint16_t tag = format == WavSampleFormat::Pcm16 ? kFormatPcm : kFormatFloat;
  const size_t frames = static_cast<size_t>(audio.Frames());
  const uint32_t blockAlign = static_cast<uint32_t>(channels * bits / 8);

  std::vector<uint8_t> fmt;
  PutLe(fmt, tag, 2);
  PutLe(fmt, static_cast<uint32_t>(channels), 2);
  PutLe(fmt, static_cast<uint32_t>(audio.sampleRate), 4);
  PutLe(fmt, static_cast<uint32_t>(audio.sampleRate) * blockAlign, 4);
  PutLe(fmt, blockAlign, 2);
  PutLe(fmt, static_cast<uint32_t>(bits), 2);
  PutLe(fmt, 0, 2);

  std::vector<uint8_t> samples;
  samples.reserve(frames * blockAlign);
  for (size_t frame = 0; frame < frames; ++frame)
    for (const auto& channel : audio.channels) {
      double value = channel[frame];
      if (format == WavSampleFormat::Float64) {
        uint64_t bitsOf;
        std::memcpy(&bitsOf, &value, sizeof bitsOf);
        PutLe(samples, static_cast<uint32_t>(bitsOf), 4);
        PutLe(samples, static_cast<uint32_t>(bitsOf >> 32), 4);
      } else if (format == WavSampleFormat::Float32) {
        float single = static_cast<float>(value);
        uint32_t bitsOf;
        std::memcpy(&bitsOf, &single, sizeof bitsOf);
        PutLe(samples, bitsOf, 4);
      } else {
        double scaled = value * 32768.0;
        scaled = scaled > 32767.0 ? 32767.0 : scaled < -32768.0 ? -32768.0 : scaled;
        long rounded = lrint(scaled);
        PutLe(samples, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(rounded))), 2);
      }
    }

  MmioFile file(path, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF | MMIO_EXCLUSIVE);
  if (!file.Handle()) throw fail("cannot create the file");
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioCreateChunk(file.Handle(), &riff, MMIO_CREATERIFF) != MMSYSERR_NOERROR) throw fail("cannot start RIFF");
  auto writeChunk = [&](FOURCC id, const std::vector<uint8_t>& body) {
    MMCKINFO chunk{};
    chunk.ckid = id;
    if (mmioCreateChunk(file.Handle(), &chunk, 0) != MMSYSERR_NOERROR) throw fail("cannot start a chunk");
    if (!body.empty() &&
        mmioWrite(file.Handle(), reinterpret_cast<const char*>(body.data()), static_cast<LONG>(body.size())) !=
            static_cast<LONG>(body.size()))
      throw fail("write failed");
    if (mmioAscend(file.Handle(), &chunk, 0) != MMSYSERR_NOERROR) throw fail("cannot finish a chunk");
  };
  writeChunk(mmioFOURCC('f', 'm', 't', ' '), fmt);
  if (tag == kFormatFloat) {
    // Compressed formats (float counts as one) carry their frame count in a 'fact' chunk.
    std::vector<uint8_t> fact;
    PutLe(fact, static_cast<uint32_t>(frames), 4);
    writeChunk(mmioFOURCC('f', 'a', 'c', 't'), fact);
  }
  writeChunk(mmioFOURCC('d', 'a', 't', 'a'), samples);
  if (mmioAscend(file.Handle(), &riff, 0) != MMSYSERR_NOERROR) throw fail("cannot finish RIFF");
  if (!file.Close()) throw fail("closing failed");
}
