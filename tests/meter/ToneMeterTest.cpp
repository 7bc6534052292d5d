#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "meter/Readings.h"
#include "meter/Weighting.h"
#include "tests/meter/FmTone.h"

namespace {

constexpr double kRate = 44100.0;
constexpr double kTone = 3150.0;

meter::MeterReading readFm(std::vector<SpeedSine> sines, double seconds, double rate = kRate,
                           double toneHz = kTone, double nominal = kTone) {
  return meter::readTone(demodulate(fmTone(toneHz, std::move(sines), seconds, rate), rate, nominal), "test.wav");
}

double db(double ratio) { return 20.0 * std::log10(ratio); }

TEST(ToneMeter, SinusoidalSpeedReadsAsTheWeightingSays) {
  struct Case {
    double hz;
    double tableDb;  // the table; at 0.2 Hz, which it lacks, the transfer function
    double seconds;
  };
  const double depth = 0.1;
  for (const Case& c : {Case{0.2, meter::weightingDb(0.2), 26.0}, Case{0.8, -6.0, 12.0}, Case{4.0, 0.0, 9.0},
                        Case{20.0, -5.9, 9.0}, Case{100.0, -17.3, 9.0}}) {
    const meter::MeterReading r = readFm({{c.hz, depth}}, c.seconds);
    const double reads = db(r.analysis.figures.weighted.peakPercent / depth);
    std::printf("FM at %g Hz: weighted peak reads %.2f dB; transfer function %.2f dB, table %.2f dB\n", c.hz, reads,
                meter::weightingDb(c.hz), c.tableDb);
    // The meter follows its transfer function closely (a sine's two-sigma
    // value is 0.03 dB below its amplitude, and at 100 Hz the phase step and
    // the digital filter take 0.09 dB more), and that lies up to 0.6 dB from
    // the table (see the weighting's own test).
    EXPECT_NEAR(reads, meter::weightingDb(c.hz), 0.15) << c.hz << " Hz";
    EXPECT_NEAR(reads, c.tableDb, 0.65) << c.hz << " Hz";
    EXPECT_GE(r.analysis.figures.seconds, meter::kMinimumSeconds);
    // A sine's RMS is its peak over root two, weighted or not.
    EXPECT_NEAR(r.analysis.figures.weighted.rmsPercent * std::sqrt(2.0) / r.analysis.figures.weighted.peakPercent,
                1.0, 0.02);
    // Over a whole number of cycles the mean would be exact; this is near.
    EXPECT_NEAR(r.speedOffsetPercent(), 0.0, 0.005) << c.hz << " Hz";
  }
}

TEST(ToneMeter, UnweightedRmsIsTheDeviationsOwn) {
  const meter::MeterReading r = readFm({{10.0, 0.2}}, 8.0);
  EXPECT_NEAR(r.analysis.figures.unweighted.rmsPercent, 0.2 / std::sqrt(2.0), 0.003);
  EXPECT_NEAR(r.analysis.figures.unweighted.peakPercent, 0.2, 0.004);
}

TEST(ToneMeter, ReadsTheConstantSpeedOffset) {
  const meter::MeterReading fast = readFm({}, 8.0, kRate, kTone * 1.01);
  EXPECT_NEAR(fast.speedOffsetPercent(), 1.0, 0.001);
  EXPECT_EQ(meter::speedOffsetText(fast.speedOffsetPercent()), "1.00 % fast");
  EXPECT_NEAR(fast.toneHz, 3181.5, 0.01);
  // NAB's 3000 Hz tone played 0.87 % slow, at 48 kHz, wow and all.
  const meter::MeterReading slow = readFm({{1.0, 0.1}}, 8.0, 48000.0, 3000.0 * 0.9913, 3000.0);
  EXPECT_EQ(meter::speedOffsetText(slow.speedOffsetPercent()), "0.87 % slow");
  EXPECT_TRUE(fast.notes.empty());
  // A 3000 Hz tone against the default 3150 Hz: read, with a hint.
  const meter::MeterReading nab = readFm({}, 6.0, kRate, 3000.0, kTone);
  EXPECT_EQ(meter::speedOffsetText(nab.speedOffsetPercent()), "4.76 % slow");
  ASSERT_EQ(nab.notes.size(), 1u);
  EXPECT_NE(nab.notes[0].find("--ref"), std::string::npos);
  // A constant offset is no wow.
  EXPECT_LT(fast.analysis.figures.weighted.peakPercent, 0.001);
}

TEST(ToneMeter, SplitsWowFromFlutter) {
  const meter::MeterReading r = readFm({{1.0, 0.2}, {30.0, 0.05}}, 10.0);
  const meter::FlutterFigures& f = r.analysis.figures;
  const double wowRms = 0.2 / std::sqrt(2.0) * std::pow(10.0, meter::weightingDb(1.0) / 20.0);
  const double flutterRms = 0.05 / std::sqrt(2.0) * std::pow(10.0, meter::weightingDb(30.0) / 20.0);
  EXPECT_NEAR(f.wow.rmsPercent / wowRms, 1.0, 0.03);
  EXPECT_NEAR(f.flutter.rmsPercent / flutterRms, 1.0, 0.03);
  EXPECT_NEAR(f.weighted.rmsPercent, std::hypot(wowRms, flutterRms), 0.02 * f.weighted.rmsPercent);
  // Each alone: nothing of the other part.
  const meter::MeterReading wowOnly = readFm({{1.0, 0.2}}, 10.0);
  EXPECT_LT(wowOnly.analysis.figures.flutter.rmsPercent, 0.01 * wowOnly.analysis.figures.wow.rmsPercent);
  const meter::MeterReading flutterOnly = readFm({{30.0, 0.05}}, 10.0);
  EXPECT_LT(flutterOnly.analysis.figures.wow.rmsPercent, 0.01 * flutterOnly.analysis.figures.flutter.rmsPercent);
}

TEST(ToneMeter, ASteadyToneReadsNearZeroEvenInNoise) {
  const meter::MeterReading clean = readFm({}, 8.0);
  EXPECT_LT(clean.analysis.figures.weighted.peakPercent, 1e-4);
  EXPECT_LT(clean.analysis.figures.unweighted.peakPercent, 1e-4);
  std::vector<float> x = fmTone(kTone, {}, 8.0, kRate);
  std::mt19937 random(3);
  std::normal_distribution<float> noise(0.0f, 0.005f);  // 37 dB below the tone
  for (float& v : x) v += noise(random);
  const meter::MeterReading r = meter::readTone(demodulate(x, kRate, kTone), "steady.wav");
  // The noise's phase jitter reads as a little flutter, far below any tape's.
  EXPECT_LT(r.analysis.figures.weighted.peakPercent, 0.01);
  EXPECT_LT(r.analysis.figures.unweighted.rmsPercent, 0.01);
  EXPECT_GT(r.toneShare, 0.9);
  EXPECT_TRUE(r.notes.empty());
}

TEST(ToneMeter, TellsMusicFromATone) {
  std::vector<float> chord(static_cast<std::size_t>(4 * kRate));
  for (std::size_t i = 0; i < chord.size(); ++i) {
    const double t = i / kRate;
    chord[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 440 * t) + 0.2 * std::sin(2 * std::numbers::pi * 659 * t) +
                                  0.1 * std::sin(2 * std::numbers::pi * 1320 * t) + 0.02 * std::sin(2 * std::numbers::pi * 3100 * t));
  }
  EXPECT_LT(demodulate(chord, kRate, kTone).toneShare(), 0.05);
  EXPECT_GT(demodulate(fmTone(kTone * 0.97, {{4.0, 0.3}}, 4.0, kRate), kRate, kTone).toneShare(), 0.95);
}

