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

// The median of the curve's ratios every step frames from first to last (the
// value at position n/2 of the n ratios in rising order); 1.0 when there are
// none. A detector with no reference to hold on to, such as the spectral one,
// calls its family's median frequency 1.0: against the true curve it can at
// best come out shifted by this level.
double medianRatio(const std::vector<PvcPoint>& curve, std::int64_t first, std::int64_t last, std::int64_t step);

// The curve with every ratio divided by level.
std::vector<PvcPoint> dividedBy(std::vector<PvcPoint> curve, double level);

bool readCurve(const std::string& path, std::vector<PvcPoint>& curve, std::string& problem);

}  // namespace curvecompare
