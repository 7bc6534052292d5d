#include "tools/eval/wowxcorr/WindowCorrelator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wowxcorr {

namespace {

int fftSize(int atLeast) {
  int n = 64;
  while (n < atLeast) n *= 2;
  return n;
}

}  // namespace

WindowCorrelator::WindowCorrelator(int window, int maxLag, double sampleRate, double lowHz, double highHz)
    : window_(window), maxLag_(maxLag), size_(fftSize(window + 2 * maxLag + 1)) {
  taper_.resize(static_cast<std::size_t>(window_));
  for (int n = 0; n < window_; ++n)
    taper_[static_cast<std::size_t>(n)] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (n + 0.5) / window_);
  const int bins = size_ / 2 + 1;
  weight_.assign(static_cast<std::size_t>(bins), 0.0);
  const double high = std::min(highHz, 0.45 * sampleRate);
  separation_ = std::max(2, static_cast<int>(std::ceil(sampleRate / std::max(high, 1.0))));
  const double low = std::max(lowHz, 0.0);
  // Soft edges a fifth of an octave wide keep the peak free of ringing.
  for (int k = 1; k < bins; ++k) {
    const double f = k * sampleRate / size_;
    double w = 0.0;
    if (f > low && f < high) {
      w = 1.0;
      const double upEdge = low * 1.15;
      if (f < upEdge && upEdge > low) w *= 0.5 - 0.5 * std::cos(std::numbers::pi * (f - low) / (upEdge - low));
      const double downEdge = high * 0.87;
      if (f > downEdge) w *= 0.5 + 0.5 * std::cos(std::numbers::pi * (f - downEdge) / (high - downEdge));
    }
    weight_[static_cast<std::size_t>(k)] = w;
  }
  time_ = fftw_alloc_real(static_cast<std::size_t>(size_));
  spectrumX_ = fftw_alloc_complex(static_cast<std::size_t>(bins));
  spectrumR_ = fftw_alloc_complex(static_cast<std::size_t>(bins));
  crossRe_.resize(static_cast<std::size_t>(bins));
  crossIm_.resize(static_cast<std::size_t>(bins));
  correlation_.resize(static_cast<std::size_t>(size_));
  forward_.reset(fftw_plan_dft_r2c_1d(size_, time_, spectrumX_, FFTW_ESTIMATE));
  backward_.reset(fftw_plan_dft_c2r_1d(size_, spectrumX_, time_, FFTW_ESTIMATE));
}

WindowCorrelator::~WindowCorrelator() {
  forward_.reset();
  backward_.reset();
  fftw_free(time_);
  fftw_free(spectrumX_);
  fftw_free(spectrumR_);
}

double WindowCorrelator::correlationAt(double lag, double* slope, double* curve) const {
  // c(lag) = sum over bins of w |G| cos(phase + 2 pi k lag / N), doubled for the
  // negative frequencies; its derivatives in closed form for Newton's method.
  double c = 0.0, d1 = 0.0, d2 = 0.0;
  const double step = 2.0 * std::numbers::pi / size_;
  // e^(i omega_k lag) by rotation from bin to bin.
  const double rotRe = std::cos(step * lag), rotIm = std::sin(step * lag);
  double zRe = rotRe, zIm = rotIm;
  for (std::size_t k = 1; k < crossRe_.size(); ++k) {
    const double omega = step * static_cast<double>(k);
    const double re = crossRe_[k] * zRe - crossIm_[k] * zIm;
    const double im = crossRe_[k] * zIm + crossIm_[k] * zRe;
    c += re;
    d1 -= omega * im;
    d2 -= omega * omega * re;
    const double nextRe = zRe * rotRe - zIm * rotIm;
    zIm = zRe * rotIm + zIm * rotRe;
    zRe = nextRe;
  }
  if (slope) *slope = d1;
  if (curve) *curve = d2;
  return c;
}

