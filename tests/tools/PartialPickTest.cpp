// partialpick: a steady line wins over a loud one that sounds only briefly
// and over broad noise; a band with no line gives none.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "tools/eval/partialpick/StrongPartial.h"

TEST(StrongPartial, ChoosesTheSteadyLineOverALoudBriefOne) {
  const double rate = 44100.0;
  std::vector<float> x(static_cast<std::size_t>(10 * rate));
  std::mt19937 random(7);
  std::normal_distribution<float> gauss(0.0f, 0.05f);
  for (std::size_t n = 0; n < x.size(); ++n) {
    const double t = n / rate;
    const double brief = t > 2.0 && t < 3.0 ? 0.8 * std::sin(2 * std::numbers::pi * 1500.0 * t) : 0.0;
    x[n] = static_cast<float>(0.1 * std::sin(2 * std::numbers::pi * 733.3 * t) + brief) + gauss(random);
  }
  EXPECT_NEAR(partialpick::strongestSustainedPartial(x, rate, 200.0, 4000.0), 733.3, 2.0);
  // Short input, or a band too narrow to hold a peak, gives none.
  EXPECT_EQ(partialpick::strongestSustainedPartial(std::vector<float>(1000), rate, 200.0, 4000.0), 0.0);
  EXPECT_EQ(partialpick::strongestSustainedPartial(x, rate, 700.0, 710.0), 0.0);
}
