// The reading and correction passes driven as a host drives them: a file
// notification makes the plug-in read the file, a start request makes it
// write the corrected copy into a new file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "plugin/BlockResampler.h"
#include "plugin/HeadlessEditor.h"
#include "plugin/OfflineEffect.h"
#include "tests/plugin/MiniHost.h"

namespace {

class Passes : public MiniHostTest {
 protected:
  // Notifies the file (the plug-in reads it), then starts the correction.
  bool readAndCorrect() {
    host.effect = createPelmora(MiniHost::callback);
    VstAudioFile f = host.file();
    VstIntPtr shown = host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
    if (shown && !host.lastRun) return false;
    return correct();
  }
  // Opens the plug-in and lets it read the file.
  void open() {
    host.effect = createPelmora(MiniHost::callback);
    VstAudioFile f = host.file();
    host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
    ASSERT_TRUE(host.lastRun) << "the reading pass";
  }
  // Starts the correction as a host's own process command does.
  bool correct() {
    VstAudioFile g = host.file();
    return host.effect->dispatcher(host.effect, effOfflineNotify, 1, 1, &g, 0) != 0 && host.lastRun;
  }
  OfflineEffect& plugin() { return *dynamic_cast<OfflineEffect*>(static_cast<AudioEffect*>(host.effect->object)); }
  HeadlessEditor& editor() { return *dynamic_cast<HeadlessEditor*>(plugin().getEditor()); }
  // The frames the correction makes of the source along the plug-in's
  // curve, by one resampler run over the whole file: the output does not
  // depend on where blocks are cut. Ratios beyond the last point hold it.
  std::vector<float> expectedOutput(size_t channel) {
    PvcCurve& curve = plugin().curve();
    const auto n = host.source[channel].size();
    std::vector<float> ratios(n);
    const float last = curve.ratioOf(static_cast<unsigned>(curve.pointCount() - 1));
    for (size_t i = 0; i < n; ++i) {
      const float r = curve.ratioAt(static_cast<std::int32_t>(i));
      ratios[i] = r < 0.0f ? last : r;
    }
    BlockResampler resampler;
    resampler.initialise(8, static_cast<int>(n));
    resampler.countOutput(ratios, host.source[channel], true, true);
    const std::span<const float> out = resampler.render();
    return {out.begin(), out.end()};
  }
};

std::vector<float> tone(size_t n, double frequency, double rate) {
  std::vector<float> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * frequency * i / rate));
  return v;
}

const double kFlatGain = (1.0 - std::cos(16.0 * 3.1415926535 / 17.0)) / 2.0;

TEST_F(Passes, FlatCurveKeepsLengthAndScalesEveryFrame) {
  host.source = {tone(4321, 441.0, host.sampleRate)};
  ASSERT_TRUE(readAndCorrect());
  EXPECT_EQ(host.starts, 2);  // the reading pass, then the correction
  ASSERT_EQ(host.written.size(), 1u);
  ASSERT_EQ(host.written[0].size(), host.source[0].size());
  for (size_t i = 0; i < host.source[0].size(); ++i)
    ASSERT_NEAR(host.written[0][i], host.source[0][i] * kFlatGain, 2e-6) << "frame " << i;
}

TEST_F(Passes, StereoChannelsStayApart) {
  host.source = {tone(2500, 300.0, host.sampleRate), tone(2500, 1000.0, host.sampleRate)};
  ASSERT_TRUE(readAndCorrect());
  ASSERT_EQ(host.written.size(), 2u);
  ASSERT_EQ(host.written[0].size(), 2500u);
  ASSERT_EQ(host.written[1].size(), 2500u);
  for (size_t i = 0; i < 2500; i += 7) {
    EXPECT_NEAR(host.written[0][i], host.source[0][i] * kFlatGain, 2e-6);
    EXPECT_NEAR(host.written[1][i], host.source[1][i] * kFlatGain, 2e-6);
  }
}

TEST_F(Passes, FileShorterThanOneBlock) {
  host.source = {tone(300, 441.0, host.sampleRate)};
  ASSERT_TRUE(readAndCorrect());
  ASSERT_EQ(host.written[0].size(), 300u);
}

TEST_F(Passes, ThreeChannelsAreRefusedNotSilentlyDropped) {
  host.source = {tone(2000, 100.0, host.sampleRate), tone(2000, 200.0, host.sampleRate),
                 tone(2000, 300.0, host.sampleRate)};
  host.effect = createPelmora(MiniHost::callback);
  VstAudioFile f = host.file();
  // The file list is refused for such a file, and so is a correction.
  EXPECT_EQ(host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0), 0);
  VstAudioFile g = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 1, 1, &g, 0);
  EXPECT_FALSE(host.lastRun);
  for (const auto& channel : host.written) EXPECT_TRUE(channel.empty());
}

