// The demo's measure of a found curve: differences taken between points,
// beyond the ends, and over the frames asked for only.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "curve/CurveText.h"
#include "tests/host/TempPath.h"
#include "tools/eval/curvecompare/CurveCompare.h"
#include "tools/eval/curvecompare/CurveCompareCommand.h"

namespace {

std::vector<PvcPoint> curve(std::initializer_list<std::pair<int, float>> points) {
  std::vector<PvcPoint> c;
  for (auto [position, ratio] : points) c.push_back({position, ratio, 0, 0});
  return c;
}

TEST(CurveCompare, InterpolatesBetweenPointsAndHoldsTheEnds) {
  const auto c = curve({{100, 1.0f}, {200, 1.02f}});
  EXPECT_DOUBLE_EQ(curvecompare::ratioAt(c, 0), 1.0);
  EXPECT_NEAR(curvecompare::ratioAt(c, 150), 1.01, 1e-6);
  EXPECT_NEAR(curvecompare::ratioAt(c, 1000), 1.02, 1e-6);
  EXPECT_DOUBLE_EQ(curvecompare::ratioAt({}, 5), 1.0);
}

TEST(CurveCompare, GivesRmsAndPeakInPercentOverTheFramesAskedFor) {
  const auto truth = curve({{0, 1.0f}, {1000, 1.0f}});
  // 0.1 % too fast in the first half, right in the second; a large error
  // beyond frame 900 lies outside the compared frames.
  const auto found = curve({{0, 1.001f}, {499, 1.001f}, {500, 1.0f}, {899, 1.0f}, {900, 1.5f}, {1000, 1.5f}});
  const auto error = curvecompare::compare(found, truth, 0, 799, 1);
  EXPECT_EQ(error.frames, 800);
  EXPECT_NEAR(error.peakPercent, 0.1, 1e-4);
  // 500 frames at 0.1 %, 300 at 0: RMS sqrt(500/800) x 0.1.
  EXPECT_NEAR(error.rmsPercent, 0.1 * std::sqrt(500.0 / 800.0), 1e-4);
  EXPECT_NEAR(curvecompare::compare(found, truth, 0, 1000, 1).peakPercent, 50.0, 1e-3);
  // A constant offset is all mean and nothing about it.
  const auto offset = curvecompare::compare(curve({{0, 1.004f}, {1000, 1.004f}}), truth, 0, 1000, 1);
  EXPECT_NEAR(offset.meanPercent, 0.4, 1e-4);
  EXPECT_NEAR(offset.rmsAboutMean, 0.0, 1e-3);
}

TEST(CurveCompare, MedianLevelIsTheMiddleRatioNotTheMeanOrTheFirst) {
  // 1.0 for 300 frames, then a ramp up to 1.01 over the next 700: the first
  // ratio is 1.0, the mean about 1.0035, the median (frame 500 of 0..1000)
  // 1.0 + 0.01 x 200/700.
  const auto c = curve({{0, 1.0f}, {300, 1.0f}, {1000, 1.01f}});
  EXPECT_NEAR(curvecompare::medianRatio(c, 0, 1000, 1), 1.0 + 0.01 * 200.0 / 700.0, 1e-6);
  // An even count takes the upper middle, as the detector does.
  EXPECT_NEAR(curvecompare::medianRatio(c, 0, 1001, 1), 1.0 + 0.01 * 201.0 / 700.0, 1e-6);
  EXPECT_DOUBLE_EQ(curvecompare::medianRatio(c, 10, 5, 1), 1.0);

  // A curve found relative to that median lies off the truth by its level
  // and on the truth divided by it.
  const double level = curvecompare::medianRatio(c, 0, 1000, 1);
  const auto found = curvecompare::dividedBy(c, level);
  EXPECT_NEAR(curvecompare::compare(found, c, 0, 1000, 1).meanPercent, (1.0 / level - 1.0) * 100.0 * 1.0035, 2e-4);
  const auto against = curvecompare::compare(found, curvecompare::dividedBy(c, level), 0, 1000, 1);
  EXPECT_NEAR(against.rmsPercent, 0.0, 1e-5);
}

void writeCurve(const std::string& path, const std::vector<PvcPoint>& points) {
  std::ofstream(path, std::ios::binary) << curveFileText(points);
}

std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, '\t');) out.push_back(cell);
  return out;
}

