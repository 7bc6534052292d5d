#include "analysis/AnalysisWindows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const double kPi = 4.0 * std::atan(1.0);

TEST(AnalysisWindows, BoxcarIsOneOverBins) {
  const std::vector<float> w = makeAnalysisWindow(kWindowBoxcar, 1024, 512);
  ASSERT_EQ(w.size(), 1024u);
  for (float v : w) EXPECT_EQ(v, 1.0f / 512.0f);
}

TEST(AnalysisWindows, HannAndBlackmanAreRoundedBeforeDivisionByLength) {
  for (int n : {64, 1024}) {
    const std::vector<float> hann = makeAnalysisWindow(kWindowHann, n, n / 2);
    const std::vector<float> blackman = makeAnalysisWindow(kWindowBlackman, n, n / 2);
    ASSERT_EQ(hann.size(), static_cast<std::size_t>(n));
    ASSERT_EQ(blackman.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      const double a = 2.0 * kPi * i / (n - 1);
      const double b = 4.0 * kPi * i / (n - 1);
      const float h = static_cast<float>((1.0 - std::cos(a)) * 0.5);
      const float k = static_cast<float>(0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(b));
      EXPECT_EQ(hann[static_cast<std::size_t>(i)], h / static_cast<float>(n)) << i;
      EXPECT_EQ(blackman[static_cast<std::size_t>(i)], k / static_cast<float>(n)) << i;
    }
    // Symmetric, zero at the ends (Blackman's ends round to about 1e-17),
    // peak 1/N in the middle.
    EXPECT_EQ(hann.front(), 0.0f);
    EXPECT_EQ(hann.front(), hann.back());
    EXPECT_NEAR(blackman.front() * n, 0.0f, 1e-6f);
    EXPECT_NEAR(hann[static_cast<std::size_t>(n / 2)] * n, 1.0f, 2e-3f);
  }
}

TEST(AnalysisWindows, TypesAboveBlackmanSelectHann) {
  EXPECT_EQ(makeAnalysisWindow(3, 256, 128), makeAnalysisWindow(kWindowHann, 256, 128));
  EXPECT_EQ(makeAnalysisWindow(7, 256, 128), makeAnalysisWindow(kWindowHann, 256, 128));
  EXPECT_NE(makeAnalysisWindow(kWindowBlackman, 256, 128), makeAnalysisWindow(kWindowHann, 256, 128));
}

TEST(AnalysisWindows, HammingIsNotDividedByLength) {
  const std::vector<float> w = makeHammingWindow(512);
  ASSERT_EQ(w.size(), 512u);
  EXPECT_FLOAT_EQ(w.front(), 0.08f);
  EXPECT_FLOAT_EQ(w.back(), 0.08f);
  for (int i = 0; i < 512; ++i)
    EXPECT_EQ(w[static_cast<std::size_t>(i)], static_cast<float>(0.54 - 0.46 * std::cos(2.0 * kPi * i / 511)));
}

TEST(AnalysisWindows, DegenerateLengthsStayFinite) {
  EXPECT_TRUE(makeAnalysisWindow(kWindowHann, 0, 0).empty());
  EXPECT_TRUE(makeHammingWindow(-3).empty());
  const std::vector<float> one = makeAnalysisWindow(kWindowBlackman, 1, 0);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_TRUE(std::isfinite(one[0]));
  EXPECT_EQ(makeHammingWindow(1), std::vector<float>{1.0f});
}

}  // namespace
