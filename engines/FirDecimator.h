// Low-pass filtering and keeping every factor-th sample: the tracker's
// reduced-rate signal. Output j is the filter centred on input frame
// j * factor + factor - 1 - delay().
#pragma once

#include <vector>

#include "engines/DelayLine.h"

namespace humengine {

class FirDecimator {
 public:
  // zeroCrossings: filter half-length in output samples.
  FirDecimator(int factor, int zeroCrossings);

  // True when x completes an output sample, which goes to *out.
  bool push(float x, float* out) {
    line_.push(x);
    if (++phase_ < factor_) return false;
    phase_ = 0;
    *out = dotTaps();
    return true;
  }
  int factor() const { return factor_; }
  // Group delay in input frames.
  double delay() const { return (static_cast<double>(taps_.size()) - 1.0) / 2.0; }

 private:
  float dotTaps() const;

  int factor_;
  int phase_ = 0;
  std::vector<float> taps_;
  DelayLine line_;
};

}  // namespace humengine
