// How far a curve found from a recording lies from the recording's true
// curve: the difference of the two speed ratios, in percent, at evenly spaced
// frames where both curves are defined.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"

namespace curvecompare {

struct CurveError {
  double rmsPercent = 0.0;
  double peakPercent = 0.0;
  double meanPercent = 0.0;      // a constant speed offset between the curves
  double rmsAboutMean = 0.0;     // what is left of the difference without it
  std::int64_t frames = 0;  // how many frames were compared
};

// The ratio at a frame, straight between points; outside the curve, its end
// values. 1.0 for an empty curve.
double ratioAt(const std::vector<PvcPoint>& curve, double frame);

// Compares every step frames from first to last (inclusive).
CurveError compare(const std::vector<PvcPoint>& found, const std::vector<PvcPoint>& truth, std::int64_t first,
                   std::int64_t last, std::int64_t step);

bool readCurve(const std::string& path, std::vector<PvcPoint>& curve, std::string& problem);

}  // namespace curvecompare
