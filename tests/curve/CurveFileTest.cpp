#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "CurveTestFolder.h"
#include "curve/CurveText.h"
#include "curve/PvcCurve.h"

namespace {

std::vector<PvcPoint> readText(std::string_view text) {
  CurveTextReader reader;
  reader.feed(text);
  return reader.finish();
}

struct Pair {
  std::int32_t position;
  float ratio;
  bool operator==(const Pair&) const = default;
};

std::vector<Pair> pairs(const std::vector<PvcPoint>& points) {
  std::vector<Pair> out;
  for (const PvcPoint& p : points) out.push_back({p.position, p.ratio});
  return out;
}

std::vector<Pair> pairs(const PvcCurve& curve) { return pairs(std::vector<PvcPoint>(curve.points().begin(), curve.points().end())); }

std::string line(std::int32_t position, float ratio) {
  std::string text;
  appendCurveLine(text, position, ratio);
  return text;
}

TEST(CurveText, WritesPrintfStyleLinesWithCrLf) {
  EXPECT_EQ(line(44100, 1.0f), "44100 1.000000\r\n");
  EXPECT_EQ(line(-5, -0.25f), "-5 -0.250000\r\n");
  EXPECT_EQ(line(7, 1.0000006f), "7 1.000001\r\n");
  EXPECT_EQ(line(7, 1.0000004f), "7 1.000000\r\n");
  // An exact tie rounds to even, as the C library's %f does.
  EXPECT_EQ(line(1, 0.0078125f), "1 0.007812\r\n");
  EXPECT_EQ(line(2147483647, 3.0e38f).substr(0, 14), "2147483647 300");
}

#ifndef _WIN32
// glibc's printf is exact; the Windows C library rounds some ties its own
// way, which is why the writer does not use it.
TEST(CurveText, WritesWhatPrintfWrites) {
  std::mt19937 random(2);
  for (int i = 0; i < 20000; ++i) {
    std::uint32_t bits = static_cast<std::uint32_t>(random());
    float ratio;
    std::memcpy(&ratio, &bits, sizeof ratio);
    if (!std::isfinite(ratio)) continue;
    if (i % 2) ratio = static_cast<float>(random() % 3000000) / 1048576.0f;
    const auto position = static_cast<std::int32_t>(random());
    char expected[128];
    std::snprintf(expected, sizeof expected, "%d %f\r\n", position, static_cast<double>(ratio));
    ASSERT_EQ(line(position, ratio), expected);
  }
}
#endif

TEST(CurveText, WritesADecimalPointUnderACommaLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252", "German", "de-DE"};
  const char* chosen = nullptr;
  for (const char* name : names)
    if (std::setlocale(LC_ALL, name)) {
      chosen = name;
      break;
    }
  if (!chosen) GTEST_SKIP() << "no locale with a decimal comma here";
  const bool comma = std::localeconv()->decimal_point[0] == ',';
  const std::string written = line(3, 1.5f);
  const std::vector<PvcPoint> read = readText("3 1.5\n");
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(comma) << chosen;
  EXPECT_EQ(written, "3 1.500000\r\n");
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].ratio, 1.5f);
}

TEST(CurveText, ReadsLfCrLfAndCrLineEnds) {
  const std::vector<Pair> want{{0, 1.0f}, {10, 1.5f}, {20, 0.5f}};
  EXPECT_EQ(pairs(readText("0 1.0\n10 1.5\n20 0.5\n")), want);
  EXPECT_EQ(pairs(readText("0 1.0\r\n10 1.5\r\n20 0.5\r\n")), want);
  EXPECT_EQ(pairs(readText("0 1.0\r10 1.5\r20 0.5")), want);
}

TEST(CurveText, ReadsADecimalCommaAndSkipsEmptyLines) {
  EXPECT_EQ(pairs(readText("0 1,5\n\n\r\n10 2,25\n")), (std::vector<Pair>{{0, 1.5f}, {10, 2.25f}}));
}

TEST(CurveText, ReadsNumbersTheWayCDoes) {
  EXPECT_EQ(pairs(readText("  +5 +1.5e0junk\n")), (std::vector<Pair>{{5, 1.5f}}));
  EXPECT_EQ(pairs(readText("5x 1.25\n")), (std::vector<Pair>{{5, 1.25f}}));
  EXPECT_EQ(pairs(readText("5 \t.5\n")), (std::vector<Pair>{{5, 0.5f}}));
  EXPECT_EQ(pairs(readText("5 2.\n")), (std::vector<Pair>{{5, 2.0f}}));
  EXPECT_EQ(pairs(readText("5 1e\n")), (std::vector<Pair>{{5, 1.0f}}));
  EXPECT_EQ(pairs(readText("00012 1.0 and more\n")), (std::vector<Pair>{{12, 1.0f}}));
}

