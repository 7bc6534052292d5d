#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/WavFile.h"
#include "host/commands/CommandLine.h"
#include "host/commands/Correction.h"
#include "meter/Weighting.h"
#include "platform/Platform.h"
#include "tests/host/TempPath.h"

namespace {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult run(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = host::runCommandLine(args, {}, out, err);
  return {status, out.str(), err.str()};
}

std::string temp(const std::string& name) { return tempPath("measure-" + name); }

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

double jsonNumber(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  if (at == std::string::npos) return NAN;
  return std::stod(json.substr(at + key.size() + 4));
}

// Each tone's speed moves as 1 + depth sin(2 pi wowHz t); stereo, 16-bit.
std::string writeTones(const std::string& name, std::vector<double> tones, double wowHz, double depthPercent,
                       double seconds, double rate = 44100.0) {
  const auto n = static_cast<std::size_t>(seconds * rate);
  host::AudioData audio = host::AudioData::silence(2, n, rate);
  const double twoPi = 2.0 * std::numbers::pi;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i / rate;
    const double played = t + depthPercent / 100.0 * (1.0 - std::cos(twoPi * wowHz * t)) / (twoPi * wowHz);
    double v = 0.0;
    for (double hz : tones) v += 0.8 / tones.size() * std::sin(twoPi * hz * played);
    audio.channels[0][i] = audio.channels[1][i] = static_cast<float>(v);
  }
  const std::string path = temp(name);
  EXPECT_TRUE(host::writeWav(path, audio, host::SampleFormat::Pcm16).ok());
  return path;
}

TEST(MeasureCommand, ReadsAToneAndWritesBothReports) {
  const std::string in = writeTones("fast.wav", {3150.0 * 1.01}, 4.0, 0.1, 9.0);
  const std::string json = temp("fast.json"), html = temp("fast.html");
  const RunResult r = run({"measure", in, "--report", json, "--report", html});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_TRUE(has(r.out, "3150 Hz reference tone")) << r.out;
  EXPECT_TRUE(has(r.out, "weighted peak (2 sigma)")) << r.out;
  EXPECT_TRUE(has(r.out, "speed offset: 1.00 % fast")) << r.out;
  const std::string report = readText(json);
  EXPECT_NEAR(jsonNumber(report, "speed_offset_percent"), 1.0, 0.005) << report;
  // 4 Hz is where the weighting passes all: the peak is the depth.
  EXPECT_NEAR(jsonNumber(report, "peak_2sigma_percent"), 0.1, 0.005) << report;
  const std::string page = readText(html);
  EXPECT_TRUE(has(page, "<svg")) << page.substr(0, 400);
  EXPECT_TRUE(has(page, "1.00 % fast"));
  platform::deleteFile(in);
  platform::deleteFile(json);
  platform::deleteFile(html);
}

TEST(MeasureCommand, TakesTheTapesNominalTone) {
  const std::string in = writeTones("nab.wav", {3000.0 * 0.9913}, 1.0, 0.05, 8.0, 48000.0);
  const RunResult r = run({"measure", in, "--ref", "3000"});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_TRUE(has(r.out, "speed offset: 0.87 % slow")) << r.out;
  platform::deleteFile(in);
}

TEST(MeasureCommand, WithoutAToneMeasuresTheMusicsPartials) {
  const std::string in = writeTones("chord.wav", {440.0, 554.4, 659.3, 880.0}, 1.0, 0.3, 9.0, 22050.0);
  const std::string json = temp("chord.json");
  const RunResult r = run({"measure", in, "--report", json});
  ASSERT_EQ(r.status, host::kExitOk) << r.err;
  EXPECT_TRUE(has(r.out, "no strong 3150 Hz tone")) << r.out;
  EXPECT_TRUE(has(r.out, "speed offset: none")) << r.out;
  const std::string report = readText(json);
  EXPECT_TRUE(has(report, "\"method\": \"partials\"")) << report;
  EXPECT_TRUE(has(report, "\"speed_offset_percent\": null")) << report;
  EXPECT_TRUE(has(report, "\"shorter_than_minimum\": false")) << report;
  // The partials follow a 1 Hz wow closely; the weighting takes 3.5 dB off it.
  const double weighted = 0.3 * std::pow(10.0, meter::weightingDb(1.0) / 20.0);
  EXPECT_NEAR(jsonNumber(report, "peak_2sigma_percent"), weighted, 0.1 * weighted) << report;
  // Naming a tone that is not there is an error, not a reading of noise.
  const RunResult named = run({"measure", in, "--ref", "3150"});
  EXPECT_EQ(named.status, host::kExitInput);
  EXPECT_TRUE(has(named.err, "no 3150 Hz tone")) << named.err;
  platform::deleteFile(in);
  platform::deleteFile(json);
}

TEST(MeasureCommand, RefusesWhatItCannotDo) {
  EXPECT_EQ(run({"measure"}).status, host::kExitUsage);
  EXPECT_EQ(run({"measure", "a.wav", "--report", "r.txt"}).status, host::kExitUsage);
  EXPECT_EQ(run({"measure", "a.wav", "--ref", "fast"}).status, host::kExitUsage);
  EXPECT_EQ(run({"measure", "a.wav", "b.wav"}).status, host::kExitUsage);
  const RunResult missing = run({"measure", temp("missing.wav")});
  EXPECT_EQ(missing.status, host::kExitInput);
  EXPECT_FALSE(missing.err.empty());
  const RunResult help = run({"measure", "--help"});
  EXPECT_EQ(help.status, host::kExitOk);
  EXPECT_TRUE(has(help.out, "--ref none")) << help.out;
  // A report that cannot be written fails the run.
  const std::string in = writeTones("steady.wav", {3150.0}, 4.0, 0.0, 6.0, 16000.0);
  const RunResult unwritable = run({"measure", in, "--report", temp("no-such-folder") + "/r.json"});
  EXPECT_EQ(unwritable.status, host::kExitOutput);
  platform::deleteFile(in);
}

}  // namespace
