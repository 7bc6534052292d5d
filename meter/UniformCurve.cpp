#include "meter/UniformCurve.h"

#include <cmath>

namespace meter {

UniformCurve uniformCurve(std::span<const CurveSample> points, double rate) {
  UniformCurve out;
  out.rate = rate;
  if (points.empty() || rate <= 0.0) return out;
  out.startSeconds = points.front().seconds;
  const double span = points.back().seconds - points.front().seconds;
  const auto count = static_cast<std::size_t>(std::floor(span * rate)) + 1;
  out.ratio.reserve(count);
  out.trusted.reserve(count);
  std::size_t k = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double t = out.startSeconds + i / rate;
    while (k + 1 < points.size() && points[k + 1].seconds <= t) ++k;
    if (k + 1 >= points.size()) {
      out.ratio.push_back(points[k].ratio);
      out.trusted.push_back(points[k].trusted ? 1 : 0);
      continue;
    }
    const CurveSample& a = points[k];
    const CurveSample& b = points[k + 1];
    const double gap = b.seconds - a.seconds;
    const double f = gap > 0.0 ? (t - a.seconds) / gap : 0.0;
    out.ratio.push_back(a.ratio + f * (b.ratio - a.ratio));
    out.trusted.push_back(a.trusted && b.trusted ? 1 : 0);
  }
  return out;
}

}  // namespace meter
