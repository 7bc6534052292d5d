// What the mouse tools do to the curve, apart from drawing: mouse x is an
// analysis column, mouse y a display row, both mapped through the analyser.
// Plain C++, so each edit is checked natively against a known curve.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class PvcCurve;
class SpectrogramAnalyser;

namespace editor {

// The curve value drawn at display row y: its frequency over the reference
// frequency (0 without a reference).
float curveValueOfRow(const SpectrogramAnalyser& analyser, int y);

// Insert tool: a point at sample s carrying the curve's value there, so the
// shape does not change.
void insertPointKeepingShape(PvcCurve& curve, std::int32_t s);

// Delete tool: every point with a sample between a and b (either order),
// the curve's first and last point excepted.
void deletePointsBetween(PvcCurve& curve, std::int32_t a, std::int32_t b);

// The chart tool's stroke: one display row per analysis column, 0 where the
// stroke did not pass.
class ChartBuffer {
 public:
  explicit ChartBuffer(int columns);
  // A press or drag outside the columns, or on row 0, writes nothing: the
  // two rightmost pixels of the display have no column.
  void mark(int x, int y);
  // Clears every column outside from..to (either order), as the trace does.
  void keepOnly(int from, int to);
  std::span<int> rows() { return rows_; }
  std::span<const int> rows() const { return rows_; }
  int count() const { return static_cast<int>(rows_.size()); }

 private:
  std::vector<int> rows_;
};

// Chart release: the stroke from column pressX to x replaces the curve
// between their samples.
void applyChartStroke(PvcCurve& curve, const SpectrogramAnalyser& analyser, std::int32_t viewOffset, int pressX,
                      int x, const ChartBuffer& stroke);

// The centre-of-gravity tool's DISC level from the vertical distance of the
// drag: 10 without movement, 20 from 40 pixels on.
int gravityLevel(int pressY, int y);

// Centre-of-gravity release: `ratios` were traced over |count| columns from
// firstColumn (backward when count < 0, so they run from the track's left
// end); they replace the curve between the first and last covered column.
void applyTrace(PvcCurve& curve, const SpectrogramAnalyser& analyser, std::int32_t viewOffset, int firstColumn,
                int count, std::span<const float> ratios);

}  // namespace editor
