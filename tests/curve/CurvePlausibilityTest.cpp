#include "curve/CurvePlausibility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

// A curve with a point every `every` frames over `seconds`.
std::vector<PvcPoint> curveOf(const std::function<double(double)>& speedAt, double seconds, int every = 256) {
  std::vector<PvcPoint> curve;
  for (std::int32_t frame = 0; frame < seconds * kRate; frame += every) {
    PvcPoint p;
    p.position = frame;
    p.ratio = static_cast<float>(speedAt(frame / kRate));
    curve.push_back(p);
  }
  return curve;
}

CurveVerdict judge(const std::vector<PvcPoint>& curve, double seconds) {
  return judgeCurve(curve, kRate, static_cast<std::int64_t>(seconds * kRate));
}

TEST(CurvePlausibility, WowAndFlutterOfRealTransfersPass) {
  // 0.3 % at 0.5 Hz, 0.1 % at 1.5 Hz and a slow drift, played 0.9 % slow.
  const auto wow = [](double t) {
    return 0.991 * (1.0 + 0.003 * std::sin(2 * kPi * 0.5 * t) + 0.001 * std::sin(2 * kPi * 1.5 * t) + 0.0005 * t / 30);
  };
  CurveVerdict verdict = judge(curveOf(wow, 30), 30);
  EXPECT_TRUE(verdict.plausible) << verdict.reason;
  EXPECT_NEAR(verdict.rmsPercent, 0.22, 0.03);
  EXPECT_NEAR(verdict.spreadPercent, 0.4, 0.1);
  // Flutter of 0.05 % at 8 Hz on top is still a transfer's.
  verdict = judge(curveOf([&](double t) { return wow(t) * (1 + 0.0005 * std::sin(2 * kPi * 8 * t)); }, 30), 30);
  EXPECT_TRUE(verdict.plausible) << verdict.reason;
  // A pilot-tone curve through the near-duplicate filter: sparse points in
  // 0.1 % steps with straight lines between them.
  std::vector<PvcPoint> sparse;
  for (int i = 0; i < 40; ++i) sparse.push_back({static_cast<std::int32_t>(i * 0.7 * kRate), 1.0f + 0.001f * (i % 4)});
  verdict = judge(sparse, 28);
  EXPECT_TRUE(verdict.plausible) << verdict.reason;
}

TEST(CurvePlausibility, AFlatCurveChangesNothing) {
  const CurveVerdict verdict = judge(curveOf([](double) { return 1.0; }, 10), 10);
  EXPECT_FALSE(verdict.plausible);
  EXPECT_TRUE(verdict.flat);
  EXPECT_NE(verdict.reason.find("flat"), std::string::npos);
  EXPECT_TRUE(judge({}, 10).flat);
  // Floats that differ in their last bits are still flat.
  EXPECT_TRUE(judge(curveOf([](double t) { return 1.0 + 1e-7 * (static_cast<int>(t * 100) % 2); }, 10), 10).flat);
  EXPECT_FALSE(judge(curveOf([](double t) { return 1.0 + 0.0005 * std::sin(t); }, 10), 10).flat);
}

TEST(CurvePlausibility, LostDetectorsAreRefused) {
  // Music taken for hum: plateaus of 1.5 s and jumps of several percent.
  const auto plateaus = [](double t) { return 1.0 + 0.02 * (static_cast<int>(t / 1.5) % 3 - 1); };
  CurveVerdict verdict = judge(curveOf(plateaus, 30), 30);
  EXPECT_FALSE(verdict.plausible);
  EXPECT_NE(verdict.reason.find("jumps by"), std::string::npos) << verdict.reason;
  EXPECT_GT(verdict.largestStepPercent, 3.0);  // from +2 % back to -2 %

  // A trace that slid to a partial 8 % away and stayed there.
  verdict = judge(curveOf([](double t) { return t < 3 ? 1.0 + 0.0003 * t : 1.08; }, 10, 4096), 10);
  EXPECT_FALSE(verdict.plausible);
  EXPECT_NE(verdict.reason.find("departs"), std::string::npos) << verdict.reason;

  // A curve that mostly shivers: 0.2 % at 30 Hz on a small wow.
  verdict = judge(curveOf([](double t) { return 1.0 + 0.0005 * std::sin(2 * kPi * 0.5 * t) + 0.002 * std::sin(2 * kPi * 30 * t); }, 10), 10);
  EXPECT_FALSE(verdict.plausible);
  EXPECT_NE(verdict.reason.find("faster than wow"), std::string::npos) << verdict.reason;
  EXPECT_GT(verdict.fastRmsPercent, 0.12);
}

}  // namespace
