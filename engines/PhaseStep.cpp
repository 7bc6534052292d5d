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
  return step(dot(taps_.data(), re_.window(), n), dot(taps_.data(), im_.window(), n), lastRe_, lastIm_, rate_);
}

PhaseStep::Result PhaseStep::step(float zr, float zi, float& lastRe, float& lastIm, double rate) {
  float pr = zr * lastRe + zi * lastIm;
  float pi = zi * lastRe - zr * lastIm;
  float power = zr * zr + zi * zi;
  bool strong = power > kPowerFloor && lastRe * lastRe + lastIm * lastIm > kPowerFloor;
  lastRe = zr;
  lastIm = zi;
  double offset = std::atan2(static_cast<double>(pi), static_cast<double>(pr)) * rate / (2.0 * std::numbers::pi);
  return {offset, power, strong};
}

}  // namespace humengine
