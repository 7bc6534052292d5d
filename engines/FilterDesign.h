// Linear-phase low-pass filters for the hum engine: Kaiser-windowed sinc.
#pragma once

#include <vector>

namespace humengine {

// Kaiser window parameter for a stop-band attenuation in dB.
double kaiserBeta(double attenuationDb);
// Width of the transition band, in cycles per sample, of a Kaiser design
// of that length and attenuation.
double kaiserTransition(int length, double attenuationDb);
// The Kaiser window evaluated at x in -1..1 (0 outside).
double kaiserWindow(double x, double beta);
// Symmetric low-pass taps, odd length, cutoff (-6 dB) in cycles per
// sample, scaled to unit gain at 0 Hz.
std::vector<float> lowpassTaps(int length, double cutoff, double beta);
// How many of the first taps together hold at most `share` of the sum of
// all the taps' magnitudes: what a filter may miss at the start of a
// stream and still be trusted.
int leadingTaps(const std::vector<float>& taps, double share);
// Shortest odd length whose Kaiser design of that attenuation has a
// transition no wider than `transition` cycles per sample.
int kaiserLength(double transition, double attenuationDb);
// Sum of a[i] * b[i]; the fixed summation order keeps results the same
// on every build.
float dot(const float* a, const float* b, int n);

}  // namespace humengine
