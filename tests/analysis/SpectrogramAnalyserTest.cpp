#include "analysis/SpectrogramAnalyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/AnalysisWindows.h"

namespace {

const double kPi = 4.0 * std::atan(1.0);

// The configuration sequence the plug-in uses, with chosen sizes.
void configure(SpectrogramAnalyser& a, int rate, int n, int columns, int rows, int window) {
  a.freeColumns();
  a.setFftLength(n);
  a.setSampleRate(rate);
  a.setColumns(columns);
  a.setRows(rows);
  a.setWindow(window);
  a.allocateColumns();
  a.setZoom(1.0f);
}

// Feeds every sample the way the passes do and records the completed columns.
std::vector<int> feedAll(SpectrogramAnalyser& a, const std::vector<float>& samples) {
  std::vector<int> completed;
  for (float s : samples)
    while (a.feed(s)) completed.push_back(a.lastColumn());
  return completed;
}

std::vector<float> tone(int length, double frequency, double rate, double amplitude = 1.0) {
  std::vector<float> x(static_cast<std::size_t>(length));
  for (int m = 0; m < length; ++m)
    x[static_cast<std::size_t>(m)] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * m / rate));
  return x;
}

TEST(SpectrogramAnalyser, StartsWithBlackmanAndDefaultReferences) {
  SpectrogramAnalyser a;
  EXPECT_EQ(a.fftLength(), 1024);
  EXPECT_EQ(a.bins(), 512);
  EXPECT_EQ(a.windowType(), kWindowBlackman);
  EXPECT_TRUE(std::ranges::equal(a.window(), makeAnalysisWindow(kWindowBlackman, 1024, 512)));
  EXPECT_EQ(a.refAmplitude(), 1e-6f);
  EXPECT_EQ(a.refFrequency(), 11025.0f);
  EXPECT_EQ(a.maxFrequency(), 22050.0f);
  EXPECT_EQ(a.sampleRate(), 44100.0f);
  EXPECT_EQ(a.floorDb(), 20.0f);
  EXPECT_EQ(a.ceilingDb(), 120.0f);
  EXPECT_EQ(a.rows(), 1);
  EXPECT_EQ(a.columns(), 0);
  EXPECT_FALSE(a.buffersReady());
  EXPECT_TRUE(a.powers().empty());
}

TEST(SpectrogramAnalyser, RateAndLengthSetTheBandAndReference) {
  SpectrogramAnalyser a;
  a.setSampleRate(22050);
  EXPECT_EQ(a.maxFrequency(), 11025.0f);
  EXPECT_EQ(a.refFrequency(), 5512.5f);
  EXPECT_TRUE(a.setFftLength(256));
  EXPECT_EQ(a.bins(), 128);
  EXPECT_EQ(a.maxFrequency(), 11025.0f);
  EXPECT_EQ(a.window().size(), 256u);
  // Lengths the transform cannot take are refused and change nothing.
  EXPECT_FALSE(a.setFftLength(1000));
  EXPECT_FALSE(a.setFftLength(2));
  EXPECT_EQ(a.fftLength(), 256);
  EXPECT_EQ(a.window().size(), 256u);
}

TEST(SpectrogramAnalyser, WindowTypesAboveTheLastSelectHann) {
  SpectrogramAnalyser a;
  a.setWindow(3);
  EXPECT_EQ(a.windowType(), kWindowHann);
  EXPECT_TRUE(std::ranges::equal(a.window(), makeAnalysisWindow(kWindowHann, 1024, 512)));
  a.setWindow(0);
  EXPECT_EQ(a.windowType(), kWindowBoxcar);
  EXPECT_EQ(a.window()[7], 1.0f / 512.0f);
}

