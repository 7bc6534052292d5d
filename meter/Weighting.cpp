#include "meter/Weighting.h"

#include <cmath>
#include <numbers>

namespace meter {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kLow = kTwoPi * 0.6265;   // triple pole
constexpr double kHigh = kTwoPi * 11.32;   // pole
constexpr double kZero = kTwoPi * 227.9;   // zero

// s^2 / (s + low)^2 and s (s + zero) / ((s + low)(s + high)).
AnalogSection firstHalf() { return {1.0, 0.0, 0.0, 1.0, 2.0 * kLow, kLow * kLow}; }
AnalogSection secondHalf() { return {1.0, kZero, 0.0, 1.0, kLow + kHigh, kLow * kHigh}; }

double analogMagnitude(double hz) { return std::abs(firstHalf().response(hz) * secondHalf().response(hz)); }

}  // namespace

double weightingDb(double hz) {
  return 20.0 * std::log10(analogMagnitude(hz) / analogMagnitude(kWeightingPeakHz));
}

FilterChain weightingFilter(double rate) {
  FilterChain chain({bilinear(firstHalf(), rate, kWeightingPeakHz), bilinear(secondHalf(), rate, kWeightingPeakHz)});
  chain.scale(1.0 / std::abs(chain.response(kWeightingPeakHz, rate)));
  return chain;
}

}  // namespace meter
