// Small numeric helpers shared by the detectors.
#pragma once

#include <cmath>

namespace detect {

// Nearest integer with halves rounded upward: floor(x + 0.5).
inline int roundHalfUp(double x) { return static_cast<int>(std::floor(x + 0.5)); }
inline int roundHalfUp(float x) { return static_cast<int>(std::floor(x + 0.5f)); }

// Truncation toward zero that stays a floating value, so infinities and
// huge values compare instead of overflowing an integer conversion.
inline double truncated(double x) { return std::trunc(x); }
inline float truncated(float x) { return std::trunc(x); }

inline float clampUnit(float v) {
  if (!(v >= 0.0f)) return 0.0f;  // also NaN
  return v > 1.0f ? 1.0f : v;
}

}  // namespace detect
