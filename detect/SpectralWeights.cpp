#include "detect/SpectralWeights.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace detect {

void SpectralWeights::setWindowLength(int n) {
  window_.assign(static_cast<std::size_t>(std::max(n, 0)), 0.0);
  for (int i = 0; i < n; ++i) {
    window_[static_cast<std::size_t>(i)] = (1.0 - std::cos(2.0 * std::numbers::pi * (i + 1) / (n + 1))) / 2.0;
  }
}

void SpectralWeights::setEmphasis(int bins, int order) {
  order_ = std::clamp(order, 1, orderCeiling_);
  emphasis_.assign(static_cast<std::size_t>(std::max(bins, 0)), 0.0f);
  for (int k = 0; k < bins; ++k) {
    emphasis_[static_cast<std::size_t>(k)] = static_cast<float>(std::pow(double(k + 1) / bins, order_));
  }
}

bool SpectralWeights::applyWindow(float* frame, int length) const {
  if (length != windowLength()) return false;
  for (int i = 0; i < length; ++i) frame[i] = static_cast<float>(frame[i] * window_[static_cast<std::size_t>(i)]);
  return true;
}

bool SpectralWeights::applyEmphasis(double* magnitudes, int length) const {
  if (length != emphasisBins()) return false;
  for (int k = 0; k < length; ++k) magnitudes[k] *= emphasis_[static_cast<std::size_t>(k)];
  return true;
}

}  // namespace detect
