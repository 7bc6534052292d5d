#include "partials/WowFigures.h"

#include <algorithm>
#include <cmath>

namespace partials {

WowFigures wowFigures(std::span<const CurvePoint> curve, double minConfidence) {
  WowFigures figures;
  double sum = 0.0;
  for (const CurvePoint& p : curve) {
    if (p.confidence < minConfidence || !std::isfinite(p.ratio)) continue;
    sum += p.ratio;
    ++figures.points;
  }
  if (figures.points == 0 || !(sum > 0.0)) return WowFigures{};
  const double mean = sum / static_cast<double>(figures.points);
  double squares = 0.0;
  for (const CurvePoint& p : curve) {
    if (p.confidence < minConfidence || !std::isfinite(p.ratio)) continue;
    const double d = (p.ratio / mean - 1.0) * 100.0;
    squares += d * d;
    figures.peakPercent = std::max(figures.peakPercent, std::fabs(d));
  }
  figures.rmsPercent = std::sqrt(squares / static_cast<double>(figures.points));
  return figures;
}

}  // namespace partials
