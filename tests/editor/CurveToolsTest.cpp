#include <gtest/gtest.h>

#include <vector>

#include "../curve/CurveTestFolder.h"
#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "editor/CurveTools.h"

namespace {

// 100 columns over a 10000-frame file: column c is centred near 100 c + 50.
class CurveTools : public ::testing::Test {
 protected:
  void SetUp() override {
    analyser.freeColumns();
    analyser.setFftLength(256);
    analyser.setSampleRate(8000);
    analyser.setColumns(kColumns);
    analyser.setRows(256);
    analyser.setWindow(1);
    analyser.allocateColumns();
    analyser.setZoom(1.0f);
    ASSERT_TRUE(analyser.prepare(0, kFrames, kFrames));
    curve.resetFlat(kFrames);
    curve.setLength(kFrames);
  }
  std::vector<float> ratiosAt(const std::vector<std::int32_t>& samples) const {
    std::vector<float> out;
    for (std::int32_t s : samples) out.push_back(curve.ratioAt(s));
    return out;
  }

  static constexpr int kColumns = 100;
  static constexpr int kFrames = 10000;
  CurveTestFolder folder;
  PvcCurve curve{folder.dir()};
  SpectrogramAnalyser analyser;
};

TEST_F(CurveTools, InsertedPointKeepsTheShapeAndDeleteKeepsTheEnds) {
  curve.insertPoint(2000, 1.2f, false);
  curve.insertPoint(6000, 0.9f, false);
  const std::vector<std::int32_t> probes{0, 1000, 2000, 3500, 4000, 5999, 8000, 9999};
  const std::vector<float> before = ratiosAt(probes);
  editor::insertPointKeepingShape(curve, 4000);
  ASSERT_EQ(curve.pointCount(), 5);
  EXPECT_EQ(curve.positionOf(2), 4000);
  const std::vector<float> after = ratiosAt(probes);
  for (std::size_t i = 0; i < probes.size(); ++i) EXPECT_FLOAT_EQ(after[i], before[i]) << probes[i];

  // Reversed bounds take the same points; the ends survive a sweep over all.
  editor::deletePointsBetween(curve, 6000, 3000);
  EXPECT_EQ(curve.pointCount(), 3);
  editor::deletePointsBetween(curve, kFrames, -5);
  ASSERT_EQ(curve.pointCount(), 2);
  EXPECT_EQ(curve.positionOf(0), 0);
  EXPECT_EQ(curve.positionOf(1), kFrames - 1);
}

TEST_F(CurveTools, ChartBufferWritesOnlyInsideItsColumnsAndKeepsTheStroke) {
  editor::ChartBuffer stroke(kColumns);
  stroke.mark(kColumns, 40);      // the pixels right of the last column
  stroke.mark(-1, 40);
  stroke.mark(10, 0);             // row 0 is not a stroke
  for (int v : stroke.rows()) EXPECT_EQ(v, 0);
  for (int x = 5; x <= 30; ++x) stroke.mark(x, 100 + x);
  stroke.keepOnly(20, 10);
  for (int x = 0; x < kColumns; ++x) {
    EXPECT_EQ(stroke.rows()[static_cast<std::size_t>(x)], x >= 10 && x <= 20 ? 100 + x : 0) << x;
  }
}

TEST_F(CurveTools, ChartStrokeReplacesTheCurveBetweenItsEnds) {
  curve.insertPoint(3000, 1.1f, false);  // inside the stroke: replaced
  curve.insertPoint(8000, 0.8f, false);  // outside: kept
  const float atEnd = curve.ratioAt(analyser.sampleOfColumn(40));
  editor::ChartBuffer stroke(kColumns);
  const int row = analyser.rowForRatio(1.05f);
  for (int x = 20; x <= 40; ++x) stroke.mark(x, row);
  editor::applyChartStroke(curve, analyser, 0, 40, 20, stroke);

  const float drawn = editor::curveValueOfRow(analyser, row);
  EXPECT_NEAR(drawn, 1.05f, 0.01f);
  for (int x = 21; x < 40; ++x) EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(x)), drawn) << x;
  EXPECT_FLOAT_EQ(curve.ratioAt(8000), 0.8f);
  for (unsigned i = 0; i < static_cast<unsigned>(curve.pointCount()); ++i) EXPECT_NE(curve.positionOf(i), 3000);
  // The ends keep the old curve's value: the stroke's own point there is not
  // strictly between two points and is refused.
  EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(40)), atEnd);
  EXPECT_NE(atEnd, drawn);
}

TEST_F(CurveTools, GravityLevelFollowsTheVerticalDistance) {
  EXPECT_EQ(editor::gravityLevel(100, 100), 10);
  EXPECT_EQ(editor::gravityLevel(100, 103), 10);
  EXPECT_EQ(editor::gravityLevel(100, 104), 11);
  EXPECT_EQ(editor::gravityLevel(100, 60), 20);
  EXPECT_EQ(editor::gravityLevel(100, 160), 20);
}

TEST_F(CurveTools, BackwardTraceLandsOnTheColumnsBeforeItsStart) {
  const std::vector<float> ratios{1.01f, 1.02f, 1.03f, 1.04f};
  editor::applyTrace(curve, analyser, 0, 50, -4, ratios);
  // Columns 47..50; the two ends keep the curve's own values, which the
  // trace joins.
  EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(47)), 1.0f);
  EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(48)), 1.02f);
  EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(49)), 1.03f);
  EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(50)), 1.0f);
  EXPECT_FLOAT_EQ(curve.ratioAt(analyser.sampleOfColumn(60)), 1.0f);
}

}  // namespace
