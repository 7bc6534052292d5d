// wowapply: reading between samples, the excerpt of joined files, and the
// recording played along a known speed curve with hum and pilot on it.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "tests/host/TempPath.h"
#include "tools/eval/wowapply/SincInterpolator.h"
#include "tools/eval/wowapply/SourceExcerpt.h"
#include "tools/eval/wowapply/WowRender.h"
#include "tools/eval/wowapply/WowapplyCommand.h"
#include "tools/eval/wowgen/WavWrite.h"

namespace {

constexpr double kPi = std::numbers::pi;

std::vector<float> tone(double frequency, double rate, std::size_t frames, double amplitude = 0.5) {
  std::vector<float> x(frames);
  for (std::size_t n = 0; n < frames; ++n) x[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * n / rate));
  return x;
}

wowapply::Excerpt excerptOf(std::vector<float> mono, double rate, std::int64_t pad) {
  wowapply::Excerpt e;
  e.sampleRate = rate;
  e.pad = pad;
  e.frames = static_cast<std::int64_t>(mono.size()) - 2 * pad;
  e.channels = {std::move(mono)};
  return e;
}

TEST(SincInterpolator, ReadsABandLimitedToneBetweenItsSamples) {
  const double rate = 44100.0;
  const wowapply::SincInterpolator sinc;
  for (double f : {100.0, 3000.0, 15000.0, 19000.0}) {
    const auto x = tone(f, rate, 4000, 1.0);
    double worst = 0.0;
    for (double pos = 1000.0; pos < 3000.0; pos += 7.31)
      worst = std::max(worst, std::fabs(sinc.valueAt(x, pos) - std::sin(2.0 * kPi * f * pos / rate)));
    EXPECT_LT(worst, 2e-4) << f << " Hz";  // -74 dB, well below any wow measure's reach
  }
  // Nothing is read from outside the signal.
  EXPECT_EQ(sinc.valueAt(std::vector<float>(10, 1.0f), -200.0), 0.0);
}

TEST(WowRender, PlaysTheContentAtTheCurvesContentTime) {
  const double rate = 16000.0, f = 1234.5;
  const std::int64_t pad = 400;
  const wowgen::SpeedCurve speed({{0.5, 0.003, 0.0}, {1.5, 0.001, 1.0}}, 0.0005, 3.0);
  // Frame 0 of the excerpt is frame pad of the signal.
  std::vector<float> x(static_cast<std::size_t>(3 * rate + 2 * pad));
  for (std::size_t n = 0; n < x.size(); ++n) x[n] = static_cast<float>(0.5 * std::sin(2.0 * kPi * f * (static_cast<double>(n) - pad) / rate));
  const auto out = wowapply::renderWowed(excerptOf(x, rate, pad), speed, {});
  ASSERT_EQ(out.size(), 1u);
  ASSERT_EQ(out[0].size(), static_cast<std::size_t>(3 * rate));
  double worst = 0.0;
  for (std::size_t n = 0; n < out[0].size(); ++n)
    worst = std::max(worst, std::fabs(out[0][n] - 0.5 * std::sin(2.0 * kPi * f * speed.contentTime(n / rate))));
  EXPECT_LT(worst, 1e-4);
}

