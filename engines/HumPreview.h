// The reduced-rate signal the plug-in shows as the hum preview: the input
// band-limited and resampled to the reduced rate, aligned so that output
// sample j belongs to input time j x inputRate / reducedRate.
#pragma once

#include <deque>

#include "engines/HumParameters.h"

namespace humengine {

class HumPreview {
 public:
  HumPreview(double sampleRate, const HumSettings& settings);

  void push(const float* input, int frames);
  // Ends the stream: the samples still held back by the filter become available.
  void finish();
  // Moves up to capacity pending samples into output; returns how many.
  int pull(float* output, int capacity);

 private:
  double ratio_;
  double produced_ = 0.0;
  double consumed_ = 0.0;
  std::deque<float> pending_;
};

}  // namespace humengine
