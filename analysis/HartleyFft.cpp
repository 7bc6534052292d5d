#include "analysis/HartleyFft.h"

#include <algorithm>
#include <bit>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/TwiddleTables.h"

namespace {

constexpr float kSqrt2 = 1.4142135f;

int log2Of(int n) {
  int l = 0;
  while ((1 << l) < n) ++l;
  return l;
}

// The mirror counter k2 walks in bit-reversed order beside k1. One step of
// the walk toggles bits from the top down until a toggled bit becomes 1;
// that is the top ctz(k1) + 1 bits, which are toggled at once here instead
// of one by one. The swap stores both values every time, choosing them
// without a branch, since whether k2 < k1 follows no pattern.
void bitReverse(float* data, int n) {
  const unsigned top = static_cast<unsigned>(n) - 1u;
  unsigned k2 = 0;
  for (unsigned k1 = 1; k1 < static_cast<unsigned>(n); ++k1) {
    k2 ^= top ^ ((static_cast<unsigned>(n) >> (std::countr_zero(k1) + 1)) - 1u);
    const float a = data[k1];
    const float b = data[k2];
    const bool swap = k2 < k1;
    data[k1] = swap ? b : a;
    data[k2] = swap ? a : b;
  }
}

void firstStageEven(float* data, int n) {
  for (float* a = data; a < data + n; a += 4) {
    const float f0 = a[0] + a[1];
    const float f1 = a[0] - a[1];
    const float f2 = a[2] + a[3];
    const float f3 = a[2] - a[3];
    a[0] = f0 + f2;
    a[2] = f0 - f2;
    a[1] = f1 + f3;
    a[3] = f1 - f3;
  }
}

void firstStageOdd(float* data, int n) {
  for (float* a = data; a < data + n; a += 8) {
    const float s0 = a[0] + a[1], c0 = a[0] - a[1];
    const float s1 = a[2] + a[3], c1 = a[2] - a[3];
    const float s2 = a[4] + a[5], c2 = a[4] - a[5];
    const float s3 = a[6] + a[7], c3 = a[6] - a[7];
    const float f0 = s0 + s1, f1 = s0 - s1;
    const float g0 = c0 + c1, g1 = c0 - c1;
    const float f2 = s2 + s3, f3 = s2 - s3;
    const float g2 = kSqrt2 * c2, g3 = kSqrt2 * c3;
    a[0] = f0 + f2;
    a[4] = f0 - f2;
    a[2] = f1 + f3;
    a[6] = f1 - f3;
    a[1] = g0 + g2;
    a[5] = g0 - g2;
    a[3] = g1 + g3;
    a[7] = g1 - g3;
  }
}

// Butterflies of one block for a run of consecutive twiddle indices ii0 ..
// ii0 + count - 1: f walks up from ii0 and g down from k1 - ii0, and the two
// never touch the same value. Where SSE2 is there, four butterflies run side
// by side; each lane does the scalar arithmetic in the same order, so the
// results are the same bits.
void twiddledRun(float* f, float* g, int count, int k1, const float* c1s, const float* s1s,
                 const float* c2s, const float* s2s) {
  const int k2 = 2 * k1;
  const int k3 = 3 * k1;
  int j = 0;
#if defined(__SSE2__)
  const auto reversed = [](__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); };
  for (; j + 4 <= count; j += 4) {
    // Lane i of a g vector holds g[offset - (j + i)].
    const auto loadG = [&](int offset) { return reversed(_mm_loadu_ps(g + offset - j - 3)); };
    const auto storeG = [&](int offset, __m128 v) { _mm_storeu_ps(g + offset - j - 3, reversed(v)); };
    const __m128 c1 = _mm_loadu_ps(c1s + j), s1 = _mm_loadu_ps(s1s + j);
    const __m128 c2 = _mm_loadu_ps(c2s + j), s2 = _mm_loadu_ps(s2s + j);
    __m128 fx = _mm_loadu_ps(f + j + k1), gx = loadG(k1);
    __m128 bb = _mm_sub_ps(_mm_mul_ps(s2, fx), _mm_mul_ps(c2, gx));
    __m128 a = _mm_add_ps(_mm_mul_ps(c2, fx), _mm_mul_ps(s2, gx));
    __m128 fy = _mm_loadu_ps(f + j), gy = loadG(0);
    const __m128 f1 = _mm_sub_ps(fy, a), f0 = _mm_add_ps(fy, a);
    const __m128 g1 = _mm_sub_ps(gy, bb), g0 = _mm_add_ps(gy, bb);
    fx = _mm_loadu_ps(f + j + k3);
    gx = loadG(k3);
    bb = _mm_sub_ps(_mm_mul_ps(s2, fx), _mm_mul_ps(c2, gx));
    a = _mm_add_ps(_mm_mul_ps(c2, fx), _mm_mul_ps(s2, gx));
    fy = _mm_loadu_ps(f + j + k2);
    gy = loadG(k2);
    const __m128 f3 = _mm_sub_ps(fy, a), f2 = _mm_add_ps(fy, a);
    const __m128 g3 = _mm_sub_ps(gy, bb), g2 = _mm_add_ps(gy, bb);
    bb = _mm_sub_ps(_mm_mul_ps(s1, f2), _mm_mul_ps(c1, g3));
    a = _mm_add_ps(_mm_mul_ps(c1, f2), _mm_mul_ps(s1, g3));
    _mm_storeu_ps(f + j + k2, _mm_sub_ps(f0, a));
    _mm_storeu_ps(f + j, _mm_add_ps(f0, a));
    storeG(k3, _mm_sub_ps(g1, bb));
    storeG(k1, _mm_add_ps(g1, bb));
    bb = _mm_sub_ps(_mm_mul_ps(c1, g2), _mm_mul_ps(s1, f3));
    a = _mm_add_ps(_mm_mul_ps(s1, g2), _mm_mul_ps(c1, f3));
    storeG(k2, _mm_sub_ps(g0, a));
    storeG(0, _mm_add_ps(g0, a));
    _mm_storeu_ps(f + j + k3, _mm_sub_ps(f1, bb));
    _mm_storeu_ps(f + j + k1, _mm_add_ps(f1, bb));
  }
#endif
  for (; j < count; ++j) {
    const float c1 = c1s[j], s1 = s1s[j], c2 = c2s[j], s2 = s2s[j];
    float bb = s2 * f[j + k1] - c2 * g[k1 - j];
    float a = c2 * f[j + k1] + s2 * g[k1 - j];
    const float f1 = f[j] - a;
    const float f0 = f[j] + a;
    const float g1 = g[-j] - bb;
    const float g0 = g[-j] + bb;
    bb = s2 * f[j + k3] - c2 * g[k3 - j];
    a = c2 * f[j + k3] + s2 * g[k3 - j];
    const float f3 = f[j + k2] - a;
    const float f2 = f[j + k2] + a;
    const float g3 = g[k2 - j] - bb;
    const float g2 = g[k2 - j] + bb;
    bb = s1 * f2 - c1 * g3;
    a = c1 * f2 + s1 * g3;
    f[j + k2] = f0 - a;
    f[j] = f0 + a;
    g[k3 - j] = g1 - bb;
    g[k1 - j] = g1 + bb;
    bb = c1 * g2 - s1 * f3;
    a = s1 * g2 + c1 * f3;
    g[k2 - j] = g0 - a;
    g[-j] = g0 + a;
    f[j + k3] = f1 - bb;
    f[j + k1] = f1 + bb;
  }
}

