// Second-order sections, made from analog prototypes by the bilinear
// transform with the frequency warped to fit at one chosen frequency.
#pragma once

#include <complex>
#include <vector>

namespace meter {

// b0 + b1 z^-1 + b2 z^-2 over 1 + a1 z^-1 + a2 z^-2.
struct Biquad {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;

  std::complex<double> response(double hz, double rate) const;
  double dcGain() const { return (b0 + b1 + b2) / (1.0 + a1 + a2); }
};

// (n2 s^2 + n1 s + n0) / (d2 s^2 + d1 s + d0), s in rad/s. The transform
// maps matchHz exactly.
struct AnalogSection {
  double n2 = 0.0, n1 = 0.0, n0 = 1.0;
  double d2 = 0.0, d1 = 0.0, d0 = 1.0;
  std::complex<double> response(double hz) const;
};
Biquad bilinear(const AnalogSection& analog, double rate, double matchHz);

// Second order; the default quality makes a Butterworth section.
AnalogSection lowPass2(double hz, double q = 0.70710678118654752);
AnalogSection highPass2(double hz, double q = 0.70710678118654752);

// Sections in series, run over one signal.
class FilterChain {
 public:
  FilterChain() = default;
  explicit FilterChain(std::vector<Biquad> sections);

  // The state the chain would have after the input had stayed at x forever:
  // a signal that starts away from zero starts without a jolt.
  void settleAt(double x);
  double process(double x);
  std::complex<double> response(double hz, double rate) const;
  void scale(double gain) { gain_ *= gain; }

 private:
  struct State {
    double s1 = 0.0, s2 = 0.0;
  };
  std::vector<Biquad> sections_;
  std::vector<State> states_;
  double gain_ = 1.0;
};

}  // namespace meter
