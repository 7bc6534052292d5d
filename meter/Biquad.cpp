#include "meter/Biquad.h"

#include <cmath>
#include <numbers>

namespace meter {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}

std::complex<double> Biquad::response(double hz, double rate) const {
  const std::complex<double> z1 = std::polar(1.0, -kTwoPi * hz / rate);
  const std::complex<double> z2 = z1 * z1;
  return (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
}

std::complex<double> AnalogSection::response(double hz) const {
  const std::complex<double> s(0.0, kTwoPi * hz);
  return (n2 * s * s + n1 * s + n0) / (d2 * s * s + d1 * s + d0);
}

Biquad bilinear(const AnalogSection& a, double rate, double matchHz) {
  const double w = kTwoPi * matchHz;
  const double k = w / std::tan(w / (2.0 * rate));
  const double k2 = k * k;
  const double B0 = a.n2 * k2 + a.n1 * k + a.n0;
  const double B1 = 2.0 * (a.n0 - a.n2 * k2);
  const double B2 = a.n2 * k2 - a.n1 * k + a.n0;
  const double A0 = a.d2 * k2 + a.d1 * k + a.d0;
  const double A1 = 2.0 * (a.d0 - a.d2 * k2);
  const double A2 = a.d2 * k2 - a.d1 * k + a.d0;
  return {B0 / A0, B1 / A0, B2 / A0, A1 / A0, A2 / A0};
}

AnalogSection lowPass2(double hz, double q) {
  const double w = kTwoPi * hz;
  return {0.0, 0.0, w * w, 1.0, w / q, w * w};
}

AnalogSection highPass2(double hz, double q) {
  const double w = kTwoPi * hz;
  return {1.0, 0.0, 0.0, 1.0, w / q, w * w};
}

FilterChain::FilterChain(std::vector<Biquad> sections)
    : sections_(std::move(sections)), states_(sections_.size()) {}

void FilterChain::settleAt(double x) {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Biquad& b = sections_[i];
    const double y = b.dcGain() * x;
    states_[i].s2 = b.b2 * x - b.a2 * y;
    states_[i].s1 = b.b1 * x - b.a1 * y + states_[i].s2;
    x = y;
  }
}

double FilterChain::process(double x) {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Biquad& b = sections_[i];
    State& s = states_[i];
    const double y = b.b0 * x + s.s1;
    s.s1 = b.b1 * x - b.a1 * y + s.s2;
    s.s2 = b.b2 * x - b.a2 * y;
    x = y;
  }
  return x * gain_;
}

std::complex<double> FilterChain::response(double hz, double rate) const {
  std::complex<double> h = gain_;
  for (const Biquad& b : sections_) h *= b.response(hz, rate);
  return h;
}

}  // namespace meter
