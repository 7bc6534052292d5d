// The detection passes driven as a host drives them: the file is notified and
// read, the mode names a detector, the next notification starts its pass, and
// the curve the pass leaves is compared with the speed the audio was made with.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/DetectionFrame.h"
#include "plugin/HeadlessEditor.h"
#include "plugin/OfflineEffect.h"
#include "signals/SyntheticRecording.h"
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
  EXPECT_EQ(plugin().lastPassMessage(),
            "The pilot-tone detector needs a sample rate of at least 24000 Hz; this file has 22050 Hz.");
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

std::vector<float> whiteNoise(size_t n, float rms, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> normal(0.0f, rms);
  std::vector<float> v(n);
  for (float& x : v) x = normal(random);
  return v;
}

std::vector<float> plus(std::vector<float> a, const std::vector<float>& b) {
  for (size_t i = 0; i < a.size(); ++i) a[i] += b[i];
  return a;
}

// Files with nothing for a detector to follow: the pass keeps the curve
// flat, stores no step, says why in the editor's message area and in the
// task's outputText for the host, and fails.
TEST_F(DetectionPasses, NoPilotToneKeepsTheCurveFlatAndSaysSo) {
  host.sampleRate = 48000.0;
  const size_t n = 48000 * 3;
  const std::vector<float> programme = wowTones(48000.0, 3.0, {{440.0, 0.3}, {3000.0, 0.1}, {9000.0, 0.05}});
  const std::vector<std::pair<const char*, std::vector<float>>> files = {
      {"noise", whiteNoise(n, 0.1f, 1)},
      {"programme with noise", plus(programme, whiteNoise(n, 0.001f, 2))},
      {"programme", programme},
      {"DC", std::vector<float>(n, 0.25f)},
      {"silence", std::vector<float>(n, 0.0f)},
      {"NaN", std::vector<float>(n, std::numeric_limits<float>::quiet_NaN())},
  };
  for (const auto& [name, audio] : files) {
    SCOPED_TRACE(name);
    host.source = {audio};
    open();
    ASSERT_FALSE(detect(kModePilotTone));
    const PvcCurve& curve = plugin().curve();
    ASSERT_EQ(curve.pointCount(), 2);
    EXPECT_EQ(curve.ratioOf(0), 1.0f);
    EXPECT_EQ(curve.ratioOf(1), 1.0f);
    EXPECT_EQ(curve.positionOf(1), static_cast<std::int32_t>(n - 1));
    EXPECT_EQ(editor().undoSteps(), 0);
    const std::string said = "No pilot tone found: nothing from 14000 Hz up to 24000 Hz stands 20 dB above the noise "
                             "there. The curve stays flat.";
    EXPECT_EQ(editor().message(), said);
    EXPECT_EQ(plugin().lastPassMessage(), said);
    EXPECT_EQ(host.lastTask.outputText, said);
    EXPECT_TRUE(host.lastTask.flags & kVstOfflinePlugError);
    host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
    host.effect = nullptr;
  }
  // The same programme with a faint pilot tone under noise is followed.
  host.source = {plus(wowTones(48000.0, 3.0, {{440.0, 0.3}, {3000.0, 0.1}, {19000.0, 0.01}}), whiteNoise(n, 0.01f, 3))};
  open();
  EXPECT_TRUE(detect(kModePilotTone));
  EXPECT_EQ(plugin().lastPassMessage(), "");
  EXPECT_GT(plugin().curve().pointCount(), 2);
}

