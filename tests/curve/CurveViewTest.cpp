#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "CurveTestFolder.h"
#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"

namespace {

// The editor's drawing: 670 x 260, so columns 1..669 and rows 1..258.
constexpr int kWidth = 670;
constexpr int kHeight = 260;

class CurveView : public ::testing::Test {
 protected:
  void SetUp() override {
    // 256 rows over 512 bins: ratio 1.0 (the reference, 11025 Hz) maps to
    // row 128 and each 1/128 of ratio to one row.
    analyser.setRows(256);
    analyser.setZoom(1.0f);
    ASSERT_EQ(analyser.rowForRatio(1.0f), 128);
    ASSERT_EQ(analyser.rowForRatio(1.5f), 64);
  }
  // Points at 0, 100, 300, 500, 700 and 999 of a 1000-frame curve.
  void sampleCurve() {
    curve.resetFlat(1000);
    curve.setLength(1000);
    curve.insertPoint(100, 1.5f, false);
    curve.insertPoint(300, 1.25f, false);
    curve.insertPoint(500, 0.75f, false);
    curve.insertPoint(700, 1.5f, false);
  }

  CurveTestFolder folder;
  PvcCurve curve{folder.dir()};
  SpectrogramAnalyser analyser;
};

TEST_F(CurveView, FullViewPlacesEveryPointAndTheRightEdgeAtNominal) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 0, 1000);  // viewEnd = length
  curve.layout(analyser);
  EXPECT_FALSE(curve.leftEdgeSynthetic());
  EXPECT_TRUE(curve.rightEdgeSynthetic());
  EXPECT_EQ(curve.firstVisible(), 0);
  EXPECT_EQ(curve.lastVisible(), 5);
  // column = position * 669/1000 + 1, truncated
  const std::vector<int> columns{1, 67, 201, 335, 469, 669};
  const std::vector<int> rows{128, 64, 96, 160, 64, 128};
  for (unsigned i = 0; i < 6; ++i) {
    EXPECT_EQ(curve.columnOf(i), columns[i]) << i;
    EXPECT_EQ(curve.rowOf(i), rows[i]) << i;
  }
  EXPECT_EQ(curve.rightEdge().position, 1000);
  EXPECT_EQ(curve.rightEdge().ratio, -1.0f);
  EXPECT_EQ(curve.rightEdgeRow(), 128);
  EXPECT_EQ(curve.rightEdgeColumn(), 670);  // edges are not clamped
}

TEST_F(CurveView, ZoomedViewHasSyntheticEdgesAndPlacesTheFirstPointBeyond) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 200, 600);
  curve.layout(analyser);
  EXPECT_TRUE(curve.leftEdgeSynthetic());
  EXPECT_TRUE(curve.rightEdgeSynthetic());
  EXPECT_EQ(curve.firstVisible(), 2);  // the point at 300
  EXPECT_EQ(curve.lastVisible(), 3);   // the point at 500
  EXPECT_EQ(curve.leftEdge().position, 200);
  EXPECT_EQ(curve.leftEdge().ratio, 1.375f);
  EXPECT_EQ(curve.leftEdgeColumn(), 1);
  EXPECT_EQ(curve.leftEdgeRow(), analyser.rowForRatio(1.375f));
  EXPECT_EQ(curve.columnOf(2), 168);  // 100 * 669/400 + 1
  EXPECT_EQ(curve.columnOf(3), 502);
  EXPECT_EQ(curve.columnOf(4), 669);  // 836 clamped to the drawing
  EXPECT_EQ(curve.columnOf(1), 0);    // left of the view: not laid out
  EXPECT_EQ(curve.rightEdge().ratio, 1.125f);
  EXPECT_EQ(curve.rightEdgeColumn(), 670);
  EXPECT_EQ(curve.rightEdgeRow(), analyser.rowForRatio(1.125f));
}

TEST_F(CurveView, PointsOnBothViewBoundsAreTheirOwnEdges) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 100, 500);
  curve.layout(analyser);
  EXPECT_FALSE(curve.leftEdgeSynthetic());
  EXPECT_FALSE(curve.rightEdgeSynthetic());
  EXPECT_EQ(curve.firstVisible(), 1);
  EXPECT_EQ(curve.lastVisible(), 3);
  EXPECT_EQ(curve.columnOf(1), 1);
  EXPECT_EQ(curve.rowOf(1), 64);
  EXPECT_EQ(curve.columnOf(3), 669);
}