// One radix-4 stage for k1 = 2^k. Every butterfly of a stage works on its
// own eight values, so the order in which they run does not change a bit of
// the result: the twiddles are produced by the recurrence in runs of up to
// kRun, and each run is applied to every block before the next.
void radix4Stage(float* data, int n, int k) {
  const int k1 = 1 << k;
  const int k2 = 2 * k1;
  const int k3 = 3 * k1;
  const int k4 = 4 * k1;
  const int kx = k1 / 2;

  for (int b = 0; b < n; b += k4) {
    float* f = data + b;
    float* g = data + b + kx;
    float f1 = f[0] - f[k1];
    float f0 = f[0] + f[k1];
    float f3 = f[k2] - f[k3];
    float f2 = f[k2] + f[k3];
    f[k2] = f0 - f2;
    f[0] = f0 + f2;
    f[k3] = f1 - f3;
    f[k1] = f1 + f3;
    float g1 = g[0] - g[k1];
    float g0 = g[0] + g[k1];
    float g3 = kSqrt2 * g[k3];
    float g2 = kSqrt2 * g[k2];
    g[k2] = g0 - g2;
    g[0] = g0 + g2;
    g[k3] = g1 - g3;
    g[k1] = g1 + g3;
  }

  constexpr int kRun = 64;
  float c1s[kRun], s1s[kRun], c2s[kRun], s2s[kRun];
  float c1 = 1.0f;
  float s1 = 0.0f;
  const float tc = twiddle::kCosTable[k];
  const float ts = twiddle::kSinTable[k];
  for (int ii0 = 1; ii0 < kx; ii0 += kRun) {
    const int count = std::min(kRun, kx - ii0);
    for (int j = 0; j < count; ++j) {
      const float c0 = c1;
      c1 = c0 * tc - s1 * ts;
      s1 = c0 * ts + s1 * tc;
      c1s[j] = c1;
      s1s[j] = s1;
      c2s[j] = c1 * c1 - s1 * s1;
      s2s[j] = 2.0f * c1 * s1;
    }
    for (int b = 0; b < n; b += k4)
      twiddledRun(data + b + ii0, data + b + k1 - ii0, count, k1, c1s, s1s, c2s, s2s);
  }
}

}  // namespace

bool HartleyFft::isValidLength(int n) {
  return n >= kMinLength && n <= kMaxLength && (n & (n - 1)) == 0;
}

void HartleyFft::hartley(float* data, int n) const {
  if (data == nullptr || !isValidLength(n)) return;
  bitReverse(data, n);
  const int l = log2Of(n);
  if (l % 2 == 0)
    firstStageEven(data, n);
  else
    firstStageOdd(data, n);
  if (n < 16) return;
  int k = l % 2;
  int k4 = 0;
  do {
    k += 2;
    radix4Stage(data, n, k);
    k4 = 4 << k;
  } while (k4 < n);
}

void HartleyFft::realFft(float* data, int n) const {
  if (data == nullptr || !isValidLength(n)) return;
  hartley(data, n);
  for (int i = 1; i < n / 2; ++i) {
    const int j = n - i;
    const float a = data[i];
    const float b = data[j];
    data[i] = (a + b) * 0.5f;
    data[j] = (a - b) * 0.5f;
  }
}

void HartleyFft::complexFft(float* re, float* im, int n) const {
  if (re == nullptr || im == nullptr || !isValidLength(n)) return;
  for (int i = 1; i < n / 2; ++i) {
    const int j = n - i;
    const float q = re[i] + re[j];
    const float r = re[i] - re[j];
    const float s = im[i] + im[j];
    const float t = im[i] - im[j];
    re[i] = (q + t) * 0.5f;
    re[j] = (q - t) * 0.5f;
    im[i] = (s - r) * 0.5f;
    im[j] = (s + r) * 0.5f;
  }
  hartley(re, n);
  hartley(im, n);
}