TEST(SpectrogramAnalyser, PrepareLaysOutFramesCutAtBothEnds) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 5, 32, kWindowHann);
  ASSERT_TRUE(a.prepare(0, 1000, 1000));
  EXPECT_EQ(a.span(), 1000.0f);
  // Spacing 250, frames centred on 0, 250, ... 1000.
  const int starts[] = {0, 218, 468, 718, 968};
  const int ends[] = {32, 282, 532, 782, 1000};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(a.frameStart(i), starts[i]) << i;
    EXPECT_EQ(a.frameEnd(i), ends[i]) << i;
  }
  // The first frame fills its back half; the last one its front half.
  EXPECT_EQ(a.fillIndex(0), 32);
  EXPECT_EQ(a.fillTarget(0), 64);
  EXPECT_EQ(a.fillIndex(2), 0);
  EXPECT_EQ(a.fillTarget(2), 64);
  EXPECT_EQ(a.fillIndex(4), 0);
  EXPECT_EQ(a.fillTarget(4), 32);
}

TEST(SpectrogramAnalyser, PrepareRefusesSpacingThatIsNotPositive) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 5, 32, kWindowHann);
  EXPECT_FALSE(a.prepare(100, 100, 1000));
  EXPECT_FALSE(a.prepare(200, 100, 1000));
  configure(a, 8000, 64, 1, 32, kWindowHann);
  EXPECT_FALSE(a.prepare(0, 1000, 1000));
}

TEST(SpectrogramAnalyser, PrepareRefusesBuffersOfOtherSizes) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 5, 32, kWindowHann);
  a.setColumns(50);  // more columns than allocated
  EXPECT_FALSE(a.prepare(0, 1000, 1000));
  EXPECT_TRUE(feedAll(a, tone(1000, 500, 8000)).empty());
  EXPECT_EQ(a.samplesFed(), 1000);
  EXPECT_EQ(a.levelAt(3, 10), 0.0f);
  EXPECT_TRUE(a.powers().empty());
  a.allocateColumns();
  EXPECT_TRUE(a.prepare(0, 1000, 1000));

  a.freeColumns();
  EXPECT_FALSE(a.buffersReady());
  EXPECT_FALSE(a.prepare(0, 1000, 1000));
}

TEST(SpectrogramAnalyser, CutFirstFrameIsZeroAtItsFront) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 5, 32, kWindowBoxcar);
  ASSERT_TRUE(a.prepare(0, 1000, 1000));
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(a.feed(1.0f));
  const std::span<const float> f = a.frame(0);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(f[static_cast<std::size_t>(i)], 0.0f) << i;
  for (int i = 32; i < 42; ++i) EXPECT_EQ(f[static_cast<std::size_t>(i)], 1.0f / 32.0f) << i;
  EXPECT_EQ(a.fillIndex(0), 42);
  // It completes after its last sample, 31, with 32 ones: DC power (32/32)^2.
  std::vector<int> done;
  for (int i = 10; i < 32; ++i)
    while (a.feed(1.0f)) done.push_back(a.lastColumn());
  ASSERT_EQ(done, std::vector<int>{0});
  EXPECT_FLOAT_EQ(a.powers().row(0)[0], 1.0f);
}

TEST(SpectrogramAnalyser, FeedCompletesEachColumnOnceAndOffersTheSampleOnward) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 40, 32, kWindowBlackman);  // frames overlap heavily
  ASSERT_TRUE(a.prepare(0, 390, 390));
  const std::vector<int> done = feedAll(a, tone(390, 700, 8000));
  std::vector<int> want(40);
  for (int i = 0; i < 40; ++i) want[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(done, want);
  EXPECT_EQ(a.samplesFed(), 390);
  EXPECT_EQ(a.nextColumn(), 40);
  // A completing sample was stored once in every frame that holds it.
  for (int i = 0; i < 40; ++i) EXPECT_EQ(a.fillIndex(i), a.fillTarget(i)) << i;
  // Nothing more completes however long the caller goes on feeding.
  EXPECT_TRUE(feedAll(a, tone(500, 700, 8000)).empty());
}

TEST(SpectrogramAnalyser, FramesWhollyBeforeTheFirstSampleDoNotBlockTheRest) {
  // Laid out from a negative start, the first two frames end before sample
  // 0 and can never fill; the later columns must still complete.
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 5, 32, kWindowHann);
  ASSERT_TRUE(a.prepare(-500, 500, 1000));
  EXPECT_LT(a.frameEnd(0), 0);
  EXPECT_LT(a.frameEnd(1), 0);
  EXPECT_EQ(feedAll(a, tone(1000, 700, 8000)), (std::vector<int>{2, 3, 4}));
}

