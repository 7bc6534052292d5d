#include "editor/CurveTools.h"

#include <algorithm>
#include <cstdlib>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"

namespace editor {

float curveValueOfRow(const SpectrogramAnalyser& analyser, int y) {
  return analyser.ratioForFrequency(analyser.frequencyOfRow(y));
}

void insertPointKeepingShape(PvcCurve& curve, std::int32_t s) { curve.insertPoint(s, curve.ratioAt(s), false); }

void deletePointsBetween(PvcCurve& curve, std::int32_t a, std::int32_t b) {
  curve.deleteRange(std::min(a, b), std::max(a, b));
}

ChartBuffer::ChartBuffer(int columns) : rows_(static_cast<std::size_t>(std::max(columns, 0)), 0) {}

void ChartBuffer::mark(int x, int y) {
  if (x < 0 || x >= count() || y < 1) return;
  rows_[static_cast<std::size_t>(x)] = y;
}

void ChartBuffer::keepOnly(int from, int to) {
  const int s = std::min(from, to);
  const int e = std::max(from, to);
  for (int i = 0; i < count(); ++i) {
    if (i < s || i > e) rows_[static_cast<std::size_t>(i)] = 0;
  }
}

void applyChartStroke(PvcCurve& curve, const SpectrogramAnalyser& analyser, std::int32_t viewOffset, int pressX,
                      int x, const ChartBuffer& stroke) {
  const std::int32_t a = analyser.sampleOfColumn(pressX) + viewOffset;
  const std::int32_t b = analyser.sampleOfColumn(x) + viewOffset;
  const std::int32_t s1 = std::min(a, b);
  const std::int32_t s2 = std::max(a, b);
  const float c1 = curve.ratioAt(s1);
  const float c2 = curve.ratioAt(s2);
  curve.deleteRange(s1, s2);
  curve.insertPoint(s1, c1, false);
  curve.insertPoint(s2, c2, false);
  const std::span<const int> rows = stroke.rows();
  for (int i = 0; i < stroke.count(); ++i) {
    const int row = rows[static_cast<std::size_t>(i)];
    if (row == 0) continue;
    curve.insertPoint(analyser.sampleOfColumn(i) + viewOffset, curveValueOfRow(analyser, row), false);
  }
}

int gravityLevel(int pressY, int y) { return std::min(std::abs(y - pressY) / 4 + 10, 20); }

void applyTrace(PvcCurve& curve, const SpectrogramAnalyser& analyser, std::int32_t viewOffset, int firstColumn,
                int count, std::span<const float> ratios) {
  const int n = std::min<int>(std::abs(count), static_cast<int>(ratios.size()));
  if (n <= 0) return;
  // Backward traces end at the first column: their ratios start n - 1 columns before it.
  const int left = count < 0 ? firstColumn - n + 1 : firstColumn;
  const std::int32_t first = analyser.sampleOfColumn(left) + viewOffset;
  const std::int32_t last = analyser.sampleOfColumn(left + n - 1) + viewOffset;
  const float c1 = curve.ratioAt(first);
  const float c2 = curve.ratioAt(last);
  curve.deleteRange(first, last);
  curve.insertPoint(first, c1, false);
  curve.insertPoint(last, c2, false);
  for (int k = 0; k < n; ++k) {
    curve.insertPoint(analyser.sampleOfColumn(left + k) + viewOffset, ratios[static_cast<std::size_t>(k)], true);
  }
}

}  // namespace editor
