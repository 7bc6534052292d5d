#include "analysis/HartleyFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "analysis/TwiddleTables.h"
#include "tests/analysis/ReferenceHartley.h"

namespace {

const double kPi = 4.0 * std::atan(1.0);
const int kLengths[] = {4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096};

std::vector<float> noise(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(static_cast<std::size_t>(n));
  for (float& v : x) v = dist(gen);
  return x;
}

// Direct transform in double: X[k] = sum x[m] e^(-2 pi i m k / n). The
// angle is reduced modulo n so that large lengths stay accurate.
void directDft(const std::vector<float>& re, const std::vector<float>& im, std::vector<double>& outRe,
               std::vector<double>& outIm) {
  const std::size_t n = re.size();
  outRe.assign(n, 0.0);
  outIm.assign(n, 0.0);
  for (std::size_t k = 0; k < n; ++k) {
    double sr = 0.0, si = 0.0;
    for (std::size_t m = 0; m < n; ++m) {
      const double a = -2.0 * kPi * static_cast<double>((m * k) % n) / static_cast<double>(n);
      sr += re[m] * std::cos(a) - im[m] * std::sin(a);
      si += re[m] * std::sin(a) + im[m] * std::cos(a);
    }
    outRe[k] = sr;
    outIm[k] = si;
  }
}

// Largest error over all entries, relative to the largest exact magnitude.
double relativeError(const std::vector<float>& got, const std::vector<double>& want) {
  double err = 0.0, scale = 0.0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    err = std::max(err, std::fabs(got[i] - want[i]));
    scale = std::max(scale, std::fabs(want[i]));
  }
  return err / scale;
}

// The twiddle recurrence runs up to n/8 rotations from a float seed whose
// length is off by up to one rounding, so its drift grows with n; this bound
// follows that drift and is still far below what a wrong twiddle or
// butterfly gives (an error of order 1).
double tolerance(int n) { return 1e-6 + 5e-9 * n; }

TEST(HartleyFft, TwiddleTablesHoldRoundedCosinesAndSines) {
  EXPECT_EQ(twiddle::kCosTable[0], 0.0f);
  EXPECT_EQ(twiddle::kSinTable[0], 1.0f);
  for (int k = 1; k < 16; ++k) {
    const double a = kPi / std::pow(2.0, k + 1);
    EXPECT_EQ(twiddle::kCosTable[k], static_cast<float>(std::cos(a))) << k;
    EXPECT_EQ(twiddle::kSinTable[k], static_cast<float>(std::sin(a))) << k;
  }
  for (int k = 13; k < 16; ++k) EXPECT_EQ(twiddle::kCosTable[k], 1.0f);
  for (int k = 16; k < 20; ++k) {
    EXPECT_EQ(twiddle::kCosTable[k], 0.0f);
    EXPECT_EQ(twiddle::kSinTable[k], 0.0f);
  }
}

TEST(HartleyFft, AcceptsPowersOfTwoFrom4To131072Only) {
  EXPECT_TRUE(HartleyFft::isValidLength(4));
  EXPECT_TRUE(HartleyFft::isValidLength(131072));
  EXPECT_FALSE(HartleyFft::isValidLength(2));
  EXPECT_FALSE(HartleyFft::isValidLength(262144));
  EXPECT_FALSE(HartleyFft::isValidLength(1000));
  EXPECT_FALSE(HartleyFft::isValidLength(0));
  EXPECT_FALSE(HartleyFft::isValidLength(-1024));
  std::vector<float> x = {1, 2, 3, 4, 5, 6};
  const std::vector<float> before = x;
  HartleyFft().hartley(x.data(), 6);
  EXPECT_EQ(x, before);
}

TEST(HartleyFft, HartleyMatchesDirectSumForEveryStageShape) {
  // Lengths 4 and 8 end after the first stage, 16 and 32 take one radix-4
  // stage after the even and the odd first stage, and so on.
  const HartleyFft fft;
  for (int n : kLengths) {
    std::vector<float> x = noise(n, 11u + static_cast<unsigned>(n));
    std::vector<double> want(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
      double s = 0.0;
      for (int m = 0; m < n; ++m) {
        const double a = 2.0 * kPi * static_cast<double>((static_cast<long long>(m) * k) % n) / n;
        s += x[static_cast<std::size_t>(m)] * (std::cos(a) + std::sin(a));
      }
      want[static_cast<std::size_t>(k)] = s;
    }
    fft.hartley(x.data(), n);
    const double e = relativeError(x, want);
    std::printf("hartley  n=%5d  largest relative error %.3g\n", n, e);
    EXPECT_LT(e, tolerance(n)) << n;
  }
}

TEST(HartleyFft, RealFftMatchesDirectDftLayout) {
  const HartleyFft fft;
  for (int n : kLengths) {
    std::vector<float> x = noise(n, 23u + static_cast<unsigned>(n));
    std::vector<double> re, im;
    directDft(x, std::vector<float>(x.size(), 0.0f), re, im);
    std::vector<double> want(static_cast<std::size_t>(n));
    want[0] = re[0];
    want[static_cast<std::size_t>(n / 2)] = re[static_cast<std::size_t>(n / 2)];
    for (int k = 1; k < n / 2; ++k) {
      want[static_cast<std::size_t>(k)] = re[static_cast<std::size_t>(k)];
      want[static_cast<std::size_t>(n - k)] = -im[static_cast<std::size_t>(k)];
    }
    fft.realFft(x.data(), n);
    const double e = relativeError(x, want);
    std::printf("realFft  n=%5d  largest relative error %.3g\n", n, e);
    EXPECT_LT(e, tolerance(n)) << n;
  }
}