TEST(SpectrogramAnalyser, ToneLandsInItsBinAndRow) {
  SpectrogramAnalyser a;
  configure(a, 8000, 256, 20, 128, kWindowBlackman);
  const int length = 8000;
  ASSERT_TRUE(a.prepare(0, length, length));
  ASSERT_EQ(feedAll(a, tone(length, 1000.0, 8000.0)).size(), 20u);

  const int column = 10;
  const std::span<const float> p = a.powers().row(column);
  ASSERT_EQ(p.size(), 128u);
  EXPECT_EQ(std::max_element(p.begin(), p.end()) - p.begin(), 32);
  // Blackman's coefficients sum to 0.42 (N - 1); with the division by N a
  // unit sine shows amplitude 0.21 (N - 1) / N in its bin.
  const double amplitude = 0.21 * 255.0 / 256.0;
  const float want = static_cast<float>(20.0 * std::log10(amplitude / 1e-6));
  EXPECT_NEAR(a.frame(column)[32], want, 0.01f);
  EXPECT_NEAR(p[32], amplitude * amplitude, 1e-5);

  const int row = a.rowForFrequency(1.0f, 1000.0f);
  EXPECT_EQ(row, 96);
  EXPECT_EQ(a.binOfRow(row), 32);
  EXPECT_NEAR(a.frequencyOfRow(row), 1000.0f, 1e-3f);
  EXPECT_NEAR(a.levelAt(column, row), (want - 20.0f), 0.01f);  // floor 20, ceiling 120
  // Far from the tone the Blackman sidelobes are below the floor.
  EXPECT_EQ(a.levelAt(column, 40), 0.0f);
}

TEST(SpectrogramAnalyser, SilenceShowsZeroDecibels) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 4, 32, kWindowHann);
  a.setRange(60);
  EXPECT_FLOAT_EQ(a.refAmplitude(), 1e-3f);
  ASSERT_TRUE(a.prepare(0, 300, 300));
  feedAll(a, std::vector<float>(300, 0.0f));
  for (int k = 0; k < 32; ++k) EXPECT_EQ(a.frame(2)[static_cast<std::size_t>(k)], 0.0f);
  // With the boxcar's 1/B a sine of amplitude A shows A in its bin: just
  // below the reference it stays at 0 dB, just above it rises.
  for (double amp : {0.999e-3, 1.1e-3}) {
    configure(a, 8000, 64, 4, 32, kWindowBoxcar);
    a.setRange(60);
    ASSERT_TRUE(a.prepare(0, 300, 300));
    feedAll(a, tone(300, 8000.0 * 4 / 64, 8000.0, amp));
    if (amp < 1e-3)
      EXPECT_EQ(a.frame(2)[4], 0.0f);
    else
      EXPECT_NEAR(a.frame(2)[4], 20.0 * std::log10(1.1), 0.01);
  }
}

TEST(SpectrogramAnalyser, LevelPercentMapsFloorToCeiling) {
  SpectrogramAnalyser a;
  EXPECT_EQ(a.levelPercent(0.0f), 0.0f);
  EXPECT_EQ(a.levelPercent(120.0f), 100.0f);
  EXPECT_EQ(a.levelPercent(70.0f), 50.0f);
  EXPECT_EQ(a.levelPercent(500.0f), 100.0f);
  EXPECT_EQ(a.levelPercent(std::nanf("")), 0.0f);
}

TEST(SpectrogramAnalyser, FloorAndCeilingStayInsideTheRange) {
  SpectrogramAnalyser a;
  a.setCeiling(100.0f);
  a.setFloor(150.0f);
  EXPECT_EQ(a.floorDb(), 119.0f);
  EXPECT_EQ(a.ceilingDb(), 120.0f);
  a.setCeiling(50.0f);
  EXPECT_EQ(a.ceilingDb(), 50.0f);
  EXPECT_EQ(a.floorDb(), 49.0f);
  a.setCeiling(500.0f);
  EXPECT_EQ(a.ceilingDb(), 120.0f);
  a.setCeiling(-5.0f);
  EXPECT_EQ(a.ceilingDb(), 1.0f);
  EXPECT_EQ(a.floorDb(), 0.0f);
}