TEST(WowRender, HumAndPilotFollowTheSpeedAtTheirLevels) {
  const double rate = 44100.0;
  const std::int64_t pad = 300;
  const wowgen::SpeedCurve speed({{0.5, 0.003, 0.0}}, 0.0, 2.0);
  const auto music = excerptOf(tone(440.0, rate, static_cast<std::size_t>(2 * rate + 2 * pad)), rate, pad);
  const double rms = wowapply::excerptRms(music);
  EXPECT_NEAR(rms, 0.5 / std::sqrt(2.0), 1e-3);
  const auto plain = wowapply::renderWowed(music, speed, {});
  wowapply::Additions hum;
  hum.humFrequency = 60.0;
  hum.humDb = -20.0;
  const auto withHum = wowapply::renderWowed(music, speed, hum);
  wowapply::Additions pilot;
  pilot.pilotFrequency = 19000.0;
  pilot.pilotDb = -30.0;
  const auto withPilot = wowapply::renderWowed(music, speed, pilot);
  double humPower = 0.0, humError = 0.0, pilotPower = 0.0, pilotError = 0.0;
  const double a = rms * 0.1 / std::sqrt(0.5 * (1.0 + 1.0 / 4 + 1.0 / 9));
  for (std::size_t n = 0; n < plain[0].size(); ++n) {
    const double t = speed.contentTime(n / rate);
    const double h = withHum[0][n] - plain[0][n];
    const double p = withPilot[0][n] - plain[0][n];
    humPower += h * h;
    pilotPower += p * p;
    double expected = 0.0;
    for (int k = 1; k <= 3; ++k) expected += a / k * std::sin(2.0 * kPi * 60.0 * k * t);
    humError = std::max(humError, std::fabs(h - expected));
    pilotError = std::max(pilotError, std::fabs(p - rms * std::pow(10.0, -1.5) * std::sqrt(2.0) * std::sin(2.0 * kPi * 19000.0 * t)));
  }
  const double frames = static_cast<double>(plain[0].size());
  EXPECT_NEAR(20.0 * std::log10(std::sqrt(humPower / frames) / rms), -20.0, 0.05);
  EXPECT_NEAR(20.0 * std::log10(std::sqrt(pilotPower / frames) / rms), -30.0, 0.05);
  EXPECT_LT(humError, 1e-6);
  EXPECT_LT(pilotError, 1e-6);
}

class JoinedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string problem;
    // Two files of a ramp each: the values tell where a sample came from.
    std::vector<float> a(1000), b(500);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<float>(i) / 2000.0f;
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = -static_cast<float>(i + 1) / 2000.0f;
    ASSERT_TRUE(wowgen::writeWav(first_, 8000.0, {a}, wowgen::OutputFormat::Float32, problem)) << problem;
    ASSERT_TRUE(wowgen::writeWav(second_, 8000.0, {b}, wowgen::OutputFormat::Float32, problem)) << problem;
    ASSERT_TRUE(wowgen::writeWav(other_, 16000.0, {b}, wowgen::OutputFormat::Float32, problem)) << problem;
  }
  void TearDown() override {
    for (const auto& f : {first_, second_, other_}) std::remove(f.c_str());
  }
  std::string first_ = tempPath("join-a.wav"), second_ = tempPath("join-b.wav"), other_ = tempPath("join-c.wav");
};

TEST_F(JoinedFiles, PlayOneAfterTheOtherWithTheGapAndPadsSilent) {
  std::string problem;
  wowapply::SourceInfo info;
  ASSERT_TRUE(wowapply::probeSources({first_, second_}, 0.01, {}, info, problem)) << problem;
  EXPECT_EQ(info.frames, 1000 + 80 + 500);
  EXPECT_EQ(info.channels, 1);
  wowapply::Excerpt e;
  // Frames 990 .. 1089 with 20 frames of pad either side.
  ASSERT_TRUE(wowapply::readExcerpt({first_, second_}, 0.01, {}, 990, 100, 20, e, problem)) << problem;
  const auto& x = e.channels[0];
  ASSERT_EQ(x.size(), 140u);
  EXPECT_FLOAT_EQ(x[0], 970.0f / 2000.0f);   // pad from the first file
  EXPECT_FLOAT_EQ(x[29], 999.0f / 2000.0f);  // its last frame
  EXPECT_FLOAT_EQ(x[30], 0.0f);              // the gap
  EXPECT_FLOAT_EQ(x[109], 0.0f);
  EXPECT_FLOAT_EQ(x[110], -1.0f / 2000.0f);  // the second file's first frame
  // Past the end of the joint recording the pad is silence.
  ASSERT_TRUE(wowapply::readExcerpt({first_, second_}, 0.01, {}, 1500, 80, 30, e, problem)) << problem;
  EXPECT_FLOAT_EQ(e.channels[0][30 + 79], -500.0f / 2000.0f);
  EXPECT_FLOAT_EQ(e.channels[0][30 + 80], 0.0f);
  // An excerpt beyond the end, and files that differ in rate, are refused.
  EXPECT_FALSE(wowapply::readExcerpt({first_, second_}, 0.01, {}, 1500, 81, 0, e, problem));
  EXPECT_FALSE(wowapply::probeSources({first_, other_}, 0.0, {}, info, problem));
  EXPECT_NE(problem.find("unlike"), std::string::npos);
}

