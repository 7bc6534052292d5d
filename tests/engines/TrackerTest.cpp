#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "tests/engines/EngineLibrary.h"
#include "signals/SyntheticRecording.h"

namespace {

constexpr int kBlock = 8192;

class Tracker : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(lib.ready()); }
  void TearDown() override {
    for (PluginHandle h : handles) plugin_destroy(h);
  }
  PluginHandle make(float rate = 44100.0f, bool sixty = false) {
    PluginHandle h = lib.create(rate);
    EXPECT_NE(h, 0u);
    setFirstSelectionValues(h);
    if (sixty) {
      plugin_setParamValue(h, 3, 0.27f);
      plugin_setParamValue(h, 4, 0.33f);
      plugin_setParamValue(h, 10, 0.334f);
    }
    handles.push_back(h);
    return h;
  }
  // The whole output stream, fed in blocks of the given sizes (cycled),
  // with as much silence after the recording as the delay, as the plug-in
  // flushes it: output h belongs to input frame h - delay, so the output is
  // that much longer than the recording.
  static std::vector<float> run(PluginHandle h, std::vector<float> audio, std::vector<int> blocks = {kBlock}) {
    audio.resize(audio.size() + static_cast<std::size_t>(plugin_getDelay(h)), 0.0f);
    std::vector<float> out(audio.size());
    std::size_t pos = 0;
    for (std::size_t b = 0; pos < audio.size(); ++b) {
      int n = static_cast<int>(std::min<std::size_t>(blocks[b % blocks.size()], audio.size() - pos));
      EXPECT_TRUE(processBlock(h, audio.data() + pos, out.data() + pos, n));
      pos += n;
    }
    return out;
  }
  // RMS error in % of the points the plug-in takes (every 256th output, at
  // h - delay), at least `edge` seconds from either end.
  static double rmsError(const std::vector<float>& out, int delay, const synth::WowCurve& wow, double rate,
                         double edge = 1.0, long shift = 0) {
    double sum = 0;
    long count = 0;
    const double length = static_cast<double>(out.size()) - delay;
    for (std::size_t h = 0; h < out.size(); h += 256) {
      long pos = static_cast<long>(h) - delay + shift;
      if (pos < edge * rate || pos + edge * rate > length) continue;
      double e = (out[h] - wow.speed(pos / rate)) * 100.0;
      sum += e * e;
      ++count;
    }
    return count ? std::sqrt(sum / count) : 1e9;
  }

  // RMS and peak error in % of the points from `from` to `to` seconds
  // (only positions above 0, as the plug-in takes them).
  struct Errors {
    double rms, peak;
  };
  static Errors errorsBetween(const std::vector<float>& out, int delay, const synth::WowCurve& wow, double rate,
                              double from, double to) {
    double sum = 0, peak = 0;
    long count = 0;
    for (std::size_t h = 0; h < out.size(); h += 256) {
      long pos = static_cast<long>(h) - delay;
      if (pos <= 0 || pos < from * rate || pos >= to * rate) continue;
      double e = (out[h] - wow.speed(pos / rate)) * 100.0;
      sum += e * e;
      peak = std::max(peak, std::fabs(e));
      ++count;
    }
    return {count ? std::sqrt(sum / count) : 1e9, peak};
  }

  EngineLibrary lib;
  std::vector<PluginHandle> handles;
};

TEST_F(Tracker, FollowsWowOfFiftyHertzHumUnderProgrammeAndNoise) {
  synth::Recipe r;
  PluginHandle h = make();
  auto out = run(h, synth::makeRecording(r));
  EXPECT_LT(rmsError(out, plugin_getDelay(h), r.wow, r.rate), 0.02);
}

TEST_F(Tracker, FollowsSixtyHertzHumAtFortyEightKilohertz) {
  synth::Recipe r;
  r.mains = 60.0;
  r.rate = 48000.0;
  r.seed = 7;
  PluginHandle h = make(48000.0f, true);
  auto out = run(h, synth::makeRecording(r));
  EXPECT_LT(rmsError(out, plugin_getDelay(h), r.wow, r.rate), 0.02);
}

