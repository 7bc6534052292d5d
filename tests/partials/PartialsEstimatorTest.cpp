// The partials estimator on material with a known speed: notes with onsets
// and recurring pitches read back, a steady chord read flat, nothing trusted
// in silence or noise, and the same curve however the input is cut up.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "partials/PartialsEstimator.h"
#include "tests/partials/NoteSynth.h"

namespace {

using partials_test::Wow;

constexpr double kRate = 44100.0;

partials::Result estimate(const std::vector<float>& mono, const partials::Options& options = {},
                          std::size_t block = 4096) {
  partials::Estimator estimator(kRate, 1, options);
  for (std::size_t done = 0; done < mono.size(); done += block)
    estimator.feed(mono.data() + done, std::min(block, mono.size() - done));
  return estimator.finish();
}

// RMS and peak of the found curve against the truth, both taken relative to
// their means over the trusted points at least one second from either end.
struct Error {
  double rms = 0.0, peak = 0.0;
};
Error errorAgainst(const partials::Result& result, const Wow& wow) {
  std::vector<double> d;
  double last = static_cast<double>(result.curve.back().position);
  for (const auto& p : result.curve) {
    const double t = static_cast<double>(p.position) / kRate;
    if (p.confidence < partials::kTrustedConfidence || t < 1.0 || p.position > last - kRate) continue;
    d.push_back(std::log(p.ratio) - std::log(wow.speed(t)));
  }
  Error e;
  if (d.empty()) return {1e9, 1e9};
  double mean = 0.0;
  for (double v : d) mean += v / static_cast<double>(d.size());
  for (double v : d) {
    e.rms += (v - mean) * (v - mean) / static_cast<double>(d.size());
    e.peak = std::max(e.peak, std::fabs(v - mean) * 100.0);
  }
  e.rms = std::sqrt(e.rms) * 100.0;
  return e;
}

std::vector<float> chord(double seconds, const Wow& wow, std::initializer_list<double> frequencies) {
  std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double c = wow.content(static_cast<double>(i) / kRate);
    double v = 0.0;
    for (double f : frequencies) v += 0.1 * std::sin(2.0 * std::numbers::pi * f * c);
    out[i] = static_cast<float>(v);
  }
  return out;
}

TEST(PartialsEstimator, ReadsTheWowOfNotesWithOnsetsAndRecurringPitches) {
  partials_test::NoteSettings settings;
  settings.seconds = 10.0;
  const Wow wow;  // 0.3 % at 0.5 Hz and 0.1 % at 1.5 Hz: 0.22 % RMS
  const auto result = estimate(partials_test::renderNotes(settings, wow));
  EXPECT_GT(result.trustedShare, 0.8);
  const Error e = errorAgainst(result, wow);
  EXPECT_LT(e.rms, 0.05);
  EXPECT_LT(e.peak, 0.2);
  EXPECT_NEAR(result.wow.rmsPercent, 0.224, 0.03);
  // Each note's recurrences were taken for one frequency: far fewer units than tracks.
  EXPECT_LT(result.units * 3, result.tracks);

  // Without linking recurring notes the slow part drifts: the linking is
  // what holds it.
  partials::Options alone;
  alone.linkRecurring = false;
  EXPECT_GT(errorAgainst(estimate(partials_test::renderNotes(settings, wow), alone), wow).rms, e.rms);
}

TEST(PartialsEstimator, ReadsALongRecordingAsWellAsAShortOne) {
  // Past 30 s the first linking works stretch by stretch; the stretches
  // must come out as one curve, without a step where they meet.
  partials_test::NoteSettings settings;
  settings.seconds = 45.0;
  const Wow wow;
  const auto result = estimate(partials_test::renderNotes(settings, wow));
  const Error e = errorAgainst(result, wow);
  EXPECT_LT(e.rms, 0.05);
  EXPECT_LT(e.peak, 0.25);
}

TEST(PartialsEstimator, ReadsASteadyChordFlatAndAWowedOneExactly) {
  const Wow none{0.0, 0.5, 0.0, 1.5};
  const auto flat = estimate(chord(6.0, none, {220.0, 330.0, 440.0, 1250.0, 3100.0}));
  EXPECT_GT(flat.trustedShare, 0.99);  // all but the ends, where a window reaches past the input
  EXPECT_LT(flat.wow.rmsPercent, 0.002);
  EXPECT_LT(flat.wow.peakPercent, 0.01);

  // Steady tones are read exactly; the default smoothing (3 Hz) would keep
  // only 94 % of the 1.5 Hz part, so it is raised here to see the reading.
  const Wow wow;
  partials::Options sharp;
  sharp.smoothingHz = 10.0;
  const auto wowed = estimate(chord(6.0, wow, {220.0, 330.0, 440.0, 1250.0, 3100.0}), sharp);
  const Error e = errorAgainst(wowed, wow);
  EXPECT_LT(e.rms, 0.005);
  EXPECT_LT(e.peak, 0.02);
}