TEST(CurveText, SkipsLinesThatAreNotPoints) {
  const char* bad[] = {
      "12345",          // no blank
      "abc 1.0",        // no digits for the position
      "- 1.0",          //
      "10 abc",         // no number for the ratio
      "10 ",            //
      "10 ,",           //
      "-5 1.0",         // negative position
      "3000000000 1.0", // beyond 32 bits
      "10 -1.0",        // negative ratio
      "10 nan",         // not a number
      "10 inf",         //
      "10 1e39",        // no float holds it
      "10 1e999",       // no double holds it
  };
  for (const char* text : bad) {
    const std::string file = std::string("0 1.0\n") + text + "\n20 1.5\n";
    EXPECT_EQ(pairs(readText(file)), (std::vector<Pair>{{0, 1.0f}, {20, 1.5f}})) << text;
  }
}

TEST(CurveText, KeepsZeroRatiosAsDraggedPointsMayHoldThem) {
  EXPECT_EQ(pairs(readText("0 1.0\n10 0.000000\n20 -0.0\n")), (std::vector<Pair>{{0, 1.0f}, {10, 0.0f}, {20, 0.0f}}));
}

TEST(CurveText, SkipsPositionsThatDoNotAscend) {
  EXPECT_EQ(pairs(readText("0 1.0\n50 1.1\n50 1.2\n40 1.3\n60 1.4\n")),
            (std::vector<Pair>{{0, 1.0f}, {50, 1.1f}, {60, 1.4f}}));
}

TEST(CurveText, SkipsOverlongLinesWhole) {
  const std::string longLine = "30 1." + std::string(5000, '5');
  EXPECT_EQ(pairs(readText("0 1.0\n" + longLine + "\n40 1.5\n")), (std::vector<Pair>{{0, 1.0f}, {40, 1.5f}}));
  EXPECT_TRUE(readText(std::string(10'000'000, '7')).empty());
}

TEST(CurveText, SkipsALeadingByteOrderMark) {
  EXPECT_EQ(pairs(readText("\xEF\xBB\xBF" "0 1.0\n5 1.5\n")), (std::vector<Pair>{{0, 1.0f}, {5, 1.5f}}));
  // A partial mark stays part of the line, which then is no point line.
  EXPECT_EQ(pairs(readText("\xEF\xBB" "0 1.0\n5 1.5\n")), (std::vector<Pair>{{5, 1.5f}}));
}

TEST(CurveText, SurvivesBinaryGarbage) {
  std::mt19937 random(5);
  std::string garbage(200000, '\0');
  for (char& c : garbage) c = static_cast<char>(random() % 256);
  const std::vector<PvcPoint> points = readText(garbage);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_GE(points[i].position, 0);
    EXPECT_TRUE(std::isfinite(points[i].ratio) && points[i].ratio >= 0.0f);
    if (i > 0) {
      EXPECT_LT(points[i - 1].position, points[i].position);
    }
  }
  EXPECT_EQ(pairs(readText(std::string("0 1.0\n\0\0\0 1.0\n9 2.0\n", 20))), (std::vector<Pair>{{0, 1.0f}, {9, 2.0f}}));
}

TEST(CurveText, GivesTheSameAnswerWhateverThePieces) {
  std::mt19937 random(9);
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    const char* pieces[] = {"12 ", "1,5", "\r\n", "\n", "\r", " ", "-", "7", "0.25", "e3", "\xEF\xBB\xBF", "x"};
    text += pieces[random() % 12];
  }
  const std::vector<Pair> whole = pairs(readText(text));
  CurveTextReader byBytes;
  for (char c : text) byBytes.feed(std::string_view(&c, 1));
  EXPECT_EQ(pairs(byBytes.finish()), whole);
  CurveTextReader byChunks;
  for (std::size_t at = 0; at < text.size(); at += 97) byChunks.feed(std::string_view(text).substr(at, 97));
  EXPECT_EQ(pairs(byChunks.finish()), whole);
}

class CurveFile : public ::testing::Test {
 protected:
  CurveTestFolder folder;
  PvcCurve curve{folder.dir()};
};

TEST_F(CurveFile, WritesAFlatCurveAsTwoLines) {
  curve.resetFlat(1000);
  ASSERT_TRUE(curve.writeFile(folder.file("flat.pvc"), false));
  EXPECT_EQ(folder.read("flat.pvc"), "0 1.000000\r\n999 1.000000\r\n");
  EXPECT_EQ(curve.fileName(), folder.file("flat.pvc"));
}

TEST_F(CurveFile, WriteFailuresAreReported) {
  curve.resetFlat(1000);
  EXPECT_FALSE(curve.writeFile("", false));
  EXPECT_FALSE(curve.writeFile(folder.file("missing/sub/x.pvc"), false));
  EXPECT_TRUE(curve.fileName().empty());
  ASSERT_TRUE(curve.writeFile(folder.file("snap.dwt"), true));
  EXPECT_TRUE(curve.fileName().empty());  // snapshots leave the file name
}