TEST_F(Tracker, FollowsRailwaySupplyHum) {
  synth::Recipe r;
  r.mains = 16.7;
  r.programme = false;
  r.seconds = 6.0;
  PluginHandle h = make();
  plugin_setParamValue(h, 10, 0.001f);  // 16.7 Hz
  plugin_setParamValue(h, 3, 0.075f);   // 15 Hz
  plugin_setParamValue(h, 4, 0.092f);   // 18.4 Hz
  plugin_setParamValue(h, 5, 0.5f);     // longer filters for the slower hum
  plugin_setParamValue(h, 6, 0.4f);
  ASSERT_FLOAT_EQ(plugin_getParamValueDisp(h, 10), 16.7f);
  auto out = run(h, synth::makeRecording(r));
  EXPECT_LT(rmsError(out, plugin_getDelay(h), r.wow, r.rate, 1.5), 0.02);
}

TEST_F(Tracker, DelayIsTheTrueLatency) {
  synth::Recipe r;
  r.programme = false;
  r.wow = synth::WowCurve{{{0.004, 2.0, 0.0}}};
  PluginHandle h = make();
  int delay = plugin_getDelay(h);
  EXPECT_GT(delay, 0);
  auto out = run(h, synth::makeRecording(r));
  double right = rmsError(out, delay, r.wow, r.rate);
  EXPECT_LT(right, 0.005);
  // 1000 frames early or late is already a clear error at 2 Hz wow.
  EXPECT_GT(rmsError(out, delay, r.wow, r.rate, 1.0, 1000), 4 * right);
  EXPECT_GT(rmsError(out, delay, r.wow, r.rate, 1.0, -1000), 4 * right);
}

// The first points lie before the band and speed filters have a full
// window of input; they are estimated from what follows them and must
// follow the wow there too, not hold 1.0, whatever its phase at the start.
TEST_F(Tracker, FollowsTheWowFromTheFirstPoint) {
  for (bool sixty : {false, true}) {
    for (double shift : {0.0, 0.8, 1.9}) {
      synth::Recipe r;
      r.seconds = 3.0;
      if (sixty) {
        r.mains = 60.0;
        r.rate = 48000.0;
      }
      for (auto& part : r.wow.parts) part.phase += 2.0 * std::numbers::pi * part.hz * shift;
      PluginHandle h = make(static_cast<float>(r.rate), sixty);
      auto out = run(h, synth::makeRecording(r));
      int delay = plugin_getDelay(h);
      Errors first = errorsBetween(out, delay, r.wow, r.rate, 0.0, 1.0);
      EXPECT_LT(first.rms, 0.07) << (sixty ? 60 : 50) << " Hz, shift " << shift;
      EXPECT_LT(first.peak, 0.3) << (sixty ? 60 : 50) << " Hz, shift " << shift;
      // Where the start estimate hands over to the full filters.
      EXPECT_LT(errorsBetween(out, delay, r.wow, r.rate, 0.3, 1.5).rms, 0.015) << shift;
    }
  }
}

// Bass notes in the hum bands and loud noise look like hum for a moment;
// the start must not take them for it and must hold 1.0, as later on.
TEST_F(Tracker, NoHumGivesOneFromTheStartOn) {
  synth::Recipe notes;
  notes.lowestNote = 55.0;
  synth::Recipe noise;
  noise.noiseDb = -20.0;
  for (synth::Recipe r : {notes, noise}) {
    r.seconds = 3.0;
    r.humDb = -300.0;
    auto out = run(make(), synth::makeRecording(r));
    for (std::size_t i = 0; i < out.size(); i += 256) ASSERT_EQ(out[i], 1.0f) << i;
  }
}

TEST_F(Tracker, SameOutputWhateverTheBlockSizes) {
  synth::Recipe r;
  r.seconds = 2.0;
  auto audio = synth::makeRecording(r);
  auto whole = run(make(), audio);
  auto pieces = run(make(), audio, {1000, 7, 8192, 1, 333});
  EXPECT_EQ(whole, pieces);
}