TEST(WowapplyCommand, WritesTheCleanExcerptTheWowedOneAndWowgensCurve) {
  const std::string in = tempPath("wa-in.wav"), clean = tempPath("wa-clean.wav"), wowed = tempPath("wa-wowed.wav"),
                    curve = tempPath("wa-true.pvc");
  std::string problem;
  const double rate = 22050.0;
  ASSERT_TRUE(wowgen::writeWav(in, rate, {tone(500.0, rate, 5 * 22050), tone(700.0, rate, 5 * 22050)},
                               wowgen::OutputFormat::Float32, problem));
  std::ostringstream out, err;
  ASSERT_EQ(wowapply::runWowapply({in, "--start", "1", "--seconds", "2", "--clean", clean, "--out", wowed, "--curve",
                                   curve, "--wow", "1:0.5", "--drift", "0.1", "--hum", "50", "--hum-db", "-40"},
                                  out, err),
            0)
      << err.str();
  SF_INFO info{};
  SNDFILE* f = sf_open(clean.c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.frames, 44100);
  EXPECT_EQ(info.channels, 2);
  std::vector<float> frame(2);
  sf_readf_float(f, frame.data(), 1);
  EXPECT_NEAR(frame[0], 0.5 * std::sin(2.0 * kPi * 500.0 * 1.0), 1e-6);  // the excerpt starts at 1 s
  sf_close(f);
  // wowgen's curve: a point every 256 frames and one at the last frame, the
  // ratio 1 + 0.5 % sin(2 pi t) + 0.1 % t / 2 s.
  std::ifstream c(curve);
  int position = 0, last = 0, count = 0;
  double ratio = 0.0, worst = 0.0;
  while (c >> position >> ratio) {
    const double t = position / rate;
    worst = std::max(worst, std::fabs(ratio - (1.0 + 0.005 * std::sin(2.0 * kPi * t) + 0.001 * t / 2.0)));
    last = position;
    ++count;
  }
  EXPECT_EQ(last, 44099);
  EXPECT_EQ(count, 44100 / 256 + 2);
  EXPECT_LT(worst, 1e-6);
  // Bad requests are refused with a reason.
  EXPECT_EQ(wowapply::runWowapply({in, "--clean", clean, "--out", wowed, "--curve", curve, "--hum", "55"}, out, err), 2);
  EXPECT_EQ(wowapply::runWowapply({in, "--start", "4", "--seconds", "2", "--clean", clean, "--out", wowed, "--curve", curve},
                                  out, err),
            1);
  EXPECT_NE(err.str().find("no excerpt of that length"), std::string::npos);
  for (const auto& name : {in, clean, wowed, curve}) std::remove(name.c_str());
}

}  // namespace

namespace {

TEST(SourceExcerpt, ReadsHeaderlessEightBitFilesAtTheRateGiven) {
  const std::string path = tempPath("raw-u8.raw");
  {
    std::ofstream raw(path, std::ios::binary);
    for (int i = 0; i < 300; ++i) raw.put(static_cast<char>(i % 2 ? 192 : 128));
  }
  std::string problem;
  wowapply::SourceInfo info;
  const wowapply::RawFormat raw{11025, 1, true};
  ASSERT_TRUE(wowapply::probeSources({path}, 0.0, raw, info, problem)) << problem;
  EXPECT_EQ(info.frames, 300);
  EXPECT_EQ(info.sampleRate, 11025.0);
  wowapply::Excerpt e;
  ASSERT_TRUE(wowapply::readExcerpt({path}, 0.0, raw, 10, 4, 0, e, problem)) << problem;
  EXPECT_FLOAT_EQ(e.channels[0][0], 0.0f);  // 128 is silence
  EXPECT_FLOAT_EQ(e.channels[0][1], 0.5f);  // 192 half way up
  // Without the format the same file is not audio.
  EXPECT_FALSE(wowapply::probeSources({path}, 0.0, {}, info, problem));
  std::remove(path.c_str());
}

TEST(WowapplyCommand, InfoGivesRateChannelsFramesAndSeconds) {
  const std::string in = tempPath("wa-info.wav");
  std::string problem;
  ASSERT_TRUE(wowgen::writeWav(in, 8000.0, {std::vector<float>(12000), std::vector<float>(12000)},
                               wowgen::OutputFormat::Pcm16, problem));
  std::ostringstream out, err;
  EXPECT_EQ(wowapply::runWowapply({in, in, "--gap", "0.5", "--info"}, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "8000 2 28000 3.5\n");
  std::remove(in.c_str());
}

}  // namespace
