// pelmora-host dewow: which option sets it takes, and how the display's
// labels turn times and frequencies into the pixels a drag goes through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/SpectrogramAnalyser.h"
#include "editor/TimeFormat.h"
#include "host/commands/DewowArguments.h"
#include "host/window/DisplayMapping.h"

namespace {

using host::Algorithm;
using host::parseDewowArguments;

std::vector<std::string> dewow(std::initializer_list<std::string> rest) {
  std::vector<std::string> args{"dewow"};
  args.insert(args.end(), rest);
  return args;
}

TEST(DewowArguments, TakesEachAlgorithmWithWhatItNeeds) {
  auto hum = parseDewowArguments(dewow({"in.wav", "out.wav", "--algorithm", "hum", "--param", "Lower=48.5",
                                         "--curve-out", "c.pvc", "--picture", "p.bmp"}));
  ASSERT_EQ(hum.problem, "");
  EXPECT_EQ(hum.algorithm, Algorithm::Hum);
  EXPECT_EQ(hum.input, "in.wav");
  EXPECT_EQ(hum.output, "out.wav");
  ASSERT_EQ(hum.parameters.size(), 1u);
  EXPECT_EQ(hum.parameters[0].first, "Lower");
  EXPECT_DOUBLE_EQ(hum.parameters[0].second, 48.5);
  EXPECT_EQ(hum.figures, "");
  EXPECT_EQ(parseDewowArguments(dewow({"in.wav", "out.wav", "--algorithm", "hum", "--figures", "f.json"})).figures,
            "f.json");

  auto spectral = parseDewowArguments(
      dewow({"in.wav", "out.wav", "--algorithm", "spectral", "--band", "900:1100", "--range", "0.5:3.25"}));
  ASSERT_EQ(spectral.problem, "");
  EXPECT_EQ(spectral.algorithm, Algorithm::Spectral);
  EXPECT_DOUBLE_EQ(spectral.lowerHz, 900.0);
  EXPECT_DOUBLE_EQ(spectral.upperHz, 1100.0);
  EXPECT_DOUBLE_EQ(spectral.rangeStart, 0.5);
  EXPECT_DOUBLE_EQ(spectral.rangeEnd, 3.25);

  auto cog = parseDewowArguments(dewow({"--algorithm", "cog", "in.wav", "--band", "400:500", "out.wav"}));
  ASSERT_EQ(cog.problem, "");
  EXPECT_EQ(cog.algorithm, Algorithm::CentreOfGravity);

  // The host's own estimator needs no band, takes a range, and --force.
  auto partials = parseDewowArguments(dewow({"in.wav", "out.wav", "--algorithm", "partials", "--range", "2:9", "--force"}));
  ASSERT_EQ(partials.problem, "");
  EXPECT_EQ(partials.algorithm, Algorithm::Partials);
  EXPECT_TRUE(partials.force);
  EXPECT_FALSE(partials.hasBand);
  EXPECT_FALSE(hum.force);
  EXPECT_EQ(hum.format, host::FormatChoice::Same);
  auto pcm16 = parseDewowArguments(dewow({"in.wav", "out.wav", "--algorithm", "pilot", "--format", "pcm16"}));
  ASSERT_EQ(pcm16.problem, "");
  EXPECT_EQ(pcm16.format, host::FormatChoice::Pcm16);

  auto reported = parseDewowArguments(
      dewow({"in.wav", "out.wav", "--algorithm", "pilot", "--report", "r.json", "--report", "r.HTML"}));
  ASSERT_EQ(reported.problem, "");
  EXPECT_EQ(reported.reports, (std::vector<std::string>{"r.json", "r.HTML"}));
  EXPECT_EQ(algorithmName(reported.algorithm), "pilot");
}

TEST(DewowArguments, RefusesWhatCannotBeDoneWithWordsSayingWhy) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {dewow({"in.wav", "out.wav", "--algorithm", "humm"}), "unknown algorithm \"humm\""},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--format", "float64"}), "--format needs same, float32"},
      {dewow({"in.wav", "out.wav"}), "needs --algorithm"},
      {dewow({"in.wav", "out.wav", "--algorithm", "spectral"}), "spectral algorithm needs --band"},
      {dewow({"in.wav", "out.wav", "--algorithm", "cog"}), "cog algorithm needs --band"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--range", "1:2"}), "only the spectral and partials"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--band", "40:60"}), "hum algorithm takes no --band"},
      {dewow({"in.wav", "out.wav", "--algorithm", "partials", "--param", "FFT Length=4096"}), "no --param"},
      {dewow({"in.wav", "out.wav", "--algorithm", "spectral", "--band", "1100:900"}), "LO below HI"},
      {dewow({"in.wav", "out.wav", "--algorithm", "spectral", "--band", "900:1100", "--range", "3:3"}),
       "A below B"},
      {dewow({"in.wav", "in.wav", "--algorithm", "hum"}), "another file than IN.wav"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--curve-out", "out.wav"}), "--curve-out must name"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--figures", "in.wav"}), "--figures must name"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--param", "Lower"}), "NAME=VALUE"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--param", "Lower=x"}), "NAME=VALUE"},
      {dewow({"in.wav", "out.wav", "--algorithm"}), "--algorithm needs a value"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--frobnicate"}), "unknown option --frobnicate"},
      {dewow({"in.wav", "--algorithm", "hum"}), "needs IN.wav and OUT.wav"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--report", "r.txt"}), "ending in .json or .html"},
  };
  for (const Case& c : cases) {
    const auto parsed = parseDewowArguments(c.args);
    EXPECT_NE(parsed.problem.find(c.says), std::string::npos) << parsed.problem;
    EXPECT_TRUE(parsed.input.empty());
  }
}