// Every failure mode of the new file's buffer bookkeeping: a host that
// leaves a count in writeCount, a last block that yields no frame of its own
// (very slow ratios at the end), a curve that ends before the file does.
TEST_F(Passes, EveryOutputFrameReachesTheHostOnce) {
  host.source = {tone(4321, 441.0, host.sampleRate)};
  open();
  const std::vector<float> flat = expectedOutput(0);

  // A stale count would put the first frames behind whatever the host left.
  host.staleWriteCount = 500;
  ASSERT_TRUE(correct());
  ASSERT_EQ(host.written[0].size(), flat.size());
  for (size_t i = 0; i < flat.size(); ++i) ASSERT_EQ(host.written[0][i], flat[i]) << "frame " << i;
  host.staleWriteCount = 0;

  // From frame 1600 on the source ran at a thousandth of its speed: the
  // last block (321 frames) yields no frame, yet the 600-odd frames still
  // held from the blocks before it must be written.
  PvcCurve& curve = plugin().curve();
  curve.insertPoint(1500, 1.0f, false);
  curve.insertPoint(1600, 0.001f, false);
  curve.setPoint(static_cast<unsigned>(curve.pointCount() - 1), 4320, 0.001f);
  const std::vector<float> slow = expectedOutput(0);
  ASSERT_GT(slow.size() % 1000, 0u) << "frames are left in the buffer before the last block";
  {
    BlockResampler blocks;
    blocks.initialise(8, 1000);
    std::vector<float> ratios(321);
    for (size_t i = 0; i < ratios.size(); ++i) ratios[i] = curve.ratioAt(static_cast<std::int32_t>(4000 + i));
    const std::vector<float>& in = host.source[0];
    std::size_t produced = 0;
    for (size_t from = 0; from < 4000; from += 1000) {
      std::vector<float> r(1000);
      for (size_t i = 0; i < 1000; ++i) r[i] = curve.ratioAt(static_cast<std::int32_t>(from + i));
      produced += blocks.countOutput(r, std::span<const float>(in).subspan(from, 1000), from == 0, false);
      blocks.render();
    }
    ASSERT_EQ(blocks.countOutput(ratios, std::span<const float>(in).subspan(4000), false, true), 0u)
        << "the last block yields nothing of its own";
    ASSERT_EQ(produced, slow.size());
  }
  ASSERT_TRUE(correct());
  ASSERT_EQ(host.written[0].size(), slow.size());
  for (size_t i = 0; i < slow.size(); ++i) ASSERT_EQ(host.written[0][i], slow[i]) << "frame " << i;

  // A curve of one point: its ratio holds over the whole file, after the
  // point as before it, so the output is half as long.
  curve.clear();
  curve.appendPoint(0, 0.5f, false);
  ASSERT_TRUE(correct());
  EXPECT_NEAR(static_cast<double>(host.written[0].size()), 4321 * 0.5, 2.0);
  const std::vector<float> half = expectedOutput(0);
  ASSERT_EQ(host.written[0].size(), half.size());
}

// A curve that rises from 1.0 to 1.25 in the middle of a stereo file: the
// output is longer by the integral of the ratio, each channel along the
// same walk, and a tone of the fast part comes out at 1 / 1.25 of its
// frequency.
TEST_F(Passes, CorrectionFollowsANonFlatCurve) {
  const size_t n = 44100;
  host.source = {tone(n, 1000.0, host.sampleRate), tone(n, 2000.0, host.sampleRate)};
  open();
  PvcCurve& curve = plugin().curve();
  curve.insertPoint(20000, 1.0f, false);
  curve.insertPoint(24000, 1.25f, false);
  curve.setPoint(static_cast<unsigned>(curve.pointCount() - 1), static_cast<std::int32_t>(n - 1), 1.25f);
  double integral = 0.0;
  for (size_t i = 0; i < n; ++i) integral += curve.ratioAt(static_cast<std::int32_t>(i));
  ASSERT_TRUE(correct());
  ASSERT_EQ(host.written.size(), 2u);
  EXPECT_NEAR(static_cast<double>(host.written[0].size()), integral, 3.0);
  for (size_t c = 0; c < 2; ++c) {
    const std::vector<float> expected = expectedOutput(c);
    ASSERT_EQ(host.written[c].size(), expected.size());
    for (size_t i = 0; i < expected.size(); i += 3) ASSERT_NEAR(host.written[c][i], expected[i], 1e-6) << c << " " << i;
  }
  // Rising zero crossings over the last 20000 output frames (0.45 s).
  auto crossings = [&](size_t c) {
    const std::vector<float>& v = host.written[c];
    int count = 0;
    for (size_t i = v.size() - 20000; i + 1 < v.size() - 100; ++i) count += (v[i] <= 0.0f && v[i + 1] > 0.0f) ? 1 : 0;
    return count;
  };
  const double seconds = 19899.0 / host.sampleRate;
  EXPECT_NEAR(crossings(0) / seconds, 800.0, 5.0);
  EXPECT_NEAR(crossings(1) / seconds, 1600.0, 5.0);
}

