// Whether a detected curve can be wow at all. A detector that lost its line
// (music taken for hum, a trace that jumped to another partial) hands back a
// curve that would make the file worse than it came: far too wide, with
// jumps, or moving faster than any tape or disc wobbles. Such a curve is
// refused before it reaches the correction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"

struct CurveVerdict {
  bool plausible = true;
  bool flat = false;           // no point departs from the others: nothing would change
  std::string reason;          // why not, in words; empty when plausible
  double spreadPercent = 0.0;  // largest departure from the median speed
  double rmsPercent = 0.0;     // RMS departure from the mean speed
  double largestStepPercent = 0.0;  // largest change within kStepSeconds
  double fastRmsPercent = 0.0;      // RMS of what moves faster than the wow band
};

// Limits, chosen well outside what real transfers show (wow of a few tenths
// of a percent, flutter below a tenth) and well inside what a lost detector
// gives (jumps and spreads of several percent).
inline constexpr double kMaxSpreadPercent = 5.0;
inline constexpr double kStepSeconds = 0.01;
inline constexpr double kMaxStepPercent = 0.5;
inline constexpr double kWowBandHz = 10.0;
inline constexpr double kMaxFastRmsPercent = 0.1;
// Below this a curve is flat: its points differ by the rounding of their
// floats, not by any speed.
inline constexpr double kFlatPercent = 0.001;

// Judges the curve over the file's frames, sampled every kStepSeconds. The
// curve's positions must ascend, as every curve the project reads does.
CurveVerdict judgeCurve(const std::vector<PvcPoint>& curve, double sampleRate, std::int64_t frames);