LagReading WindowCorrelator::measure(const float* x, const float* ref, bool sameWindow) {
  LagReading reading;
  const int bins = size_ / 2 + 1;
  std::fill(time_, time_ + size_, 0.0);
  double energyX = 0.0;
  for (int n = 0; n < window_; ++n) {
    time_[n] = x[n] * taper_[static_cast<std::size_t>(n)];
    energyX += time_[n] * time_[n];
  }
  fftw_execute_dft_r2c(forward_.get(), time_, spectrumX_);
  std::fill(time_, time_ + size_, 0.0);
  double energyR = 0.0;
  if (sameWindow) {
    for (int n = 0; n < window_; ++n) time_[maxLag_ + n] = ref[maxLag_ + n] * taper_[static_cast<std::size_t>(n)];
  } else {
    for (int n = 0; n < window_ + 2 * maxLag_; ++n) time_[n] = ref[n];
  }
  for (int n = 0; n < window_ + 2 * maxLag_; ++n) energyR += time_[n] * time_[n];
  if (!(energyX > 1e-20) || !(energyR > 1e-20)) return reading;
  fftw_execute_dft_r2c(forward_.get(), time_, spectrumR_);

  // conj(X) R, whitened: what is left is the phase, over the band.
  std::vector<double> magnitude(static_cast<std::size_t>(bins));
  double meanMagnitude = 0.0;
  for (int k = 0; k < bins; ++k) {
    const double xr = spectrumX_[k][0], xi = spectrumX_[k][1];
    const double rr = spectrumR_[k][0], ri = spectrumR_[k][1];
    crossRe_[static_cast<std::size_t>(k)] = xr * rr + xi * ri;
    crossIm_[static_cast<std::size_t>(k)] = xr * ri - xi * rr;
    magnitude[static_cast<std::size_t>(k)] = std::hypot(crossRe_[static_cast<std::size_t>(k)], crossIm_[static_cast<std::size_t>(k)]);
    meanMagnitude += magnitude[static_cast<std::size_t>(k)] * weight_[static_cast<std::size_t>(k)];
  }
  double weightSum = 0.0;
  for (int k = 0; k < bins; ++k) weightSum += weight_[static_cast<std::size_t>(k)];
  if (weightSum <= 0.0) return reading;
  meanMagnitude /= weightSum;
  // A floor keeps empty bins from being lifted to full weight.
  const double floor = 1e-3 * meanMagnitude + 1e-300;
  for (int k = 0; k < bins; ++k) {
    const double s = weight_[static_cast<std::size_t>(k)] / (magnitude[static_cast<std::size_t>(k)] + floor);
    crossRe_[static_cast<std::size_t>(k)] *= s;
    crossIm_[static_cast<std::size_t>(k)] *= s;
    spectrumX_[k][0] = crossRe_[static_cast<std::size_t>(k)];
    spectrumX_[k][1] = crossIm_[static_cast<std::size_t>(k)];
  }
  fftw_execute_dft_c2r(backward_.get(), spectrumX_, time_);
  // time_[j] is the correlation at j - maxLag (circular; the lags searched
  // do not wrap).
  // Of peaks within a percent or so of each other (a periodic tone, a loop
  // repeated note for note) the one nearest the expected lag wins.
  int best = 0;
  double bestScore = -1e300;
  for (int j = 0; j <= 2 * maxLag_; ++j) {
    const double score = time_[j] * (1.0 - 0.01 * std::abs(j - maxLag_) / std::max(1, maxLag_));
    if (score > bestScore) {
      bestScore = score;
      best = j;
    }
  }
  if (best == 0 || best == 2 * maxLag_) return reading;  // at the edge: no peak inside the search
  double second = 0.0;
  for (int j = 1; j < 2 * maxLag_; ++j)
    if (std::abs(j - best) >= separation_ && time_[j] >= time_[j - 1] && time_[j] >= time_[j + 1])
      second = std::max(second, time_[j]);
  if (time_[best] > 0.0) reading.ambiguity = std::clamp(second / time_[best], 0.0, 1.0);
  // Newton steps on the continuous correlation, from the best lag.
  double lag = best;
  for (int iteration = 0; iteration < 8; ++iteration) {
    double slope = 0.0, curve = 0.0;
    correlationAt(lag, &slope, &curve);
    if (!(curve < 0.0)) break;
    const double step = std::clamp(-slope / curve, -0.5, 0.5);
    lag += step;
    if (std::fabs(step) < 1e-6) break;
  }
  if (std::fabs(lag - best) > 1.0) lag = best;
  const double peak = correlationAt(lag, nullptr, nullptr);
  reading.found = true;
  reading.lag = lag - maxLag_;
  // Against the whitened spectrum's own total, so that a few strong lines
  // in an otherwise empty band still count as a full match.
  double total = 0.0;
  for (std::size_t k = 1; k < crossRe_.size(); ++k) total += std::hypot(crossRe_[k], crossIm_[k]);
  reading.quality = total > 0.0 ? std::clamp(peak / total, 0.0, 1.0) : 0.0;
  return reading;
}

}  // namespace wowxcorr
