// The pilot tone tracker's two weighting tables: a Hann window over the
// frame and a pre-emphasis curve over the magnitude bins that lifts the top
// of the spectrum, where the pilot tone lives.
#pragma once

#include <cstddef>
#include <vector>

namespace detect {

class SpectralWeights {
 public:
  explicit SpectralWeights(int orderCeiling) : orderCeiling_(orderCeiling) {}

  // Hann window w[i] = (1 - cos(2 pi (i + 1) / (n + 1))) / 2, i = 0..n-1.
  void setWindowLength(int n);
  // Pre-emphasis p[k] = ((k + 1) / bins)^order, order limited to 1..ceiling.
  void setEmphasis(int bins, int order);

  int order() const { return order_; }
  int windowLength() const { return static_cast<int>(window_.size()); }
  int emphasisBins() const { return static_cast<int>(emphasis_.size()); }

  // Each table is applied only to an array of its own length; false otherwise.
  bool applyWindow(float* frame, int length) const;
  bool applyEmphasis(double* magnitudes, int length) const;

 private:
  int orderCeiling_;
  int order_ = 1;
  std::vector<double> window_;
  std::vector<float> emphasis_;
};

}  // namespace detect
