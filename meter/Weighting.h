// The wow and flutter weighting of AES6-2008 / IEC 60386: a band-pass
// peaking at 4 Hz that follows how audible speed variations are.
// H(s) = G s^3 (s + 2 pi 227.9) / ((s + 2 pi 0.6265)^3 (s + 2 pi 11.32)),
// G making 0 dB at 4 Hz.
#pragma once

#include "meter/Biquad.h"

namespace meter {

inline constexpr double kWeightingPeakHz = 4.0;

// The analog response in dB.
double weightingDb(double hz);

// The digital filter at the given rate, 0 dB at 4 Hz; matched to the analog
// response at 4 Hz by the warping of the bilinear transform.
FilterChain weightingFilter(double rate);

}  // namespace meter
