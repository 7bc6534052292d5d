// Smooths the tracker's magnitude spectrum across frequency (a running mean
// over a few bins) and across time (a running mean per bin over the last
// frames).
#pragma once

#include <cstddef>
#include <vector>

namespace detect {

class SpectrumSmoother {
 public:
  static constexpr int kMaxWidth = 8;
  static constexpr int kMaxLength = 16;

  // Sizes for `bins` bins and zeroes every sum and history.
  void setBins(int bins);
  void setWidth(int width);
  // A new length takes the sums over that many of the kept magnitudes, so
  // the running means stay true means after the change.
  void setLength(int length);

  int bins() const { return bins_; }
  int width() const { return width_; }
  int length() const { return length_; }

  // out[0..bins) from in[0..bins); the arrays must not overlap.
  void smoothFrequency(const double* in, double* out) const;
  // Advances each bin's history by in[k] and writes its running mean.
  void smoothTime(const double* in, double* out);

 private:
  double& historyAt(int bin, int age) { return history_[static_cast<std::size_t>(bin * kMaxLength + (head_ + age) % kMaxLength)]; }

  int bins_ = 0;
  int width_ = 1;
  int length_ = 1;
  int head_ = 0;  // history[k][0] sits at slot head_ of each bin's ring
  std::vector<double> sums_;
  std::vector<double> history_;
};

}  // namespace detect
