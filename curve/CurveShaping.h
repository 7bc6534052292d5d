// What a restoration engineer asks of a curve before it is applied: smoothed
// to the wow band, only part of its deviation corrected, slow drift left
// alone, or the average speed kept so that length and pitch stay.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"

struct CurveShape {
  double smoothHz = 0.0;   // low-pass the speed to this band; 0: off
  double strength = 1.0;   // share of the deviation from 1.0 corrected, 0 to 1
  bool keepDrift = false;  // leave changes slower than kDriftHz uncorrected
  bool keepPitch = false;  // scale to a mean speed of 1

  bool any() const { return smoothHz > 0.0 || strength != 1.0 || keepDrift || keepPitch; }
  // "smoothed to 4 Hz, strength 0.5, drift kept, pitch kept"
  std::string describe() const;
};

inline constexpr double kDriftHz = 0.05;

// The shaped curve on an even grid of 10 ms over the file's frames, in the
// order smoothing, drift, strength, pitch. Filters run forwards and back, so
// nothing is delayed. An empty curve stays empty.
std::vector<PvcPoint> shapeCurve(const std::vector<PvcPoint>& curve, double sampleRate, std::int64_t frames,
                                 const CurveShape& shape);
