// The detection passes driven as a host drives them: the file is notified and
// read, the mode names a detector, the next notification starts its pass, and
// the curve the pass leaves is compared with the speed the audio was made with.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <functional>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/HeadlessEditor.h"
#include "plugin/OfflineEffect.h"
#include "tests/plugin/MiniHost.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Playback speed of the test recordings: 0.4 % peak wow at 0.5 Hz.
double trueSpeed(double seconds) { return 1.0 + 0.004 * std::sin(2.0 * kPi * 0.5 * seconds); }

// Tones whose frequencies follow trueSpeed, with the given amplitudes.
std::vector<float> wowTones(double rate, double seconds, const std::vector<std::pair<double, double>>& tones) {
  const auto n = static_cast<size_t>(rate * seconds);
  std::vector<float> v(n);
  std::vector<double> phase(tones.size(), 0.0);
  for (size_t i = 0; i < n; ++i) {
    const double speed = trueSpeed(static_cast<double>(i) / rate);
    double sum = 0.0;
    for (size_t k = 0; k < tones.size(); ++k) {
      sum += tones[k].second * std::sin(phase[k]);
      phase[k] += 2.0 * kPi * tones[k].first * speed / rate;
    }
    v[i] = static_cast<float>(sum);
  }
  return v;
}

class DetectionPasses : public MiniHostTest {
 protected:

  // Opens the plug-in and notifies the file, which the plug-in then reads.
  void open() {
    host.effect = createPelmora(MiniHost::callback);
    notify();
    ASSERT_TRUE(host.lastRun) << "the reading pass";
  }
  void notify() {
    VstAudioFile f = host.file();
    host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
  }
  // Sets the mode and lets the next notification start its pass; answers
  // whether a pass ran and succeeded.
  bool detect(int mode) {
    const int before = host.starts;
    host.effect->setParameter(host.effect, 0, static_cast<float>(mode));
    notify();
    return host.starts > before && host.lastRun;
  }
  OfflineEffect& plugin() { return *dynamic_cast<OfflineEffect*>(static_cast<AudioEffect*>(host.effect->object)); }
  HeadlessEditor& editor() { return *dynamic_cast<HeadlessEditor*>(plugin().getEditor()); }

  // RMS difference in % between the curve's points and the true speed,
  // over the points between from and to seconds.
  double rmsErrorPercent(double from, double to) {
    const PvcCurve& curve = plugin().curve();
    double sum = 0.0;
    int n = 0;
    for (unsigned i = 0; i < static_cast<unsigned>(curve.pointCount()); ++i) {
      const double t = curve.positionOf(i) / host.sampleRate;
      if (t < from || t > to) continue;
      const double e = curve.ratioOf(i) - trueSpeed(t);
      sum += e * e;
      ++n;
    }
    EXPECT_GT(n, 0);
    return n ? 100.0 * std::sqrt(sum / n) : 1e9;
  }

};

TEST_F(DetectionPasses, HumPassFollowsTheSpeedOfTheMainsHum) {
  host.uniqueId = 41;  // snapshot names of its own
  host.source = {wowTones(44100.0, 8.0, {{50.0, 0.05}, {100.0, 0.02}, {150.0, 0.01}, {441.0, 0.3}, {1250.0, 0.2}})};
  open();
  ASSERT_TRUE(detect(kModeHum));
  EXPECT_EQ(editor().algorithm(), detect::kAlgorithmHum);
  EXPECT_EQ(plugin().operationMode(), kModeCorrect) << "the editor sets the mode back after a request";

  const PvcCurve& curve = plugin().curve();
  const int delay = plugin().engines().engineDelay();
  // One point per 256 input frames, the first at the first such frame past
  // the engine's delay.
  const int firstH = (delay / 256 + 1) * 256;
  ASSERT_GT(curve.pointCount(), 100);
  EXPECT_EQ(curve.positionOf(1), firstH - delay);
  EXPECT_EQ(curve.positionOf(2) - curve.positionOf(1), 256);
  // Points placed a hop of 256 frames off would err by about 0.007 %.
  EXPECT_LT(rmsErrorPercent(1.0, 6.0), 0.004);
  EXPECT_TRUE(plugin().curveReady);
  EXPECT_EQ(editor().undoSteps(), 1);
  EXPECT_EQ(editor().lastUndoAlgorithm(), detect::kAlgorithmHum);
  EXPECT_LT(editor().progress(), 0.0) << "the progress bar is hidden at the end";

  // A second run starts afresh: the same audio gives the same curve.
  std::vector<float> first;
  for (unsigned i = 0; i < static_cast<unsigned>(curve.pointCount()); ++i) first.push_back(curve.ratioOf(i));
  ASSERT_TRUE(detect(kModeHum));
  ASSERT_EQ(static_cast<size_t>(curve.pointCount()), first.size());
  for (unsigned i = 0; i < first.size(); ++i) ASSERT_EQ(curve.ratioOf(i), first[i]) << "point " << i;
  EXPECT_EQ(editor().undoSteps(), 2);

  // Closing the plug-in takes its undo snapshots with it.
  const std::string snapshot = curve.snapshotName(curve.snapshotIndex());
  ASSERT_GT(curve.snapshotCount(), 0) << "a snapshot was written";
  host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
  host.effect = nullptr;
  EXPECT_FALSE(std::ifstream(snapshot).good()) << snapshot;
}

