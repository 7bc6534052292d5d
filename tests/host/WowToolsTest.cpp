// wowgen and wowmeter against each other: a recording made with a known
// speed reads back at that speed.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/host/TempPath.h"
#include "tools/eval/wowgen/WowRecipe.h"
#include "tools/eval/wowgen/WowSynth.h"
#include "tools/eval/wowgen/WowgenCommand.h"
#include "tools/eval/wowmeter/WowMeter.h"
#include "tools/eval/wowmeter/WowmeterCommand.h"

namespace {

wowgen::Recipe recipeOf(const std::vector<std::string>& args) {
  wowgen::Recipe recipe;
  std::string problem;
  std::vector<std::string> all = {"out.wav"};
  all.insert(all.end(), args.begin(), args.end());
  EXPECT_TRUE(wowgen::parseRecipe(all, recipe, problem)) << problem;
  return recipe;
}

wowmeter::WowReading meter(const wowgen::Recipe& recipe, int channel = 0, double tone = 1000.0) {
  const auto channels = wowgen::renderRecording(recipe);
  wowmeter::MeterSettings settings;
  settings.tone = tone;
  wowmeter::WowReading reading;
  std::string problem;
  EXPECT_TRUE(wowmeter::measureWow(channels.at(static_cast<std::size_t>(channel)), recipe.sampleRate, settings,
                                   reading, problem))
      << problem;
  return reading;
}

TEST(SpeedCurve, ContentTimeIsTheIntegralOfTheRatio) {
  const wowgen::SpeedCurve curve({{0.7, 0.01, 0.3}, {3.1, 0.002, 1.0}}, 0.004, 10.0);
  // Simpson's rule over [0, 7.3 s].
  const int steps = 20000;
  const double h = 7.3 / steps;
  double integral = curve.ratio(0.0) + curve.ratio(7.3);
  for (int i = 1; i < steps; ++i) integral += (i % 2 ? 4.0 : 2.0) * curve.ratio(i * h);
  integral *= h / 3.0;
  EXPECT_NEAR(curve.contentTime(7.3), integral, 1e-10);
  EXPECT_EQ(curve.contentTime(0.0), 0.0);
}

TEST(WowMeter, ReadsAKnownSineWowAtItsRmsAndPeak) {
  const auto recipe = recipeOf({"--rate", "16000", "--seconds", "8", "--tone", "1000:0.4", "--tone", "3000:0.2",
                                "--hum", "50:0.05:5", "--noise", "0.0005", "--wow", "1:0.4"});
  const auto reading = meter(recipe);
  EXPECT_NEAR(reading.rms * 100, 0.4 / std::sqrt(2.0), 0.002);
  EXPECT_NEAR(reading.peak * 100, 0.4, 0.004);
  EXPECT_NEAR(reading.mean * 100, 0.0, 0.002);
  EXPECT_EQ(reading.skipped, 0);
}

TEST(WowMeter, ReadsThePilotToneOfEveryChannelAlike) {
  const auto recipe = recipeOf({"--rate", "44100", "--seconds", "4", "--channels", "2", "--pilot", "19000:0.05",
                                "--tone", "440:0.5", "--wow", "2:0.2", "--wow", "0.25:0.1:90"});
  const auto left = meter(recipe, 0, 19000.0);
  const auto right = meter(recipe, 1, 19000.0);
  // Over whole periods the two sines add in power: (0.2^2 + 0.1^2) / 2.
  EXPECT_NEAR(left.rms * 100, std::sqrt(0.025), 0.01);
  EXPECT_NEAR(left.rms, right.rms, 1e-6);
  EXPECT_NEAR(left.peak, right.peak, 1e-6);
}

TEST(WowMeter, ReadsADriftAsAMeanDeviation) {
  const auto recipe = recipeOf({"--rate", "16000", "--seconds", "6", "--drift", "1"});
  const auto reading = meter(recipe);
  EXPECT_NEAR(reading.mean * 100, 0.5, 0.002);
  EXPECT_NEAR(reading.peak * 100, 1.0 * 5.5 / 6.0, 0.002);  // the last half second is an edge
  EXPECT_NEAR(reading.rmsAc * 100, (1.0 * 5.0 / 6.0) / std::sqrt(12.0), 0.002);
}

TEST(WowMeter, FindsNoWowInASteadyRecording) {
  const auto reading = meter(recipeOf({"--rate", "16000", "--seconds", "4", "--tone", "1000:0.5", "--hum", "60:0.1:3"}));
  EXPECT_LT(reading.rms, 1e-7);
  EXPECT_LT(reading.peak, 1e-6);
}

TEST(WowMeter, SaysWhenItCannotMeasure) {
  wowmeter::WowReading reading;
  std::string problem;
  wowmeter::MeterSettings settings;
  const std::vector<float> silence(48000, 0.0f);
  EXPECT_FALSE(wowmeter::measureWow(silence, 16000.0, settings, reading, problem));
  EXPECT_NE(problem.find("no steady tone"), std::string::npos);
  const auto channels = wowgen::renderRecording(recipeOf({"--rate", "16000", "--seconds", "2"}));
  settings.tone = 7900.0;  // its band reaches past half the rate
  EXPECT_FALSE(wowmeter::measureWow(channels[0], 16000.0, settings, reading, problem));
  settings = {};
  settings.edge = 1.0;  // nothing left between the edges
  EXPECT_FALSE(wowmeter::measureWow(channels[0], 16000.0, settings, reading, problem));
}

TEST(WowgenCurve, HoldsTheSpeedTheMeterMeasuresAtEachPoint) {
  const auto recipe = recipeOf({"--rate", "16000", "--seconds", "5", "--wow", "0.8:0.3:40", "--drift", "0.2"});
  const auto points = wowgen::curvePoints(recipe);
  ASSERT_FALSE(points.empty());
  EXPECT_EQ(points.front().position, 0);
  EXPECT_EQ(points.back().position, recipe.frames() - 1);
  EXPECT_EQ(points[1].position, 256);

  const auto channels = wowgen::renderRecording(recipe);
  std::vector<double> deviation, amplitude;
  std::string problem;
  ASSERT_TRUE(wowmeter::speedDeviation(channels[0], recipe.sampleRate, {}, deviation, amplitude, problem));
  // The meter's value at index i belongs to position i + 1/2.
  double worst = 0.0;
  for (const auto& p : points) {
    if (p.position < 8000 || p.position > recipe.frames() - 8000) continue;
    const double measured = 0.5 * (deviation[static_cast<std::size_t>(p.position) - 1] +
                                   deviation[static_cast<std::size_t>(p.position)]);
    worst = std::max(worst, std::fabs(measured - (p.ratio - 1.0)));
  }
  EXPECT_LT(worst, 2e-6);
}

TEST(WowgenCurve, IsWrittenAsCurveTextWithCrLf) {
  const std::string path = tempPath("wowgen-curve.pvc");
  std::string problem;
  ASSERT_TRUE(wowgen::writeCurveFile(path, {{0, 1.0}, {256, 1.0031234567}, {999, 0.9975}}, problem));
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "0 1.000000\r\n256 1.003123\r\n999 0.997500\r\n");
  in.close();
  std::remove(path.c_str());
}

