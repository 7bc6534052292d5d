// Follows the mains hum in a recording and turns its frequency into the
// relative playback speed, one value per input frame.
#pragma once

#include <vector>

#include "engines/HumParameters.h"

namespace humengine {

class HumTracker {
 public:
  HumTracker(double sampleRate, const HumSettings& settings);

  // Output index h of the stream belongs to input frame h - delay().
  int delay() const { return delay_; }
  void process(const float* input, int frames, float* output);

 private:
  int delay_ = 0;
};

}  // namespace humengine
