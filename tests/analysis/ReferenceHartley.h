// The transform written loop for loop as its algorithm reads, without any
// reordering: the optimised transform must give the very same bits.
#pragma once

#include <utility>

#include "analysis/TwiddleTables.h"

namespace reference {

constexpr float kSqrt2 = 1.4142135f;

inline int log2Of(int n) {
  int l = 0;
  while ((1 << l) < n) ++l;
  return l;
}

inline void bitReverse(float* data, int n) {
  int k2 = 0;
  for (int k1 = 1; k1 < n; ++k1) {
    int bit = n >> 1;
    k2 ^= bit;
    while ((k2 & bit) == 0) {
      bit >>= 1;
      k2 ^= bit;
    }
    if (k2 < k1) std::swap(data[k1], data[k2]);
  }
}

inline void firstStageEven(float* data, int n) {
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

inline void firstStageOdd(float* data, int n) {
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

// One radix-4 stage for k1 = 2^k. The pointers advance by whole blocks, so a
// stage touches every value once per twiddle pair.
inline void radix4Stage(float* data, int n, int k) {
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

  float c1 = 1.0f;
  float s1 = 0.0f;
  const float tc = twiddle::kCosTable[k];
  const float ts = twiddle::kSinTable[k];
  for (int ii = 1; ii < kx; ++ii) {
    const float c0 = c1;
    c1 = c0 * tc - s1 * ts;
    s1 = c0 * ts + s1 * tc;
    const float c2 = c1 * c1 - s1 * s1;
    const float s2 = 2.0f * c1 * s1;
    for (int b = 0; b < n; b += k4) {
      float* f = data + b + ii;
      float* g = data + b + k1 - ii;
      float bb = s2 * f[k1] - c2 * g[k1];
      float a = c2 * f[k1] + s2 * g[k1];
      const float f1 = f[0] - a;
      const float f0 = f[0] + a;
      const float g1 = g[0] - bb;
      const float g0 = g[0] + bb;
      bb = s2 * f[k3] - c2 * g[k3];
      a = c2 * f[k3] + s2 * g[k3];
      const float f3 = f[k2] - a;
      const float f2 = f[k2] + a;
      const float g3 = g[k2] - bb;
      const float g2 = g[k2] + bb;
      bb = s1 * f2 - c1 * g3;
      a = c1 * f2 + s1 * g3;
      f[k2] = f0 - a;
      f[0] = f0 + a;
      g[k3] = g1 - bb;
      g[k1] = g1 + bb;
      bb = c1 * g2 - s1 * f3;
      a = s1 * g2 + c1 * f3;
      g[k2] = g0 - a;
      g[0] = g0 + a;
      f[k3] = f1 - bb;
      f[k1] = f1 + bb;
    }
  }
}

inline void hartley(float* data, int n) {
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

}  // namespace reference
