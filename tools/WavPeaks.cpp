// wav-peaks: prints the peak level of sample ranges of WAV files, so the demo
// can show what the plug-in did inside and outside its shapes.
// Usage: wav-peaks FILE LABEL=START:END [LABEL=START:END ...]   (samples)
//        wav-peaks --compare A B   (are the samples of two files identical?)
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Load(const char* path, SF_INFO& info, std::vector<double>& samples) {
  info = SF_INFO{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "wav-peaks: error: cannot read %s: %s\n", path, sf_strerror(nullptr));
    return false;
  }
  samples.assign(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels), 0.0);
  sf_readf_double(file, samples.data(), info.frames);
  sf_close(file);
  return true;
}

int Compare(const char* a, const char* b) {
  SF_INFO infoA, infoB;
  std::vector<double> x, y;
  if (!Load(a, infoA, x) || !Load(b, infoB, y)) return 1;
  if (infoA.channels != infoB.channels || x.size() != y.size()) {
    std::printf("  %s and %s differ in length or channels\n", a, b);
    return 1;
  }
  size_t differing = 0;
  double largest = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] != y[i]) ++differing;
    largest = std::max(largest, std::fabs(x[i] - y[i]));
  }
  if (differing == 0) {
    std::printf("  %s: every sample identical to %s\n", b, a);
    return 0;
  }
  std::printf("  %s: %zu samples differ from %s, by at most %.3g\n", b, differing, a, largest);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) return Compare(argv[2], argv[3]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: wav-peaks FILE LABEL=START:END ... | wav-peaks --compare A B\n");
    return 2;
  }
  SF_INFO info{};
  std::vector<double> samples;
  if (!Load(argv[1], info, samples)) return 1;
  const sf_count_t frames = info.frames;
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
