#include "tools/eval/wowapply/SincInterpolator.h"

#include <cmath>
#include <numbers>

namespace wowapply {

namespace {

// The modified Bessel function of the first kind, order 0, by its series.
double besselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  const double q = x * x / 4.0;
  for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
    term *= q / (static_cast<double>(k) * k);
    sum += term;
  }
  return sum;
}

}  // namespace

SincInterpolator::SincInterpolator(int halfWidth, double cutoff, double beta, int phases)
    : halfWidth_(halfWidth), phases_(phases) {
  const double norm = besselI0(beta);
  table_.resize(static_cast<std::size_t>(halfWidth_) * phases_ + 2, 0.0);
  for (std::size_t i = 0; i + 1 < table_.size(); ++i) {
    const double d = static_cast<double>(i) / phases_;
    const double r = d / halfWidth_;
    if (r >= 1.0) break;
    const double x = std::numbers::pi * cutoff * d;
    const double sinc = d == 0.0 ? 1.0 : std::sin(x) / x;
    table_[i] = cutoff * sinc * besselI0(beta * std::sqrt(1.0 - r * r)) / norm;
  }
}

double SincInterpolator::kernel(double distance) const {
  const double at = std::fabs(distance) * phases_;
  const auto i = static_cast<std::size_t>(at);
  if (i + 1 >= table_.size()) return 0.0;
  const double t = at - static_cast<double>(i);
  return table_[i] + t * (table_[i + 1] - table_[i]);
}

std::int64_t SincInterpolator::weights(double pos, double* w) const {
  const auto base = static_cast<std::int64_t>(std::floor(pos));
  const std::int64_t first = base - halfWidth_ + 1;
  for (int k = 0; k < taps(); ++k) w[k] = kernel(pos - static_cast<double>(first + k));
  return first;
}

double SincInterpolator::valueAt(const std::vector<float>& x, double pos) const {
  std::vector<double> w(static_cast<std::size_t>(taps()));
  const std::int64_t first = weights(pos, w.data());
  double sum = 0.0;
  for (int k = 0; k < taps(); ++k) {
    const std::int64_t i = first + k;
    if (i >= 0 && i < static_cast<std::int64_t>(x.size())) sum += w[static_cast<std::size_t>(k)] * x[static_cast<std::size_t>(i)];
  }
  return sum;
}

}  // namespace wowapply
