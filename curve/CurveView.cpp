// The curve on the editor's drawing area: screen places of the points and
// of the two view edges, hit tests, and the drag of one point.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"

namespace {

// Screen coordinates are truncated toward zero; values no int holds are
// pinned rather than left undefined.
std::int32_t truncate(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  if (value < -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Differences of view bounds wrap instead of overflowing.
std::int32_t wrapped(std::int64_t value) { return static_cast<std::int32_t>(value); }

bool near(std::int32_t a, std::int32_t b) { return std::llabs(static_cast<std::int64_t>(a) - b) < 4; }

}  // namespace

bool PvcCurve::setView(int width, int height, std::int32_t start, std::int32_t end) {
  plotHeight_ = wrapped(static_cast<std::int64_t>(height) - 2);
  plotWidth_ = wrapped(static_cast<std::int64_t>(width) - 1);
  viewStart_ = start;
  viewEnd_ = end;
  viewLength_ = wrapped(static_cast<std::int64_t>(end) - start);
  return true;
}

float PvcCurve::columnsPerSample() const {
  // An empty view would divide by zero; it maps everything to column 1.
  return viewLength_ > 0 ? static_cast<float>(plotWidth_) / static_cast<float>(viewLength_) : 0.0f;
}

std::int32_t PvcCurve::columnOfPosition(std::int32_t position, float r) const {
  const float offset = static_cast<float>(static_cast<std::int64_t>(position) - viewStart_);
  return truncate(offset * r + 1.0f);
}

void PvcCurve::buildLeftEdge(const SpectrogramAnalyser& analyser) {
  const float v = ratioAt(viewStart_);
  *leftEdge_ = PvcPoint{viewStart_, v, 1, analyser.rowForRatio(v)};
}

void PvcCurve::buildRightEdge(const SpectrogramAnalyser& analyser, float r) {
  const float w = ratioAt(viewEnd_);
  // In the full view viewEnd is one past the last frame: no ratio there, so
  // the edge is drawn at the nominal row.
  const int row = analyser.rowForRatio(w != -1.0f ? w : 1.0f);
  *rightEdge_ = PvcPoint{viewEnd_, w, columnOfPosition(viewEnd_, r), row};
}

bool PvcCurve::layout(const SpectrogramAnalyser& analyser) {
  leftEdgeSynthetic_ = true;
  rightEdgeSynthetic_ = true;
  const float r = columnsPerSample();
  buildLeftEdge(analyser);

  std::size_t i = firstAtOrAfter(viewStart_);
  firstVisible_ = static_cast<std::int32_t>(i);
  lastVisible_ = firstVisible_ - 1;
  if (i < points_.size() && points_[i].position == viewStart_) {
    setScreen(static_cast<unsigned>(i), 1, leftEdge_->row);
    leftEdgeSynthetic_ = false;
    lastVisible_ = firstVisible_;
    ++i;
  }
  for (; i < points_.size(); ++i) {
    const std::int32_t position = points_[i].position;
    setScreen(static_cast<unsigned>(i), columnOfPosition(position, r), analyser.rowForRatio(points_[i].ratio));
    if (position == viewEnd_) {
      rightEdgeSynthetic_ = false;
      lastVisible_ = static_cast<std::int32_t>(i);
      break;
    }
    // The first point past the view is placed too: the line leaves the
    // drawing towards it.
    if (position > viewEnd_) break;
    lastVisible_ = static_cast<std::int32_t>(i);
  }
  if (rightEdgeSynthetic_) buildRightEdge(analyser, r);
  return true;
}

bool PvcCurve::refreshEdges(const SpectrogramAnalyser& analyser) {
  if (leftEdgeSynthetic_) buildLeftEdge(analyser);
  if (rightEdgeSynthetic_) buildRightEdge(analyser, columnsPerSample());
  return true;
}

bool PvcCurve::setScreen(unsigned i, std::int32_t column, std::int32_t row) {
  if (i >= points_.size()) return false;
  if (column <= 0) column = 1;
  if (column > plotWidth_) column = plotWidth_;
  if (row <= 0) row = 1;
  if (row > plotHeight_) row = plotHeight_;
  points_[i].column = column;
  points_[i].row = row;
  return true;
}

std::int32_t PvcCurve::sampleForColumn(int column) const {
  if (viewLength_ <= 0) return -1;
  const float s = static_cast<float>(plotWidth_) / static_cast<float>(viewLength_);
  const double sample = static_cast<double>(viewStart_) + std::ceil((column - 1.0) / s);
  // 0 / 0 (column 1 on a drawing without width) means the view start.
  if (std::isnan(sample) || sample <= viewStart_) return viewStart_;
  if (sample >= viewEnd_) return viewEnd_;
  return static_cast<std::int32_t>(sample);
}

bool PvcCurve::pointNear(int column, int row) const {
  const std::int32_t last = std::min(lastVisible_, pointCount() - 1);
  for (std::int32_t i = std::max(firstVisible_, 0); i <= last; ++i) {
    const PvcPoint& p = points_[static_cast<std::size_t>(i)];
    if (near(p.column, column) && near(p.row, row)) return true;
  }
  return false;
}

bool PvcCurve::selectNear(int column, int row) {
  const std::int32_t last = std::min(lastVisible_, pointCount() - 1);
  for (std::int32_t i = std::max(firstVisible_, 0); i <= last; ++i) {
    const PvcPoint& p = points_[static_cast<std::size_t>(i)];
    if (!near(p.column, column) || !near(p.row, row)) continue;
    // The ends of the curve are never dragged.
    if (i == 0 || i >= pointCount() - 1) {
      selectedPoint_ = -1;
      return false;
    }
    selectedPoint_ = i;
    grabColumn_ = p.column;
    grabRow_ = p.row;
    return true;
  }
  return false;
}

bool PvcCurve::moveSelected(float ratio) {
  if (selectedPoint_ < 0 || selectedPoint_ >= pointCount()) return false;
  const std::size_t index = static_cast<std::size_t>(selectedPoint_);
  const PvcPoint& p = points_[index];
  if (p.column == grabColumn_ && p.row == grabRow_) return false;
  std::int32_t position = sampleForColumn(p.column);
  if (position < 0) return false;  // no view to map the column through
  // Zoomed in to several columns per sample, a column strictly between the
  // neighbours' columns can still map onto a neighbour's sample; keep the
  // point strictly between them so the curve stays ascending.
  if (index > 0 && index + 1 < points_.size()) {
    const std::int64_t low = static_cast<std::int64_t>(points_[index - 1].position) + 1;
    const std::int64_t high = static_cast<std::int64_t>(points_[index + 1].position) - 1;
    if (low <= high) position = static_cast<std::int32_t>(std::clamp<std::int64_t>(position, low, high));
  }
  if (!(ratio >= 0.0f)) ratio = 0.0f;
  if (ratio > 2.0f) ratio = 2.0f;
  return setPoint(static_cast<unsigned>(selectedPoint_), position, ratio);
}