TEST(ToneMeter, LeavesOutWhereTheToneFades) {
  std::vector<float> x = fmTone(kTone, {{4.0, 0.1}}, 12.0, kRate);
  // Half a second of silence in the middle: its "frequency" is noise.
  std::fill(x.begin() + static_cast<long>(6 * kRate), x.begin() + static_cast<long>(6.5 * kRate), 0.0f);
  const meter::MeterReading r = meter::readTone(demodulate(x, kRate, kTone), "gap.wav");
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_NE(r.notes[0].find("fades"), std::string::npos);
  // The jumps at the gap's edges pass through the filters, but the
  // two-sigma peak, as meant, shrugs them off.
  EXPECT_NEAR(r.analysis.figures.weighted.peakPercent, 0.1, 0.02);
}

TEST(ToneMeter, ATestToneAfterALongSilenceReadsAsTheToneAlone) {
  // Most of the file silent, and the tone 1 % fast: no jump from the
  // nominal frequency to the tone's rings through the filters.
  std::vector<float> x(static_cast<std::size_t>(10 * kRate), 0.0f);
  const std::vector<float> tone = fmTone(kTone * 1.01, {{4.0, 0.1}}, 10.0, kRate);
  x.insert(x.end(), tone.begin(), tone.end());
  const meter::MeterReading r = meter::readTone(demodulate(x, kRate, kTone), "late.wav");
  EXPECT_NEAR(r.analysis.figures.weighted.peakPercent, 0.1, 0.005);
  EXPECT_NEAR(r.speedOffsetPercent(), 1.0, 0.002);
  // Measured after the filters settle on the tone.
  EXPECT_NEAR(r.analysis.figures.seconds, 10.0 - meter::kSettleSeconds, 0.1);
}

