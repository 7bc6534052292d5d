#include "tools/eval/partialpick/StrongPartial.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace partialpick {

double strongestSustainedPartial(const std::vector<float>& mono, double rate, double lowHz, double highHz) {
  constexpr int kSize = 8192;
  if (mono.size() < static_cast<std::size_t>(kSize)) return 0.0;
  const int low = std::max(2, static_cast<int>(std::ceil(lowHz * kSize / rate)));
  const int high = std::min(kSize / 2 - 2, static_cast<int>(std::floor(highHz * kSize / rate)));
  if (high <= low + 2) return 0.0;
  double* in = fftw_alloc_real(kSize);
  fftw_complex* out = fftw_alloc_complex(kSize / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(kSize, in, out, FFTW_ESTIMATE);
  std::vector<std::vector<float>> power(static_cast<std::size_t>(high - low + 1));
  for (std::size_t start = 0; start + kSize <= mono.size(); start += kSize / 2) {
    for (int n = 0; n < kSize; ++n)
      in[n] = mono[start + static_cast<std::size_t>(n)] * (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kSize));
    fftw_execute(plan);
    for (int k = low; k <= high; ++k)
      power[static_cast<std::size_t>(k - low)].push_back(static_cast<float>(out[k][0] * out[k][0] + out[k][1] * out[k][1]));
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  std::vector<double> median(power.size());
  for (std::size_t i = 0; i < power.size(); ++i) {
    auto& p = power[i];
    std::nth_element(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(p.size() / 2), p.end());
    median[i] = p[p.size() / 2];
  }
  // The peak that stands out most from the spectrum around it (power over
  // the mean of the bins 3 to 16 away): a line, not a broad hump.
  std::size_t best = 0;
  double bestScore = 0.0;
  bool found = false;
  for (std::size_t i = 1; i + 1 < median.size(); ++i) {
    if (!(median[i] > median[i - 1] && median[i] >= median[i + 1])) continue;
    double around = 0.0;
    int count = 0;
    for (int d = 3; d <= 16; ++d) {
      if (i >= static_cast<std::size_t>(d)) around += median[i - static_cast<std::size_t>(d)], ++count;
      if (i + static_cast<std::size_t>(d) < median.size()) around += median[i + static_cast<std::size_t>(d)], ++count;
    }
    const double score = median[i] / (around / count + 1e-30);
    if (!found || score > bestScore) {
      best = i;
      bestScore = score;
      found = true;
    }
  }
  if (!found || median[best] <= 0.0) return 0.0;
  // A parabola through the peak's log levels places it between bins.
  const double a = std::log(median[best - 1] + 1e-30), b = std::log(median[best]), c = std::log(median[best + 1] + 1e-30);
  const double denominator = a - 2.0 * b + c;
  const double offset = denominator < 0.0 ? std::clamp(0.5 * (a - c) / denominator, -0.5, 0.5) : 0.0;
  return (static_cast<double>(low) + static_cast<double>(best) + offset) * rate / kSize;
}

}  // namespace partialpick
