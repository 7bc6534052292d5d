// The synthetic recordings are the truth every detector test and evaluation
// measures against: their content time must be the integral of the speed
// they claim, and their levels what the recipe asks for.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "signals/SyntheticRecording.h"
#include "signals/SyntheticSignals.h"

namespace {

// Simpson's rule over [0, t] in n (even) steps.
double integral(const std::function<double(double)>& f, double t, int n = 2000) {
  const double h = t / n;
  double sum = f(0.0) + f(t);
  for (int i = 1; i < n; ++i) sum += (i % 2 ? 4.0 : 2.0) * f(i * h);
  return sum * h / 3.0;
}

TEST(SyntheticSignals, WarpedTimeIsTheIntegralOfTheSpeed) {
  const detect_test::Wow wow{0.004, 0.7, 1.3};
  for (double t : {0.0, 0.25, 1.0, 3.7, 10.0})
    EXPECT_NEAR(wow.warped(t), integral([&](double s) { return wow.speed(s); }, t), 1e-9) << t;
  EXPECT_DOUBLE_EQ(detect_test::Wow{}.warped(2.5), 2.5);
}

TEST(SyntheticRecording, ContentTimeIsTheIntegralOfTheSpeedAboutItsBase) {
  synth::WowCurve wow = synth::standardWow();
  wow.base = 1.003;
  for (double t : {0.0, 0.5, 2.0, 7.3})
    EXPECT_NEAR(wow.contentTime(t), integral([&](double s) { return wow.speed(s); }, t), 1e-9) << t;
}

TEST(SyntheticRecording, HumAloneLiesAtItsLevelBelowTheReference) {
  synth::Recipe recipe;
  recipe.seconds = 1.0;
  recipe.programme = false;
  recipe.noiseDb = -200.0;
  recipe.humDb = -20.0;
  const std::vector<float> take = synth::makeRecording(recipe);
  ASSERT_EQ(take.size(), 44100u);
  const double rms = synth::rms(std::vector<double>(take.begin(), take.end()));
  // Without programme the hum is set against 0.1.
  EXPECT_NEAR(rms, 0.1 * std::pow(10.0, -20.0 / 20.0), 1e-6);
}

}  // namespace
