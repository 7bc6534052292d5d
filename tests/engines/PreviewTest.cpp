#include <cmath>
#include <numbers>
#include <vector>

#include "tests/engines/EngineLibrary.h"

namespace {

constexpr int kBlock = 8192;

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib.ready());
    handle = lib.create(44100.0f);
    ASSERT_NE(handle, 0u);
    setFirstSelectionValues(handle);
  }
  void TearDown() override { plugin_destroy(handle); }

  // The whole reduced stream as the plug-in gets it: full blocks with
  // final 0, then one block of zeros with final 1.
  std::vector<float> run(const std::vector<float>& audio, int block = kBlock, int capacity = kBlock) {
    std::vector<float> in(block), out(capacity), all;
    for (std::size_t pos = 0; pos + block <= audio.size(); pos += block) {
      std::copy_n(audio.begin() + pos, block, in.begin());
      unsigned n = 0;
      EXPECT_EQ(lib.preprocess(handle, block, in.data(), capacity, &n, out.data(), false), 1);
      EXPECT_LE(n, static_cast<unsigned>(capacity));
      all.insert(all.end(), out.begin(), out.begin() + n);
    }
    std::fill(in.begin(), in.end(), 0.0f);
    for (;;) {  // a small capacity may need more than one final call
      unsigned n = 0;
      EXPECT_EQ(lib.preprocess(handle, block, in.data(), capacity, &n, out.data(), true), 1);
      all.insert(all.end(), out.begin(), out.begin() + n);
      if (n == 0) break;
    }
    return all;
  }

  static std::vector<float> tone(double hz, double amplitude, std::size_t frames, double rate = 44100.0) {
    std::vector<float> x(frames);
    for (std::size_t i = 0; i < frames; ++i)
      x[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
    return x;
  }

  EngineLibrary lib;
  PluginHandle handle = 0;
};

TEST_F(Preview, GivesFramesTimesReducedRateOverInputRateSamples) {
  const std::size_t frames = 20 * kBlock;
  auto out = run(std::vector<float>(frames, 0.0f));
  EXPECT_EQ(out.size(), static_cast<std::size_t>(frames * 750.0 / 44100.0));
}

TEST_F(Preview, IsTheInputToneAtTheReducedRateWithoutSeams) {
  const std::size_t frames = 12 * kBlock;
  auto out = run(tone(50.0, 0.5, frames));
  ASSERT_EQ(out.size(), static_cast<std::size_t>(frames * 750.0 / 44100.0));
  // Sample j belongs to input time j / 750 s; away from the two ends the
  // output is the same tone, across every block join.
  double worst = 0.0;
  for (std::size_t j = 100; j + 100 < out.size(); ++j)
    worst = std::max(worst, std::fabs(out[j] - 0.5 * std::sin(2 * std::numbers::pi * 50.0 * j / 750.0)));
  EXPECT_LT(worst, 0.5 * 1e-3);
}

TEST_F(Preview, RemovesWhatLiesAboveItsUpperLimit) {
  auto out = run(tone(2000.0, 0.5, 8 * kBlock));
  // Away from the ends, where the tone starts and stops abruptly.
  double peak = 0.0;
  for (std::size_t j = 50; j + 50 < out.size(); ++j) peak = std::max(peak, static_cast<double>(std::fabs(out[j])));
  EXPECT_LT(peak, 0.5 * 1e-3);  // more than 60 dB down
}

TEST_F(Preview, SmallOutputCapacityLosesNothing) {
  auto audio = tone(120.0, 0.3, 6 * kBlock);
  auto wide = run(audio);
  plugin_destroy(handle);
  handle = lib.create(44100.0f);
  setFirstSelectionValues(handle);
  auto narrow = run(audio, kBlock, 40);
  EXPECT_EQ(wide, narrow);
}

TEST_F(Preview, FollowsTheReducedRateParameter) {
  plugin_setParamValue(handle, 2, 0.4f);  // 400 Hz
  const std::size_t frames = 10 * kBlock;
  auto out = run(std::vector<float>(frames, 0.1f));
  EXPECT_EQ(out.size(), static_cast<std::size_t>(frames * 400.0 / 44100.0));
  // DC passes at unit gain.
  EXPECT_NEAR(out[out.size() / 2], 0.1f, 1e-4f);
}

TEST_F(Preview, BadInputGivesFiniteSamples) {
  std::vector<float> audio(4 * kBlock, 0.0f);
  for (std::size_t i = 0; i < audio.size(); i += 3) audio[i] = std::nanf("");
  for (std::size_t i = 1; i < audio.size(); i += 7) audio[i] = INFINITY;
  for (float v : run(audio)) ASSERT_TRUE(std::isfinite(v));
}

TEST_F(Preview, ItsStreamIsApartFromTheTrackers) {
  auto audio = tone(50.0, 0.1, 2 * kBlock);
  std::vector<float> speeds(kBlock);
  ASSERT_TRUE(processBlock(handle, audio.data(), speeds.data(), kBlock));
  auto out = run(audio);
  EXPECT_EQ(out.size(), static_cast<std::size_t>(2 * kBlock * 750.0 / 44100.0));
}

}  // namespace
