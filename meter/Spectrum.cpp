#include "meter/Spectrum.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace meter {

namespace {

void fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(len));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> t = 1.0;
      for (std::size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k];
        const std::complex<double> v = a[i + k + len / 2] * t;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        t *= w;
      }
    }
  }
}

}  // namespace

Spectrum amplitudeSpectrum(std::span<const float> x, std::span<const std::uint8_t> flags, double rate,
                           double resolutionHz) {
  Spectrum s;
  if (x.size() < 16 || rate <= 0.0) return s;
  std::size_t length = 16;
  while (length * 2 <= x.size() && rate / static_cast<double>(length) > resolutionHz) length *= 2;
  s.binHz = rate / static_cast<double>(length);
  std::vector<double> window(length);
  double windowSum = 0.0;
  for (std::size_t i = 0; i < length; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(length));
    windowSum += window[i];
  }
  std::vector<double> power(length / 2 + 1, 0.0);
  std::vector<std::complex<double>> buffer(length);
  std::size_t segments = 0;
  for (std::size_t start = 0; start + length <= x.size(); start += length / 2) {
    for (std::size_t i = 0; i < length; ++i) {
      const bool on = flags.empty() || flags[start + i];
      buffer[i] = on ? window[i] * x[start + i] : 0.0;
    }
    fft(buffer);
    for (std::size_t k = 0; k < power.size(); ++k) power[k] += std::norm(buffer[k]);
    ++segments;
  }
  s.amplitude.resize(power.size());
  for (std::size_t k = 0; k < power.size(); ++k)
    s.amplitude[k] = 2.0 * std::sqrt(power[k] / static_cast<double>(segments)) / windowSum;
  return s;
}

}  // namespace meter
