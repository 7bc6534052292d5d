#include <gtest/gtest.h>

#include <vector>

#include "detect/SpectralWeights.h"
#include "detect/SpectrumSmoother.h"

using detect::SpectrumSmoother;

namespace {
std::vector<double> ramp(int n) {
  std::vector<double> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = i * i % 7 + 0.5 * i;
  return v;
}
}  // namespace

TEST(SpectrumSmoother, FrequencyMeanOfThreeIsCentredWithRampsToTheMeanAtTheEdges) {
  SpectrumSmoother s;
  const int B = 20;
  s.setBins(B);
  s.setWidth(3);
  const std::vector<double> in = ramp(B);
  std::vector<double> out(B, -99.0);
  s.smoothFrequency(in.data(), out.data());
  double mean = 0.0;
  for (double x : in) mean += x;
  mean /= B;
  EXPECT_DOUBLE_EQ(out[0], mean);
  EXPECT_DOUBLE_EQ(out[1], ((in[0] + in[1] + in[2]) / 3.0 + mean) / 2.0);
  for (int k = 2; k <= B - 4; ++k) EXPECT_NEAR(out[k], (in[k - 1] + in[k] + in[k + 1]) / 3.0, 1e-12) << k;
  EXPECT_DOUBLE_EQ(out[B - 3], (mean + out[B - 4]) / 2.0);
  EXPECT_DOUBLE_EQ(out[B - 1], (mean + out[B - 2]) / 2.0);
}

TEST(SpectrumSmoother, EvenWidthLeavesNoBinUnset) {
  for (int width : {2, 4, 6, 8}) {
    SpectrumSmoother s;
    const int B = 40;
    s.setBins(B);
    s.setWidth(width);
    const std::vector<double> in = ramp(B);
    std::vector<double> out(B, -99.0);
    s.smoothFrequency(in.data(), out.data());
    for (int k = 0; k < B; ++k) EXPECT_GE(out[k], 0.0) << "width " << width << " bin " << k;
  }
}

TEST(SpectrumSmoother, WidthOneKeepsTheInnerBins) {
  SpectrumSmoother s;
  s.setBins(16);
  s.setWidth(1);
  const std::vector<double> in = ramp(16);
  std::vector<double> out(16);
  s.smoothFrequency(in.data(), out.data());
  for (int k = 1; k <= 13; ++k) EXPECT_DOUBLE_EQ(out[k], in[k]) << k;
}

TEST(SpectrumSmoother, TimeMeanOverTheLastFrames) {
  SpectrumSmoother s;
  s.setBins(2);
  s.setLength(3);
  std::vector<double> out(2);
  const double frames[5][2] = {{3, 1}, {6, 2}, {9, 3}, {12, 4}, {0, 5}};
  s.smoothTime(frames[0], out.data());
  EXPECT_DOUBLE_EQ(out[0], 1.0);  // history starts at zero
  s.smoothTime(frames[1], out.data());
  s.smoothTime(frames[2], out.data());
  EXPECT_DOUBLE_EQ(out[0], 6.0);
  EXPECT_DOUBLE_EQ(out[1], 2.0);
  s.smoothTime(frames[3], out.data());
  s.smoothTime(frames[4], out.data());
  EXPECT_DOUBLE_EQ(out[0], 7.0);
  EXPECT_DOUBLE_EQ(out[1], 4.0);
}

TEST(SpectrumSmoother, ChangingTheLengthKeepsTrueMeans) {
  SpectrumSmoother s;
  s.setBins(1);
  s.setLength(2);
  double out = 0.0;
  for (double x : {1.0, 2.0, 3.0, 4.0, 5.0}) s.smoothTime(&x, &out);
  s.setLength(4);
  const double next = 6.0;
  s.smoothTime(&next, &out);
  EXPECT_DOUBLE_EQ(out, (3.0 + 4.0 + 5.0 + 6.0) / 4.0);
  s.setLength(1);
  const double last = 10.0;
  s.smoothTime(&last, &out);
  EXPECT_DOUBLE_EQ(out, 10.0);
}

TEST(SpectralWeights, HannAndPreEmphasisTables) {
  detect::SpectralWeights w(5);
  w.setWindowLength(3);
  std::vector<float> frame = {1.0f, 1.0f, 1.0f};
  ASSERT_TRUE(w.applyWindow(frame.data(), 3));
  EXPECT_FLOAT_EQ(frame[0], 0.5f);   // (1 - cos(pi/2)) / 2
  EXPECT_FLOAT_EQ(frame[1], 1.0f);   // (1 - cos(pi)) / 2
  EXPECT_FLOAT_EQ(frame[2], 0.5f);
  EXPECT_FALSE(w.applyWindow(frame.data(), 2));

  w.setEmphasis(4, 2);
  std::vector<double> bins = {1.0, 1.0, 1.0, 1.0};
  ASSERT_TRUE(w.applyEmphasis(bins.data(), 4));
  EXPECT_DOUBLE_EQ(bins[0], 1.0 / 16.0);
  EXPECT_DOUBLE_EQ(bins[1], 0.25);
  EXPECT_DOUBLE_EQ(bins[3], 1.0);
  EXPECT_FALSE(w.applyEmphasis(bins.data(), 5));
  w.setEmphasis(4, 9);
  EXPECT_EQ(w.order(), 5);
}

TEST(SpectrumSmoother, SilenceAfterLoudFramesReadsExactlyZero) {
  SpectrumSmoother s;
  s.setBins(1);
  s.setLength(3);
  double out = 0.0;
  for (double x : {1e12, 3.3, 7e-5, 0.1}) s.smoothTime(&x, &out);
  const double zero = 0.0;
  for (int i = 0; i < 3; ++i) s.smoothTime(&zero, &out);
  EXPECT_EQ(out, 0.0);
}