TEST_F(DetectionPasses, NoHumKeepsTheCurveFlatAndSaysSo) {
  const size_t n = 44100 * 3;
  for (const auto& [name, audio] : std::vector<std::pair<const char*, std::vector<float>>>{
           {"noise", whiteNoise(n, 0.1f, 4)},
           {"programme", plus(wowTones(44100.0, 3.0, {{441.0, 0.3}, {1250.0, 0.2}}), whiteNoise(n, 0.001f, 5))},
           {"silence", std::vector<float>(n, 0.0f)}}) {
    SCOPED_TRACE(name);
    host.source = {audio};
    open();
    EXPECT_FALSE(detect(kModeHum));
    EXPECT_EQ(plugin().curve().pointCount(), 2);
    EXPECT_EQ(editor().undoSteps(), 0);
    EXPECT_EQ(plugin().lastPassMessage(),
              "No mains hum found: nothing between 45 and 55 Hz (nor at twice or three times that) stands 20 dB "
              "above its noise. The curve stays flat.");
    EXPECT_EQ(editor().message(), plugin().lastPassMessage());
    host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
    host.effect = nullptr;
  }
}

// Hum that bass notes and kicks cover is there (the tone check would find
// it), but the engine could not follow it with confidence: the pass refuses
// with the engine's share of followed moments instead of a curve worse than
// none, in the editor's message area and to the host as a failure.
TEST_F(DetectionPasses, HumTheEngineCannotFollowIsRefusedWithTheReason) {
  synth::Recipe r;
  r.seconds = 12.0;
  r.humDb = -30.0;
  r.lowestNote = 45.0;  // a bass line on every harmonic
  host.source = {synth::makeRecording(r)};
  open();
  EXPECT_FALSE(detect(kModeHum));
  EXPECT_EQ(plugin().curve().pointCount(), 2);
  EXPECT_EQ(plugin().curve().ratioOf(1), 1.0f);
  EXPECT_EQ(editor().undoSteps(), 0);
  const std::string said = plugin().lastPassMessage();
  EXPECT_EQ(said.rfind("The mains hum could not be followed: the tracker was sure of it over only ", 0), 0u) << said;
  EXPECT_NE(said.find("The curve stays flat."), std::string::npos) << said;
  EXPECT_EQ(editor().message(), said);
  EXPECT_EQ(host.lastTask.outputText, said);
  EXPECT_TRUE(host.lastTask.flags & kVstOfflinePlugError);
  host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
  host.effect = nullptr;

  // The same programme with its notes above the hum's bands is followed.
  r.lowestNote = 196.0;
  host.source = {synth::makeRecording(r)};
  open();
  EXPECT_TRUE(detect(kModeHum));
  EXPECT_EQ(plugin().lastPassMessage(), "");
  EXPECT_GT(plugin().curve().pointCount(), 2);
}

// Rates the pilot-tone pass cannot work at are refused with the reason:
// below 24000 Hz by the pass itself, and up to 28000 Hz because the search
// band (14000 Hz and up) lies above half the rate.
TEST_F(DetectionPasses, PilotTonePassSaysWhyItCannotRun) {
  host.sampleRate = 22050.0;
  host.source = {wowTones(22050.0, 1.0, {{9000.0, 0.1}})};
  open();
  host.effect->setParameter(host.effect, 0, static_cast<float>(kModePilotTone));
  host.start(0);
  EXPECT_FALSE(host.lastRun);
  EXPECT_EQ(plugin().lastPassMessage(),
            "The pilot-tone detector needs a sample rate of at least 24000 Hz; this file has 22050 Hz.");
  EXPECT_STREQ(host.lastTask.outputText, plugin().lastPassMessage().c_str());
  host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
  host.effect = nullptr;

  host.sampleRate = 28000.0;
  host.source = {wowTones(28000.0, 1.0, {{13000.0, 0.1}})};
  open();
  const int reads = host.audioReads;
  EXPECT_FALSE(detect(kModePilotTone));
  EXPECT_EQ(plugin().lastPassMessage(),
            "The pilot-tone search band starts at 14000 Hz, at or above half the sample rate (14000 Hz): there is "
            "nothing to search in this file.");
  EXPECT_EQ(editor().message(), plugin().lastPassMessage());
  EXPECT_EQ(host.audioReads, reads) << "the pilot pass reads nothing";
}

