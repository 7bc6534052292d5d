#include "curve/PvcCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "CurveTestFolder.h"
#include "ReferenceCurve.h"

namespace {

class Curve : public ::testing::Test {
 protected:
  // A flat curve over the given number of frames, as the passes set it up.
  void flat(std::int32_t frames) {
    curve.resetFlat(frames);
    curve.setLength(frames);
  }
  std::vector<PvcPoint> points() const { return {curve.points().begin(), curve.points().end()}; }
  std::vector<std::int32_t> positions() const {
    std::vector<std::int32_t> p;
    for (const PvcPoint& point : curve.points()) p.push_back(point.position);
    return p;
  }

  CurveTestFolder folder;
  PvcCurve curve{folder.dir()};
};

TEST_F(Curve, ResetFlatGivesTheTwoEndsAtNominalSpeed) {
  flat(1000);
  ASSERT_EQ(curve.pointCount(), 2);
  EXPECT_EQ(curve.positionOf(0), 0);
  EXPECT_EQ(curve.ratioOf(0), 1.0f);
  EXPECT_EQ(curve.positionOf(1), 999);
  EXPECT_EQ(curve.ratioOf(1), 1.0f);
  EXPECT_EQ(curve.lastValue(), 1.0f);
  EXPECT_EQ(curve.ratioAt(500), 1.0f);
  EXPECT_EQ(curve.ratioAt(999), 1.0f);
  EXPECT_EQ(curve.ratioAt(1000), -1.0f);
  EXPECT_EQ(curve.ratioAt(-1), -1.0f);
}

TEST_F(Curve, ResetFlatOfOneFrameOrNoneKeepsASinglePointAtZero) {
  for (std::int32_t frames : {1, 0, -7}) {
    flat(frames);
    ASSERT_EQ(curve.pointCount(), 1) << frames;
    EXPECT_EQ(curve.positionOf(0), 0);
    EXPECT_EQ(curve.ratioOf(0), 1.0f);
  }
  flat(1);
  EXPECT_EQ(curve.ratioAt(0), 1.0f);
}

TEST_F(Curve, InsertPointIgnoresEndsTakenPositionsAndRatiosNotAboveZero) {
  flat(1000);
  curve.insertPoint(500, 1.1f, false);
  const auto before = positions();
  EXPECT_TRUE(curve.insertPoint(0, 1.2f, false));
  EXPECT_TRUE(curve.insertPoint(999, 1.2f, false));
  EXPECT_TRUE(curve.insertPoint(1000, 1.2f, false));
  EXPECT_TRUE(curve.insertPoint(-3, 1.2f, false));
  EXPECT_TRUE(curve.insertPoint(300, 0.0f, false));
  EXPECT_TRUE(curve.insertPoint(300, -1.0f, false));
  EXPECT_TRUE(curve.insertPoint(300, std::numeric_limits<float>::quiet_NaN(), false));
  EXPECT_TRUE(curve.insertPoint(500, 1.3f, false));
  EXPECT_EQ(positions(), before);
  EXPECT_EQ(curve.ratioOf(1), 1.1f);
}

TEST_F(Curve, InsertPointBeyondTheLastPointChangesNothing) {
  // A curve read before the file's length was known can end early.
  curve.appendPoint(0, 1.0f, false);
  curve.appendPoint(500, 1.0f, false);
  curve.setLength(1000);
  curve.insertPoint(700, 1.2f, false);
  curve.insertPoint(300, 1.2f, false);
  curve.insertPoint(800, 1.2f, false);  // right after the last insertion, still beyond
  EXPECT_EQ(positions(), (std::vector<std::int32_t>{0, 300, 500}));
}

TEST_F(Curve, InsertPointNeedsALengthBeyondThePosition) {
  curve.resetFlat(1000);  // length still 0: every position is outside
  curve.insertPoint(500, 1.1f, false);
  EXPECT_EQ(curve.pointCount(), 2);
}

TEST_F(Curve, InsertPointKeepsPositionsAscendingWhateverTheOrder) {
  flat(10000);
  std::vector<std::int32_t> wanted;
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    const std::int32_t p = 1 + static_cast<std::int32_t>(random() % 9997);
    curve.insertPoint(p, 1.0f + static_cast<float>(i) * 1e-4f, false);
    wanted.push_back(p);
  }
  wanted.push_back(0);
  wanted.push_back(9999);
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  EXPECT_EQ(positions(), wanted);
}

TEST_F(Curve, InsertFilterComparesWithTheLeftNeighbour) {
  flat(1000);
  curve.insertPoint(500, 1.0005f, true);  // within 0.001 of the point at 0
  EXPECT_EQ(curve.pointCount(), 2);
  curve.insertPoint(500, 1.002f, true);
  ASSERT_EQ(curve.pointCount(), 3);
  EXPECT_EQ(curve.lastValue(), 1.002f);
  // Left of 600 lies 500 (1.002): refused although far from the end's 1.0.
  curve.insertPoint(600, 1.0025f, true);
  EXPECT_EQ(curve.pointCount(), 3);
  // Left of 400 lies 0 (1.0): accepted.
  curve.insertPoint(400, 1.0025f, true);
  EXPECT_EQ(positions(), (std::vector<std::int32_t>{0, 400, 500, 999}));
}

