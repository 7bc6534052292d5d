#include "curve/PvcCurve.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/SnapshotDirectory.h"

namespace {

float interpolate(std::int32_t x0, float y0, std::int32_t x1, float y1, std::int32_t x) {
  const float fx0 = static_cast<float>(x0);
  const float fx1 = static_cast<float>(x1);
  if (fx0 == fx1) return y0;
  return y0 + (static_cast<float>(x) - fx0) * ((y1 - y0) / (fx1 - fx0));
}

// Screen coordinates are truncated toward zero; values no int holds are
// pinned rather than left undefined.
std::int32_t truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

PvcCurve::PvcCurve() : tempDir_(makeSnapshotDirectory()) {}

PvcCurve::PvcCurve(std::string snapshotDirectory) : tempDir_(std::move(snapshotDirectory)) {}

PvcCurve::~PvcCurve() = default;

bool PvcCurve::setLength(std::int32_t frames) {
  length_ = frames;
  return true;
}

bool PvcCurve::resetFlat(std::int32_t frames) {
  points_.clear();
  appendPoint(0, 1.0f, false);
  appendPoint(frames - 1, 1.0f, false);
  lastValue_ = 1.0f;
  return true;
}

void PvcCurve::clear() {
  points_.clear();
  lastValue_ = 0.0f;
}

bool PvcCurve::acceptValue(float ratio) {
  if (std::fabs(lastValue_ - ratio) > 0.001f) {
    lastValue_ = ratio;
    return true;
  }
  return false;
}

bool PvcCurve::appendPoint(std::int32_t position, float ratio, bool filter) {
  if (filter && !acceptValue(ratio)) return false;
  points_.push_back(PvcPoint{position, ratio, 0, 0});
  return true;
}

bool PvcCurve::insertPoint(std::int32_t position, float ratio, bool filter) {
  if (!(ratio > 0.0f) || position <= 0 || position >= length_ - 1) return true;
  if (points_.size() < 2) return true;
  // The points are strictly ascending, so the one gap that holds the
  // position is found by bisection; detection passes insert in ascending
  // order just before the end point, where the insertion itself is cheap.
  auto right = std::upper_bound(points_.begin(), points_.end(), position,
                                [](std::int32_t p, const PvcPoint& point) { return p < point.position; });
  if (right == points_.begin() || right == points_.end()) return true;
  auto left = right - 1;
  if (left->position >= position) return true;  // an existing point holds it
  if (filter) {
    lastValue_ = left->ratio;
    if (!acceptValue(ratio)) return true;
  }
  points_.insert(right, PvcPoint{position, ratio, 0, 0});
  return true;
}

bool PvcCurve::deleteRange(std::int32_t from, std::int32_t to) {
  if (from > to) return true;
  const std::int32_t end = length_ - 1;
  std::erase_if(points_, [&](const PvcPoint& p) {
    return p.position >= from && p.position <= to && p.position != 0 && p.position != end;
  });
  return true;
}

bool PvcCurve::setPoint(unsigned index, std::int32_t position, float ratio) {
  if (index >= points_.size()) return false;
  points_[index].position = position;
  points_[index].ratio = ratio;
  return true;
}

std::int32_t PvcCurve::positionOf(unsigned i) const { return i < points_.size() ? points_[i].position : 0; }
float PvcCurve::ratioOf(unsigned i) const { return i < points_.size() ? points_[i].ratio : 1.0f; }
std::int32_t PvcCurve::columnOf(unsigned i) const { return i < points_.size() ? points_[i].column : -1; }
std::int32_t PvcCurve::rowOf(unsigned i) const { return i < points_.size() ? points_[i].row : -1; }

float PvcCurve::ratioBetween(std::size_t from, std::size_t to, std::int32_t sample, std::size_t* left) const {
  if (sample < 0 || sample >= length_) return -1.0f;
  if (from >= to) return -1.0f;
  // First point at or after the sample, and the last one at or before it.
  auto begin = points_.begin() + static_cast<std::ptrdiff_t>(from);
  auto end = points_.begin() + static_cast<std::ptrdiff_t>(to);
  auto right = std::lower_bound(begin, end, sample,
                                [](const PvcPoint& point, std::int32_t s) { return point.position < s; });
  if (right == end) return -1.0f;
  // Before the first point there is no left neighbour: the curve holds the
  // first point's ratio back to frame 0.
  auto leftPoint = (right->position == sample || right == begin) ? right : right - 1;
  if (left) *left = static_cast<std::size_t>(leftPoint - points_.begin());
  return interpolate(leftPoint->position, leftPoint->ratio, right->position, right->ratio, sample);
}

float PvcCurve::ratioAt(std::int32_t sample) const { return ratioBetween(0, points_.size(), sample, nullptr); }

void PvcCurve::rewind() {
  scanCursor_ = 0;
  scanEnd_ = points_.size();
}

float PvcCurve::ratioAtNext(std::int32_t sample) {
  if (sample < 0 || sample >= length_) return -1.0f;
  if (scanEnd_ > points_.size()) scanEnd_ = points_.size();
  // Ascending samples only move the cursor forward, so a whole pass costs
  // one walk over the points.
  bool haveLeft = false;
  for (std::size_t i = scanCursor_; i < scanEnd_; ++i) {
    const PvcPoint& p = points_[i];
    if (p.position <= sample) {
      scanCursor_ = i;
      haveLeft = true;
    }
    if (p.position >= sample) {
      const PvcPoint& a = haveLeft ? points_[scanCursor_] : p;
      return interpolate(a.position, a.ratio, p.position, p.ratio, sample);
    }
  }
  return -1.0f;
}

bool PvcCurve::setView(int width, int height, std::int32_t start, std::int32_t end) {
  plotHeight_ = height - 2;
  plotWidth_ = width - 1;
  viewStart_ = start;
  viewEnd_ = end;
  viewLength_ = end - start;
  return true;
}

float PvcCurve::columnsPerSample() const {
  // An empty view maps everything to its first column.
  return viewLength_ > 0 ? static_cast<float>(plotWidth_) / static_cast<float>(viewLength_) : 0.0f;
}

void PvcCurve::buildLeftEdge(const SpectrogramAnalyser& analyser) {
  const float v = ratioAt(viewStart_);
  *leftEdge_ = PvcPoint{viewStart_, v, 1, analyser.rowForRatio(v)};
}

void PvcCurve::buildRightEdge(const SpectrogramAnalyser& analyser, float r) {
  const std::int32_t column = truncate(static_cast<double>(static_cast<float>(viewEnd_ - viewStart_) * r) + 1.0);
  const float w = ratioAt(viewEnd_);
  const int row = analyser.rowForRatio(w != -1.0f ? w : 1.0f);
  *rightEdge_ = PvcPoint{viewEnd_, w, column, row};
}

bool PvcCurve::layout(const SpectrogramAnalyser& analyser) {
  leftEdgeSynthetic_ = true;
  rightEdgeSynthetic_ = true;
  const float r = columnsPerSample();
  buildLeftEdge(analyser);

  auto first = std::lower_bound(points_.begin(), points_.end(), viewStart_,
                                [](const PvcPoint& point, std::int32_t s) { return point.position < s; });
  std::size_t i = static_cast<std::size_t>(first - points_.begin());
  firstVisible_ = static_cast<std::int32_t>(i);
  lastVisible_ = firstVisible_ - 1;
  if (i < points_.size() && points_[i].position == viewStart_) {
    setScreen(static_cast<unsigned>(i), 1, leftEdge_->row);
    leftEdgeSynthetic_ = false;
    lastVisible_ = firstVisible_;
    ++i;
  }
  for (; i < points_.size(); ++i) {
    PvcPoint& p = points_[i];
    const std::int32_t column =
        truncate(static_cast<double>(static_cast<float>(p.position - viewStart_) * r) + 1.0);
    setScreen(static_cast<unsigned>(i), column, analyser.rowForRatio(p.ratio));
    if (p.position == viewEnd_) {
      rightEdgeSynthetic_ = false;
      lastVisible_ = static_cast<std::int32_t>(i);
      break;
    }
    if (p.position > viewEnd_) {
      lastVisible_ = static_cast<std::int32_t>(i) - 1;
      break;
    }
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
  if (!(s > 0.0f)) return viewStart_;
  const double offset = std::ceil((column - 1.0) / s);
  const double sample = static_cast<double>(viewStart_) + offset;
  if (sample <= viewStart_) return viewStart_;
  if (sample >= viewEnd_) return viewEnd_;
  return static_cast<std::int32_t>(sample);
}

bool PvcCurve::pointNear(int column, int row) const {
  const std::int32_t last = std::min(lastVisible_, pointCount() - 1);
  for (std::int32_t i = std::max(firstVisible_, 0); i <= last; ++i) {
    const PvcPoint& p = points_[static_cast<std::size_t>(i)];
    if (std::abs(p.column - column) < 4 && std::abs(p.row - row) < 4) return true;
  }
  return false;
}

bool PvcCurve::selectNear(int column, int row) {
  const std::int32_t last = std::min(lastVisible_, pointCount() - 1);
  for (std::int32_t i = std::max(firstVisible_, 0); i <= last; ++i) {
    const PvcPoint& p = points_[static_cast<std::size_t>(i)];
    if (std::abs(p.column - column) < 4 && std::abs(p.row - row) < 4) {
      if (i == 0 || i >= pointCount() - 1) {
        selectedPoint_ = -1;
        return false;
      }
      selectedPoint_ = i;
      grabColumn_ = p.column;
      grabRow_ = p.row;
      return true;
    }
  }
  return false;
}

bool PvcCurve::moveSelected(float ratio) {
  if (selectedPoint_ < 0 || selectedPoint_ >= pointCount()) return false;
  const PvcPoint& p = points_[static_cast<std::size_t>(selectedPoint_)];
  if (p.column == grabColumn_ && p.row == grabRow_) return false;
  const std::int32_t position = sampleForColumn(p.column);
  if (!(ratio >= 0.0f)) ratio = 0.0f;
  if (ratio > 2.0f) ratio = 2.0f;
  return setPoint(static_cast<unsigned>(selectedPoint_), position, ratio);
}
