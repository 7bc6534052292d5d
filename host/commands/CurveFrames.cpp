#include "host/commands/CurveFrames.h"

#include <algorithm>
#include <cmath>

#include "curve/CurveText.h"

namespace host {

namespace {

// The curve's ratio at ascending frames, with the float arithmetic of the
// curve store: straight between points, the first point's ratio before it
// and the last one's after it.
class RatioWalk {
 public:
  explicit RatioWalk(const std::vector<PvcPoint>& curve) : curve_(curve) {}
  float at(std::int64_t frame) {
    while (right_ < curve_.size() && curve_[right_].position < frame) ++right_;
    if (right_ == curve_.size()) return curve_.back().ratio;
    const PvcPoint& p = curve_[right_];
    const PvcPoint& a = (right_ == 0 || p.position == frame) ? p : curve_[right_ - 1];
    const float fx0 = static_cast<float>(a.position);
    const float fx1 = static_cast<float>(p.position);
    if (fx0 == fx1) return a.ratio;
    return a.ratio + (static_cast<float>(frame) - fx0) * ((p.ratio - a.ratio) / (fx1 - fx0));
  }

 private:
  const std::vector<PvcPoint>& curve_;
  std::size_t right_ = 0;
};

// The resampler's bounds: nothing finite and positive plays at 1.0.
double stepOf(float ratio) {
  double r = ratio;
  if (!(r > 0.0) || !std::isfinite(r)) r = 1.0;
  r = std::fmin(std::fmax(r, 0x1p-32), 64.0);
  return 1.0 / r;
}

}  // namespace

std::vector<std::uint64_t> correctedFrames(const std::vector<PvcPoint>& curve, std::uint64_t inputFrames,
                                           const std::vector<std::uint64_t>& ascending) {
  std::vector<std::uint64_t> moved;
  moved.reserve(ascending.size());
  RatioWalk ratios(curve);
  // Output frame m reads the input at x; the walk ends past the last frame.
  std::uint64_t m = 0;
  double x = 0.0;
  double previous = 0.0;
  const double end = static_cast<double>(inputFrames);
  for (const std::uint64_t frame : ascending) {
    const double target = static_cast<double>(std::min(frame, inputFrames));
    while (x < target && x < end) {
      previous = x;
      x += curve.empty() ? 1.0 : stepOf(ratios.at(static_cast<std::int64_t>(x)));
      ++m;
    }
    // The read position nearest the frame: this one or the one before.
    moved.push_back(m > 0 && x - target > target - previous ? m - 1 : m);
  }
  return moved;
}

FrameMapping curveTextMapping(const std::string& text, std::uint64_t inputFrames) {
  CurveTextReader reader;
  reader.feed(text);
  std::vector<PvcPoint> curve = reader.finish();
  if (curve.empty()) return {};
  return [curve = std::move(curve), inputFrames](const std::vector<std::uint64_t>& ascending) {
    return correctedFrames(curve, inputFrames, ascending);
  };
}

}  // namespace host
