#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "detect/SpectralPvcDetector.h"
#include "signals/SyntheticSignals.h"

using detect::SpectralPvcDetector;

namespace {

// Runs the detector over the whole signal in blocks, then collects and builds.
void analyse(SpectralPvcDetector& d, const std::vector<float>& signal, int fs, float low, float high,
             int block = 4096) {
  ASSERT_TRUE(d.beginRun(fs, low, high, static_cast<int>(signal.size())));
  std::vector<float> out(static_cast<std::size_t>(block));
  for (std::size_t start = 0; start < signal.size(); start += static_cast<std::size_t>(block)) {
    const int n = static_cast<int>(std::min<std::size_t>(block, signal.size() - start));
    const float* in = signal.data() + start;
    float* o = out.data();
    ASSERT_TRUE(d.process(n, 1, &in, &o));
    for (int i = 0; i < n; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], 1.0f);
  }
  d.collectTracks();
  d.buildCurve();
}

std::vector<detect_test::Partial> harmonics(double f0, int count, double amplitude) {
  std::vector<detect_test::Partial> p;
  for (int h = 1; h <= count; ++h) p.push_back({f0 * h, amplitude / h, 0.3 * h});
  return p;
}

}  // namespace

TEST(SpectralPvcDetector, DefaultSettings) {
  SpectralPvcDetector d;
  EXPECT_EQ(d.getNumParams(), 3);
  EXPECT_EQ(d.fftLength(), 512);
  EXPECT_EQ(d.overlap(), 246);
  EXPECT_EQ(d.hop(), 266);
  EXPECT_FLOAT_EQ(d.getParamValueDisp(0), 512.0f);
  EXPECT_FLOAT_EQ(d.getParamValueDisp(1), 48.0f);
  EXPECT_FLOAT_EQ(d.getParamValueDisp(2), 0.0f);
  EXPECT_FLOAT_EQ(d.getParamValue(1), 0.6f);
  EXPECT_EQ(d.getParamValue(3), 0.0f);
  const char* names[] = {"FFT Length", "Overlap", "Confidence"};
  const char* labels[] = {"smpl", "%", "%"};
  for (int i = 0; i < 3; ++i) {
    char buffer[20];
    std::memset(buffer, 1, 18);
    buffer[18] = buffer[19] = 0;
    d.getParamName(i, buffer);
    EXPECT_STREQ(buffer, names[i]);
    std::memset(buffer, 1, 18);
    d.getParamLabel(i, buffer);
    EXPECT_STREQ(buffer, labels[i]);
  }
}

TEST(SpectralPvcDetector, FftLengthAndOverlapSettings) {
  SpectralPvcDetector d;
  d.setParamValue(0, 0.0f);
  EXPECT_EQ(d.fftLength(), 256);
  EXPECT_EQ(d.overlap(), 123);  // rnd(0.6 * 256 * 0.8)
  d.setParamValue(0, 1.0f);
  EXPECT_EQ(d.fftLength(), 4096);
  d.setParamValue(1, 1.0f);
  EXPECT_EQ(d.overlap(), 3277);
  EXPECT_FLOAT_EQ(d.getParamValueDisp(1), 80.0f);
  d.setParamValue(0, 12.0f);
  EXPECT_EQ(d.fftLength(), 4096);
  d.setParamValue(2, 0.3f);
  EXPECT_FLOAT_EQ(d.getParamValueDisp(2), 0.3f);
  // Beyond the last parameter: nothing is stored and no setting moves.
  EXPECT_TRUE(d.setParamValue(3, 0.0f));
  EXPECT_TRUE(d.setParamValue(-1, 0.0f));
  EXPECT_EQ(d.getParamValue(3), 0.0f);
  EXPECT_EQ(d.fftLength(), 4096);
  EXPECT_EQ(d.overlap(), 3277);
  EXPECT_FLOAT_EQ(d.getParamValue(0), 1.0f);
  EXPECT_FLOAT_EQ(d.getParamValue(1), 1.0f);
  EXPECT_FLOAT_EQ(d.getParamValueDisp(2), 0.3f);
}

TEST(SpectralPvcDetector, FrameCountAndResultPositions) {
  SpectralPvcDetector d;
  d.beginRun(44100, 1000.0f, 3000.0f, 512 + 266 * 9);
  EXPECT_EQ(d.frameCount(), 10);
  d.beginRun(44100, 1000.0f, 3000.0f, 512 + 266 * 9 + 1);
  EXPECT_EQ(d.frameCount(), 11);
  d.beginRun(44100, 1000.0f, 3000.0f, 512);
  EXPECT_EQ(d.frameCount(), 1);
  d.beginRun(44100, 1000.0f, 3000.0f, 100);
  EXPECT_EQ(d.frameCount(), 0);
  d.beginRun(44100, 1000.0f, 3000.0f, 0);
  EXPECT_EQ(d.frameCount(), 0);

  std::vector<float> silence(44100, 0.0f);
  analyse(d, silence, 44100, 1000.0f, 3000.0f);
  ASSERT_EQ(d.pointCount(), d.frameCount());
  EXPECT_EQ(d.position(0), 256);
  EXPECT_EQ(d.position(1), 256 + 266);
  EXPECT_EQ(d.position(d.pointCount() + 5), d.position(d.pointCount() - 1));
  EXPECT_EQ(d.value(d.pointCount() + 5), 1.0f);
}