TEST(SpectrogramAnalyser, FrequencyRangeZoomsOntoTheBand) {
  SpectrogramAnalyser a;
  configure(a, 44100, 1024, 668, 259, kWindowBlackman);
  a.setFrequencyRange(3000.0f, 1000.0f);
  EXPECT_EQ(a.lowBin(), 23.0f);
  const float shown = 46.0f * 44100.0f / 1024.0f;  // bins 23 .. 69
  EXPECT_FLOAT_EQ(a.zoom(), 22050.0f / shown);
  EXPECT_FLOAT_EQ(a.refFrequency(), 1000.0f + shown / 2.0f);
  EXPECT_NEAR(a.bottomFrequency(), 23.0f * 44100.0f / 1024.0f, 1e-2f);
  EXPECT_NEAR(a.topFrequency(), 69.0f * 44100.0f / 1024.0f, 0.5f);
  // Ratio 1.0 is drawn in the middle of the band, and a row maps back to
  // the ratio it was drawn for.
  const int middle = a.rowForRatio(1.0f);
  EXPECT_NEAR(middle, 259 / 2, 2);
  EXPECT_NEAR(a.ratioForFrequency(a.frequencyOfRow(middle)), 1.0f, 0.01f);
  EXPECT_LT(a.rowForRatio(1.2f), middle);
  EXPECT_GT(a.rowForRatio(0.8f), middle);

  a.setZoom(1.0f);
  EXPECT_EQ(a.lowBin(), 0.0f);
  EXPECT_EQ(a.refFrequency(), 11025.0f);
  // 11025 Hz is bin 256, row position 129.5 from the bottom: a rounding
  // tie that single precision may settle either way.
  EXPECT_NEAR(a.rowForRatio(1.0f), 129.5, 0.5);
}

TEST(SpectrogramAnalyser, EmptyFrequencyRangeShowsOneBin) {
  SpectrogramAnalyser a;
  configure(a, 44100, 1024, 668, 259, kWindowBlackman);
  a.setFrequencyRange(2000.0f, 2000.0f);
  EXPECT_TRUE(std::isfinite(a.zoom()));
  EXPECT_GT(a.binsPerRow(), 0.0f);
  EXPECT_GE(a.rowForRatio(1.0f), 0);
  EXPECT_LE(a.rowForRatio(1.0f), 259);
}

TEST(SpectrogramAnalyser, RowForRatioWithoutRowsStaysAnInteger) {
  SpectrogramAnalyser a;  // binsPerRow is 0 until a zoom is set
  EXPECT_EQ(a.rowForRatio(std::nanf("")), a.rows());
  const int r = a.rowForRatio(1.0f);  // huge, but defined
  EXPECT_LE(r, 0);
  EXPECT_EQ(a.ratioForFrequency(500.0f), 500.0f / 11025.0f);
  a.setReferenceFrequency(0.0f);
  EXPECT_EQ(a.ratioForFrequency(500.0f), 0.0f);
}

TEST(SpectrogramAnalyser, SampleOfColumnAndColumnSpanClamp) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 5, 32, kWindowHann);
  EXPECT_EQ(a.sampleOfColumn(2), 0);  // not laid out yet: all zero
  ASSERT_TRUE(a.prepare(0, 1000, 1000));
  EXPECT_EQ(a.sampleOfColumn(0), 16);
  EXPECT_EQ(a.sampleOfColumn(2), 500);
  EXPECT_EQ(a.sampleOfColumn(4), 984);
  EXPECT_EQ(a.sampleOfColumn(-3), 1);
  EXPECT_EQ(a.sampleOfColumn(5), 998);
  ASSERT_TRUE(a.prepare(0, 1000, 999));  // odd frame length rounds half up
  EXPECT_EQ(a.frameEnd(4) - a.frameStart(4), 31);
  EXPECT_EQ(a.sampleOfColumn(4), a.frameStart(4) + 16);

  EXPECT_EQ(a.columnSpan(1, 3), 2);
  EXPECT_EQ(a.columnSpan(-4, 3), 3);
  EXPECT_EQ(a.columnSpan(2, 40), 2);
  EXPECT_EQ(a.columnSpan(3, 1), 0);
}

