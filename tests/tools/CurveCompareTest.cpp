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

TEST(CurveCompare, MedianLevelIsTheMiddleRatioNotTheMeanOrTheFirst) {
  // 1.0 for 300 frames, then a ramp up to 1.01 over the next 700: the first
  // ratio is 1.0, the mean about 1.0035, the median (frame 500 of 0..1000)
  // 1.0 + 0.01 x 200/700.
  const auto c = curve({{0, 1.0f}, {300, 1.0f}, {1000, 1.01f}});
  EXPECT_NEAR(curvecompare::medianRatio(c, 0, 1000, 1), 1.0 + 0.01 * 200.0 / 700.0, 1e-6);
  // An even count takes the upper middle, as the detector does.
  EXPECT_NEAR(curvecompare::medianRatio(c, 0, 1001, 1), 1.0 + 0.01 * 201.0 / 700.0, 1e-6);
  EXPECT_DOUBLE_EQ(curvecompare::medianRatio(c, 10, 5, 1), 1.0);

  // A curve found relative to that median lies off the truth by its level
  // and on the truth divided by it.
  const double level = curvecompare::medianRatio(c, 0, 1000, 1);
  const auto found = curvecompare::dividedBy(c, level);
  EXPECT_NEAR(curvecompare::compare(found, c, 0, 1000, 1).meanPercent, (1.0 / level - 1.0) * 100.0 * 1.0035, 2e-4);
  const auto against = curvecompare::compare(found, curvecompare::dividedBy(c, level), 0, 1000, 1);
  EXPECT_NEAR(against.rmsPercent, 0.0, 1e-5);
}

}  // namespace
