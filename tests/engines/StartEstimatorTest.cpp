#include "engines/StartEstimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engines/FilterDesign.h"

namespace {

using humengine::SpeedWindow;
using humengine::StartEstimator;

constexpr int kLength = 501;
constexpr int kMiddle = kLength / 2;

// The speed filter of the default settings: flat to 3 Hz at about 760 Hz.
std::vector<float> speedTaps() { return humengine::lowpassTaps(kLength, 5.75 / 760.0, humengine::kaiserBeta(60.0)); }

// A window whose newest `trusted` samples follow offset(age), older ones
// invalid; every `gap`-th trusted sample invalid as well when gap > 0.
template <typename F>
SpeedWindow window(int trusted, F offset, int gap = 0) {
  SpeedWindow w(kLength);
  for (int age = kLength - 1; age >= 0; --age) {
    bool ok = age < trusted && !(gap > 0 && age % gap == 0);
    w.push(static_cast<float>(offset(age)), 1.0f, ok);
  }
  return w;
}

// A speed rising steadily, 0.1 % over the window, 0 at its middle.
double ramp(int age) { return 2e-6 * (kMiddle - age); }

TEST(StartEstimator, ReadsASteadyRiseAtTheMiddleEvenBeforeTheFirstSample) {
  StartEstimator e(speedTaps());
  for (int trusted : {210, 230, 251, 280, 310}) {
    float offset = 1.0f;
    ASSERT_TRUE(e.speed(window(trusted, ramp), trusted, &offset)) << trusted;
    EXPECT_NEAR(offset, 0.0, 2e-7) << trusted;
    double scatter = 1.0;
    ASSERT_TRUE(e.scatter(window(trusted, ramp), trusted, &scatter));
    EXPECT_LT(scatter, 1e-12);
  }
}

TEST(StartEstimator, WithALobeOfSamplesBeforeTheMiddleTakesTheFiltersMean) {
  StartEstimator e(speedTaps());
  for (int trusted : {330, 400, 500}) {
    float offset = 1.0f;
    ASSERT_TRUE(e.speed(window(trusted, [](int) { return 0.003; }), trusted, &offset));
    EXPECT_NEAR(offset, 0.003, 1e-7) << trusted;
    // A rise bends the mean a little, never as far as its own end.
    ASSERT_TRUE(e.speed(window(trusted, ramp), trusted, &offset));
    EXPECT_LT(std::fabs(offset), 2e-5) << trusted;
  }
}

TEST(StartEstimator, RefusesTooFewOrTooBrokenSamples) {
  StartEstimator e(speedTaps());
  float offset = 0.0f;
  double scatter = 0.0;
  EXPECT_FALSE(e.speed(window(150, ramp), 150, &offset));
  EXPECT_FALSE(e.scatter(window(150, ramp), 150, &scatter));
  EXPECT_FALSE(e.speed(window(300, ramp, 3), 300, &offset));
  EXPECT_FALSE(e.speed(window(450, ramp, 3), 450, &offset));
  EXPECT_FALSE(e.speed(window(0, ramp), 0, &offset));
}

TEST(StartEstimator, ScatterIsTheVarianceAboutTheLine) {
  StartEstimator e(speedTaps());
  auto jitter = [](int age) { return ramp(age) + (age % 2 ? 1e-4 : -1e-4); };
  double scatter = 0.0;
  ASSERT_TRUE(e.scatter(window(280, jitter), 280, &scatter));
  EXPECT_NEAR(scatter, 1e-8, 1e-9);
}

TEST(FilterDesign, KaiserLengthIsTheShortestThatKeepsTheTransition) {
  for (double t : {0.002, 0.01, 0.0196, 0.05, 0.2}) {
    int n = humengine::kaiserLength(t, 70.0);
    EXPECT_EQ(n % 2, 1);
    EXPECT_LE(humengine::kaiserTransition(n, 70.0), t);
    EXPECT_GT(humengine::kaiserTransition(n - 2, 70.0), t);
  }
}

TEST(FilterDesign, LeadingTapsCountsWhatMayBeMissing) {
  std::vector<float> taps = {0.001f, 0.002f, 0.5f, 0.494f, 0.003f};
  EXPECT_EQ(humengine::leadingTaps(taps, 0.0), 0);
  EXPECT_EQ(humengine::leadingTaps(taps, 0.0015), 1);
  EXPECT_EQ(humengine::leadingTaps(taps, 0.0031), 2);
  EXPECT_EQ(humengine::leadingTaps(taps, 0.5), 2);
}

}  // namespace
