// The reduced-rate signal the plug-in shows as the hum preview: the input
// band-limited and resampled to the reduced rate, aligned so that output
// sample j belongs to input time j x inputRate / reducedRate. In all the
// stream gives inputFrames x reducedRate / inputRate samples (rounded down).
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

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
  // Produces outputs whose whole filter window lies below `available` input frames.
  void produce(std::int64_t available);
  float outputAt(double time) const;
  float kernel(double t) const;

  double sampleRate_;
  double reducedRate_;
  double step_;        // input frames per output sample
  double gain_;
  double cutoff_;      // cycles per input frame
  double halfWidth_;   // input frames on each side
  double tableScale_;  // table entries per input frame
  std::vector<float> table_;
  std::vector<float> input_;  // input frames from base_ on
  std::int64_t base_ = 0;
  std::int64_t received_ = 0;
  std::int64_t produced_ = 0;
  std::int64_t total_ = -1;  // outputs of the whole stream, once finished
  bool finished_ = false;
  std::deque<float> pending_;
};

}  // namespace humengine