TEST(SpectralPvcDetector, SilenceGivesNoTracksAndAFlatCurve) {
  SpectralPvcDetector d;
  analyse(d, std::vector<float>(30000, 0.0f), 44100, 1000.0f, 3000.0f);
  EXPECT_FALSE(d.started());
  EXPECT_EQ(d.familyCount(), 0);
  ASSERT_GT(d.pointCount(), 100);
  for (int i = 0; i < d.pointCount(); ++i) ASSERT_EQ(d.value(i), 1.0f);
  EXPECT_EQ(d.familyFrequency(0, 0), -1.0f);
}

TEST(SpectralPvcDetector, BandWithoutABinHasTheFloorLevel) {
  SpectralPvcDetector d;
  // Bins are 44100 / 4096 = 10.77 Hz apart; nothing lies in 1000.1..1000.2.
  analyse(d, detect_test::tone(44100, 4096, 1000.0, 0.1), 44100, 1000.1f, 1000.2f);
  EXPECT_GT(d.analysedFrames(), 0);
  EXPECT_EQ(d.bandMeanLevel(), -40.0f);
}

TEST(SpectralPvcDetector, FirstFrameWithPeaksStartsTwentyTracksAndGrowsForTheRest) {
  SpectralPvcDetector d;
  // 30 partials in the band, 200 Hz apart: well resolved by a 512-sample frame.
  std::vector<detect_test::Partial> partials;
  for (int i = 0; i < 30; ++i) partials.push_back({1000.0 + 200.0 * i, 0.02, 0.7 * i});
  const std::vector<float> signal = detect_test::synthesise(44100, 512, partials, {});
  d.beginRun(44100, 900.0f, 7200.0f, 512 + 266 * 3);
  const float* in = signal.data();
  ASSERT_TRUE(d.process(511, 1, &in, nullptr));
  EXPECT_FALSE(d.started());
  in = signal.data() + 511;
  ASSERT_TRUE(d.process(1, 1, &in, nullptr));
  ASSERT_EQ(d.analysedFrames(), 1);
  ASSERT_TRUE(d.started());
  // Every partial but the topmost (the last candidate is never selected)
  // became a track: 20 at once, the rest in slots of the grown table.
  EXPECT_GE(d.trackTable().used(), 29);
  EXPECT_EQ(d.trackTable().capacity(), d.trackTable().used());
  EXPECT_EQ(d.trackTable().aliveCount(), d.trackTable().used());
}

TEST(SpectralPvcDetector, SilentFramesLeaveTheStartForLater) {
  SpectralPvcDetector d;
  std::vector<float> signal(266 * 4, 0.0f);
  const std::vector<float> tones = detect_test::synthesise(44100, 2048, harmonics(500.0, 6, 0.1), {});
  signal.insert(signal.end(), tones.begin(), tones.end());
  d.beginRun(44100, 1000.0f, 3000.0f, static_cast<int>(signal.size()));
  const float* in = signal.data();
  ASSERT_TRUE(d.process(512 + 266, 1, &in, nullptr));
  EXPECT_EQ(d.analysedFrames(), 2);
  EXPECT_FALSE(d.started());
  in = signal.data() + 512 + 266;
  ASSERT_TRUE(d.process(static_cast<int>(signal.size()) - 512 - 266, 1, &in, nullptr));
  EXPECT_TRUE(d.started());
  d.collectTracks();
  d.buildCurve();
  // The families start at the first frame with peaks: none reaches back
  // into the silent frames, and each has a frequency once it started.
  ASSERT_GT(d.familyCount(), 0);
  for (int f = 0; f < d.familyCount(); ++f) {
    EXPECT_EQ(d.familyFrequency(f, 0), -1.0f) << f;
    EXPECT_EQ(d.familyFrequency(f, 1), -1.0f) << f;
    EXPECT_GT(d.familyFrequency(f, d.frameCount() - 2), 0.0f) << f;
  }
}

TEST(SpectralPvcDetector, ARangeShorterThanAFrameGivesNoPoints) {
  SpectralPvcDetector d;
  analyse(d, detect_test::tone(44100, 300, 1500.0, 0.1), 44100, 1000.0f, 3000.0f);
  EXPECT_EQ(d.analysedFrames(), 0);
  EXPECT_EQ(d.pointCount(), 0);
  EXPECT_EQ(d.position(0), 0);
  EXPECT_EQ(d.value(0), 1.0f);
}