// The task's own channel count says which input buffers exist: a stereo
// file whose task brings one buffer is read as mono, not past the buffers.
TEST_F(Passes, PassesReadOnlyTheChannelsTheTaskBrings) {
  host.source = {tone(3000, 441.0, host.sampleRate), tone(3000, 882.0, host.sampleRate)};
  host.taskChannels = 1;
  host.effect = createPelmora(MiniHost::callback);
  VstAudioFile f = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
  EXPECT_TRUE(host.lastRun);
  EXPECT_EQ(plugin().analyser().samplesFed(), 3000);
  // The correction refuses a task that does not match the curve.
  EXPECT_FALSE(correct());
  EXPECT_STREQ(host.lastTask.outputText, "The file does not match the curve's channel count.");
  // No input channel at all: nothing can be read.
  host.taskChannels = 0;
  host.effect->setParameter(host.effect, 0, static_cast<float>(kModeRead));
  host.start(0);
  EXPECT_FALSE(host.lastRun);
}

// A stereo file is analysed as the float mean of its channels: the same
// spectrogram as a mono file holding (l + r) x 0.5, not l + r nor l alone.
TEST_F(Passes, StereoIsReadAsTheMeanOfItsChannels) {
  const std::vector<float> left = tone(20000, 441.0, host.sampleRate);
  const std::vector<float> right = tone(20000, 3000.0, host.sampleRate);
  std::vector<float> mean(left.size()), sum(left.size());
  for (size_t i = 0; i < left.size(); ++i) {
    mean[i] = (left[i] + right[i]) * 0.5f;
    sum[i] = left[i] + right[i];
  }
  auto levels = [&](std::vector<std::vector<float>> source) {
    host.source = std::move(source);
    host.effect = createPelmora(MiniHost::callback);
    plugin().reconfigureAnalyser();  // columns as the editor's window lays them out
    VstAudioFile f = host.file();
    host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
    EXPECT_TRUE(host.lastRun);
    std::vector<float> all;
    const SpectrogramAnalyser& analyser = plugin().analyser();
    for (int c = 0; c < analyser.columns(); ++c) {
      const std::span<const float> frame = analyser.frame(c);
      all.insert(all.end(), frame.begin(), frame.end());
    }
    host.effect->dispatcher(host.effect, effClose, 0, 0, nullptr, 0);
    host.effect = nullptr;
    return all;
  };
  const std::vector<float> stereo = levels({left, right});
  ASSERT_GT(stereo.size(), 1000u);
  EXPECT_EQ(stereo, levels({mean}));
  EXPECT_NE(stereo, levels({sum}));
  EXPECT_NE(stereo, levels({left}));
}

// The texts a host shows while the passes run.
TEST_F(Passes, ProgressTextsAndProcessNames) {
  host.source = {tone(2000, 441.0, host.sampleRate)};
  open();
  EXPECT_STREQ(host.lastTask.progressText, "Drawing...");
  EXPECT_STREQ(host.lastTask.processName, "Pelmora");
  ASSERT_TRUE(correct());
  EXPECT_STREQ(host.lastTask.progressText, "Copy file");
  EXPECT_STREQ(host.lastTask.processName, "Vantrel");
}

// The start request (offlineNotify with start set): refused until a file is
// shown; then the first file asks for reading and carries the curve to the
// host, and the correction runs with one new file.
TEST_F(Passes, StartRequestMarksTheFileAndStartsTheCorrection) {
  host.source = {tone(2000, 441.0, host.sampleRate)};
  host.effect = createPelmora(MiniHost::callback);
  VstAudioFile early = host.file();
  EXPECT_EQ(host.effect->dispatcher(host.effect, effOfflineNotify, 1, 1, &early, 0), 0);
  EXPECT_EQ(host.starts, 0);
  EXPECT_EQ(early.plugOwned, nullptr);

  VstAudioFile f = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
  ASSERT_EQ(host.starts, 1);
  VstAudioFile g = host.file();
  g.flags = kVstOfflineReadOnly;
  EXPECT_EQ(host.effect->dispatcher(host.effect, effOfflineNotify, 1, 1, &g, 0), 1);
  EXPECT_EQ(host.starts, 2);
  EXPECT_TRUE(host.lastRun);
  EXPECT_EQ(g.flags, kVstOfflineReadOnly | kVstOfflineWantRead);
  EXPECT_EQ(g.plugOwned, &plugin().curve());
  EXPECT_EQ(plugin().operationMode(), kModeCorrect);
  EXPECT_EQ(host.written.size(), 1u) << "one new file";
  // An empty list starts nothing.
  EXPECT_EQ(host.effect->dispatcher(host.effect, effOfflineNotify, 1, 0, &g, 0), 0);
  EXPECT_EQ(host.starts, 2);
}

