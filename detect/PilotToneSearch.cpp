// The two searches of the pilot tone tracker: a full search for the
// strongest peak above the band floor, and a tracking search that looks
// only near the frequency predicted from the last three estimates.
#include <algorithm>
#include <cmath>

#include "detect/DetectorMath.h"
#include "detect/PilotToneTracker.h"

namespace detect {

namespace {
constexpr int kSecondSpectrum = PilotToneTracker::kCapacity / 2 + 1;
constexpr double kNotchReach = 1500.0;  // Hz from the hint at which the notch applies
constexpr double kNotchHalfWidth = 100.0;
constexpr double kStableReach = 200.0;
constexpr double kMaxJump = 600.0;
constexpr unsigned kStableFrames = 10;
}  // namespace

void PilotToneTracker::commonSpectrum(int floorBins) {
  const int N = N_;
  const int B = bins();
  float* re = work_.data();
  float* im = work_.data() + kCapacity;
  std::copy(ring_.begin() + frameStart_, ring_.begin() + frameStart_ + N, re);
  std::fill(im, im + N, 0.0f);
  weights_.applyWindow(re, N);
  fft_.complexFft(re, im, N);
  double* y = spectrum_.data();
  for (int k = 0; k < B; ++k) y[k] = std::sqrt(static_cast<double>(re[k] * re[k] + im[k] * im[k]));
  std::fill(re, re + N, 0.0f);
  std::fill(im, im + N, 0.0f);
  std::fill(y, y + std::min(std::max(floorBins, 0), B), 0.0);
  weights_.applyEmphasis(y, B);
}

void PilotToneTracker::finishSpectrum() {
  const int B = bins();
  double* y = spectrum_.data();
  double* second = spectrum_.data() + kSecondSpectrum;
  for (int k = 0; k < B; ++k) {
    y[k] *= y[k];
    y[k] *= y[k];
  }
  smoother_.smoothFrequency(y, second);
  smoother_.smoothTime(second, y);
}

bool PilotToneTracker::fullSearch(double& estimate) {
  const int B = bins();
  const int top = B - 1;
  commonSpectrum(L_);
  finishSpectrum();
  const double* y = spectrum_.data();

  // A band floor at or above half the sample rate leaves nothing to search.
  bool peak = L_ <= top;
  int kStar = std::max(L_, 0);
  if (peak) {
    for (int k = kStar + 1; k <= top; ++k) {
      if (y[k] > y[kStar]) kStar = k;
    }
    if (kStar == L_ && y[kStar] == 0.0) peak = false;
  }

  double k = 0.0;
  if (peak) {
    float delta = 0.0f;
    // At the top bin the spectrum of a real signal mirrors, so both
    // neighbours are equal and the peak stays on the bin; bin 0 likewise.
    if (kStar > 0 && kStar < top) {
      const float below = static_cast<float>(y[kStar - 1]);
      const float above = static_cast<float>(y[kStar + 1]);
      const float centre = static_cast<float>(y[kStar]);
      const float divisor = 2.0f * (below + above - 2.0f * centre);
      if (divisor != 0.0f) delta = (below - above) / divisor;
    }
    k = kStar + static_cast<double>(delta);
  } else {
    if (previous_ == -1.0f) return false;
    k = binOf(reference_);
  }
  estimate = freqOf(k);
  if (!(estimate > 0.0) && previous_ == -1.0f) return false;
  return true;
}

double PilotToneTracker::trackingSearch(PilotTrackingState& state) {
  const int B = bins();
  const int top = B - 1;
  commonSpectrum(0);
  double* y = spectrum_.data();
  const double h0 = state.history[0];
  const double h1 = state.history[1];
  const double h2 = state.history[2];
  const double u = hint_;

  // Parabola through the last three estimates, one frame ahead.
  const double a = truncated((h0 + h2) / 2.0 - h1);
  const double b = truncated(h1 - h0 - a);
  const double p = truncated(h0) + 9.0 * a + 3.0 * b;
  const double d = (p >= 10.0 && p <= 20000.0) ? p : (p + freqOf(u)) / 2.0;
  // Kept within a range where the integer window arithmetic cannot overflow.
  const int A = roundHalfUp(std::clamp(binOf(truncated(d)), -1.0, double(B)));
  const int n = A > 0 ? A * margin_ / 1000 : 0;
  const int m = n * 100 / margin_;

  if (std::fabs(truncated(A - u)) < binOf(kNotchReach) && state.stableCounter < kStableFrames) {
    const int E = roundHalfUp(binOf(kNotchHalfWidth));
    if (E > 0) {
      const int from = roundHalfUp(u - E);
      const int to = roundHalfUp(u + E);
      for (int k = std::max(from, 0); k < std::min(to, B); ++k) {
        y[k] *= 0.9 * std::abs((k - from) - E) / E;
      }
    }
  }

  // Rising window from A - n to the centre A, falling to A + m; nothing
  // outside it.
  const int lo = A - n;
  const int hi = A + m;
  for (int k = 0; k <= top; ++k) {
    if (k < lo || k > hi) {
      y[k] = 0.0;
      continue;
    }
    const int i = k - lo;
    double w = 0.0;
    if (i <= n) {
      const double x = n > 0 ? double(i) * m / n : 0.0;
      w = (x + 1.0) / (m + 1.0);
    } else {
      w = double(m - (i - n - 1)) / (m + 1.0);
    }
    y[k] *= w * w;
  }

  finishSpectrum();

  double weighted = 0.0;
  double total = 0.0;
  for (int k = std::max(lo, 0); k <= std::min(hi, top); ++k) {
    weighted += k * y[k];
    total += y[k];
  }
  bool centroid = false;
  double c = 0.0;
  if (total > 0.0) {
    c = weighted / total;
    centroid = lo < c && c < hi;
  }
  if (!centroid || c >= B || std::fabs(double(roundHalfUp(freqOf(c) - h2))) >= kMaxJump) {
    c = roundHalfUp(binOf(h2));
  }

  if (std::fabs(truncated(c - u)) < binOf(kStableReach)) {
    ++state.stableCounter;
  } else {
    state.stableCounter = 0;
  }
  return freqOf(c);
}

}  // namespace detect
