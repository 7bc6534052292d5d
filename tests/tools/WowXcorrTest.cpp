// wowxcorr: a known speed curve applied to noise or tones is read back, a
// file against itself shows no wow, a shift and a constant speed change come
// out as such, and material that does not match is refused, not measured.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "tools/eval/wowapply/SincInterpolator.h"
#include "tools/eval/wowapply/WowRender.h"
#include "tools/eval/wowxcorr/WindowCorrelator.h"
#include "tools/eval/wowxcorr/WowXcorr.h"
#include "tools/eval/wowgen/SpeedCurve.h"

namespace {

constexpr double kRate = 22050.0;
constexpr std::int64_t kPad = 4000;

std::vector<float> noise(std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> gauss(0.0f, 0.2f);
  std::vector<float> x(frames);
  for (float& v : x) v = gauss(random);
  return x;
}

// Notes of a quarter second, each with three harmonics, from a repeating
// sequence of eight: music-like material without noise. (Tones held
// unchanged for the whole file are lags modulo their period and cannot be
// read by correlation at all.)
std::vector<float> melody(std::size_t frames) {
  const double notes[] = {262.0, 330.0, 392.0, 294.0, 349.0, 440.0, 247.0, 523.0};
  std::vector<float> x(frames);
  double phase = 0.0;
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / kRate;
    const auto note = static_cast<std::size_t>(t / 0.25);
    const double f = notes[note % 8] * (1.0 + 0.01 * static_cast<double>(note / 8 % 3));
    phase += 2 * std::numbers::pi * f / kRate;
    const double envelope = std::exp(-6.0 * (t - 0.25 * static_cast<double>(note)));
    x[n] = static_cast<float>(envelope * (0.3 * std::sin(phase) + 0.15 * std::sin(2 * phase) + 0.08 * std::sin(3 * phase)));
  }
  return x;
}

// The material played along speed: what a recording with that wow holds.
// Returns it with the clean excerpt (the material without its pads).
std::pair<std::vector<float>, std::vector<float>> played(std::vector<float> material, const wowgen::SpeedCurve& speed) {
  wowapply::Excerpt e;
  e.sampleRate = kRate;
  e.pad = kPad;
  e.frames = static_cast<std::int64_t>(material.size()) - 2 * kPad;
  std::vector<float> clean(material.begin() + kPad, material.end() - kPad);
  e.channels = {std::move(material)};
  return {wowapply::renderWowed(e, speed, {})[0], clean};
}

wowxcorr::XcorrResult measure(const std::vector<float>& test, const std::vector<float>& clean) {
  wowxcorr::XcorrResult result;
  std::string problem;
  EXPECT_TRUE(wowxcorr::measureWow(test, clean, kRate, {}, result, problem)) << problem;
  return result;
}

// The largest difference in % between the measured speeds and the true ones.
double worstAgainst(const wowxcorr::XcorrResult& r, const wowgen::SpeedCurve& speed, double edge) {
  double worst = 0.0;
  for (const auto& p : r.curve)
    if (p.frame > edge * kRate && p.frame < r.curve.back().frame - edge * kRate)
      worst = std::max(worst, std::fabs(p.ratio - speed.ratio(p.frame / kRate)) * 100.0);
  return worst;
}

TEST(WindowCorrelator, PlacesAFractionalDelayOfNoiseBetweenSamples) {
  const auto x = noise(6000, 3);
  wowxcorr::WindowCorrelator correlator(2048, 40, kRate, 60.0, 9000.0);
  wowapply::SincInterpolator sinc;
  for (double delay : {-7.25, 0.0, 0.37, 12.9}) {
    // ref[n] = x(n - delay): x's window at 1000 matches ref at lag +delay.
    std::vector<float> ref(2048 + 80);
    for (std::size_t n = 0; n < ref.size(); ++n) ref[n] = static_cast<float>(sinc.valueAt(x, 1000.0 - 40 + n - delay));
    for (bool same : {false, true}) {
      const auto r = correlator.measure(x.data() + 1000, ref.data(), same);
      ASSERT_TRUE(r.found);
      // Against a longer stretch the content pulls the peak a little; under
      // the same taper it does not.
      EXPECT_NEAR(r.lag, delay, same ? 0.002 : 0.05) << delay << (same ? " same window" : "");
      EXPECT_GT(r.quality, 0.5);
    }
  }
  // Unrelated noise has no peak worth trusting.
  const auto other = noise(2048 + 80, 4);
  EXPECT_LT(correlator.measure(x.data() + 1000, other.data()).quality, 0.1);
}

TEST(WowXcorr, ReadsBackTheWowAppliedToNoiseAndToNotes) {
  const wowgen::SpeedCurve speed({{0.5, 0.003, 0.0}, {1.5, 0.001, 0.5}}, 0.0005, 12.0);
  const double trueRms = std::sqrt(0.003 * 0.003 / 2 + 0.001 * 0.001 / 2) * 100.0;  // 0.2236 %, drift aside
  for (bool useTones : {false, true}) {
    const std::size_t frames = static_cast<std::size_t>(12 * kRate) + 2 * kPad;
    const auto [wowed, clean] = played(useTones ? melody(frames) : noise(frames, 1), speed);
    const auto r = measure(wowed, clean);
    // Held harmonic notes match themselves a period away and leave fewer
    // clean windows than noise: a looser bound there.
    const double tolerance = useTones ? 0.02 : 0.005;
    EXPECT_NEAR(r.rmsPercent, trueRms, tolerance) << (useTones ? "notes" : "noise");
    // The true curve's peak about its mean over the points measured.
    double sum = 0.0, peak = 0.0;
    for (const auto& p : r.curve) sum += speed.ratio(p.frame / kRate);
    for (const auto& p : r.curve)
      if (p.frame > 0.5 * kRate && p.frame < 11.5 * kRate)
        peak = std::max(peak, std::fabs(speed.ratio(p.frame / kRate) - sum / r.curve.size()) * 100.0);
    EXPECT_NEAR(r.peakPercent, peak, 2 * tolerance);
    // The mean speed over 11 s: the drift's half and what the sines leave.
    EXPECT_NEAR(r.offsetPercent, 0.025, useTones ? 0.04 : 0.005);
    EXPECT_LT(worstAgainst(r, speed, 0.5), useTones ? 0.1 : 0.01);
    EXPECT_GT(r.trustedShare, 0.9);
  }
}

