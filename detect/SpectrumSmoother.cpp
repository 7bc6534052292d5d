#include "detect/SpectrumSmoother.h"

#include <algorithm>

#include "detect/DetectorMath.h"

namespace detect {

void SpectrumSmoother::setBins(int bins) {
  bins_ = std::max(bins, 0);
  head_ = 0;
  sums_.assign(static_cast<std::size_t>(bins_), 0.0);
  history_.assign(static_cast<std::size_t>(bins_) * kMaxLength, 0.0);
}

void SpectrumSmoother::setWidth(int width) { width_ = std::clamp(width, 1, kMaxWidth); }

void SpectrumSmoother::setLength(int length) {
  length = std::clamp(length, 1, kMaxLength);
  if (length == length_) return;
  length_ = length;
  for (int k = 0; k < bins_; ++k) {
    double sum = 0.0;
    for (int age = 0; age < length_; ++age) sum += historyAt(k, age);
    sums_[static_cast<std::size_t>(k)] = sum;
  }
}

void SpectrumSmoother::smoothFrequency(const double* in, double* out) const {
  const int B = bins_;
  const int F = width_;
  if (B <= 0) return;
  const int n = roundHalfUp(F / 2.0);
  double total = 0.0;
  for (int k = 0; k < B; ++k) total += in[k];
  const double mean = total / B;
  if (B < F + 2) {
    // Too few bins for the running window: the mean is all there is.
    for (int k = 0; k < B; ++k) out[k] = mean;
    return;
  }
  double s = 0.0;
  for (int k = 0; k < F; ++k) s += in[k];

  out[0] = mean;
  for (int i = 1; i <= n - 1; ++i) out[i] = (s / F + out[i - 1]) / 2.0;
  // One slide further than the closing ramp needs, so that with an even
  // width the bin just before the ramp is set too (it would otherwise keep
  // a value from an earlier frame).
  for (int i = 1; i < B - F; ++i) {
    s = s - in[i - 1] + in[i + F - 1];
    out[i + n - 1] = s / F;
  }
  for (int j = B - n - 1; j <= B - 1; ++j) out[j] = (mean + out[j - 1]) / 2.0;
}

void SpectrumSmoother::smoothTime(const double* in, double* out) {
  const int T = length_;
  // history[k][T - 1] leaves the sum; every history moves one place older.
  head_ = (head_ + kMaxLength - 1) % kMaxLength;
  for (int k = 0; k < bins_; ++k) {
    double& sum = sums_[static_cast<std::size_t>(k)];
    // After the head moved, the old age T-1 is the new age T.
    sum = sum - historyAt(k, T) + in[k];
    historyAt(k, 0) = in[k];
    // Subtracting what was added leaves rounding residue; a bin that has
    // been silent for the whole length must read exactly 0, or silence would
    // show a peak made of residue.
    if (in[k] == 0.0 && sum != 0.0) {
      bool silent = true;
      for (int age = 1; age < T && silent; ++age) silent = historyAt(k, age) == 0.0;
      if (silent) sum = 0.0;
    }
    out[k] = sum / T;
  }
}

}  // namespace detect