TEST(SpectrogramAnalyser, TopRowRepeatsTheTopBinInsteadOfTheNyquistValue) {
  // More rows than bins: the top rows interpolate towards index `bins`,
  // which holds the raw Nyquist value after the transform.
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 4, 64, kWindowBlackman);
  ASSERT_LT(a.binsPerRow(), 1.0f);
  ASSERT_TRUE(a.prepare(0, 300, 300));
  std::vector<float> alternating(300);
  for (std::size_t m = 0; m < alternating.size(); ++m) alternating[m] = (m % 2) ? -1.0f : 1.0f;
  feedAll(a, alternating);
  const std::span<const float> f = a.frame(2);
  ASSERT_GT(f[31], 60.0f);  // the Nyquist tone leaks strongly into bin 31
  ASSERT_LT(f[32], 1.0f);   // raw value, 0.42: as a "level" it would be near 0 dB
  const float top = a.levelPercent(f[31]);
  EXPECT_EQ(a.levelAt(2, 0), top);
  EXPECT_EQ(a.levelAt(2, 1), top);
}

TEST(SpectrogramAnalyser, LevelsOutsideTheGridAreZero) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 4, 32, kWindowHann);
  ASSERT_TRUE(a.prepare(0, 300, 300));
  feedAll(a, tone(300, 1000, 8000));
  EXPECT_EQ(a.levelAt(4, 10), 0.0f);
  EXPECT_EQ(a.levelAt(-1, 10), 0.0f);
  EXPECT_EQ(a.levelAt(1, 32), 0.0f);
  EXPECT_EQ(a.levelAt(1, -1), 0.0f);
  EXPECT_EQ(a.levelAtLog(4, 10), 0.0f);
  EXPECT_EQ(a.levelAtLog(1, 32), 0.0f);
}

TEST(SpectrogramAnalyser, EveryCellIsAPercentageEvenForWildInput) {
  SpectrogramAnalyser a;
  configure(a, 8000, 64, 6, 100, kWindowBlackman);
  ASSERT_TRUE(a.prepare(0, 400, 400));
  std::vector<float> x = tone(400, 1500, 8000, 1e6);
  x[100] = std::nanf("");
  x[200] = INFINITY;
  feedAll(a, x);
  for (float f : {0.0f, 0.0001f}) {
    if (f > 0.0f) a.setFrequencyRange(-500.0f, 9000.0f);  // beyond both ends of the band
    for (int c = 0; c < 6; ++c)
      for (int y = 0; y < 100; ++y) {
        for (float v : {a.levelAt(c, y), a.levelAtLog(c, y)}) {
          EXPECT_GE(v, 0.0f);
          EXPECT_LE(v, 100.0f);
        }
      }
  }
}

TEST(SpectrogramAnalyser, LogScaleShowsToneAtItsFrequency) {
  SpectrogramAnalyser a;
  configure(a, 8000, 256, 20, 128, kWindowBlackman);
  ASSERT_TRUE(a.prepare(0, 8000, 8000));
  feedAll(a, tone(8000, 1000.0, 8000.0));
  int best = 0;
  for (int y = 0; y < 128; ++y)
    if (a.levelAtLog(10, y) > a.levelAtLog(10, best)) best = y;
  EXPECT_EQ(a.binWidth(), 31.25f);
  // Row r of the log scale shows 1 + 2^(r / t) Hz with t rows per octave
  // up to the top frequency of 4000 Hz.
  const double t = 128.0 / std::log2(4000.0 - 1.0);
  const double shown = 1.0 + std::pow(2.0, (128 - best) / t);
  EXPECT_NEAR(shown, 1000.0, 60.0);
  EXPECT_NEAR(a.levelAtLog(10, best), a.levelAt(10, 96), 0.01f);
}

}  // namespace
