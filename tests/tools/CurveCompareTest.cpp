// The demo's measure of a found curve: differences taken between points,
// beyond the ends, and over the frames asked for only.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/curvecompare/CurveCompare.h"

namespace {

std::vector<PvcPoint> curve(std::initializer_list<std::pair<int, float>> points) {
  std::vector<PvcPoint> c;
  for (auto [position, ratio] : points) c.push_back({position, ratio, 0, 0});
  return c;
}

TEST(CurveCompare, InterpolatesBetweenPointsAndHoldsTheEnds) {
  const auto c = curve({{100, 1.0f}, {200, 1.02f}});
  EXPECT_DOUBLE_EQ(curvecompare::ratioAt(c, 0), 1.0);
  EXPECT_NEAR(curvecompare::ratioAt(c, 150), 1.01, 1e-6);
  EXPECT_NEAR(curvecompare::ratioAt(c, 1000), 1.02, 1e-6);
  EXPECT_DOUBLE_EQ(curvecompare::ratioAt({}, 5), 1.0);
}

TEST(CurveCompare, GivesRmsAndPeakInPercentOverTheFramesAskedFor) {
  const auto truth = curve({{0, 1.0f}, {1000, 1.0f}});
  // 0.1 % too fast in the first half, right in the second; a large error
  // beyond frame 900 lies outside the compared frames.
  const auto found = curve({{0, 1.001f}, {499, 1.001f}, {500, 1.0f}, {899, 1.0f}, {900, 1.5f}, {1000, 1.5f}});
  const auto error = curvecompare::compare(found, truth, 0, 799, 1);
  EXPECT_EQ(error.frames, 800);
  EXPECT_NEAR(error.peakPercent, 0.1, 1e-4);
  // 500 frames at 0.1 %, 300 at 0: RMS sqrt(500/800) x 0.1.
  EXPECT_NEAR(error.rmsPercent, 0.1 * std::sqrt(500.0 / 800.0), 1e-4);
  EXPECT_NEAR(curvecompare::compare(found, truth, 0, 1000, 1).peakPercent, 50.0, 1e-3);
  // A constant offset is all mean and nothing about it.
  const auto offset = curvecompare::compare(curve({{0, 1.004f}, {1000, 1.004f}}), truth, 0, 1000, 1);
  EXPECT_NEAR(offset.meanPercent, 0.4, 1e-4);
  EXPECT_NEAR(offset.rmsAboutMean, 0.0, 1e-3);
}

}  // namespace