TEST(WowgenRecipe, ReadsARecipeFileAndRefusesWhatItCannotUse) {
  const std::string path = tempPath("wowgen.recipe");
  {
    std::ofstream f(path);
    f << "# test recording\nrate 22050\nchannels 2\nseconds 1.5\n\ntone 1000 0.3  # reference\n"
         "hum 50:0.02:4\nwow 0.5 0.4 90\nformat pcm24\n";
  }
  const auto recipe = recipeOf({"--recipe", path, "--seed", "7"});
  EXPECT_EQ(recipe.sampleRate, 22050.0);
  EXPECT_EQ(recipe.channels, 2);
  EXPECT_EQ(recipe.frames(), 33075);
  ASSERT_EQ(recipe.tones.size(), 1u);
  EXPECT_EQ(recipe.tones[0].amplitude, 0.3);
  ASSERT_EQ(recipe.wow.size(), 1u);
  EXPECT_DOUBLE_EQ(recipe.wow[0].depth, 0.004);
  EXPECT_EQ(recipe.hums.at(0).harmonics, 4);
  EXPECT_EQ(recipe.format, wowgen::OutputFormat::Pcm24);
  EXPECT_EQ(recipe.seed, 7u);
  EXPECT_EQ(recipe.curveFile, "out.pvc");
  std::remove(path.c_str());

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--wow", "0.5"}, {"--wow", "1:60"}, {"--wow", "1:30", "--drift", "25"}, {"--tone", "-5:1"},
           {"--rate", "44100.5"}, {"--channels", "0"}, {"--seconds", "0"}, {"--format", "mp3"},
           {"--hum", "50:0.1:0"}, {"--colour", "red"}, {"--tone"}, {"--recipe", path}}) {
    wowgen::Recipe r;
    std::string problem;
    std::vector<std::string> args = {"out.wav"};
    args.insert(args.end(), bad.begin(), bad.end());
    EXPECT_FALSE(wowgen::parseRecipe(args, r, problem)) << bad[0];
    EXPECT_FALSE(problem.empty());
  }
}