// The run of silence after the range is bounded by the range (or by about
// a minute of audio for a short one): a detector that claims a huge delay
// does not keep the pass running on silence for as long as it claims.
TEST_F(DetectionPasses, SilenceAfterTheRangeIsBoundedByTheRange) {
  host.source = {wowTones(44100.0, 0.5, {{440.0, 0.3}})};
  open();
  const auto frames = static_cast<std::int32_t>(host.source[0].size());
  std::vector<float> in(static_cast<size_t>(host.block));
  float* inputs[1] = {in.data()};
  for (std::int32_t delay : {std::numeric_limits<std::int32_t>::max(), 1 << 30, 300, 0}) {
    SCOPED_TRACE(delay);
    VstOfflineTask task{};
    task.numFramesToProcess = frames;
    task.numFramesInSourceFile = frames;
    task.numSourceChannels = 1;
    task.sizeInputBuffer = host.block;
    task.inputBuffer = inputs;
    plugin().curve().resetFlat(frames);
    detection::PointCollector points(plugin(), 1024, 0, frames, delay, false);
    long runs = 0;
    auto run = [&](float*, float* output) {
      std::fill(output, output + 1024, 1.01f);
      ++runs;
      return true;
    };
    ASSERT_TRUE(detection::readIntoDetector(plugin(), task, points, false, run, [](float) {}));
    const std::int64_t flush = std::max<std::int64_t>(frames, detection::PointCollector::kLongestFlush);
    EXPECT_LE(runs, (frames + flush + 1024) / 1024 + 1);
    // An honest delay still gets the range its points up to the end.
    if (delay <= 300) {
      const PvcCurve& curve = plugin().curve();
      EXPECT_GE(curve.positionOf(static_cast<unsigned>(curve.pointCount() - 2)), frames - 1 - 256);
    }
  }
}

// The zoom pass reads and draws the editor's zoom range; an empty range
// stands for the whole file. The host's cursor and selection follow it.
TEST_F(DetectionPasses, ZoomPassDrawsItsRangeOrTheWholeFile) {
  host.source = {wowTones(44100.0, 1.0, {{440.0, 0.3}})};
  open();
  EditorView& view = editor().view();
  auto zoom = [&](std::int32_t from, std::int32_t to) {
    view.zoomStart = from;
    view.zoomEnd = to;
    host.effect->setParameter(host.effect, 0, static_cast<float>(kModeZoom));
    host.start(0);
    return host.lastRun;
  };
  ASSERT_TRUE(zoom(10000, 30000));
  EXPECT_EQ(plugin().analyser().samplesFed(), 20000);
  EXPECT_EQ(view.viewStart, 10000);
  EXPECT_EQ(view.viewLength, 20000);
  EXPECT_EQ(host.lastWrittenSelection.positionToProcessFrom, 10000.0);
  EXPECT_EQ(host.lastWrittenSelection.numFramesToProcess, 20000.0);

  for (auto [from, to] : {std::pair{0, 0}, std::pair{5000, 5000}, std::pair{30000, 10000}}) {
    ASSERT_TRUE(zoom(from, to));
    EXPECT_EQ(plugin().analyser().samplesFed(), 44100) << from << ".." << to;
    EXPECT_EQ(view.viewStart, 0);
    EXPECT_EQ(view.viewLength, 44100);
    EXPECT_EQ(view.zoomEnd, 44100);
    EXPECT_EQ(view.centre, 22050);
    EXPECT_EQ(host.lastWrittenSelection.positionToProcessFrom, 0.0);
    EXPECT_EQ(host.lastWrittenSelection.numFramesToProcess, 44100.0);
  }

  // A curve set up by a zoom pass after a curve-file command is one undo
  // step, keeps the file's length and consumes the request.
  PvcCurve& curve = plugin().curve();
  const int snapshots = curve.snapshotCount();
  plugin().curveReady = false;
  plugin().undoAfterZoom = true;
  ASSERT_TRUE(zoom(10000, 30000));
  EXPECT_EQ(curve.snapshotCount(), snapshots + 1);
  EXPECT_FALSE(plugin().undoAfterZoom);
  EXPECT_EQ(curve.length(), 44100);
  EXPECT_TRUE(plugin().curveReady);
}

