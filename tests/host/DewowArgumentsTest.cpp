// pelmora-host dewow: which option sets it takes, and how the display's
// labels turn times and frequencies into the pixels a drag goes through.
#include <gtest/gtest.h>

#include "editor/ColourTable.h"
#include "editor/TimeFormat.h"
#include "host/DewowArguments.h"
#include "host/DisplayMapping.h"

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
}

TEST(DewowArguments, RefusesWhatCannotBeDoneWithWordsSayingWhy) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {dewow({"in.wav", "out.wav", "--algorithm", "humm"}), "unknown algorithm \"humm\""},
      {dewow({"in.wav", "out.wav"}), "needs --algorithm"},
      {dewow({"in.wav", "out.wav", "--algorithm", "spectral"}), "spectral algorithm needs --band"},
      {dewow({"in.wav", "out.wav", "--algorithm", "cog"}), "cog algorithm needs --band"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--range", "1:2"}), "only the spectral algorithm"},
      {dewow({"in.wav", "out.wav", "--algorithm", "spectral", "--band", "1100:900"}), "LO below HI"},
      {dewow({"in.wav", "out.wav", "--algorithm", "spectral", "--band", "900:1100", "--range", "3:3"}),
       "A below B"},
      {dewow({"in.wav", "in.wav", "--algorithm", "hum"}), "another file than IN.wav"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--curve-out", "out.wav"}), "--curve-out must name"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--param", "Lower"}), "NAME=VALUE"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--param", "Lower=x"}), "NAME=VALUE"},
      {dewow({"in.wav", "out.wav", "--algorithm"}), "--algorithm needs a value"},
      {dewow({"in.wav", "out.wav", "--algorithm", "hum", "--frobnicate"}), "unknown option --frobnicate"},
      {dewow({"in.wav", "--algorithm", "hum"}), "needs IN.wav and OUT.wav"},
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
  // 670 x 260 display: 668 columns over 0..10 s, 258 rows over 0..22050 Hz.
  const auto m = host::mappingFromLabels("0:00.000", "0:10.000", "0", "22050", 670, 260, problem);
  ASSERT_TRUE(m.has_value()) << problem;
  EXPECT_EQ(m->columns, 668);
  EXPECT_EQ(m->rows, 258);
  EXPECT_EQ(m->columnOf(0.0), 0);
  EXPECT_EQ(m->columnOf(10.0), 667);
  EXPECT_EQ(m->columnOf(5.0), 334);  // 333.5 rounds up
  EXPECT_EQ(m->columnOf(-3.0), 0);
  EXPECT_EQ(m->columnOf(99.0), 667);
  for (int column : {0, 100, 667}) EXPECT_EQ(m->columnOf(m->secondsOf(column)), column);
  EXPECT_EQ(m->rowOf(22050.0), 0);
  EXPECT_EQ(m->rowOf(0.0), 258);
  EXPECT_EQ(m->rowOf(11025.0), 129);
  for (int row : {0, 17, 258}) EXPECT_EQ(m->rowOf(m->frequencyOf(row)), row);

  EXPECT_FALSE(host::mappingFromLabels("0:05.000", "0:05.000", "0", "22050", 670, 260, problem));
  EXPECT_NE(problem.find("no stretch"), std::string::npos);
  EXPECT_FALSE(host::mappingFromLabels("0:00.000", "0:05.000", "x", "22050", 670, 260, problem));
  EXPECT_NE(problem.find("not frequencies"), std::string::npos);
}

TEST(DisplayMapping, ReadsEveryLevelOfTheEditorsColourScaleBack) {
  for (int level = 0; level <= 100; ++level) {
    const Rgb c = ColourTable::levelColour(level);
    EXPECT_EQ(host::levelOfColour(c.red, c.green, c.blue), level);
  }
  EXPECT_EQ(host::levelOfColour(0, 0, 0), -1);
  EXPECT_EQ(host::levelOfColour(255, 255, 255), -1);
}

}  // namespace