TEST(WowTools, CommandLinesMakeAndMeasureAFile) {
  const std::string wav = tempPath("wowtools.wav");
  const std::string pvc = tempPath("wowtools.pvc");
  std::ostringstream out, err;
  ASSERT_EQ(wowgen::runWowgen({wav, "--rate", "16000", "--seconds", "4", "--channels", "2", "--wow", "1:0.25",
                               "--format", "pcm24"},
                              out, err),
            0)
      << err.str();
  EXPECT_NE(platform::fileAttributes(pvc), platform::kInvalidAttributes);
  std::ostringstream report;
  ASSERT_EQ(wowmeter::runWowmeter({wav, "--channel", "1", "--edge", "0.5"}, report, err), 0) << err.str();
  EXPECT_NE(report.str().find("RMS deviation: 0.1767"), std::string::npos) << report.str();
  EXPECT_NE(report.str().find("peak deviation: 0.250"), std::string::npos) << report.str();
  // --tsv: the same figures, to the same digits, under column names.
  std::ostringstream table;
  ASSERT_EQ(wowmeter::runWowmeter({wav, "--channel", "1", "--edge", "0.5", "--tsv"}, table, err), 0) << err.str();
  std::istringstream rows(table.str());
  std::string names, values, rest;
  std::getline(rows, names);
  std::getline(rows, values);
  EXPECT_FALSE(std::getline(rows, rest));
  EXPECT_EQ(names, "tone_hz\tchannel\tseconds\tmean_percent\trms_percent\trms_about_mean_percent\tpeak_percent\tskipped");
  std::vector<std::string> fields;
  std::istringstream cells(values);
  for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
  ASSERT_EQ(fields.size(), 8u) << values;
  EXPECT_EQ(fields[0], "1000");
  EXPECT_EQ(fields[1], "1");
  EXPECT_NE(report.str().find("RMS deviation: " + fields[4] + " %"), std::string::npos) << values;
  EXPECT_NE(report.str().find("peak deviation: " + fields[6] + " %"), std::string::npos) << values;
  EXPECT_NE(report.str().find("RMS about the mean: " + fields[5] + " %"), std::string::npos) << values;
  EXPECT_EQ(fields[7], "0");
  EXPECT_EQ(wowmeter::runWowmeter({wav, "--channel", "2"}, report, err), 1);
  EXPECT_EQ(wowmeter::runWowmeter({wav, "--tone"}, report, err), 2);
  EXPECT_EQ(wowgen::runWowgen({}, out, err), 2);
  std::remove(wav.c_str());
  std::remove(pvc.c_str());
}

}  // namespace
