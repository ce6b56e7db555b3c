// Capture entries eight at a time with AVX, built with -mavx for x86_64 only
// and called only where the processor has AVX. Every entry equals the SSE2
// and scalar conversions' (CaptureEntries.h). Nothing inline from another
// header is used here, so no AVX copy of a shared function can reach code
// that runs on a processor without AVX.
#include <immintrin.h>

#include <cstdint>

#include "effect/CaptureEntries.h"

#if !defined(__AVX__)
#error "this file is built with -mavx"
#endif

namespace {

__m256d Load(const double* p) { return _mm256_loadu_pd(p); }
__m256d Load(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

__m128i Quad(__m256d left, __m256d right) {
  __m256d v = _mm256_mul_pd(_mm256_add_pd(right, left), _mm256_set1_pd(256.0));
  v = _mm256_and_pd(v, _mm256_cmp_pd(v, v, _CMP_ORD_Q));
  v = _mm256_max_pd(_mm256_min_pd(v, _mm256_set1_pd(32767.0)), _mm256_set1_pd(-32768.0));
  return _mm256_cvttpd_epi32(v);
}

template <class Sample>
int Octets(const Sample* left, const Sample* right, int count, int16_t* out) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i low = Quad(Load(left + i), Load(right + i));
    const __m128i high = Quad(Load(left + i + 4), Load(right + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
  }
  return i;
}

}  // namespace

namespace capture {

int EntriesAvx(const double* left, const double* right, int count, int16_t* out) {
  return Octets(left, right, count, out);
}

int EntriesAvx(const float* left, const float* right, int count, int16_t* out) {
  return Octets(left, right, count, out);
}

}  // namespace capture
