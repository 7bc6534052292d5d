// The spectral peaks of one analysis frame, each with a frequency finer than
// the transform's bins: the phase a peak's bin advanced since the frame one
// hop before gives its frequency directly.
#pragma once

#include <vector>

#include "analysis/HartleyFft.h"

namespace partials {

struct Peak {
  double logFrequency = 0.0;  // natural log of Hz
  float snr = 0.0f;           // power over the local floor
};

class FramePeaks {
 public:
  // fftLength a power of two the transforms accept, hop below half of it.
  FramePeaks(double sampleRate, int fftLength, int hop, double lowHz, double highHz);

  // samples holds fftLength samples, the frame one hop after the last call's.
  // The first call (and any after reset) yields no peaks: it has no phase to
  // compare with.
  void analyse(const float* samples, int maxPeaks, std::vector<Peak>& peaks);
  void reset() { havePrevious_ = false; }

  double binHz() const { return binHz_; }

 private:
  void findFloor();

  double sampleRate_;
  int length_;
  int hop_;
  int firstBin_;
  int lastBin_;
  double binHz_;
  HartleyFft fft_;
  std::vector<float> window_;
  std::vector<float> data_;
  std::vector<float> re_, im_, prevRe_, prevIm_;
  std::vector<float> power_;
  std::vector<float> floor_;
  std::vector<float> scratch_;
  bool havePrevious_ = false;
};

}  // namespace partials
