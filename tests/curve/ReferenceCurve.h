// The curve's search rules written the slow, obvious way: walks from the
// first point on every call. The curve's own searches bisect and take short
// cuts; tests hold them to these answers.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "curve/PvcPoint.h"

namespace reference {

inline float interpolate(std::int32_t x0, float y0, std::int32_t x1, float y1, std::int32_t x) {
  const float fx0 = static_cast<float>(x0);
  const float fx1 = static_cast<float>(x1);
  if (fx0 == fx1) return y0;
  return y0 + (static_cast<float>(x) - fx0) * ((y1 - y0) / (fx1 - fx0));
}

inline float ratioAt(const std::vector<PvcPoint>& points, std::int32_t length, std::int32_t sample) {
  if (sample < 0 || sample >= length) return -1.0f;
  const PvcPoint* left = nullptr;
  for (const PvcPoint& p : points) {
    if (p.position <= sample) left = &p;
    if (p.position >= sample) {
      const PvcPoint& a = left ? *left : p;
      return interpolate(a.position, a.ratio, p.position, p.ratio, sample);
    }
  }
  return -1.0f;
}

// Inserts into points as the curve must; lastValue follows the filter.
inline void insertPoint(std::vector<PvcPoint>& points, std::int32_t length, std::int32_t position, float ratio,
                        bool filter, float& lastValue) {
  if (!(ratio > 0.0f) || position <= 0 || position >= static_cast<std::int64_t>(length) - 1) return;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    if (points[i].position < position && position < points[i + 1].position) {
      if (filter) {
        lastValue = points[i].ratio;
        if (!(std::fabs(lastValue - ratio) > 0.001f)) return;
        lastValue = ratio;
      }
      points.insert(points.begin() + static_cast<std::ptrdiff_t>(i + 1), PvcPoint{position, ratio, 0, 0});
      return;
    }
  }
}

}  // namespace reference