TEST(SpectralPvcDetector, ASingleFrameGivesOnePointAtSpeedOne) {
  SpectralPvcDetector d;
  analyse(d, detect_test::synthesise(44100, 512, harmonics(500.0, 6, 0.1), {}), 44100, 1000.0f, 3000.0f);
  EXPECT_EQ(d.analysedFrames(), 1);
  ASSERT_EQ(d.pointCount(), 1);
  EXPECT_FLOAT_EQ(d.value(0), 1.0f);
  // The one frame's families are the band's harmonics of 500 Hz, read at
  // the nearest bin centre (fs / 4096 apart).
  ASSERT_GT(d.familyCount(), 0);
  for (int f = 0; f < d.familyCount(); ++f) {
    const float hz = d.familyFrequency(f, 0);
    ASSERT_GT(hz, 0.0f) << f;
    const float harmonic = 500.0f * std::round(hz / 500.0f);
    EXPECT_GE(harmonic, 1000.0f);
    EXPECT_LE(harmonic, 3000.0f);
    EXPECT_NEAR(hz, harmonic, 44100.0f / 4096.0f) << f;
  }
}

TEST(SpectralPvcDetector, ProcessBeforeAnyRunIsHarmless) {
  SpectralPvcDetector d;
  std::vector<float> in(1000, 0.5f), out(1000, 0.0f);
  const float* i = in.data();
  float* o = out.data();
  EXPECT_TRUE(d.process(1000, 1, &i, &o));
  EXPECT_EQ(out[999], 1.0f);
  d.collectTracks();
  d.buildCurve();
  EXPECT_EQ(d.pointCount(), 0);
}

TEST(SpectralPvcDetector, MoreSamplesThanTheRunAnnouncedAreIgnored) {
  SpectralPvcDetector d;
  const std::vector<float> signal = detect_test::synthesise(44100, 20000, harmonics(440.0, 6, 0.1), {});
  d.beginRun(44100, 1000.0f, 3000.0f, 5000);
  const float* in = signal.data();
  ASSERT_TRUE(d.process(20000, 1, &in, nullptr));
  EXPECT_EQ(d.analysedFrames(), d.frameCount());
  d.collectTracks();
  d.buildCurve();
  EXPECT_EQ(d.pointCount(), d.frameCount());
}

TEST(SpectralPvcDetector, ConfidenceDropsFramesAndIsIgnoredOutOfRange) {
  SpectralPvcDetector d;
  const detect_test::Wow wow{0.004, 1.0, 0.0};
  analyse(d, detect_test::synthesise(44100, 44100, harmonics(293.0, 10, 0.1), wow), 44100, 1000.0f, 3000.0f);
  ASSERT_GT(d.familyCount(), 0);
  // 44100 samples make 165 points but only 164 analysed frames, so no track
  // has the full weight 1.
  ASSERT_EQ(d.pointCount(), 165);
  ASSERT_EQ(d.analysedFrames(), 164);
  const int middle = d.pointCount() / 2;
  auto covered = [&] {
    int n = 0;
    for (int f = 0; f < d.familyCount(); ++f) n += d.familyFrequency(f, middle) > 0.0f ? 1 : 0;
    return n;
  };
  const int all = covered();
  ASSERT_GT(all, 0);
  bool moving = false;
  for (int i = 0; i < d.pointCount(); ++i) moving = moving || d.value(i) != 1.0f;
  EXPECT_TRUE(moving);

  d.setConfidence(1.5f);
  EXPECT_EQ(covered(), all);
  d.setConfidence(1.0f);
  EXPECT_EQ(covered(), 0);
  d.buildCurve();
  for (int i = 0; i < d.pointCount(); ++i) ASSERT_EQ(d.value(i), 1.0f);
  d.setConfidence(-0.5f);
  EXPECT_EQ(covered(), 0);
  d.setConfidence(0.0f);
  EXPECT_EQ(covered(), all);
  d.buildCurve();
  moving = false;
  for (int i = 0; i < d.pointCount(); ++i) moving = moving || d.value(i) != 1.0f;
  EXPECT_TRUE(moving);
}

// Frequencies are read at bin centres, fs / (8 N) apart, so a partial on a
// bin centre reads exactly; one between bins may flip between neighbours.
TEST(SpectralPvcDetector, SteadyHarmonicsGiveSpeedOne) {
  SpectralPvcDetector d;
  const double binWidth = 44100.0 / 4096.0;
  std::vector<float> signal = detect_test::synthesise(44100, 44100 * 2, harmonics(31 * binWidth, 9, 0.1), {});
  detect_test::addNoise(signal, 0.001);
  analyse(d, signal, 44100, 1000.0f, 3000.0f);
  ASSERT_GT(d.familyCount(), 0);
  for (int i = 0; i < d.pointCount(); ++i) ASSERT_FLOAT_EQ(d.value(i), 1.0f) << i;
}