TEST(ToneMeter, BlocksOfAnySizeGiveTheSameCurve) {
  const std::vector<float> x = fmTone(kTone, {{4.0, 0.1}}, 1.0, kRate);
  const meter::ToneDemodulator whole = demodulate(x, kRate, kTone, x.size());
  const meter::ToneDemodulator bits = demodulate(x, kRate, kTone, 37);
  EXPECT_EQ(whole.frequencies(), bits.frequencies());
  EXPECT_FALSE(whole.frequencies().empty());
}

TEST(CurveMeter, ReadsAnUnevenCurveAsItsEvenEquivalent) {
  // A 4 Hz wow as an estimator gives it: a point every 256 frames and one
  // at the last frame.
  std::vector<meter::CurveSample> points;
  const double depth = 0.2;
  for (std::int64_t frame = 0; frame < 441000; frame += 256)
    points.push_back({frame / kRate, 1.0 + depth / 100.0 * std::sin(2 * std::numbers::pi * 4.0 * frame / kRate), true});
  points.push_back({440999 / kRate, 1.0, true});
  const meter::MeterReading r = meter::readCurve(points, "music.wav");
  EXPECT_FALSE(r.fromTone);
  EXPECT_NEAR(r.analysis.figures.weighted.peakPercent, depth, 0.01);
  // 4 Hz lies below the split, mostly in the wow: fourth-order Butterworth.
  EXPECT_NEAR(r.analysis.figures.wow.peakPercent, depth / std::sqrt(1.0 + std::pow(4.0 / 6.0, 8.0)), 0.005);
  // Untrusted points stay out of the figures: a wild stretch changes nothing.
  for (std::size_t i = 1000; i < 1100; ++i) {
    points[i].ratio = 1.05;
    points[i].trusted = false;
  }
  const meter::MeterReading wild = meter::readCurve(points, "music.wav");
  EXPECT_LT(wild.trustedShare, 0.95);
  EXPECT_NEAR(wild.analysis.figures.unweighted.rmsPercent, r.analysis.figures.unweighted.rmsPercent,
              0.1 * r.analysis.figures.unweighted.rmsPercent);
}

}  // namespace
