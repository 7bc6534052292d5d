// Band-limited reading of a sampled signal between its samples: a
// Kaiser-windowed sinc, tabulated finely and read with linear interpolation
// between table entries, so that one value costs 2 x halfWidth multiplies.
#pragma once

#include <cstdint>
#include <vector>

namespace wowapply {

class SincInterpolator {
 public:
  // cutoff: the pass band's edge as a fraction of the Nyquist frequency.
  explicit SincInterpolator(int halfWidth = 48, double cutoff = 0.94, double beta = 10.0, int phases = 2048);

  int taps() const { return 2 * halfWidth_; }
  // The weights of the samples first .. first + taps() - 1 for the value at
  // fractional index pos; w must hold taps() values.
  std::int64_t weights(double pos, double* w) const;
  // The value at pos of x, zero outside it.
  double valueAt(const std::vector<float>& x, double pos) const;

 private:
  double kernel(double distance) const;

  int halfWidth_;
  int phases_;
  std::vector<double> table_;  // the kernel at distance i / phases_, 0 .. halfWidth_
};

}  // namespace wowapply
