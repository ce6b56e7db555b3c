// WavFile on Linux: libsndfile.
#include <sndfile.h>

#include <memory>

#include "HostError.h"
#include "WavFile.h"

namespace {

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

}  // namespace

AudioData ReadWav(const std::string& path) {
  SF_INFO info{};
  SNDFILE* raw = sf_open(path.c_str(), SFM_READ, &info);
  if (!raw) throw HostError("cannot read WAV file " + path + ": " + sf_strerror(nullptr));
  std::unique_ptr<SNDFILE, SndfileCloser> file(raw);
  if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0)
    throw HostError("cannot read WAV file " + path + ": no usable audio format");
  std::vector<double> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  sf_count_t got = sf_readf_double(file.get(), interleaved.data(), info.frames);
  if (got != info.frames) throw HostError("cannot read WAV file " + path + ": the file ends early");
  AudioData audio;
  audio.sampleRate = info.samplerate;
  audio.channels.assign(static_cast<size_t>(info.channels), std::vector<double>(static_cast<size_t>(info.frames)));
  for (size_t frame = 0; frame < static_cast<size_t>(info.frames); ++frame)
    for (size_t c = 0; c < audio.channels.size(); ++c)
      audio.channels[c][frame] = interleaved[frame * audio.channels.size() + c];
  return audio;
}

void WriteWav(const std::string& path, const AudioData& audio, WavSampleFormat format) {
  SF_INFO info{};
  info.samplerate = audio.sampleRate;
  info.channels = static_cast<int>(audio.channels.size());
  int subtype = format == WavSampleFormat::Float64   ? SF_FORMAT_DOUBLE
                : format == WavSampleFormat::Float32 ? SF_FORMAT_FLOAT
                                                     : SF_FORMAT_PCM_16;
  info.format = SF_FORMAT_WAV | subtype;
  if (info.channels <= 0) throw HostError("cannot write WAV file " + path + ": no channels");
  SNDFILE* raw = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!raw) throw HostError("cannot write WAV file " + path + ": " + sf_strerror(nullptr));
  std::unique_ptr<SNDFILE, SndfileCloser> file(raw);
  if (format == WavSampleFormat::Pcm16) sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const size_t frames = static_cast<size_t>(audio.Frames());
  std::vector<double> interleaved(frames * audio.channels.size());
  for (size_t frame = 0; frame < frames; ++frame)
    for (size_t c = 0; c < audio.channels.size(); ++c)
      interleaved[frame * audio.channels.size() + c] = audio.channels[c][frame];
  if (sf_writef_double(file.get(), interleaved.data(), static_cast<sf_count_t>(frames)) !=
      static_cast<sf_count_t>(frames))
    throw HostError("cannot write WAV file " + path + ": " + sf_strerror(file.get()));
  if (sf_close(file.release()) != 0) throw HostError("cannot write WAV file " + path + ": closing failed");
}