TEST(HartleyFft, ComplexFftMatchesDirectDft) {
  const HartleyFft fft;
  for (int n : kLengths) {
    std::vector<float> re = noise(n, 37u + static_cast<unsigned>(n));
    std::vector<float> im = noise(n, 41u + static_cast<unsigned>(n));
    std::vector<double> wantRe, wantIm;
    directDft(re, im, wantRe, wantIm);
    fft.complexFft(re.data(), im.data(), n);
    const double e = std::max(relativeError(re, wantRe), relativeError(im, wantIm));
    std::printf("complexFft n=%5d  largest relative error %.3g\n", n, e);
    EXPECT_LT(e, tolerance(n)) << n;
  }
}

TEST(HartleyFft, LongestLengthStaysAccurate) {
  // At 131072 the recurrence runs over 16384 rotations per stage; a direct
  // sum is too slow, so probe with a tone whose spectrum is known exactly.
  const int n = HartleyFft::kMaxLength;
  const int bin = 12345;
  std::vector<float> x(static_cast<std::size_t>(n));
  for (int m = 0; m < n; ++m)
    x[static_cast<std::size_t>(m)] =
        static_cast<float>(std::cos(2.0 * kPi * static_cast<double>((static_cast<long long>(bin) * m) % n) / n));
  HartleyFft().realFft(x.data(), n);
  const double tol = n / 2.0 * tolerance(n);
  EXPECT_NEAR(x[bin], n / 2.0, tol);
  double leak = 0.0;
  for (int k = 0; k < n; ++k)
    if (k != bin) leak = std::max(leak, static_cast<double>(std::fabs(x[static_cast<std::size_t>(k)])));
  std::printf("realFft  n=%d  largest leakage %.3g of %d\n", n, leak, n / 2);
  EXPECT_LT(leak, tol);
}

TEST(HartleyFft, GivesTheSameBitsAsTheAlgorithmWrittenPlainly) {
  // The stages run their butterflies in another order than the plain
  // algorithm; single-precision results must not change at all.
  const HartleyFft fft;
  for (int n = 4; n <= HartleyFft::kMaxLength; n *= 2) {
    std::vector<float> x = noise(n, 3u + static_cast<unsigned>(n));
    std::vector<float> want = x;
    fft.hartley(x.data(), n);
    reference::hartley(want.data(), n);
    EXPECT_TRUE(x == want) << n;
  }
}

TEST(HartleyFft, ImpulseGivesOnesAndTwiceGivesNTimesInput) {
  const HartleyFft fft;
  for (int n : {4, 8, 64, 512}) {
    std::vector<float> x(static_cast<std::size_t>(n), 0.0f);
    x[0] = 1.0f;
    fft.hartley(x.data(), n);
    for (float v : x) EXPECT_FLOAT_EQ(v, 1.0f);

    std::vector<float> y = noise(n, 5u);
    const std::vector<float> original = y;
    fft.hartley(y.data(), n);
    fft.hartley(y.data(), n);
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(y[static_cast<std::size_t>(i)], n * original[static_cast<std::size_t>(i)], n * 1e-5) << n;
  }
}

TEST(HartleyFft, RealFftOfConstantAndOfTones) {
  const HartleyFft fft;
  const int n = 1024;
  std::vector<float> x(n, 1.0f);
  fft.realFft(x.data(), n);
  EXPECT_FLOAT_EQ(x[0], 1024.0f);
  for (int i = 1; i < n; ++i) EXPECT_NEAR(x[static_cast<std::size_t>(i)], 0.0f, 1e-3f) << i;

  std::vector<float> c(n), s(n);
  for (int m = 0; m < n; ++m) {
    c[static_cast<std::size_t>(m)] = static_cast<float>(std::cos(2.0 * kPi * 5 * m / n));
    s[static_cast<std::size_t>(m)] = static_cast<float>(std::sin(2.0 * kPi * 5 * m / n));
  }
  fft.realFft(c.data(), n);
  fft.realFft(s.data(), n);
  EXPECT_NEAR(c[5], n / 2.0f, 1e-2f);
  EXPECT_NEAR(c[n - 5], 0.0f, 1e-2f);
  EXPECT_NEAR(s[5], 0.0f, 1e-2f);
  EXPECT_NEAR(s[n - 5], n / 2.0f, 1e-2f);
}

TEST(HartleyFft, ComplexFftOfRotatingPhasorAndOfImpulse) {
  const HartleyFft fft;
  for (int n : {16, 128, 2048}) {
    std::vector<float> re(static_cast<std::size_t>(n)), im(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
      re[static_cast<std::size_t>(k)] = static_cast<float>(std::cos(2.0 * kPi * 3 * k / n));
      im[static_cast<std::size_t>(k)] = static_cast<float>(std::sin(2.0 * kPi * 3 * k / n));
    }
    fft.complexFft(re.data(), im.data(), n);
    const float tol = 1e-5f * static_cast<float>(n);
    for (int m = 0; m < n; ++m) {
      EXPECT_NEAR(re[static_cast<std::size_t>(m)], m == 3 ? static_cast<float>(n) : 0.0f, tol) << n << " " << m;
      EXPECT_NEAR(im[static_cast<std::size_t>(m)], 0.0f, tol) << n << " " << m;
    }

    std::fill(re.begin(), re.end(), 0.0f);
    std::fill(im.begin(), im.end(), 0.0f);
    re[0] = 1.0f;
    fft.complexFft(re.data(), im.data(), n);
    for (int m = 0; m < n; ++m) {
      EXPECT_EQ(re[static_cast<std::size_t>(m)], 1.0f);
      EXPECT_EQ(im[static_cast<std::size_t>(m)], 0.0f);
    }
  }
}

}  // namespace
