#include "engines/PhaseStep.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

// Below this power the phase of the filtered harmonic means nothing.
constexpr float kPowerFloor = 1e-20f;

}  // namespace

PhaseStep::PhaseStep(std::vector<float> taps, double rate)
    : taps_(std::move(taps)),
      rate_(rate),
      re_(static_cast<int>(taps_.size())),
      im_(static_cast<int>(taps_.size())) {}

PhaseStep::Result PhaseStep::push(float re, float im) {
  re_.push(re);
  im_.push(im);
  int n = length();
  float zr = dot(taps_.data(), re_.window(), n);
  float zi = dot(taps_.data(), im_.window(), n);
  float pr = zr * lastRe_ + zi * lastIm_;
  float pi = zi * lastRe_ - zr * lastIm_;
  float power = zr * zr + zi * zi;
  bool strong = power > kPowerFloor && lastRe_ * lastRe_ + lastIm_ * lastIm_ > kPowerFloor;
  lastRe_ = zr;
  lastIm_ = zi;
  double offset = std::atan2(static_cast<double>(pi), static_cast<double>(pr)) * rate_ / (2.0 * std::numbers::pi);
  return {offset, power, strong};
}

}  // namespace humengine