TEST_F(Curve, AppendFilterRefusesNearDuplicates) {
  curve.appendPoint(0, 1.0f, false);
  curve.acceptValue(1.0f);
  EXPECT_FALSE(curve.appendPoint(10, 1.0005f, true));
  EXPECT_TRUE(curve.appendPoint(10, 1.002f, true));
  EXPECT_TRUE(curve.appendPoint(20, 1.0025f, false));
  EXPECT_TRUE(curve.appendPoint(30, 1.0025f, false));
  EXPECT_EQ(curve.pointCount(), 4);
}

TEST_F(Curve, AcceptValueIsStrictAtAThousandth) {
  curve.clear();  // lastValue 0.0
  EXPECT_FALSE(curve.acceptValue(0.001f));
  EXPECT_EQ(curve.lastValue(), 0.0f);
  EXPECT_FALSE(curve.acceptValue(-0.001f));
  EXPECT_TRUE(curve.acceptValue(0.0011f));
  EXPECT_EQ(curve.lastValue(), 0.0011f);
  EXPECT_FALSE(curve.acceptValue(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(curve.lastValue(), 0.0011f);
}

TEST_F(Curve, DeleteRangeKeepsBothEnds) {
  flat(1000);
  for (std::int32_t p : {100, 200, 300, 400}) curve.insertPoint(p, 1.1f, false);
  curve.deleteRange(200, 300);  // both bounds inclusive
  EXPECT_EQ(positions(), (std::vector<std::int32_t>{0, 100, 400, 999}));
  curve.deleteRange(500, 100);  // from above to: nothing
  EXPECT_EQ(curve.pointCount(), 4);
  curve.deleteRange(0, 999);
  EXPECT_EQ(positions(), (std::vector<std::int32_t>{0, 999}));
  curve.deleteRange(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(curve.pointCount(), 2);
}

TEST_F(Curve, QueriesOutsideThePointsGiveFallbacks) {
  flat(1000);
  EXPECT_EQ(curve.positionOf(2), 0);
  EXPECT_EQ(curve.ratioOf(2), 1.0f);
  EXPECT_EQ(curve.columnOf(2), -1);
  EXPECT_EQ(curve.rowOf(2), -1);
  EXPECT_EQ(curve.columnOf(0), 0);  // never laid out
  EXPECT_FALSE(curve.setPoint(2, 5, 1.0f));
  EXPECT_TRUE(curve.setPoint(1, 998, 0.9f));
  EXPECT_EQ(curve.positionOf(1), 998);
  EXPECT_EQ(curve.ratioOf(1), 0.9f);
  EXPECT_TRUE(curve.isEndPoint(0));
  EXPECT_TRUE(curve.isEndPoint(1));
  EXPECT_FALSE(curve.isEndPoint(2));
}

TEST_F(Curve, RatioAtInterpolatesBetweenNeighbours) {
  curve.setLength(101);
  curve.appendPoint(0, 1.0f, false);
  curve.appendPoint(100, 2.0f, false);
  EXPECT_EQ(curve.ratioAt(25), 1.25f);
  EXPECT_EQ(curve.ratioAt(0), 1.0f);
  EXPECT_EQ(curve.ratioAt(100), 2.0f);
}

TEST_F(Curve, RatioAtHoldsTheFirstRatioBeforeTheFirstPointAndEndsAtTheLast) {
  curve.setLength(1000);
  curve.appendPoint(100, 1.5f, false);
  curve.appendPoint(500, 0.5f, false);
  EXPECT_EQ(curve.ratioAt(0), 1.5f);
  EXPECT_EQ(curve.ratioAt(99), 1.5f);
  EXPECT_EQ(curve.ratioAt(300), 1.0f);
  EXPECT_EQ(curve.ratioAt(501), -1.0f);
}

TEST_F(Curve, RatioAtStaysFiniteWhereNeighboursShareAFloatPosition) {
  // Beyond 2^25 floats step by 4: 2^25 and 2^25 + 2 are the same float.
  const std::int32_t x0 = 1 << 25;
  curve.setLength(x0 + 10);
  curve.appendPoint(0, 1.0f, false);
  curve.appendPoint(x0, 1.0f, false);
  curve.appendPoint(x0 + 2, 1.5f, false);
  EXPECT_EQ(curve.ratioAt(x0 + 1), 1.0f);
  curve.rewind();
  EXPECT_EQ(curve.ratioAtNext(x0 + 1), 1.0f);
}

TEST_F(Curve, RatioAtNextFollowsRatioAtForAscendingSamples) {
  std::mt19937 random(3);
  flat(20000);
  for (int i = 0; i < 400; ++i)
    curve.insertPoint(1 + static_cast<std::int32_t>(random() % 19997), 0.9f + static_cast<float>(random() % 200) * 1e-3f,
                      false);
  curve.rewind();
  for (std::int32_t s = -2; s < 20002; ++s) ASSERT_EQ(curve.ratioAtNext(s), curve.ratioAt(s)) << s;
  // After a rewind the walk starts again.
  curve.rewind();
  EXPECT_EQ(curve.ratioAtNext(7), curve.ratioAt(7));
}

TEST_F(Curve, RatioAtNextSurvivesACurveThatShrankSinceTheRewind) {
  flat(1000);
  for (std::int32_t p = 10; p < 990; p += 10) curve.insertPoint(p, 1.2f, false);
  curve.rewind();
  EXPECT_EQ(curve.ratioAtNext(900), 1.2f);
  curve.deleteRange(1, 998);
  EXPECT_EQ(curve.ratioAtNext(950), -1.0f);  // the walk has no points left
  curve.rewind();
  EXPECT_EQ(curve.ratioAtNext(950), 1.0f);
}

TEST_F(Curve, SearchesGiveTheFrontToBackAnswers) {
  // Insert in ascending runs in the middle and before the end, and at
  // random, and hold every answer to the plain walk.
  std::mt19937 random(11);
  const std::int32_t length = 50000;
  flat(length);
  std::vector<PvcPoint> model = points();
  float modelLast = curve.lastValue();
  auto insert = [&](std::int32_t p, float r, bool filter) {
    curve.insertPoint(p, r, filter);
    reference::insertPoint(model, length, p, r, filter, modelLast);
  };
  for (std::int32_t p = 40000; p < 49990; p += 7) insert(p, 1.0f + static_cast<float>(p % 13) * 1e-3f, true);
  for (std::int32_t p = 1000; p < 5000; p += 3) insert(p, 1.0f + static_cast<float>(p % 5) * 1e-3f, false);
  for (int i = 0; i < 2000; ++i)
    insert(static_cast<std::int32_t>(random() % length), 0.95f + static_cast<float>(random() % 100) * 1e-3f, i % 2 == 0);
  ASSERT_EQ(curve.pointCount(), static_cast<std::int32_t>(model.size()));
  for (std::size_t i = 0; i < model.size(); ++i) {
    ASSERT_EQ(curve.positionOf(static_cast<unsigned>(i)), model[i].position) << i;
    ASSERT_EQ(curve.ratioOf(static_cast<unsigned>(i)), model[i].ratio) << i;
  }
  EXPECT_EQ(curve.lastValue(), modelLast);
  for (int i = 0; i < 5000; ++i) {
    const std::int32_t s = static_cast<std::int32_t>(random() % (length + 10)) - 5;
    ASSERT_EQ(curve.ratioAt(s), reference::ratioAt(model, length, s)) << s;
  }
}

TEST_F(Curve, PointsOutOfOrderAreSearchedFrontToBack) {
  // setPoint and appendPoint trust their callers; when a caller breaks the
  // order the answers are still those of the plain walk.
  const std::int32_t length = 1000;
  flat(length);
  for (std::int32_t p = 100; p < 900; p += 100) curve.insertPoint(p, 1.0f + static_cast<float>(p) * 1e-4f, false);
  curve.setPoint(3, 700, 1.3f);  // now ... 200, 700, 400, ...
  std::vector<PvcPoint> model = points();
  float modelLast = curve.lastValue();
  for (std::int32_t p : {150, 450, 650, 750, 250}) {
    curve.insertPoint(p, 1.2f, false);
    reference::insertPoint(model, length, p, 1.2f, false, modelLast);
  }
  ASSERT_EQ(points().size(), model.size());
  for (std::size_t i = 0; i < model.size(); ++i) EXPECT_EQ(curve.positionOf(static_cast<unsigned>(i)), model[i].position);
  for (std::int32_t s = 0; s < length; s += 7) ASSERT_EQ(curve.ratioAt(s), reference::ratioAt(model, length, s)) << s;
  // Putting the point back restores order and the short cuts.
  curve.setPoint(3, 300, 1.03f);
  model = points();
  for (std::int32_t s = 0; s < length; s += 7) ASSERT_EQ(curve.ratioAt(s), reference::ratioAt(model, length, s)) << s;
}

TEST_F(Curve, AscendingInsertsBeforeTheEndTakeConstantTime) {
  // A detection pass over a long file: a point every 256 frames. Quadratic
  // work would take minutes here; the test only has to finish.
  const std::int32_t length = 256 * 400000;
  flat(length);
  for (std::int32_t p = 256; p < length - 1; p += 256) curve.insertPoint(p, 1.0f + static_cast<float>(p % 7) * 1e-3f, false);
  EXPECT_EQ(curve.pointCount(), 400000 + 1);
  curve.rewind();
  for (std::int32_t s = 0; s < length; s += 97) ASSERT_EQ(curve.ratioAtNext(s), curve.ratioAt(s)) << s;
}

}  // namespace