// The reading pass's curve set-up: the curve file of the take when there
// is one (flat otherwise), laid out over the file, and the first snapshot
// stored only when undoAfterDraw asks for it, which the pass then sets.
TEST_F(Passes, ReadingPassSetsTheCurveUp) {
  host.source = {tone(5000, 441.0, host.sampleRate)};
  host.uniqueId = 77;
  host.effect = createPelmora(MiniHost::callback);
  {
    PvcCurve writer(plugin().curve().tempDir());
    writer.clear();
    writer.appendPoint(0, 1.0f, false);
    writer.appendPoint(2000, 1.1f, false);
    writer.appendPoint(4999, 1.2f, false);
    ASSERT_TRUE(writer.writeFile(plugin().curve().handoffDir() + "passes-test-take.pvc", false));
  }
  VstAudioFile f = host.file();
  host.effect->dispatcher(host.effect, effOfflineNotify, 0, 1, &f, 0);
  ASSERT_TRUE(host.lastRun);
  const PvcCurve& curve = plugin().curve();
  ASSERT_EQ(curve.pointCount(), 3);
  EXPECT_EQ(curve.positionOf(1), 2000);
  EXPECT_EQ(curve.ratioOf(1), 1.1f);
  EXPECT_EQ(curve.length(), 5000);
  EXPECT_TRUE(plugin().curveReady);
  EXPECT_EQ(editor().curveDrawings(), 1);
  EXPECT_EQ(curve.snapshotCount(), 1) << "undoAfterDraw starts set: the first set-up is a step";
  EXPECT_TRUE(plugin().undoAfterDraw);
  std::remove((plugin().curve().handoffDir() + "passes-test-take.pvc").c_str());

  // A set-up with undoAfterDraw cleared stores nothing and sets it again;
  // without a curve file the curve starts flat.
  plugin().curveReady = false;
  plugin().undoAfterDraw = false;
  plugin().setCurveFileName(plugin().curve().handoffDir() + "no-such-curve.pvc");
  host.effect->setParameter(host.effect, 0, static_cast<float>(kModeRead));
  host.start(0);
  ASSERT_TRUE(host.lastRun);
  EXPECT_EQ(curve.pointCount(), 2);
  EXPECT_EQ(curve.positionOf(1), 4999);
  EXPECT_EQ(curve.snapshotCount(), 1);
  EXPECT_TRUE(plugin().undoAfterDraw);

  // Once ready, a reading pass only lays the curve out and draws it again.
  PvcCurve& live = plugin().curve();
  live.insertPoint(100, 1.3f, false);
  host.start(0);
  EXPECT_EQ(live.pointCount(), 3);
  EXPECT_EQ(editor().curveDrawings(), 3);
  EXPECT_EQ(curve.snapshotCount(), 1);
}

// A read or a write failing at any block of the correction ends it with
// false and says which and where; the sanitizers see nothing leak or go out
// of bounds.
TEST_F(Passes, AFailedReadOrWriteAtAnyBlockFailsTheCorrection) {
  host.source = {tone(5500, 441.0, host.sampleRate), tone(5500, 882.0, host.sampleRate)};
  open();
  for (int* failAt : {&host.failReadAt, &host.failWriteAt}) {
    int failures = 0;
    for (int at = 0;; ++at) {
      host.audioReads = 0;
      host.audioWrites = 0;
      *failAt = at;
      const bool corrected = correct();
      const int done = failAt == &host.failReadAt ? host.audioReads : host.audioWrites;
      if (done <= at) {  // the failure was never reached
        EXPECT_TRUE(corrected);
        break;
      }
      EXPECT_FALSE(corrected) << "failure at " << at;
      const std::string said = failAt == &host.failReadAt ? "Reading the file failed at frame "
                                                          : "Writing the corrected file failed at frame ";
      EXPECT_EQ(plugin().lastPassMessage().rfind(said, 0), 0u) << plugin().lastPassMessage();
      ++failures;
    }
    EXPECT_GE(failures, 5);
    *failAt = -1;
  }
}

}  // namespace
