// A shorter band filter for the first samples of a stream. The harmonic's
// own filter needs its whole length of input before its phase steps can be
// trusted; a filter just long enough to keep the neighbouring harmonics out
// can be trusted much sooner. Its results are delayed so that they describe
// the same moments as the long filter's.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/DelayLine.h"
#include "engines/PhaseStep.h"

namespace humengine {

class StartBand {
 public:
  // longLength: taps of the harmonic's own filter, odd like these.
  StartBand(std::vector<float> taps, double rate, int longLength, std::int64_t trustedFrom);

  // One mixed-down sample; the result lines up with the long filter's for
  // the same sample. *trusted is false while it still comes from before the
  // filter could be trusted.
  PhaseStep::Result push(float re, float im, bool* trusted);
  // The first step whose result is trusted.
  std::int64_t firstTrusted() const { return trustedFrom_ + lag_; }

 private:
  PhaseStep band_;
  int lag_;
  std::int64_t trustedFrom_;
  std::int64_t steps_ = 0;
  DelayLine offset_, power_, strong_;
};

}  // namespace humengine
