#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "curve/CurveCheck.h"
#include "host/audio/DiskFile.h"
#include "host/commands/OutputCheck.h"
#include "tests/host/TempPath.h"

namespace {

using curvecheck::checkCurveText;

TEST(CurveCheck, KeepsGoodPointsAndCountsEveryLineItCannotUse) {
  struct Case {
    std::string text;
    std::size_t points;
    std::size_t unusable;
  };
  const std::vector<Case> cases = {
      {"0 1.000000\r\n44100 1.010000\r\n", 2, 0},
      {"\xEF\xBB\xBF" "0 1.0\n10 0,99\r20 1.02", 3, 0},        // BOM, LF, CR, no last line end, decimal comma
      {"  0   1.0  \n\n   \n10 1.0\n", 2, 0},                  // blanks around, empty lines
      {"0\t1.0\n10\t1.0\n20 1.0\n", 1, 2},                     // tab-separated lines
      {"0\n1.0\n5 1.0\n", 1, 2},                               // one column
      {"0 1.0\n2.4e5 1.0\n", 1, 1},                            // a position written as a float
      {"-5 1.0\n0 1.0\n", 1, 1},                               // negative position
      {"0 1.0\n10 nan\n20 1.0xyz\n30 abc\n40 1.0\n", 2, 3},    // ratios that are no numbers
      {"0 1.0\n100 1.0\n50 1.0\n100 1.0\n200 1.0\n", 3, 2},    // positions that do not ascend
      {"0 1.0\n3000000000 1.0\n", 1, 1},                       // beyond 32 bits
  };
  for (const Case& c : cases) {
    const curvecheck::CurveCheck check = checkCurveText(c.text);
    EXPECT_TRUE(check.usable()) << c.text << ": " << check.refusal;
    EXPECT_EQ(check.points.size(), c.points) << c.text;
    EXPECT_EQ(check.unusableLines, c.unusable) << c.text;
    EXPECT_EQ(check.firstReasons.size(), std::min<std::size_t>(c.unusable, 3)) << c.text;
  }
  const curvecheck::CurveCheck commas = checkCurveText("0 0,99\n");
  ASSERT_EQ(commas.points.size(), 1u);
  EXPECT_DOUBLE_EQ(commas.points[0].ratio, 0.99);
}

TEST(CurveCheck, RefusesACurveWithNothingUsable) {
  const std::string utf16("\xFF\xFE" "0\0 \0" "1\0.\0" "0\0\r\0\n\0", 16);
  std::string random;
  for (int i = 0; i < 4000; ++i) random.push_back(static_cast<char>((i * 7919 + 13) % 256));
  for (const std::string& text : {std::string(), std::string("\n\n"), utf16, random, std::string("0\t1.0\n"),
                                  std::string("1.0\n1.0\n"), std::string("x y\n")}) {
    const curvecheck::CurveCheck check = checkCurveText(text);
    EXPECT_FALSE(check.usable());
    EXPECT_EQ(check.refusal, "the curve holds no usable point");
  }
}

TEST(CurveCheck, RefusesImplausibleSpeedsNamingLineAndValue) {
  struct Case {
    std::string text;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{{"0 1e-30\n", "line 1: the ratio 1e-30"},
                                         {"0 1.0\n\n500 0\n900 1.0\n", "line 3: the ratio 0 "},
                                         {"0 1.0\n100 20\n", "line 2: the ratio 20 "},
                                         {"0 -1.0\n", "line 1: the ratio -1 "},
                                         {"0 inf\n", "line 1: the ratio inf "},
                                         {"0 4.0001\n", "the ratio 4.0001 "}}) {
    const curvecheck::CurveCheck check = checkCurveText(c.text);
    EXPECT_FALSE(check.usable()) << c.text;
    EXPECT_NE(check.refusal.find(c.says), std::string::npos) << check.refusal;
  }
  EXPECT_TRUE(checkCurveText("0 0.25\n1 4\n").usable());
}

TEST(CurveCheck, HandsOnTheUsablePointsInTheCurveFormat) {
  const curvecheck::CurveCheck check = checkCurveText("0 1\nbad\n+44100 0,98\n10 1.0\n88200 1.015\n");
  EXPECT_EQ(check.text(), "0 1.000000\r\n44100 0.980000\r\n88200 1.015000\r\n");
}

class OutputCheck : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(host::pathFromUtf8(folder)); }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(host::pathFromUtf8(folder + "/locked.wav"), std::filesystem::perms::owner_all,
                                 ignored);
    std::filesystem::remove_all(host::pathFromUtf8(folder), ignored);
  }
  const std::string folder = tempPath("output-check");
  const std::string input = folder + "/in.wav";
};

TEST_F(OutputCheck, FindsWhatWouldFailBeforeAnyWork) {
  std::ofstream(input) << "x";
  std::ofstream(folder + "/locked.wav") << "x";
  std::filesystem::permissions(host::pathFromUtf8(folder + "/locked.wav"),
                               std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  struct Case {
    std::string output;
    std::string says;
  };
  for (const Case& c : std::vector<Case>{
           {folder + "/missing/out.wav", "does not exist"},
           {folder, "it is a folder"},
           {folder + "/", "names no file"},
           {folder + "/locked.wav", "read-only"},
           {input, "it is the input file"},
           {folder + "/../" + folder.substr(folder.find_last_of("/\\") + 1) + "/in.wav", "it is the input file"},
           {folder + "/in.wav/out.wav", "is not a folder"},
           {folder + "/aux.wav", "device"},
           {"AUX", "device"},
           {folder + "/con", "device"},
           {folder + "/Nul.txt.wav", "device"},
           {folder + "/com1.wav", "device"},
           {folder + "/LPT9 .wav", "device"},
       }) {
    const std::string why = host::whyNotOutput(input, c.output);
    EXPECT_NE(why.find(c.says), std::string::npos) << c.output << ": " << why;
  }
  for (const std::string& fine : {folder + "/out.wav", folder + "/auxiliary.wav", folder + "/com10.wav",
                                  folder + "/\xE6\xBC\xA2\xE5\xAD\x97.wav"})
    EXPECT_EQ(host::whyNotOutput(input, fine), "") << fine;
  // The check leaves nothing behind.
  std::size_t files = 0;
  for (auto it = std::filesystem::directory_iterator(host::pathFromUtf8(folder));
       it != std::filesystem::directory_iterator(); ++it)
    ++files;
  EXPECT_EQ(files, 2u);
}

}  // namespace
