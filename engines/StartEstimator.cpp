#include "engines/StartEstimator.h"

#include <algorithm>
#include <cmath>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

// A smooth, positive weighting for the line fit.
constexpr double kKernelBeta = 4.0;
// Trusted samples, in main lobes of the speed filter, before any estimate:
// less than that tells too little about what is in the band.
constexpr int kLobesFirst = 3;

// Samples from the middle of symmetric taps to their first zero.
int mainLobe(const std::vector<float>& taps, int middle) {
  int i = 1;
  while (middle + i < static_cast<int>(taps.size()) && taps[middle + i] > 0.0f) ++i;
  return i;
}

}  // namespace

StartEstimator::StartEstimator(const std::vector<float>& speedTaps)
    : taps_(speedTaps), middle_((static_cast<int>(speedTaps.size()) - 1) / 2) {
  lobe_ = std::max(1, mainLobe(taps_, middle_));
  // Wide enough that the slope is not lost in the noise, narrow enough
  // that the wow is close to straight over it.
  reach_ = std::max(2, lobe_ * 3 / 2);
  for (int d = -reach_; d <= reach_; ++d) kernel_.push_back(kaiserWindow(static_cast<double>(d) / reach_, kKernelBeta));
}

bool StartEstimator::speed(const SpeedWindow& w, int trusted, float* offset) const {
  // A full lobe of trusted samples before the middle: the filter's own mean.
  if (trusted > middle_ + lobe_) return trustedMean(w, trusted, offset);
  Line line;
  if (!fitLine(w, trusted, &line)) return false;
  *offset = static_cast<float>(line.offset);
  return true;
}

bool StartEstimator::scatter(const SpeedWindow& w, int trusted, double* variance) const {
  Line line;
  if (!fitLine(w, trusted, &line)) return false;
  *variance = line.variance;
  return true;
}

bool StartEstimator::trustedMean(const SpeedWindow& w, int trusted, float* offset) const {
  int n = w.length();
  int newest = std::min(trusted, n);
  double sum = 0.0, share = 0.0, power = 0.0, values = 0.0;
  for (int age = 0; age < newest; ++age) {
    double k = taps_[static_cast<std::size_t>(n - 1 - age)];
    sum += k;
    share += k * w.valid.at(age);
    power += k * w.powers.at(age);
    values += k * w.values.at(age);
  }
  if (!(sum > 0.0) || share < kMinCoverage * sum || !(power > kMinPowerShare * sum)) return false;
  *offset = static_cast<float>(values / power);
  return true;
}

// Weighted least squares over the trusted samples within reach of the
// fit's centre, positions d counted from the window's middle (later is
// positive), scaled by the reach.
bool StartEstimator::fitLine(const SpeedWindow& w, int trusted, Line* line) const {
  int newest = std::min(trusted, w.length());
  if (newest <= kLobesFirst * lobe_) return false;
  int first = middle_ - (newest - 1);  // the oldest trusted sample
  int centre = std::max(0, first);
  int lo = std::max(first, centre - reach_), hi = std::min(middle_, centre + reach_);
  double kept = 0.0, all = 0.0, s0 = 0.0, s1 = 0.0, s2 = 0.0, t0 = 0.0, t1 = 0.0;
  for (int d = lo; d <= hi; ++d) {
    int age = middle_ - d;
    double k = kernel_[static_cast<std::size_t>(d - centre + reach_)];
    all += k;
    kept += k * w.valid.at(age);
    double p = k * w.powers.at(age);
    double x = static_cast<double>(d) / reach_, y = w.raw.at(age);
    s0 += p;
    s1 += p * x;
    s2 += p * x * x;
    t0 += p * y;
    t1 += p * x * y;
  }
  double det = s0 * s2 - s1 * s1;
  if (kept < kMinCoverage * all || !(s0 > kMinPowerShare * all) || !(det > 1e-9 * s0 * s0)) return false;
  double a = (s2 * t0 - s1 * t1) / det, b = (s0 * t1 - s1 * t0) / det;
  double residual = 0.0;
  for (int d = lo; d <= hi; ++d) {
    int age = middle_ - d;
    double p = kernel_[static_cast<std::size_t>(d - centre + reach_)] * w.powers.at(age);
    double e = w.raw.at(age) - (a + b * static_cast<double>(d) / reach_);
    residual += p * e * e;
  }
  line->offset = a;
  line->variance = residual / s0;
  return true;
}

}  // namespace humengine
