// The check that a tone stands above the noise of its band, on the signals
// a detection pass must tell apart: a tone (with wow and under noise) from
// noise, silence, DC, damaged samples and tones outside the band.
#include "detect/TonePresence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "signals/SyntheticSignals.h"

namespace {

using detect::TonePresence;

const TonePresence::Band kPilotBand{14000.0, 24000.0};

bool present(const std::vector<float>& signal, TonePresence::Band tone, TonePresence::Band reference,
             int frame = 4096) {
  TonePresence check(48000.0, tone, reference, frame);
  for (float x : signal) check.add(x);
  check.finish();
  return check.present();
}

TEST(TonePresence, FindsAWowingToneUnderNoise) {
  const detect_test::Wow wow{0.004, 0.5, 0.0};
  for (double amplitude : {0.3, 0.03, 0.01}) {
    std::vector<float> signal = detect_test::tone(48000, 48000 * 2, 19000.0, amplitude, wow);
    detect_test::addNoise(signal, 0.02);
    EXPECT_TRUE(present(signal, kPilotBand, kPilotBand)) << amplitude;
  }
}

TEST(TonePresence, NoiseSilenceDcAndDamageHoldNoTone) {
  const size_t n = 48000 * 2;
  std::vector<float> noise(n, 0.0f);
  detect_test::addNoise(noise, 0.3);
  std::vector<float> quiet(n, 0.0f);
  detect_test::addNoise(quiet, 1e-6);
  std::vector<float> below = detect_test::tone(48000, static_cast<int>(n), 9000.0, 0.5);
  detect_test::addNoise(below, 0.001);
  for (const auto& [name, signal] : std::vector<std::pair<const char*, std::vector<float>>>{
           {"noise", noise},
           {"faint noise", quiet},
           {"tone below the band", below},
           {"silence", std::vector<float>(n, 0.0f)},
           {"DC", std::vector<float>(n, 0.5f)},
           {"NaN", std::vector<float>(n, std::numeric_limits<float>::quiet_NaN())},
           {"infinity", std::vector<float>(n, std::numeric_limits<float>::infinity())}}) {
    EXPECT_FALSE(present(signal, kPilotBand, kPilotBand)) << name;
  }
}

// A tone in only some frames: present when at least a quarter hold it.
TEST(TonePresence, AQuarterOfTheFramesIsEnough) {
  auto partly = [](int tonalFrames) {
    std::vector<float> signal(4096 * 8, 0.0f);
    detect_test::addNoise(signal, 0.01);
    const std::vector<float> tone = detect_test::tone(48000, 4096 * tonalFrames, 18000.0, 0.1);
    for (size_t i = 0; i < tone.size(); ++i) signal[i] += tone[i];
    return present(signal, kPilotBand, kPilotBand);
  };
  EXPECT_FALSE(partly(1));
  EXPECT_TRUE(partly(2));
}

// The tone band and the reference band are separate: a hum-like peak at 50 Hz
// stands above the octaves around it; the same peak outside the tone band
// does not count.
TEST(TonePresence, ToneBandInsideAWiderReference) {
  std::vector<float> hum = detect_test::tone(48000, 48000 * 3, 50.0, 0.02, {0.004, 0.5, 0.0});
  detect_test::addNoise(hum, 0.05);
  EXPECT_TRUE(present(hum, {45.0, 55.0}, {22.5, 110.0}, 0));
  EXPECT_FALSE(present(hum, {90.0, 110.0}, {45.0, 220.0}, 0));
}

// Input shorter than a quarter frame has too few bins to judge: it counts as
// present unless silent. A band above half the rate can hold nothing.
TEST(TonePresence, ShortInputAndEmptyBands) {
  EXPECT_TRUE(present(detect_test::tone(48000, 500, 3000.0, 0.1), kPilotBand, kPilotBand));
  EXPECT_FALSE(present(std::vector<float>(500, 0.0f), kPilotBand, kPilotBand));
  TonePresence above(28000.0, kPilotBand, kPilotBand, 4096);
  EXPECT_FALSE(above.searchable());
  for (float x : detect_test::tone(28000, 28000, 13000.0, 0.3)) above.add(x);
  above.finish();
  EXPECT_FALSE(above.present());
  EXPECT_EQ(TonePresence(48000.0, kPilotBand, kPilotBand).frameLength(), 65536);
}

}  // namespace
