#include "curve/CurveShaping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

constexpr double kRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kSeconds = 60.0;
constexpr std::int64_t kFrames = static_cast<std::int64_t>(kSeconds * kRate);

std::vector<PvcPoint> curveOf(const std::function<double(double)>& speedAt) {
  std::vector<PvcPoint> curve;
  for (std::int64_t frame = 0; frame < kFrames; frame += 256) {
    PvcPoint p;
    p.position = static_cast<std::int32_t>(frame);
    p.ratio = static_cast<float>(speedAt(frame / kRate));
    curve.push_back(p);
  }
  return curve;
}

// The largest difference between the shaped curve and a function, in
// percent, away from the first and last five seconds.
double largestDifference(const std::vector<PvcPoint>& shaped, const std::function<double(double)>& expected) {
  double largest = 0.0;
  for (const PvcPoint& p : shaped) {
    const double t = p.position / kRate;
    if (t < 5.0 || t > kSeconds - 5.0) continue;
    largest = std::max(largest, std::fabs(p.ratio / expected(t) - 1.0) * 100.0);
  }
  return largest;
}

double wow(double t) { return 1.0 + 0.003 * std::sin(2 * kPi * 0.5 * t); }

TEST(CurveShaping, NothingAskedChangesNothing) {
  const auto curve = curveOf(wow);
  const auto shaped = shapeCurve(curve, kRate, kFrames, {});
  EXPECT_FALSE(CurveShape{}.any());
  EXPECT_LT(largestDifference(shaped, wow), 1e-4);
  EXPECT_EQ(shaped.front().position, 0);
  EXPECT_EQ(shaped.back().position, kFrames - 1);
  EXPECT_TRUE(shapeCurve({}, kRate, kFrames, {}).empty());
}

TEST(CurveShaping, SmoothingKeepsTheWowAndDropsWhatIsFaster) {
  const auto curve = curveOf([](double t) { return wow(t) * (1.0 + 0.001 * std::sin(2 * kPi * 20 * t)); });
  CurveShape shape;
  shape.smoothHz = 3.0;
  EXPECT_LT(largestDifference(shapeCurve(curve, kRate, kFrames, shape), wow), 0.01);
  // A constant speed stays itself to the ends: the filters start at rest on it.
  const auto steady = shapeCurve(curveOf([](double) { return 1.02; }), kRate, kFrames, shape);
  for (const PvcPoint& p : steady) ASSERT_NEAR(p.ratio, 1.02f, 1e-6f);
}

TEST(CurveShaping, DriftStrengthAndPitch) {
  // 1 % slow on average and drifting, with wow on top.
  const auto drifting = [](double t) { return 0.99 * (1.0 + 0.002 * t / kSeconds) * wow(t); };
  CurveShape drift;
  drift.keepDrift = true;
  EXPECT_LT(largestDifference(shapeCurve(curveOf(drifting), kRate, kFrames, drift), wow), 0.01);

  CurveShape half;
  half.strength = 0.5;
  EXPECT_LT(largestDifference(shapeCurve(curveOf(wow), kRate, kFrames, half), [](double t) { return std::sqrt(wow(t)); }),
            1e-4);

  CurveShape pitch;
  pitch.keepPitch = true;
  const auto kept = shapeCurve(curveOf(drifting), kRate, kFrames, pitch);
  double mean = 0.0;
  for (const PvcPoint& p : kept) mean += p.ratio;
  EXPECT_NEAR(mean / kept.size(), 1.0, 1e-5);
  EXPECT_EQ((CurveShape{2.0, 0.5, true, true}.describe()),
            "smoothed to 2 Hz, drift below 0.05 Hz kept, strength 0.5, mean speed kept");
}

}  // namespace