TEST_F(DetectionPasses, TwoStageHumPassShowsTheReducedSignalAndStoresNoStep) {
  host.source = {wowTones(44100.0, 6.0, {{50.0, 0.05}, {100.0, 0.02}, {150.0, 0.01}, {700.0, 0.3}})};
  open();
  ASSERT_TRUE(detect(kModeHum));  // selects the engine
  const int stepsBefore = editor().undoSteps();
  const int drawingsBefore = editor().curveDrawings();
  plugin().engines().setUseSorvanite(true);
  ASSERT_TRUE(detect(kModeHum));

  const SpectrogramAnalyser& analyser = plugin().analyser();
  EXPECT_EQ(analyser.fftLength(), 128);
  EXPECT_EQ(analyser.sampleRate(), 44100) << "later passes expect the file's rate";
  const double reducedRate = plugin().engines().engineDisplayValue(2);
  EXPECT_EQ(analyser.samplesFed(), static_cast<int>(host.source[0].size() * reducedRate / 44100.0));
  EXPECT_EQ(editor().undoSteps(), stepsBefore);
  EXPECT_EQ(editor().curveDrawings(), drawingsBefore + 1);
  EXPECT_LT(rmsErrorPercent(1.0, 4.5), 0.004);
}

TEST_F(DetectionPasses, PilotTonePassTracksAToneAboveTheProgramme) {
  host.sampleRate = 48000.0;
  host.source = {wowTones(48000.0, 6.0, {{19000.0, 0.05}, {440.0, 0.3}, {3000.0, 0.1}})};
  open();
  ASSERT_TRUE(detect(kModePilotTone));
  EXPECT_EQ(editor().lastUndoAlgorithm(), detect::kAlgorithmPilotTone);
  const PvcCurve& curve = plugin().curve();
  // The duplicate filter keeps points only where the speed moved by more
  // than 0.1 %, so there are far fewer than one per 256 frames.
  EXPECT_GT(curve.pointCount(), 6);
  EXPECT_LT(curve.pointCount(), static_cast<int>(host.source[0].size() / 256 / 4));
  EXPECT_LT(rmsErrorPercent(0.5, 5.5), 0.08);
}

TEST_F(DetectionPasses, PilotToneNeedsARateOf24000) {
  host.sampleRate = 22050.0;
  host.source = {wowTones(22050.0, 1.0, {{9000.0, 0.1}})};
  open();
  const int starts = host.starts;
  EXPECT_FALSE(detect(kModePilotTone));
  EXPECT_EQ(host.starts, starts) << "no pass is started without an engine";
  EXPECT_EQ(editor().message(), "Sampling frequency is too low! Please, select another algorithm.");
  // Run directly, the pass itself refuses the rate.
  host.effect->setParameter(host.effect, 0, static_cast<float>(kModePilotTone));
  host.start(0);
  EXPECT_FALSE(host.lastRun);
}

TEST_F(DetectionPasses, PassWithoutItsEngineFails) {
  host.source = {wowTones(44100.0, 0.5, {{50.0, 0.1}})};
  open();
  for (int mode : {kModeHum, kModePilotTone, kModeSpectral}) {
    host.effect->setParameter(host.effect, 0, static_cast<float>(mode));
    host.start(0);
    EXPECT_FALSE(host.lastRun) << "mode " << mode;
  }
}

