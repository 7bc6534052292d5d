// Reads a curve at ascending frames in one walk along its points: straight
// between points, the end values beyond them. Linear in the points and the
// frames read, however long the curve.
#pragma once

#include <cstddef>
#include <vector>

#include "curve/PvcPoint.h"

class CurveWalk {
 public:
  // The curve must outlive the walk and must not be empty.
  explicit CurveWalk(const std::vector<PvcPoint>& curve) : curve_(curve) {}

  // Frames must not go down from one call to the next.
  double ratioAt(double frame) {
    while (next_ < curve_.size() && curve_[next_].position <= frame) ++next_;
    if (next_ == 0) return curve_.front().ratio;
    if (next_ == curve_.size()) return curve_.back().ratio;
    const PvcPoint& a = curve_[next_ - 1];
    const PvcPoint& b = curve_[next_];
    return a.ratio + (b.ratio - a.ratio) * (frame - a.position) / static_cast<double>(b.position - a.position);
  }

 private:
  const std::vector<PvcPoint>& curve_;
  std::size_t next_ = 0;
};
