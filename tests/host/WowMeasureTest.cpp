#include "host/commands/WowMeasure.h"

#include <gtest/gtest.h>

#include <cmath>

#include "host/audio/AudioStore.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 44100.0;

// A chord played with 0.3 % of wow once a second (or none), in stereo.
std::unique_ptr<host::AudioStore> chord(double seconds, double depth) {
  host::AudioData audio = host::AudioData::silence(2, static_cast<std::size_t>(seconds * kRate), kRate);
  const double tones[] = {330.0, 495.0, 880.0, 1320.0};
  double phases[4] = {};
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    const double speed = 1.0 + depth * std::sin(2.0 * kPi * i / kRate);
    double sample = 0.0;
    for (int k = 0; k < 4; ++k) {
      phases[k] += 2.0 * kPi * tones[k] * speed / kRate;
      sample += 0.15 * std::sin(phases[k]);
    }
    audio.channels[0][i] = audio.channels[1][i] = static_cast<float>(sample);
  }
  return host::makeMemoryStore(std::move(audio));
}

TEST(WowMeasure, ReadsTheWowOfAStoreAndOfAPartOfIt) {
  auto store = chord(8.0, 0.003);
  std::string problem;
  double lastFraction = 0.0;
  const auto whole = host::estimateWow(*store, {}, {}, [&](double f) { lastFraction = f; }, problem);
  ASSERT_TRUE(whole) << problem;
  EXPECT_DOUBLE_EQ(lastFraction, 1.0);
  // 0.3 % peak is 0.21 % RMS.
  EXPECT_NEAR(whole->wow.rmsPercent, 0.212, 0.03);
  EXPECT_GT(whole->trustedShare, 0.5);

  // A part: the curve lies where that part lies in the store.
  const auto part = host::estimateWow(*store, {}, {2 * 44100, 6 * 44100}, nullptr, problem);
  ASSERT_TRUE(part) << problem;
  ASSERT_FALSE(part->curve.empty());
  EXPECT_GE(part->curve.front().position, 2 * 44100);
  EXPECT_LE(part->curve.back().position, 6 * 44100);
  const auto points = host::curvePoints(*part);
  for (std::size_t i = 1; i < points.size(); ++i) ASSERT_LT(points[i - 1].position, points[i].position);

  EXPECT_FALSE(host::estimateWow(*store, {}, {6 * 44100, 6 * 44100}, nullptr, problem));
  EXPECT_EQ(problem, "there is no audio to measure");
}

TEST(WowMeasure, LessWowOnlyBeyondTheEstimatorsScatter) {
  partials::Result before;
  before.wow = {0.2, 0.4, 100};
  before.trustedShare = 0.9;
  partials::Result after = before;
  after.wow.rmsPercent = 0.05;
  EXPECT_EQ(host::lessWow(before, after), true);
  after.wow.rmsPercent = 0.198;
  EXPECT_EQ(host::lessWow(before, after), false);
  after.wow.rmsPercent = 0.3;
  EXPECT_EQ(host::lessWow(before, after), false);
  after.wow.points = 0;
  EXPECT_FALSE(host::lessWow(before, after).has_value());
  EXPECT_NE(host::describeWow(after).find("no figure"), std::string::npos);
  // A few trusted points in a file of speech are no figure either.
  after.wow.points = 100;
  after.wow.rmsPercent = 0.001;
  after.trustedShare = 0.05;
  EXPECT_FALSE(host::hasFigure(after));
  EXPECT_FALSE(host::lessWow(before, after).has_value());
  EXPECT_NE(host::describeWow(after).find("5 % of the file trusted"), std::string::npos);
}

}  // namespace