// The selection pass hands the marked range to the host; a range that
// reaches the end of the file is given from frame 0 on. A host that
// refuses selections leaves the pass with nothing to do.
TEST_F(DetectionPasses, SelectionPassMarksTheRange) {
  host.source = {wowTones(44100.0, 1.0, {{440.0, 0.3}})};
  open();
  EditorView& view = editor().view();
  auto select = [&](double from, double to) {
    view.markStart = from;
    view.markEnd = to;
    host.effect->setParameter(host.effect, 0, static_cast<float>(kModeSelection));
    host.start(0);
    return host.lastRun;
  };
  ASSERT_TRUE(select(1000.0, 5000.0));
  EXPECT_EQ(host.lastWrittenSelection.positionToProcessFrom, 1000.0);
  EXPECT_EQ(host.lastWrittenSelection.numFramesToProcess, 4000.0);
  EXPECT_EQ(host.lastWrittenSelection.index, -1);
  ASSERT_TRUE(select(40000.0, 44100.0));
  EXPECT_EQ(host.lastWrittenSelection.positionToProcessFrom, 0.0);
  EXPECT_EQ(host.lastWrittenSelection.numFramesToProcess, 4100.0);
  EXPECT_TRUE(host.lastTask.flags & kVstOfflineNoThread);

  host.refuseOthers = true;
  host.otherWrites.clear();
  EXPECT_TRUE(select(1000.0, 5000.0));
  EXPECT_TRUE(host.otherWrites.empty());
}

// A read failing at any block of any pass ends that pass with false; under
// the sanitizers nothing leaks and nothing is touched out of bounds. The
// pass runs again with the failure one read later until it gets through.
TEST_F(DetectionPasses, AFailedReadAtAnyBlockFailsThePass) {
  host.block = 8192;
  host.sampleRate = 48000.0;
  std::vector<float> audio = wowTones(48000.0, 1.0, {{50.0, 0.05}, {100.0, 0.02}, {440.0, 0.3}, {19000.0, 0.05}});
  host.source = {audio, audio};
  open();
  EditorView& view = editor().view();
  view.analysisStart = 0;
  view.analysisEnd = 48000;
  view.analysisLow = 300.0f;
  view.analysisHigh = 3000.0f;
  view.zoomStart = 1000;
  view.zoomEnd = 40000;

  auto everyBlock = [&](int mode, bool sorvanite) {
    plugin().engines().setUseSorvanite(sorvanite);
    int failures = 0;
    for (int at = 0;; ++at) {
      host.audioReads = 0;
      host.failReadAt = at;
      host.effect->setParameter(host.effect, 0, static_cast<float>(mode));
      host.start(0);
      if (host.audioReads <= at) break;  // the failure was never reached
      EXPECT_FALSE(host.lastRun) << "mode " << mode << ", read " << at;
      EXPECT_EQ(plugin().lastPassMessage().rfind("Reading the file failed at frame ", 0), 0u)
          << plugin().lastPassMessage();
      EXPECT_STREQ(host.lastTask.outputText, plugin().lastPassMessage().c_str());
      EXPECT_LT(editor().progress(), 0.0);
      ++failures;
    }
    EXPECT_TRUE(host.lastRun) << "mode " << mode << " without a failure";
    EXPECT_GT(failures, 1) << "mode " << mode;
    host.failReadAt = -1;
  };
  for (int mode : {kModeRead, kModeZoom}) everyBlock(mode, false);
  // Each detector's engine is selected by a first, undisturbed request.
  for (int mode : {kModePilotTone, kModeSpectral, kModeHum}) {
    ASSERT_TRUE(detect(mode)) << "mode " << mode;
    everyBlock(mode, false);
  }
  everyBlock(kModeHum, true);
}

}  // namespace