TEST(WowXcorr, FindsNoWowInAFileAgainstItselfAndSeparatesShiftAndSpeedChange) {
  const std::size_t frames = static_cast<std::size_t>(8 * kRate) + 2 * kPad;
  const auto material = noise(frames, 2);
  const std::vector<float> clean(material.begin() + kPad, material.end() - kPad);
  auto r = measure(clean, clean);
  EXPECT_LT(r.rmsPercent, 0.001);
  EXPECT_NEAR(r.offsetPercent, 0.0, 0.001);
  EXPECT_NEAR(r.shiftFrames, 0.0, 0.5);
  // Played 0.1 % fast throughout and starting 300.5 frames late in the
  // original: a constant offset and a shift, no wow.
  std::vector<float> late(frames);
  wowapply::SincInterpolator sinc;
  for (std::size_t n = 0; n < static_cast<std::size_t>(8 * kRate); ++n)
    late[n] = static_cast<float>(sinc.valueAt(material, kPad + 300.5 + 1.001 * n));
  late.resize(static_cast<std::size_t>(8 * kRate));
  r = measure(late, clean);
  EXPECT_LT(r.rmsPercent, 0.002);
  EXPECT_NEAR(r.offsetPercent, 0.1, 0.002);
  EXPECT_NEAR(r.shiftFrames, 300.5, 3.0);
}

TEST(WowXcorr, RefusesMaterialThatDoesNotMatch) {
  const auto a = noise(static_cast<std::size_t>(4 * kRate), 5);
  const auto b = noise(static_cast<std::size_t>(4 * kRate), 6);
  wowxcorr::XcorrResult result;
  std::string problem;
  EXPECT_FALSE(wowxcorr::measureWow(a, b, kRate, {}, result, problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_FALSE(wowxcorr::measureWow(std::vector<float>(100000, 0.0f), a, kRate, {}, result, problem));
  EXPECT_FALSE(wowxcorr::measureWow(std::vector<float>(100), a, kRate, {}, result, problem));
}

}  // namespace

#include <fstream>
#include <sstream>

#include "tests/host/TempPath.h"
#include "tools/eval/wowgen/WavWrite.h"
#include "tools/eval/wowxcorr/WowxcorrCommand.h"

namespace {

TEST(WowxcorrCommand, PrintsJsonWritesTheCurveAndRefusesFilesAtOtherRates) {
  const wowgen::SpeedCurve speed({{0.7, 0.002, 0.0}}, 0.0, 6.0);
  const auto [wowed, clean] = played(noise(static_cast<std::size_t>(6 * kRate) + 2 * kPad, 9), speed);
  const std::string test = tempPath("wx-test.wav"), original = tempPath("wx-clean.wav"), other = tempPath("wx-other.wav"),
                    curve = tempPath("wx-curve.pvc");
  std::string problem;
  ASSERT_TRUE(wowgen::writeWav(test, kRate, {wowed, wowed}, wowgen::OutputFormat::Float32, problem));
  ASSERT_TRUE(wowgen::writeWav(original, kRate, {clean}, wowgen::OutputFormat::Float32, problem));
  ASSERT_TRUE(wowgen::writeWav(other, 2 * kRate, {clean}, wowgen::OutputFormat::Float32, problem));
  std::ostringstream out, err;
  ASSERT_EQ(wowxcorr::runWowxcorr({test, original, "--json", "--curve", curve}, out, err), 0) << err.str();
  double rms = 0.0;
  ASSERT_EQ(std::sscanf(out.str().c_str(), "{\"rms_percent\": %lf", &rms), 1) << out.str();
  EXPECT_NEAR(rms, 0.2 / std::sqrt(2.0), 0.005);
  // The curve: frame and ratio per line, at the true speed.
  std::ifstream in(curve);
  long long frame = 0;
  double ratio = 0.0, worst = 0.0;
  int points = 0;
  while (in >> frame >> ratio) {
    if (frame > kRate && frame < 5 * kRate) worst = std::max(worst, std::fabs(ratio - speed.ratio(frame / kRate)));
    ++points;
  }
  EXPECT_GT(points, 200);
  EXPECT_LT(worst * 100.0, 0.01);
  std::ostringstream out2, err2;
  EXPECT_EQ(wowxcorr::runWowxcorr({test, other}, out2, err2), 1);
  EXPECT_NE(err2.str().find("Hz"), std::string::npos);
  EXPECT_EQ(wowxcorr::runWowxcorr({test, original, "--band", "300:100"}, out2, err2), 2);
  for (const auto& f : {test, original, other, curve}) std::remove(f.c_str());
}

}  // namespace