TEST(SpectralPvcDetector, PartialsUnderAKnownCurveGiveACurveThatFollowsIt) {
  const int fs = 44100;
  const detect_test::Wow wow{0.004, 0.5, 0.0};
  std::vector<float> signal = detect_test::synthesise(fs, fs * 4, harmonics(293.0, 10, 0.1), wow);
  detect_test::addNoise(signal, 0.001);
  SpectralPvcDetector d;
  d.setParamValue(0, 0.75f);  // 2048-sample frames: bins 2.7 Hz apart
  analyse(d, signal, fs, 1000.0f, 3000.0f);
  ASSERT_GT(d.pointCount(), 150);
  // The detector gives speeds relative to their median; so does the truth here.
  std::vector<double> truth;
  for (int i = 0; i < d.pointCount(); ++i) truth.push_back(wow.speed(d.position(i) / double(fs)));
  std::vector<double> sorted = truth;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  double sum = 0.0;
  double flat = 0.0;
  for (int i = 0; i < d.pointCount(); ++i) {
    const double t = truth[static_cast<std::size_t>(i)] / median;
    sum += (d.value(i) - t) * (d.value(i) - t);
    flat += (t - 1.0) * (t - 1.0);
  }
  const double rms = std::sqrt(sum / d.pointCount());
  const double wowRms = std::sqrt(flat / d.pointCount());
  EXPECT_LT(rms, 0.25 * wowRms) << "RMS error " << rms << " against wow " << wowRms;
}

// With no reference the detector calls the median of the followed frequency
// 1.0; here 2.4 wow cycles starting at the wow's mean make the true speed's
// median, its mean and its first frame differ by far more than the detector's
// bin rounding, so a level taken from either of those would show.
TEST(SpectralPvcDetector, CurveLevelIsTheMedianSpeedOverTheRun) {
  const int fs = 44100;
  const detect_test::Wow wow{0.008, 0.3, 0.0};
  std::vector<float> signal = detect_test::tone(fs, fs * 8, 2500.0, 0.1, wow);
  detect_test::addNoise(signal, 0.001);
  SpectralPvcDetector d;
  d.setParamValue(0, 1.0f);  // 4096-sample frames: bins 1.35 Hz apart, 0.054 % at 2.5 kHz
  analyse(d, signal, fs, 2300.0f, 2700.0f);
  ASSERT_EQ(d.familyCount(), 1);
  std::vector<double> truth;
  std::vector<double> found;
  for (int i = 0; i < d.pointCount(); ++i) {
    if (d.familyFrequency(0, i) < 0.0f) continue;
    truth.push_back(wow.speed(d.position(i) / double(fs)));
    found.push_back(d.value(i));
  }
  ASSERT_GT(found.size(), static_cast<std::size_t>(d.pointCount() - 3)) << "one track the whole way";
  std::vector<double> sorted = truth;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  double mean = 0.0;
  for (double t : truth) mean += t / truth.size();
  const double tolerance = 0.0003;  // bin rounding of the median
  ASSERT_GT(median - mean, 3.0 * tolerance);
  ASSERT_GT(median - truth.front(), 3.0 * tolerance);
  double offset = 0.0;
  for (std::size_t i = 0; i < found.size(); ++i) offset += (found[i] - truth[i] / median) / found.size();
  EXPECT_LT(std::fabs(offset), tolerance) << "true median " << median << ", mean " << mean << ", first "
                                          << truth.front();
}

TEST(SpectralPvcDetector, OddBandsAndRatesAreHandled) {
  const std::vector<float> noise = [] {
    std::vector<float> v(30000, 0.0f);
    detect_test::addNoise(v, 0.3, 77u);
    return v;
  }();
  const struct {
    int fs;
    float low, high;
  } cases[] = {{44100, 0.0f, 0.0f}, {44100, 5000.0f, 1000.0f}, {44100, 0.0f, 1e6f}, {44100, -100.0f, 50.0f},
               {8000, 1000.0f, 3000.0f}, {192000, 1000.0f, 90000.0f}, {0, 1000.0f, 3000.0f}};
  for (float length : {0.0f, 1.0f}) {
    for (const auto& c : cases) {
      SpectralPvcDetector d;
      d.setParamValue(0, length);
      analyse(d, noise, c.fs, c.low, c.high);
      for (int i = 0; i < d.pointCount(); ++i) ASSERT_TRUE(std::isfinite(d.value(i)) && d.value(i) > 0.0f);
      if (c.fs <= 0) {
        EXPECT_EQ(d.pointCount(), 0);
      }
    }
  }
}
