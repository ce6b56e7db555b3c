// wav-peaks: prints the peak level of sample ranges of WAV files, so the demo
// can show what the plug-in did inside and outside its shapes.
// Usage: wav-peaks FILE LABEL=START:END [LABEL=START:END ...]   (samples)
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wav-peaks FILE LABEL=START:END ...\n");
    return 2;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "wav-peaks: error: cannot read %s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  std::vector<double> samples(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  sf_count_t frames = sf_readf_double(file, samples.data(), info.frames);
  sf_close(file);
  for (int i = 2; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    long long start = 0, end = 0;
    if (!eq || std::sscanf(eq + 1, "%lld:%lld", &start, &end) != 2 || start < 0 || end < start) {
      std::fprintf(stderr, "wav-peaks: error: bad range %s\n", argv[i]);
      return 2;
    }
    end = std::min<long long>(end, frames);
    double peak = 0.0;
    for (long long f = start; f < end; ++f) {
      for (int c = 0; c < info.channels; ++c) {
        peak = std::max(peak, std::fabs(samples[static_cast<size_t>(f) * info.channels + c]));
      }
    }
    std::string label(argv[i], static_cast<size_t>(eq - argv[i]));
    if (peak > 0.0) {
      std::printf("  %-28s %7.2f s - %7.2f s   peak %7.2f dBFS\n", label.c_str(), start / double(info.samplerate),
                  end / double(info.samplerate), 20.0 * std::log10(peak));
    } else {
      std::printf("  %-28s %7.2f s - %7.2f s   peak    -inf dBFS (silence)\n", label.c_str(),
                  start / double(info.samplerate), end / double(info.samplerate));
    }
  }
  return 0;
}