TEST(DisplayMapping, ReadsTheLabelsAsTheEditorWritesThem) {
  for (double seconds : {0.0, 1.5, 59.999, 61.25, 754.125}) {
    const auto read = host::parseTimeLabel(formatTime(seconds * 44100.0, 44100.0));
    ASSERT_TRUE(read.has_value()) << formatTime(seconds * 44100.0, 44100.0);
    EXPECT_NEAR(*read, seconds, 0.0015);
  }
  for (const char* bad : {"", "1:2.000", "0:60.000", "a:00.000", "0:00", "12.5"})
    EXPECT_FALSE(host::parseTimeLabel(bad).has_value()) << bad;
  EXPECT_EQ(host::parseFrequencyLabel("22050"), 22050.0);
  EXPECT_FALSE(host::parseFrequencyLabel("22 kHz").has_value());
}

TEST(DisplayMapping, PutsTimesOnColumnCentresAndFrequenciesOnRows) {
  std::string problem;
  // 670 x 260 display: 668 columns over 0..10 s, 259 rows over 0..22050 Hz.
  const auto m = host::mappingFromLabels("0:00.000", "0:10.000", "0", "22050", 670, 260, problem);
  ASSERT_TRUE(m.has_value()) << problem;
  EXPECT_EQ(m->columns, 668);
  EXPECT_EQ(m->rows, 259);
  EXPECT_EQ(m->columnOf(0.0), 0);
  EXPECT_EQ(m->columnOf(10.0), 667);
  EXPECT_EQ(m->columnOf(5.0), 334);  // 333.5 rounds up
  EXPECT_EQ(m->columnOf(-3.0), 0);
  EXPECT_EQ(m->columnOf(99.0), 667);
  for (int column : {0, 100, 667}) EXPECT_EQ(m->columnOf(m->secondsOf(column)), column);
  EXPECT_EQ(m->rowOf(22050.0), 0);
  EXPECT_EQ(m->rowOf(0.0), 259);
  for (int row : {0, 17, 258, 259}) EXPECT_EQ(m->rowOf(m->frequencyOf(row)), row);

  EXPECT_FALSE(host::mappingFromLabels("0:05.000", "0:05.000", "0", "22050", 670, 260, problem));
  EXPECT_NE(problem.find("no stretch"), std::string::npos);
  EXPECT_FALSE(host::mappingFromLabels("0:00.000", "0:05.000", "x", "22050", 670, 260, problem));
  EXPECT_NE(problem.find("not frequencies"), std::string::npos);
}

// The editor's analyser on its 668 x 259 grid, zoomed to a band around 1 kHz
// at the finest resolution, as the centre-of-gravity drag sees it.
class ZoomedDisplay : public ::testing::Test {
 protected:
  static constexpr int kRate = 44100;
  static constexpr int kFrame = 4096;

  void SetUp() override {
    analyser.setFftLength(kFrame);
    analyser.setSampleRate(kRate);
    analyser.setColumns(668);
    analyser.setRows(259);
    analyser.setWindow(2);
    analyser.allocateColumns();
    analyser.setZoom(1.0f);
    analyser.setRange(120);
    analyser.setFloor(12);
    analyser.setCeiling(105);
    analyser.setFrequencyRange(936.0f, 1281.0f);
  }

