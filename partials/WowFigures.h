// The wow of a speed curve in figures: how far its speed strays from its own
// mean, in percent. The host compares the figures of a recording before and
// after a correction.
#pragma once

#include <cstdint>
#include <span>

namespace partials {

struct CurvePoint {
  std::int64_t position = 0;  // input frame
  double ratio = 1.0;         // relative speed
  double confidence = 1.0;    // 0 to 1
};

// Points at or above this confidence count as trusted.
inline constexpr double kTrustedConfidence = 0.5;

struct WowFigures {
  double rmsPercent = 0.0;   // RMS of ratio / mean - 1
  double peakPercent = 0.0;  // largest |ratio / mean - 1|
  std::size_t points = 0;    // points the figures were taken over; 0: no figures
};

// The figures over the points whose confidence reaches minConfidence.
WowFigures wowFigures(std::span<const CurvePoint> curve, double minConfidence = kTrustedConfidence);

}  // namespace partials