TEST(PartialsEstimator, TrustsNothingInSilenceOrNoise) {
  const auto silent = estimate(std::vector<float>(static_cast<std::size_t>(3 * kRate), 0.0f));
  EXPECT_EQ(silent.trustedShare, 0.0);
  EXPECT_EQ(silent.wow.points, 0u);
  ASSERT_FALSE(silent.curve.empty());
  for (const auto& p : silent.curve) EXPECT_EQ(p.ratio, 1.0);

  std::vector<float> noise(static_cast<std::size_t>(5 * kRate));
  std::mt19937 random(3);
  std::normal_distribution<float> gauss(0.0f, 0.1f);
  for (float& v : noise) v = gauss(random);
  const auto noisy = estimate(noise);
  EXPECT_LT(noisy.trustedShare, 0.02);
}

TEST(PartialsEstimator, GivesOnePointPer256FramesAndOneAtTheLastAtItsMedian) {
  const Wow wow;
  const auto samples = chord(3.0, wow, {440.0, 1000.0});
  const auto result = estimate(samples);
  const std::size_t n = samples.size();
  ASSERT_EQ(result.curve.size(), (n + 255) / 256 + ((n - 1) % 256 != 0 ? 1 : 0));
  for (std::size_t i = 0; i + 1 < result.curve.size(); ++i)
    EXPECT_EQ(result.curve[i].position, static_cast<std::int64_t>(i * 256));
  EXPECT_EQ(result.curve.back().position, static_cast<std::int64_t>(n - 1));
  std::vector<double> ratios;
  for (const auto& p : result.curve)
    if (p.confidence >= partials::kTrustedConfidence) ratios.push_back(p.ratio);
  ASSERT_FALSE(ratios.empty());
  std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2), ratios.end());
  EXPECT_NEAR(ratios[ratios.size() / 2], 1.0, 1e-9);
  // Fast where the recording ran fast: the speed at 0.5 s over that at
  // 1.5 s is the truth's, about 1.005.
  const auto at = [&](double t) { return result.curve[static_cast<std::size_t>(t * kRate / 256)].ratio; };
  EXPECT_NEAR(at(0.5) / at(1.5), wow.speed(0.5) / wow.speed(1.5), 2e-4);
}

TEST(PartialsEstimator, GivesTheSameCurveHoweverTheInputIsCut) {
  partials_test::NoteSettings settings;
  settings.seconds = 4.0;
  const auto samples = partials_test::renderNotes(settings, Wow{});
  const auto whole = estimate(samples, {}, samples.size());
  for (std::size_t block : {1u, 37u, 5000u}) {
    const auto cut = estimate(samples, {}, block);
    ASSERT_EQ(cut.curve.size(), whole.curve.size());
    for (std::size_t i = 0; i < whole.curve.size(); ++i) {
      EXPECT_EQ(cut.curve[i].ratio, whole.curve[i].ratio);
      EXPECT_EQ(cut.curve[i].confidence, whole.curve[i].confidence);
    }
  }
}

TEST(PartialsEstimator, AveragesChannelsAndKeepsToTheBand) {
  const Wow wow;
  // A wowed 1 kHz tone in both channels beside a steady 5 kHz tone in one.
  const auto tone = chord(4.0, wow, {1000.0});
  const auto steady = chord(4.0, Wow{0.0, 0.5, 0.0, 1.5}, {5000.0});
  std::vector<float> stereo(2 * tone.size());
  for (std::size_t i = 0; i < tone.size(); ++i) {
    stereo[2 * i] = tone[i];
    stereo[2 * i + 1] = tone[i] + steady[i];
  }
  partials::Options band;
  band.smoothingHz = 10.0;
  band.lowHz = 800.0;
  band.highHz = 1200.0;
  partials::Estimator estimator(kRate, 2, band);
  estimator.feed(stereo.data(), tone.size());
  const auto inBand = estimator.finish();
  EXPECT_LT(errorAgainst(inBand, wow).rms, 0.005);

  band.lowHz = 4000.0;
  band.highHz = 6000.0;
  partials::Estimator other(kRate, 2, band);
  other.feed(stereo.data(), tone.size());
  EXPECT_LT(other.finish().wow.rmsPercent, 0.002);
}

TEST(WowFigures, TakesRmsAndPeakAboutTheMeanOverTrustedPoints) {
  std::vector<partials::CurvePoint> curve;
  for (int i = 0; i < 1000; ++i)
    curve.push_back({i * 256, 1.01 * (1.0 + 0.002 * std::sin(2.0 * std::numbers::pi * i / 100.0)), 1.0});
  // Untrusted points far off count for nothing.
  curve.push_back({1000 * 256, 1.5, 0.1});
  const auto figures = partials::wowFigures(curve);
  EXPECT_EQ(figures.points, 1000u);
  EXPECT_NEAR(figures.rmsPercent, 0.2 / std::sqrt(2.0), 1e-4);
  EXPECT_NEAR(figures.peakPercent, 0.2, 1e-4);
  EXPECT_EQ(partials::wowFigures(curve, 0.0).points, 1001u);
  EXPECT_EQ(partials::wowFigures({}).points, 0u);
  EXPECT_EQ(partials::wowFigures(curve, 2.0).rmsPercent, 0.0);
}

}  // namespace
