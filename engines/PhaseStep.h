// A low-pass band filter on one mixed-down harmonic and the frequency from
// the phase step between its neighbouring outputs: the argument of z[n]
// times the conjugate of z[n-1].
#pragma once

#include <vector>

#include "engines/DelayLine.h"

namespace humengine {

class PhaseStep {
 public:
  struct Result {
    double offset;  // Hz from the mixing frequency
    float power;    // |z[n]|^2
    bool strong;    // both outputs strong enough for their phase to mean something
  };

  PhaseStep(std::vector<float> taps, double rate);
  // The reading for filtered output z = (zr, zi) after the last one, which
  // it then becomes: the step for any band filter's outputs at this rate.
  static Result step(float zr, float zi, float& lastRe, float& lastIm, double rate);

  Result push(float re, float im);
  int length() const { return static_cast<int>(taps_.size()); }
  const std::vector<float>& taps() const { return taps_; }

 private:
  std::vector<float> taps_;
  double rate_;
  DelayLine re_, im_;
  float lastRe_ = 0.0f, lastIm_ = 0.0f;
};

}  // namespace humengine