TEST_F(Tracker, ChangedSettingsStartANewStreamWithItsOwnDelay) {
  synth::Recipe r;
  r.seconds = 1.0;
  auto audio = synth::makeRecording(r);
  PluginHandle used = make();
  int before = plugin_getDelay(used);
  run(used, audio);
  plugin_setParamValue(used, 5, 0.4f);  // a longer speed filter
  EXPECT_GT(plugin_getDelay(used), before);
  PluginHandle fresh = make();
  plugin_setParamValue(fresh, 5, 0.4f);
  EXPECT_EQ(run(used, audio), run(fresh, audio));
}

TEST_F(Tracker, StereoIsTrackedAsTheMeanOfItsChannels) {
  synth::Recipe r;
  r.seconds = 1.0;
  auto left = synth::makeRecording(r);
  std::vector<float> right(left.size()), mean(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) {
    right[i] = 0.5f * left[i] + 0.001f;
    mean[i] = (left[i] + right[i]) * 0.5f;
  }
  PluginHandle stereo = make();
  std::vector<float> out(kBlock);
  float* in[] = {left.data(), right.data()};
  float* o[] = {out.data()};
  ASSERT_EQ(plugin_processPVC(stereo, kBlock, 2, in, o), 1);
  std::vector<float> mono(kBlock);
  ASSERT_TRUE(processBlock(make(), mean.data(), mono.data(), kBlock));
  for (int i = 0; i < kBlock; ++i) ASSERT_NEAR(out[i], mono[i], 1e-6f) << i;
}

void expectSaneSpeeds(const std::vector<float>& out, float low = 0.9f, float high = 1.1f) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    ASSERT_TRUE(std::isfinite(out[i])) << i;
    ASSERT_GE(out[i], low) << i;
    ASSERT_LE(out[i], high) << i;
  }
}

TEST_F(Tracker, SilenceGivesOne) {
  std::vector<float> silence(3 * kBlock, 0.0f);
  auto out = run(make(), silence);
  for (float v : out) ASSERT_EQ(v, 1.0f);
}

TEST_F(Tracker, HumThatFadesOutLeavesItsLastSpeedHolding) {
  synth::Recipe r;
  r.programme = false;
  r.seconds = 5.0;
  r.wow = synth::WowCurve{{}, 1.003};
  auto audio = synth::makeRecording(r);
  // Fade to silence over 0.2 s at 2.5 s, then nothing but a little noise.
  synth::Random noise(3);
  for (std::size_t i = 0; i < audio.size(); ++i) {
    double t = i / r.rate;
    double g = t < 2.5 ? 1.0 : t < 2.7 ? (2.7 - t) / 0.2 : 0.0;
    audio[i] = static_cast<float>(audio[i] * g + (t >= 2.7 ? 1e-7 * noise.gaussian() : 0.0));
  }
  PluginHandle h = make();
  auto out = run(h, audio);
  expectSaneSpeeds(out);
  int delay = plugin_getDelay(h);
  for (std::size_t i = static_cast<std::size_t>(3.5 * r.rate) + delay; i < out.size(); i += 256)
    EXPECT_NEAR(out[i], 1.003f, 0.0003f) << i;
}

TEST_F(Tracker, HostileInputNeverGivesBadSpeeds) {
  synth::Recipe r;
  r.seconds = 3.0;
  auto audio = synth::makeRecording(r);
  const std::size_t n = audio.size();
  for (std::size_t i = 0; i < n; ++i) {
    double t = i / r.rate;
    if (t < 0.5) audio[i] = std::clamp(audio[i] * 50.0f, -1.0f, 1.0f);  // hard clipping
    else if (t < 1.0) audio[i] = 0.7f;                                    // DC
    else if (t < 1.5) audio[i] = (i % 2 ? 1e-40f : -1e-42f);              // denormals
    else if (t < 1.6) audio[i] = (i % 3 ? std::nanf("") : INFINITY);      // NaN and infinity
    else if (t < 2.0) audio[i] = (i % 2 ? 3e38f : -3e38f);                // huge
  }
  expectSaneSpeeds(run(make(), audio));
}

TEST_F(Tracker, ProgrammeWithoutHumStaysInsideTheBand) {
  synth::Recipe r;
  r.seconds = 3.0;
  r.humDb = -300.0;
  r.noiseDb = -20.0;
  expectSaneSpeeds(run(make(), synth::makeRecording(r)));
}

}  // namespace
