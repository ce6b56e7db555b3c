// CaptureEntries: the conversion of processed output into capture-ring
// entries, the sum of both channels in units of 1/512 of full scale,
// truncated and saturated to 16 bits, NaN counting as silence. Four samples a
// step with SSE2, eight with AVX where the processor has it (x86_64,
// CaptureEntriesAvx.cpp); every entry equals the scalar conversion's.
// Audio thread, CaptureLock held by the caller; no allocation.
#pragma once

#include <cstdint>

#include <emmintrin.h>

namespace capture {

inline int16_t Entry(double left, double right) {
  double v = (right + left) * 256.0;
  if (!(v == v)) return 0;
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  return static_cast<int16_t>(v);
}

inline __m128d LoadPair(const double* p) { return _mm_loadu_pd(p); }
inline __m128d LoadPair(const float* p) {
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Two entries as 32-bit integers: NaN becomes 0 and the range is limited
// before truncating, so the conversion never sees a value it cannot hold.
inline __m128i PairEntries(__m128d left, __m128d right) {
  __m128d v = _mm_mul_pd(_mm_add_pd(right, left), _mm_set1_pd(256.0));
  v = _mm_and_pd(v, _mm_cmpord_pd(v, v));
  v = _mm_max_pd(_mm_min_pd(v, _mm_set1_pd(32767.0)), _mm_set1_pd(-32768.0));
  return _mm_cvttpd_epi32(v);
}

#if defined(__x86_64__)
// The leading multiple of eight entries with AVX; returns how many were written.
int EntriesAvx(const double* left, const double* right, int count, int16_t* out);
int EntriesAvx(const float* left, const float* right, int count, int16_t* out);
#endif

// Writes count entries from left[i] and right[i] to out[i]; `wide` allows AVX
// (only where the processor has it).
template <class Sample>
void Entries(const Sample* left, const Sample* right, int count, int16_t* out, bool wide) {
  int i = 0;
#if defined(__x86_64__)
  if (wide) i = EntriesAvx(left, right, count, out);
#else
  (void)wide;
#endif
  for (; i + 4 <= count; i += 4) {
    const __m128i low = PairEntries(LoadPair(left + i), LoadPair(right + i));
    const __m128i high = PairEntries(LoadPair(left + i + 2), LoadPair(right + i + 2));
    const __m128i both = _mm_unpacklo_epi64(low, high);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(both, both));
  }
  for (; i < count; ++i) out[i] = Entry(left[i], right[i]);
}

}  // namespace capture
