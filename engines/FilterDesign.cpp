#include "engines/FilterDesign.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace humengine {
namespace {

// Modified Bessel function of the first kind, order 0, by its power series.
double besselI0(double x) {
  double sum = 1.0, term = 1.0, half = x / 2.0;
  for (int k = 1; k < 200; ++k) {
    term *= (half / k) * (half / k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

}  // namespace

double kaiserBeta(double a) {
  if (a > 50.0) return 0.1102 * (a - 8.7);
  if (a >= 21.0) return 0.5842 * std::pow(a - 21.0, 0.4) + 0.07886 * (a - 21.0);
  return 0.0;
}

double kaiserTransition(int length, double a) {
  return (a - 7.95) / (14.36 * static_cast<double>(length > 1 ? length - 1 : 1));
}

double kaiserWindow(double x, double beta) {
  if (x < -1.0 || x > 1.0) return 0.0;
  return besselI0(beta * std::sqrt(1.0 - x * x)) / besselI0(beta);
}

std::vector<float> lowpassTaps(int length, double cutoff, double beta) {
  std::vector<double> h(static_cast<std::size_t>(length));
  double middle = (length - 1) / 2.0, sum = 0.0;
  for (int i = 0; i < length; ++i) {
    double t = i - middle;
    double sinc = t == 0.0 ? 2.0 * cutoff : std::sin(2.0 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
    h[i] = sinc * kaiserWindow(middle > 0 ? t / middle : 0.0, beta);
    sum += h[i];
  }
  std::vector<float> taps(h.size());
  for (std::size_t i = 0; i < h.size(); ++i) taps[i] = static_cast<float>(h[i] / sum);
  return taps;
}

int leadingTaps(const std::vector<float>& taps, double share) {
  double total = 0.0;
  for (float t : taps) total += std::fabs(t);
  double sum = 0.0;
  int n = 0;
  for (float t : taps) {
    sum += std::fabs(t);
    if (sum > share * total) break;
    ++n;
  }
  return n;
}

int kaiserLength(double transition, double a) {
  double gaps = std::ceil((a - 7.95) / (14.36 * transition));
  int length = static_cast<int>(std::min(gaps, 1e6)) + 1;
  return length | 1;
}

float dot(const float* a, const float* b, int n) {
  // Eight running sums: independent chains the compiler can keep in one
  // vector register, in an order that does not depend on the target.
  float s[8] = {};
  int i = 0;
  for (; i + 8 <= n; i += 8)
    for (int j = 0; j < 8; ++j) s[j] += a[i + j] * b[i + j];
  for (int j = 0; i < n; ++i, ++j) s[j] += a[i] * b[i];
  return ((s[0] + s[4]) + (s[1] + s[5])) + ((s[2] + s[6]) + (s[3] + s[7]));
}

}  // namespace humengine