// The demo and the real-set script read the figures from --tsv: they must be
// the text's figures, to the same digits, under the names the scripts ask for.
TEST(CurveCompareCommand, TsvHoldsTheFiguresOfTheText) {
  const std::string found = tempPath("cc-found.pvc"), truth = tempPath("cc-true.pvc");
  writeCurve(truth, curve({{0, 1.0f}, {44100, 1.003f}, {88200, 0.998f}, {132300, 1.0f}}));
  writeCurve(found, curve({{0, 1.001f}, {44100, 1.0042f}, {88200, 0.9985f}, {132300, 1.0f}}));
  std::ostringstream text, tsv, err;
  ASSERT_EQ(curvecompare::runCurvecompare({found, truth, "--rate", "44100", "--edge", "0.5"}, text, err), 0)
      << err.str();
  ASSERT_EQ(curvecompare::runCurvecompare({found, truth, "--rate", "44100", "--tsv", "--edge", "0.5"}, tsv, err), 0)
      << err.str();
  std::istringstream rows(tsv.str());
  std::string names, values, rest;
  std::getline(rows, names);
  std::getline(rows, values);
  EXPECT_FALSE(std::getline(rows, rest));
  const std::vector<std::string> expected = {"rms_percent",          "peak_percent",          "frames",
                                             "mean_percent",         "rms_about_mean_percent", "median_level_percent",
                                             "vs_median_rms_percent", "vs_median_mean_percent"};
  EXPECT_EQ(cells(names), expected);
  const auto v = cells(values);
  ASSERT_EQ(v.size(), expected.size()) << values;
  const std::string lines = text.str();
  EXPECT_NE(lines.find("curve error: RMS " + v[0] + " %, peak " + v[1] + " % over " + v[2] + " frames\n"),
            std::string::npos)
      << lines << values;
  EXPECT_NE(lines.find("mean difference: " + v[3] + " %, RMS about it " + v[4] + " %\n"), std::string::npos)
      << lines << values;
  EXPECT_NE(lines.find("over its median (" + v[5] + " %): RMS " + v[6] + " %, mean difference " + v[7] + " %\n"),
            std::string::npos)
      << lines << values;
  // And they are the comparison's own: half a second in from either end,
  // every 64 frames.
  std::vector<PvcPoint> a, b;
  std::string problem;
  ASSERT_TRUE(curvecompare::readCurve(found, a, problem) && curvecompare::readCurve(truth, b, problem)) << problem;
  const auto error = curvecompare::compare(a, b, 22050, 132300 - 22050, 64);
  char figure[32];
  std::snprintf(figure, sizeof figure, "%.4f", error.rmsPercent);
  EXPECT_EQ(v[0], figure);
  EXPECT_EQ(v[2], std::to_string(error.frames));
  EXPECT_GT(error.rmsPercent, 0.01);

  // What the scripts fall back on: no figures, and a failing exit.
  std::ostringstream none;
  EXPECT_EQ(curvecompare::runCurvecompare({found, truth, "--tsv"}, none, err), 2);
  EXPECT_EQ(curvecompare::runCurvecompare({found, tempPath("cc-missing.pvc"), "--rate", "44100", "--tsv"}, none, err),
            1);
  EXPECT_EQ(curvecompare::runCurvecompare({found, truth, "--rate", "44100", "--edge", "2", "--tsv"}, none, err), 1);
  EXPECT_EQ(none.str(), "");
  std::remove(found.c_str());
  std::remove(truth.c_str());
}

}  // namespace