  // The mapping dewow reads off the labels the editor writes for this view.
  host::DisplayMapping mapping(double seconds) {
    std::string problem;
    const auto m = host::mappingFromLabels(
        formatTime(0.0, kRate), formatTime(seconds * kRate, kRate),
        std::to_string(static_cast<int>(analyser.bottomFrequency())),
        std::to_string(static_cast<int>(analyser.topFrequency())), 670, 260, problem);
    EXPECT_TRUE(m.has_value()) << problem;
    return m.value_or(host::DisplayMapping{});
  }

  void readTone(double hz, double seconds) {
    const int n = static_cast<int>(seconds * kRate);
    ASSERT_TRUE(analyser.prepare(0, n, n));
    for (int i = 0; i < n; ++i) {
      const float sample = static_cast<float>(0.3 * std::sin(2.0 * std::numbers::pi * hz * i / kRate));
      while (analyser.feed(sample)) {
      }
    }
  }

  // The levels the display shows in the rows between two frequencies,
  // averaged over a few columns, whole percents as the colours give them.
  std::vector<double> levels(int top, int bottom, int column) {
    std::vector<double> shown;
    for (int row = top; row <= bottom; ++row) {
      double sum = 0.0;
      for (int c = column - 2; c <= column + 2; ++c) sum += static_cast<int>(analyser.levelAt(c, row));
      shown.push_back(sum / 5.0);
    }
    return shown;
  }

  SpectrogramAnalyser analyser;
};

// A mouse y is the analyser's row y, and the display paints row y at pixel
// row y: the rows dewow reads and presses are the editor's rows.
TEST_F(ZoomedDisplay, RowsAreTheEditorsRows) {
  const host::DisplayMapping m = mapping(8.0);
  ASSERT_EQ(m.rows, analyser.rows());
  for (int row : {0, 1, 50, 129, 211, 258, 259}) {
    // The labels are whole hertz, so the mapping may be a hertz, up to a
    // row, lower.
    EXPECT_NEAR(m.frequencyOf(row), analyser.frequencyOfRow(row), 1.0) << row;
    EXPECT_NEAR(m.rowOf(analyser.frequencyOfRow(row)), row, 1) << row;
  }
}

TEST_F(ZoomedDisplay, StartsTracesOnColumnsWithWholeFrames) {
  readTone(1000.0, 8.0);
  const auto range = host::wholeFrameColumns(mapping(8.0), kRate, kFrame);
  ASSERT_TRUE(range.has_value());
  auto whole = [&](int column) {
    return analyser.frameEnd(column) - analyser.frameStart(column) == kFrame && analyser.fillIndex(column) == kFrame &&
           analyser.fillTarget(column) == kFrame;
  };
  EXPECT_TRUE(whole(range->first));
  EXPECT_TRUE(whole(range->last));
  EXPECT_FALSE(whole(range->first - 2)) << "no more columns lost than the labels' rounding needs";
  EXPECT_FALSE(whole(range->last + 2));
  // A view shorter than a frame has no such column.
  EXPECT_FALSE(host::wholeFrameColumns(mapping(0.08), kRate, kFrame).has_value());
}

// The display shows a line brightest at its strongest bin; the row dewow
// presses must be the line's own, to within a row, wherever it lies in the
// bin, since the traced curve starts from that row's frequency.
TEST_F(ZoomedDisplay, FindsTheLinesRowWithinTheBin) {
  const double binHz = static_cast<double>(kRate) / kFrame;
  const double rowHz = analyser.frequencyOfRow(0) - analyser.frequencyOfRow(1);
  for (double hz : {1001.3, 1003.0, 1004.6, 1006.2, 997.5, 995.1}) {
    SCOPED_TRACE(hz);
    readTone(hz, 2.0);
    const host::DisplayMapping m = mapping(2.0);
    const int top = m.rowOf(1100.0);
    const int bottom = m.rowOf(900.0);
    std::vector<double> shown = levels(top, bottom, 300);
    const auto row = host::lineRow(shown, top, m, binHz);
    ASSERT_TRUE(row.has_value());
    EXPECT_LE(std::fabs(analyser.frequencyOfRow(*row) - hz), rowHz);

    // The curve drawn over the brightest rows hides their level.
    const auto peak = std::max_element(shown.begin(), shown.end()) - shown.begin();
    shown[static_cast<std::size_t>(peak)] = -1.0;
    shown[static_cast<std::size_t>(peak) + 1] = -1.0;
    const auto hidden = host::lineRow(shown, top, m, binHz);
    ASSERT_TRUE(hidden.has_value());
    EXPECT_LE(std::fabs(analyser.frequencyOfRow(*hidden) - hz), 2.0 * rowHz);
  }
  const std::vector<double> unreadable(20, -1.0);
  EXPECT_FALSE(host::lineRow(unreadable, 0, mapping(2.0), binHz).has_value());
}

}  // namespace
