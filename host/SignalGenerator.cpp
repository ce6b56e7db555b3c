#include "SignalGenerator.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSection = 3.0;  // seconds per section of the 12-second cycle

// Our own sine, so that the samples do not depend on a platform's libm.
double Sine(double phase) {  // phase in turns
  phase -= std::floor(phase);
  double x = (phase < 0.5 ? phase : phase - 1.0) * 2.0 * kPi;  // -pi .. pi
  // Fold to -pi/2 .. pi/2, where the series below is accurate to about 1e-9.
  if (x > kPi / 2) x = kPi - x;
  if (x < -kPi / 2) x = -kPi - x;
  double x2 = x * x;
  return x * (1 - x2 / 6 * (1 - x2 / 20 * (1 - x2 / 42 * (1 - x2 / 72 * (1 - x2 / 110 * (1 - x2 / 156))))));
}

double Decay(double t, double timeConstant) { return t < 0 ? 0.0 : 1.0 / (1.0 + t / timeConstant * (1.0 + t / timeConstant)); }

double Note(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

double Db(double db) { return std::pow(10.0, db / 20.0); }

struct Noise {
  uint32_t state = 0x12345678u;
  double Next() {  // -1 .. 1
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

// Tones: one note per quarter second, each louder than the last, alternating sides.
void Tones(double t, double& left, double& right) {
  static const int melody[] = {-12, -5, 0, 3, 7, 12, 7, 3, 0, -5, -9, -12};
  int step = static_cast<int>(t * 4) % 12;
  double local = t - std::floor(t * 4) / 4;
  double amp = Db(-36.0 + 3.0 * step) * (1.0 - Decay(local, 0.004)) * Decay(local, 0.12);
  double s = amp * Sine(Note(melody[step]) * t);
  double pan = step % 2 ? 0.8 : 0.2;
  left += s * (1.0 - pan) * 2;
  right += s * pan * 2;
}

// Chords: three triads, a quiet one, a middle one and a loud one.
void Chords(double t, double& left, double& right) {
  static const int chords[3][3] = {{-9, -5, -2}, {-7, -3, 0}, {-4, 0, 3}};
  static const double levels[3] = {-30.0, -18.0, -8.0};
  int chord = static_cast<int>(t) % 3;
  double local = t - std::floor(t);
  double env = std::fmin(local / 0.08, 1.0) * std::fmin((1.0 - local) / 0.1, 1.0);
  for (int v = 0; v < 3; ++v) {
    double s = Db(levels[chord]) / 3.0 * env * Sine(Note(chords[chord][v]) * t);
    left += s * (v == 0 ? 1.3 : 0.85);
    right += s * (v == 2 ? 1.3 : 0.85);
  }
}

// Drums at 120 beats per minute: kick on beats, snare on off-beats, hats on eighths.
void Drums(double t, Noise& noise, double& left, double& right) {
  double beat = t * 2.0;
  int beatIndex = static_cast<int>(beat);
  double sinceBeat = (beat - beatIndex) / 2.0;
  double sinceEighth = (beat * 2 - std::floor(beat * 2)) / 4.0;
  double n = noise.Next();
  double level = Db(beatIndex % 4 == 3 ? -3.0 : -12.0);
  double kick = 0, snare = 0;
  if (beatIndex % 2 == 0) {
    double f = 50.0 + 100.0 * Decay(sinceBeat, 0.02);
    kick = Decay(sinceBeat, 0.08) * Sine(f * sinceBeat);
  } else {
    snare = 0.6 * Decay(sinceBeat, 0.05) * n + 0.3 * Decay(sinceBeat, 0.03) * Sine(190.0 * sinceBeat);
  }
  double hat = 0.25 * Decay(sinceEighth, 0.01) * noise.Next();
  left += level * (kick + snare * 0.8 + hat * 1.2);
  right += level * (kick + snare * 1.2 + hat * 0.6);
}

}  // namespace

AudioData GenerateTestSignal(double seconds, int sampleRate) {
  AudioData audio;
  audio.sampleRate = sampleRate;
  size_t frames = static_cast<size_t>(std::llround(seconds * sampleRate));
  audio.channels.assign(2, std::vector<double>(frames));
  Noise noise;
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / sampleRate;
    int section = static_cast<int>(t / kSection) % 4;
    double local = t - std::floor(t / kSection) * kSection;
    double left = 0, right = 0;
    if (section == 0) Tones(local, left, right);
    if (section == 1) Chords(local, left, right);
    if (section == 2) Drums(local, noise, left, right);
    if (section == 3) {
      // Everything at once, then a near-silent tail that a gain shape can lift.
      double mix = local < 2.0 ? 0.6 : Db(-40.0);
      double l = 0, r = 0;
      Tones(local, l, r);
      Chords(local, l, r);
      Drums(local, noise, l, r);
      left = l * mix;
      right = r * mix;
    }
    audio.channels[0][i] = left;
    audio.channels[1][i] = right;
  }
  return audio;
}

AudioData GenerateRamp(double seconds, int sampleRate) {
  AudioData audio;
  audio.sampleRate = sampleRate;
  const size_t frames = static_cast<size_t>(std::llround(seconds * sampleRate));
  audio.channels.assign(2, std::vector<double>(frames));
  const double pi = 3.14159265358979323846;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const double v = static_cast<double>(i) / static_cast<double>(frames) * std::sin(2.0 * pi * 110.0 * t);
    audio.channels[0][i] = v;
    audio.channels[1][i] = v;
  }
  return audio;
}
