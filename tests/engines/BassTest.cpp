// The tracker under programme content in the hum's own bands: bass notes
// sitting on one harmonic and kick-drum-like bursts sweeping through the
// lowest ones must not pull the speed, and a recording without hum (or
// whose hum such content covers) must be refused rather than followed.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "tests/engines/EngineLibrary.h"
#include "signals/SyntheticRecording.h"

namespace {

constexpr int kBlock = 8192;

// What the plug-in sees: the speed points (every 256th output at h - delay)
// after the recording and as much silence as the delay, and the verdict.
struct Result {
  double rms = 1e9;   // %, points 4 s from either end
  float verdict = 0;  // display value past the parameters
  float share = 0;
};

Result track(EngineLibrary& lib, std::vector<float> audio, const synth::WowCurve& wow, double rate) {
  PluginHandle h = lib.create(static_cast<float>(rate));
  setFirstSelectionValues(h);
  int delay = plugin_getDelay(h);
  std::size_t frames = audio.size();
  audio.resize(frames + delay + kBlock, 0.0f);
  std::vector<float> out(audio.size());
  for (std::size_t pos = 0; pos + kBlock <= audio.size(); pos += kBlock)
    EXPECT_TRUE(processBlock(h, audio.data() + pos, out.data() + pos, kBlock));
  double sum = 0.0;
  long count = 0;
  for (std::size_t i = 0; i + kBlock <= out.size(); i += 256) {
    long pos = static_cast<long>(i) - delay;
    if (pos < 4 * rate || pos + 4 * rate > static_cast<double>(frames)) continue;
    double e = (out[i] - wow.speed(pos / rate)) * 100.0;
    sum += e * e;
    ++count;
  }
  Result r;
  if (count) r.rms = std::sqrt(sum / count);
  r.verdict = plugin_getParamValueDisp(h, kHumVerdictIndex);
  r.share = plugin_getParamValueDisp(h, kHumFollowedShareIndex);
  plugin_destroy(h);
  return r;
}

// Content played at the wow's speed: notes of a bass line near one hum
// harmonic, or kicks (a fast sweep down through the lowest harmonics with
// a sharp decay), added to a recording.
void addBass(std::vector<float>& audio, const synth::Recipe& r, double hz, double amplitude) {
  for (std::size_t i = 0; i < audio.size(); ++i) {
    double t = r.wow.contentTime(i / r.rate);
    double inNote = std::fmod(t, 1.5);
    if (inNote > 0.7) continue;
    double env = std::sin(std::numbers::pi * inNote / 0.7);
    // Each note a little off the last, the way a bass line moves.
    double f = hz * (1.0 + 0.012 * std::sin(std::floor(t / 1.5) * 2.3));
    audio[i] += static_cast<float>(amplitude * env * std::sin(2 * std::numbers::pi * f * t));
  }
}

void addKicks(std::vector<float>& audio, const synth::Recipe& r, double amplitude) {
  // A drummer's beats, 0.4 to 0.7 s apart: strictly even ones would put
  // lines of their own on the hum's.
  std::vector<double> beats;
  synth::Random rnd(11);
  for (double t = 0.0; t < r.seconds + 1.0; t += 0.4 + 0.3 * rnd.uniform()) beats.push_back(t);
  std::size_t beat = 0;
  for (std::size_t i = 0; i < audio.size(); ++i) {
    double t = r.wow.contentTime(i / r.rate);
    while (beat + 1 < beats.size() && beats[beat + 1] <= t) ++beat;
    double s = t - beats[beat];
    // 120 Hz falling to 40 Hz within about 50 ms, gone after 0.3 s.
    double phase = 2 * std::numbers::pi * (40.0 * s + 80.0 * 0.05 * (1.0 - std::exp(-s / 0.05)));
    audio[i] += static_cast<float>(amplitude * std::exp(-s / 0.08) * std::sin(phase));
  }
}

double rmsOf(const std::vector<float>& x) {
  double s = 0.0;
  for (float v : x) s += static_cast<double>(v) * v;
  return std::sqrt(s / static_cast<double>(x.size()));
}

class Bass : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(lib.ready()); }
  EngineLibrary lib;
};

TEST_F(Bass, NotesOnOneHarmonicLeaveTheOthersToDecide) {
  synth::Recipe r;
  r.seconds = 20.0;
  for (double hz : {50.0, 100.0}) {
    auto audio = synth::makeRecording(r);
    // Four times the hum's whole level, on one harmonic only.
    addBass(audio, r, hz, 4.0 * rmsOf(audio) * std::pow(10.0, r.humDb / 20.0));
    Result got = track(lib, audio, r.wow, r.rate);
    EXPECT_LT(got.rms, 0.02) << hz << " Hz";
    EXPECT_EQ(got.verdict, kHumFollowed) << hz << " Hz, followed over " << got.share << " %";
  }
}

// Kicks peaking at the hum's level put about a third of its power into the
// lowest bands, all the time: the speed stays within a fifth of the wow's
// RMS (0.18 %), and where it is less sure than 0.02 % the verdict says so.
TEST_F(Bass, KicksThroughTheLowestHarmonicsDoNotPullTheSpeed) {
  synth::Recipe r;
  r.seconds = 20.0;
  auto audio = synth::makeRecording(r);
  addKicks(audio, r, rmsOf(audio) * std::pow(10.0, r.humDb / 20.0));
  Result got = track(lib, audio, r.wow, r.rate);
  EXPECT_LT(got.rms, 0.05);
  if (got.verdict == kHumFollowed) {
    EXPECT_LT(got.rms, 0.02);
  }
}

// Without hum there is nothing to follow; with a bass line on every
// harmonic far above it, nothing to follow reliably. Either is refused.
TEST_F(Bass, RecordingsWithoutHumToFollowAreRefused) {
  synth::Recipe none;
  none.seconds = 15.0;
  none.humDb = -300.0;
  auto quiet = synth::makeRecording(none);
  synth::Recipe covered = none;
  covered.humDb = -40.0;
  covered.lowestNote = 45.0;  // notes from 45 Hz up, with their partials
  auto loud = synth::makeRecording(covered);
  addKicks(loud, covered, 0.3 * rmsOf(loud));
  for (const auto& [name, audio] : {std::pair{"no hum", quiet}, std::pair{"hum under bass", loud}}) {
    Result got = track(lib, audio, none.wow, none.rate);
    EXPECT_EQ(got.verdict, kHumNotFollowed) << name << ", followed over " << got.share << " %";
    EXPECT_LT(got.share, 80.0f) << name;
  }
}

// A clean recording of hum is judged followed; one too short for the
// joint tracker's windows gives no verdict, and the plug-in's own check
// decides.
TEST_F(Bass, VerdictOnCleanHumAndOnShortFiles) {
  synth::Recipe r;
  r.seconds = 12.0;
  Result got = track(lib, synth::makeRecording(r), r.wow, r.rate);
  EXPECT_EQ(got.verdict, kHumFollowed);
  EXPECT_GT(got.share, 95.0f);
  r.seconds = 4.0;
  EXPECT_EQ(track(lib, synth::makeRecording(r), r.wow, r.rate).verdict, 0.0f);
}

}  // namespace
