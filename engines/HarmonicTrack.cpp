#include "engines/HarmonicTrack.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

constexpr double kAttenuationDb = 70.0;
// Below this power the phase of the filtered harmonic means nothing.
constexpr float kPowerFloor = 1e-20f;
// A smoothed speed needs this share of valid samples under its window.
constexpr float kMinCoverage = 0.8f;
// Samples of noise mean needed before a harmonic is trusted.
constexpr std::int64_t kWarmUp = 16;
// A harmonic whose raw speeds scatter this many times more than usual is
// not used for the moment.
constexpr double kScatterRise = 4.0;

}  // namespace

HarmonicTrack::HarmonicTrack(const HarmonicDesign& design, double rate, int filterLength,
                             const std::vector<float>& speedTaps, double memorySeconds)
    : design_(design),
      rate_(rate),
      cyclesPerSample_(design.centre / rate),
      taps_(lowpassTaps(filterLength, design.cutoff / rate, kaiserBeta(kAttenuationDb))),
      speedTaps_(speedTaps),
      re_(filterLength),
      im_(filterLength),
      first_(static_cast<int>(speedTaps.size())),
      residual_(static_cast<int>(speedTaps.size())),
      memory_(1.0 - std::exp(-1.0 / (memorySeconds * rate))) {}

double HarmonicTrack::delay() const {
  // Band filter, the half sample of the phase step, speed filter.
  return (taps_.size() - 1) / 2.0 + 0.5 + (speedTaps_.size() - 1) / 2.0;
}

bool HarmonicTrack::smooth(const Smoother& s, float* mean, double* variance) const {
  int n = static_cast<int>(speedTaps_.size());
  float share = dot(speedTaps_.data(), s.valid.window(), n);
  float power = dot(speedTaps_.data(), s.powers.window(), n);
  if (share < kMinCoverage || !(power > 0.0f)) return false;
  double m = dot(speedTaps_.data(), s.values.window(), n) / power;
  *mean = static_cast<float>(m);
  *variance = std::max(0.0, dot(speedTaps_.data(), s.squares.window(), n) / power - m * m);
  return true;
}

// When the hum fades into noise or something else enters its band, the raw
// speeds under the window scatter more than usual at once, long before the
// noise probe, which looks further back, notices. The usual level follows
// lasting changes slowly, with each step's value clipped.
void HarmonicTrack::updateScatter(double variance, bool usable) {
  scatter_ = variance;
  if (!usable) {
    scatterCount_ = 0;
    return;
  }
  ++scatterCount_;
  double rate = std::max(memory_, 1.0 / static_cast<double>(scatterCount_));
  double limit = scatterCount_ == 1 ? variance : kScatterRise * usualScatter_;
  usualScatter_ += rate * (std::min(variance, limit) - usualScatter_);
}

void HarmonicTrack::step(float u, std::int64_t m) {
  // Mixer phase from the sample index, so it does not drift over hours.
  double cycles = static_cast<double>(m) * cyclesPerSample_;
  double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
  re_.push(u * static_cast<float>(std::cos(phase)));
  im_.push(-u * static_cast<float>(std::sin(phase)));
  int n = static_cast<int>(taps_.size());
  float zr = dot(taps_.data(), re_.window(), n);
  float zi = dot(taps_.data(), im_.window(), n);

  // Phase step from the previous sample: z * conj(previous).
  float pr = zr * lastRe_ + zi * lastIm_;
  float pi = zi * lastRe_ - zr * lastIm_;
  float power = zr * zr + zi * zi;
  bool strong = power > kPowerFloor && lastRe_ * lastRe_ + lastIm_ * lastIm_ > kPowerFloor;
  lastRe_ = zr;
  lastIm_ = zi;
  double offset = std::atan2(static_cast<double>(pi), static_cast<double>(pr)) * rate_ / (2.0 * std::numbers::pi);
  // A frequency outside the harmonic's band is a phase slip or something
  // else than hum; it is left out rather than clipped, so it cannot pull
  // the estimate to the band edge.
  bool valid = strong && std::fabs(offset) <= design_.offsetLimit;
  // Weights follow the power up to its running level: a fading or slipping
  // harmonic counts less, one that something else makes louder no more.
  if (valid) level_ += (level_ > 0.0 ? memory_ : 1.0) * (power - level_);
  first_.push(static_cast<float>((design_.centre + offset) / design_.nominal - 1.0),
              valid ? static_cast<float>(std::min(power / level_, 1e6)) : 0.0f, valid);

  float offsetSpeed = 0.0f;
  double variance = 0.0;
  bool usable = smooth(first_, &offsetSpeed, &variance);
  updateScatter(variance, usable);
  if (usable) speed_ = 1.0f + offsetSpeed;
  int centre = (static_cast<int>(speedTaps_.size()) - 1) / 2;
  float residual = usable ? first_.raw.at(centre) - first_.valid.at(centre) * offsetSpeed : 0.0f;
  residual_.push(residual);
  updateNoise(dot(speedTaps_.data(), residual_.window(), static_cast<int>(speedTaps_.size())), usable);
}

// The residual's part within the speed filter's band stands for the noise
// that the smoothed speed still carries. The mean starts over after every
// stretch without a usable speed, once the probe's window holds only
// residuals of the new stretch: first a plain mean, then a running mean.
void HarmonicTrack::updateNoise(double probe, bool usable) {
  if (!usable) {
    run_ = 0;
    return;
  }
  ++run_;
  auto s = static_cast<std::int64_t>(speedTaps_.size());
  if (run_ <= s) return;
  double rate = std::max(memory_, 1.0 / static_cast<double>(run_ - s));
  noise_ += rate * (probe * probe - noise_);
  if (noise_ < 1e-30) noise_ = 1e-30;  // no denormals in the running mean
}

double HarmonicTrack::weight(double minSnr) const {
  if (run_ <= static_cast<std::int64_t>(speedTaps_.size()) + kWarmUp) return 0.0;
  if (design_.noiseScale / noise_ < minSnr) return 0.0;
  if (scatter_ > kScatterRise * usualScatter_) return 0.0;
  return 1.0 / noise_;
}

}  // namespace humengine