TEST_F(CurveView, ViewBetweenTwoPointsHoldsNone) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 310, 320);
  curve.layout(analyser);
  EXPECT_EQ(curve.firstVisible(), 3);
  EXPECT_EQ(curve.lastVisible(), 2);
  EXPECT_FALSE(curve.pointNear(curve.columnOf(3), curve.rowOf(3)));
  EXPECT_FALSE(curve.selectNear(curve.columnOf(3), curve.rowOf(3)));
}

TEST_F(CurveView, ViewPastTheCurveLeavesNothingVisible) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 2000, 3000);
  curve.layout(analyser);
  EXPECT_EQ(curve.firstVisible(), 6);
  EXPECT_EQ(curve.lastVisible(), 5);
  EXPECT_EQ(curve.leftEdge().ratio, -1.0f);
  EXPECT_FALSE(curve.selectNear(1, 128));
}

TEST_F(CurveView, EmptyViewDoesNotDivideByZero) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 300, 300);
  curve.layout(analyser);
  EXPECT_EQ(curve.columnOf(2), 1);
  EXPECT_EQ(curve.rightEdgeColumn(), 1);
  EXPECT_EQ(curve.sampleForColumn(10), -1);
}

TEST_F(CurveView, RefreshEdgesRedoesOnlyTheSyntheticEdges) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 200, 500);
  curve.layout(analyser);
  ASSERT_TRUE(curve.leftEdgeSynthetic());
  ASSERT_FALSE(curve.rightEdgeSynthetic());
  const PvcPoint right = curve.rightEdge();
  curve.setPoint(1, 100, 1.75f);  // the point left of the view
  curve.setPoint(3, 500, 1.5f);
  curve.refreshEdges(analyser);
  EXPECT_EQ(curve.leftEdge().ratio, 1.5f);  // halfway from 1.75 to 1.25
  EXPECT_EQ(curve.leftEdgeRow(), analyser.rowForRatio(1.5f));
  EXPECT_EQ(curve.rightEdge().ratio, right.ratio);
  EXPECT_EQ(curve.rightEdgeRow(), right.row);
}

TEST_F(CurveView, SetScreenClampsToTheDrawing) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 0, 1000);
  EXPECT_TRUE(curve.setScreen(2, 0, 0));
  EXPECT_EQ(curve.columnOf(2), 1);
  EXPECT_EQ(curve.rowOf(2), 1);
  curve.setScreen(2, -50, -50);
  EXPECT_EQ(curve.columnOf(2), 1);
  EXPECT_EQ(curve.rowOf(2), 1);
  curve.setScreen(2, 670, 259);
  EXPECT_EQ(curve.columnOf(2), 669);
  EXPECT_EQ(curve.rowOf(2), 258);
  curve.setScreen(2, 669, 258);
  EXPECT_EQ(curve.columnOf(2), 669);
  EXPECT_EQ(curve.rowOf(2), 258);
  EXPECT_FALSE(curve.setScreen(6, 10, 10));
}

TEST_F(CurveView, SampleForColumnMapsBackAndClamps) {
  curve.setView(kWidth, kHeight, 1000, 2000);
  EXPECT_EQ(curve.sampleForColumn(1), 1000);
  EXPECT_EQ(curve.sampleForColumn(0), 1000);
  EXPECT_EQ(curve.sampleForColumn(-100), 1000);
  EXPECT_EQ(curve.sampleForColumn(2), 1002);    // ceil(1 / 0.669)
  EXPECT_EQ(curve.sampleForColumn(335), 1500);  // ceil(334 / 0.669) = 500
  EXPECT_EQ(curve.sampleForColumn(669), 1999);
  EXPECT_EQ(curve.sampleForColumn(670), 2000);
  EXPECT_EQ(curve.sampleForColumn(5000), 2000);
  curve.setView(1, kHeight, 1000, 2000);  // no width: column 1 is 0 / 0
  EXPECT_EQ(curve.sampleForColumn(1), 1000);
  EXPECT_EQ(curve.sampleForColumn(2), 2000);
}