// The detector's delay and the partial last block would leave the end of the
// file without points; the pass runs silence after it until the output has
// reached the last frame. A file shorter than one block gets points too, and
// all of them lie inside the file.
TEST_F(DetectionPasses, PointsReachTheEndOfTheFile) {
  for (double seconds : {3.3, 0.1}) {
    host.source = {wowTones(44100.0, seconds, {{50.0, 0.05}, {100.0, 0.02}, {150.0, 0.01}})};
    open();
    ASSERT_TRUE(detect(kModeHum));
    const PvcCurve& curve = plugin().curve();
    const auto frames = static_cast<std::int32_t>(host.source[0].size());
    const auto count = static_cast<unsigned>(curve.pointCount());
    ASSERT_GT(count, 2u) << seconds << " s";
    EXPECT_EQ(curve.positionOf(count - 1), frames - 1);
    EXPECT_GE(curve.positionOf(count - 2), frames - 1 - 256);
    for (unsigned i = 1; i + 1 < count; ++i) {
      ASSERT_LT(curve.positionOf(i), curve.positionOf(i + 1));
      ASSERT_GT(curve.ratioOf(i), 0.0f);
    }
    host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
    host.effect = nullptr;
  }
}

TEST_F(DetectionPasses, FailedReadEndsThePassAndHidesProgress) {
  host.source = {wowTones(44100.0, 2.0, {{50.0, 0.1}})};
  open();
  ASSERT_TRUE(detect(kModeHum));
  host.audioReads = 0;
  host.failReadAt = 60;  // in the main read, after the counting read
  EXPECT_FALSE(detect(kModeHum));
  EXPECT_LT(editor().progress(), 0.0);
}

TEST_F(DetectionPasses, SpectralPassReplacesThePointsOfTheMarkedRange) {
  // Harmonic partials between 1 and 3 kHz, the same in both channels.
  std::vector<std::pair<double, double>> partials;
  for (int k = 3; k <= 7; ++k) partials.push_back({400.0 * k, 0.1});
  const std::vector<float> mono = wowTones(44100.0, 4.0, partials);
  host.source = {mono, mono};
  open();
  EditorView& view = editor().view();
  view.analysisStart = 22050;
  view.analysisEnd = 154350;
  view.analysisLow = 1000.0f;
  view.analysisHigh = 3000.0f;
  plugin().curveReady = false;
  ASSERT_TRUE(detect(kModeSpectral));

  const PvcCurve& curve = plugin().curve();
  const detect::SpectralPvcDetector& detector = *plugin().engines().spectralEngine();
  ASSERT_GT(detector.pointCount(), 100);
  ASSERT_GT(detector.familyCount(), 0) << "the stereo mix is analysed";
  // The flat ends, the range start at 1.0, then one point per result.
  ASSERT_EQ(curve.pointCount(), 2 + 1 + detector.pointCount());
  EXPECT_EQ(curve.positionOf(1), 22050);
  EXPECT_EQ(curve.ratioOf(1), 1.0f);
  EXPECT_EQ(curve.positionOf(2), 22050 + detector.position(0));
  EXPECT_EQ(curve.ratioOf(2), detector.value(0));
  EXPECT_FALSE(plugin().curveReady) << "the spectral pass leaves it as it was";
  EXPECT_EQ(view.toolId, 2);
  EXPECT_EQ(host.lastTask.positionToProcessFrom, 0.0);
  EXPECT_EQ(host.lastTask.readPosition, 0.0);

  // Relative to its own median the curve follows the wow's shape: its
  // variation correlates with the true speed's.
  double sxy = 0.0, sxx = 0.0, syy = 0.0;
  for (int i = 0; i < detector.pointCount(); ++i) {
    const double t = (22050 + detector.position(i)) / 44100.0;
    const double x = detector.value(i) - 1.0;
    const double y = trueSpeed(t) - 1.0;
    sxy += x * y;
    sxx += x * x;
    syy += y * y;
  }
  ASSERT_GT(sxx, 0.0);
  EXPECT_GT(sxy / std::sqrt(sxx * syy), 0.8);
}

}  // namespace