#ifndef _WIN32
// A disk that fills up part way: a file size limit makes the writes fail as
// a full disk does. The old file stays as it was and nothing cut short is left.
TEST_F(CurveFile, AWriteCutShortLeavesTheOldFileAndNoPart) {
  curve.resetFlat(1000);
  ASSERT_TRUE(curve.writeFile(folder.file("full.pvc"), false));
  const std::string old = folder.read("full.pvc");
  curve.resetFlat(1 << 20);
  curve.setLength(1 << 20);
  for (std::int32_t i = 1; i < 3000; ++i) curve.insertPoint(i * 300, 1.01f, false);  // some 50 kB of text
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 4096;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = curve.writeFile(folder.file("full.pvc"), false);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(folder.read("full.pvc"), old);
  EXPECT_FALSE(std::ifstream(folder.file("full.pvc.partial~")).good());
}
#endif

TEST_F(CurveFile, ReadsBackWhatItWrote) {
  std::mt19937 random(1);
  curve.resetFlat(1 << 20);
  curve.setLength(1 << 20);
  for (int i = 0; i < 3000; ++i)
    curve.insertPoint(1 + static_cast<std::int32_t>(random() % ((1 << 20) - 2)),
                      0.5f + static_cast<float>(random() % 1000000) * 1.5e-6f, false);
  curve.insertPoint(1000, 1.0e-7f, false);  // writes as 0.000000
  ASSERT_TRUE(curve.writeFile(folder.file("a.pvc"), false));
  const std::vector<Pair> written = pairs(curve);

  PvcCurve other{folder.dir()};
  other.setLength(1 << 20);
  ASSERT_TRUE(other.readFile(folder.file("a.pvc"), false));
  const std::vector<Pair> read = pairs(other);
  ASSERT_EQ(read.size(), written.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].position, written[i].position);
    EXPECT_NEAR(read[i].ratio, written[i].ratio, 5.1e-7f);
  }
  // Once through the text the values are fixed: writing again gives the same bytes.
  ASSERT_TRUE(other.writeFile(folder.file("b.pvc"), false));
  EXPECT_EQ(folder.read("b.pvc"), folder.read("a.pvc"));
}

TEST_F(CurveFile, ReadingAShortCurveHoldsItsLastRatioToTheEnd) {
  curve.setLength(1000);
  folder.write("short.pvc", "0 1.000000\r\n500 1.200000\r\n");
  ASSERT_TRUE(curve.readFile(folder.file("short.pvc"), false));
  EXPECT_EQ(pairs(curve), (std::vector<Pair>{{0, 1.0f}, {500, 1.2f}, {1000, 1.2f}}));
  EXPECT_EQ(curve.ratioAt(999), 1.2f);

  folder.write("full.pvc", "0 1.000000\r\n999 1.200000\r\n");
  ASSERT_TRUE(curve.readFile(folder.file("full.pvc"), false));
  EXPECT_EQ(curve.pointCount(), 2);

  PvcCurve fresh{folder.dir()};  // length 0: nothing is added
  ASSERT_TRUE(fresh.readFile(folder.file("short.pvc"), false));
  EXPECT_EQ(fresh.pointCount(), 2);
}

TEST_F(CurveFile, AFailedReadLeavesTheCurveAsItWas) {
  curve.resetFlat(1000);
  curve.setLength(1000);
  curve.insertPoint(300, 1.3f, false);
  const std::vector<Pair> before = pairs(curve);
  folder.write("empty.pvc", "");
  folder.write("words.pvc", "this is\r\nnot a curve\r\n");
  folder.write("bad.pvc", "10 nan\n-4 1.0\n10 -2\n");
  for (const char* name : {"missing.pvc", "empty.pvc", "words.pvc", "bad.pvc"}) {
    EXPECT_FALSE(curve.readFile(folder.file(name), false)) << name;
    EXPECT_EQ(pairs(curve), before) << name;
    EXPECT_EQ(curve.fileName(), folder.file(name));
  }
  EXPECT_FALSE(curve.readFile(folder.dir(), false));  // a folder, not a file
  EXPECT_EQ(pairs(curve), before);
}

TEST_F(CurveFile, ASuccessfulReadReplacesTheCurve) {
  curve.resetFlat(1000);
  curve.setLength(1000);
  folder.write("c.pvc", "0 1.0\n999 0.9\n");
  ASSERT_TRUE(curve.readFile(folder.file("c.pvc"), true));
  EXPECT_EQ(pairs(curve), (std::vector<Pair>{{0, 1.0f}, {999, 0.9f}}));
  EXPECT_EQ(curve.lastValue(), 0.0f);
  EXPECT_TRUE(curve.fileName().empty());
  // The read curve is searched like any other.
  curve.insertPoint(500, 2.0f, false);
  EXPECT_EQ(curve.ratioAt(500), 2.0f);
}

}  // namespace