TEST_F(CurveView, HitTestsReachThreePixelsEachWay) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 0, 1000);
  curve.layout(analyser);
  const int c = curve.columnOf(2);
  const int r = curve.rowOf(2);
  EXPECT_TRUE(curve.pointNear(c + 3, r - 3));
  EXPECT_FALSE(curve.pointNear(c + 4, r));
  EXPECT_FALSE(curve.pointNear(c, r - 4));
  EXPECT_FALSE(curve.pointNear(std::numeric_limits<int>::min(), r));
  EXPECT_TRUE(curve.selectNear(c - 3, r + 3));
  EXPECT_EQ(curve.selectedPoint(), 2);
  EXPECT_TRUE(curve.isSelected(2));
  EXPECT_EQ(curve.grabColumn(), c);
  EXPECT_EQ(curve.grabRow(), r);
  // A miss leaves the selection alone.
  EXPECT_FALSE(curve.selectNear(c + 100, r));
  EXPECT_EQ(curve.selectedPoint(), 2);
  curve.deselect();
  EXPECT_EQ(curve.selectedPoint(), -1);
}

TEST_F(CurveView, TheEndsCannotBeGrabbed) {
  sampleCurve();
  curve.setView(kWidth, kHeight, 0, 1000);
  curve.layout(analyser);
  ASSERT_TRUE(curve.selectNear(curve.columnOf(2), curve.rowOf(2)));
  EXPECT_FALSE(curve.selectNear(curve.columnOf(0), curve.rowOf(0)));
  EXPECT_EQ(curve.selectedPoint(), -1);
  ASSERT_TRUE(curve.selectNear(curve.columnOf(2), curve.rowOf(2)));
  EXPECT_FALSE(curve.selectNear(curve.columnOf(5), curve.rowOf(5)));
  EXPECT_EQ(curve.selectedPoint(), -1);
}

class CurveDrag : public CurveView {
 protected:
  void SetUp() override {
    CurveView::SetUp();
    sampleCurve();
    curve.setView(kWidth, kHeight, 0, 1000);
    curve.layout(analyser);
    ASSERT_TRUE(curve.selectNear(curve.columnOf(2), curve.rowOf(2)));
  }
};

TEST_F(CurveDrag, ReleasedInPlaceChangesNothing) {
  EXPECT_FALSE(curve.moveSelected(1.9f));
  EXPECT_EQ(curve.positionOf(2), 300);
  EXPECT_EQ(curve.ratioOf(2), 1.25f);
}

TEST_F(CurveDrag, MovesToTheColumnsSampleWithTheRatioClamped) {
  curve.setScreen(2, 250, 40);
  EXPECT_TRUE(curve.moveSelected(2.5f));
  EXPECT_EQ(curve.positionOf(2), curve.sampleForColumn(250));
  EXPECT_EQ(curve.positionOf(2), 373);  // ceil(249 / 0.669)
  EXPECT_EQ(curve.ratioOf(2), 2.0f);
  curve.setScreen(2, 251, 40);
  EXPECT_TRUE(curve.moveSelected(-0.1f));
  EXPECT_EQ(curve.ratioOf(2), 0.0f);
  curve.setScreen(2, 252, 40);
  EXPECT_TRUE(curve.moveSelected(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(curve.ratioOf(2), 0.0f);
  curve.setScreen(2, 253, 40);
  EXPECT_TRUE(curve.moveSelected(1.1f));
  EXPECT_EQ(curve.ratioOf(2), 1.1f);
}

TEST_F(CurveDrag, NothingMovesWithoutASelection) {
  curve.deselect();
  curve.setScreen(2, 250, 40);
  EXPECT_FALSE(curve.moveSelected(1.1f));
  EXPECT_EQ(curve.positionOf(2), 300);
}

TEST_F(CurveDrag, StaysStrictlyBetweenItsNeighboursWhenZoomedIn) {
  // About ten columns per sample: every column between the dragged point's
  // and its right neighbour's rounds up onto the neighbour's sample.
  curve.insertPoint(301, 1.0f, false);
  curve.insertPoint(302, 1.0f, false);
  curve.setView(kWidth, kHeight, 250, 316);
  curve.layout(analyser);
  ASSERT_EQ(curve.positionOf(3), 301);
  ASSERT_TRUE(curve.selectNear(curve.columnOf(3), curve.rowOf(3)));
  ASSERT_EQ(curve.selectedPoint(), 3);
  const int column = curve.columnOf(4) - 3;
  ASSERT_GT(column, curve.columnOf(3));
  ASSERT_EQ(curve.sampleForColumn(column), 302);
  curve.setScreen(3, column, 100);
  EXPECT_TRUE(curve.moveSelected(1.2f));
  EXPECT_EQ(curve.positionOf(3), 301);
  EXPECT_EQ(curve.ratioOf(3), 1.2f);
  for (unsigned i = 0; i + 1 < static_cast<unsigned>(curve.pointCount()); ++i)
    EXPECT_LT(curve.positionOf(i), curve.positionOf(i + 1));
}

}  // namespace
