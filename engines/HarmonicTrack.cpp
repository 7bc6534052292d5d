#include "engines/HarmonicTrack.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

constexpr double kAttenuationDb = 70.0;
// Samples of noise mean needed before a harmonic is trusted.
constexpr std::int64_t kWarmUp = 16;
// A harmonic whose raw speeds scatter this many times more than usual is
// not used for the moment.
constexpr double kScatterRise = 4.0;
// Share of a band filter that may still lie before the start of the input
// when its phase steps are trusted: about -60 dB.
constexpr double kMissingShare = 1e-3;
// At the start of a stream, without a noise estimate of its own, a
// harmonic is used only when it is far clearer than Min. SNR asks (30 dB
// in its band) and has held its power within this factor from its first
// trusted sample on, with every sample looking like hum: a programme note
// in the band comes and goes, hum stays.
constexpr double kStartSnr = 1000.0;
constexpr double kStartPowerRange = 2.0;

std::int64_t firstTrustedStep(const std::vector<float>& taps, int dataStart) {
  return static_cast<std::int64_t>(taps.size()) - 1 + dataStart - leadingTaps(taps, kMissingShare);
}

// Variance of raw speeds per unit of white phase noise: the phase step of
// the band filter's output, by Parseval over the taps' differences.
double rawMoment(const std::vector<float>& taps, double rate) {
  double sum = 0.0, previous = 0.0;
  for (float t : taps) {
    sum += (t - previous) * (t - previous);
    previous = t;
  }
  sum += previous * previous;
  double hzPerRadian = rate / (2.0 * std::numbers::pi);
  return rate * hzPerRadian * hzPerRadian * sum;
}

}  // namespace

HarmonicTrack::HarmonicTrack(const HarmonicDesign& design, double rate, int filterLength,
                             const std::vector<float>& speedTaps, double memorySeconds)
    : design_(design),
      cyclesPerSample_(design.centre / rate),
      speedTaps_(speedTaps),
      band_(lowpassTaps(filterLength, design.cutoff / rate, kaiserBeta(kAttenuationDb)), rate),
      trustedFrom_(firstTrustedStep(band_.taps(), design.dataStart)),
      firstRaw_(trustedFrom_),
      first_(static_cast<int>(speedTaps.size())),
      start_(speedTaps),
      residual_(static_cast<int>(speedTaps.size())),
      memory_(1.0 - std::exp(-1.0 / (memorySeconds * rate))),
      rawToProbe_(design.probeMoment / rawMoment(band_.taps(), rate)) {
  // Where the band leaves room to its neighbours, a shorter filter with a
  // wider transition keeps them out as well and is trusted sooner.
  if (design.room > 0.0) {
    int length = kaiserLength(design.room / rate, kAttenuationDb);
    if (length < filterLength) {
      std::vector<float> taps = lowpassTaps(std::max(length, 3), design.cutoff / rate, kaiserBeta(kAttenuationDb));
      std::int64_t trusted = firstTrustedStep(taps, design.dataStart);
      early_ = std::make_unique<StartBand>(std::move(taps), rate, filterLength, trusted);
      firstRaw_ = std::min(firstRaw_, early_->firstTrusted());
    }
  }
  // The noise probe can settle no sooner than a window after the first
  // usable speed, which needs the best part of a window of raw speeds.
  auto s = static_cast<std::int64_t>(speedTaps.size());
  startEnd_ = firstRaw_ + 2 * s + kWarmUp;
}

double HarmonicTrack::delay() const {
  // Band filter, the half sample of the phase step, speed filter.
  return (band_.length() - 1) / 2.0 + 0.5 + (speedTaps_.size() - 1) / 2.0;
}

bool HarmonicTrack::smooth(const SpeedWindow& s, float* mean, double* variance) const {
  int n = static_cast<int>(speedTaps_.size());
  float share = dot(speedTaps_.data(), s.valid.window(), n);
  float power = dot(speedTaps_.data(), s.powers.window(), n);
  if (share < kMinCoverage || !(power > kMinPowerShare)) return false;
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
  // Until there is a usual level above zero, nothing is clipped: a first
  // value of zero (signed taps can give one) would otherwise hold it at
  // zero and shut the harmonic out for good.
  double limit = scatterCount_ == 1 || usualScatter_ <= 0.0 ? variance : kScatterRise * usualScatter_;
  usualScatter_ += rate * (std::min(variance, limit) - usualScatter_);
}

void HarmonicTrack::step(float u, std::int64_t m) {
  // Mixer phase from the sample index, so it does not drift over hours.
  double cycles = static_cast<double>(m) * cyclesPerSample_;
  double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
  float re = u * static_cast<float>(std::cos(phase));
  float im = -u * static_cast<float>(std::sin(phase));
  PhaseStep::Result r = band_.push(re, im);
  bool trusted = m >= trustedFrom_;
  if (early_) {
    bool earlyTrusted = false;
    PhaseStep::Result e = early_->push(re, im, &earlyTrusted);
    if (trusted) {
      early_.reset();  // the harmonic's own filter has taken over
    } else {
      r = e;
      trusted = earlyTrusted;
    }
  }

  // A frequency outside the harmonic's band is a phase slip or something
  // else than hum; it is left out rather than clipped, so it cannot pull
  // the estimate to the band edge. Before the filter has seen enough of
  // the input, its phase follows the filling filter rather than the hum.
  bool valid = trusted && r.strong && std::fabs(r.offset) <= design_.offsetLimit;
  // Weights follow the power up to its running level: a fading or slipping
  // harmonic counts less, one that something else makes louder no more.
  if (valid) level_ += (level_ > 0.0 ? memory_ : 1.0) * (r.power - level_);
  if (trusted && m < startEnd_) watchStart(valid, r.power);
  first_.push(static_cast<float>((design_.centre + r.offset) / design_.nominal - 1.0),
              valid ? static_cast<float>(std::min(r.power / level_, 1e6)) : 0.0f, valid);

  float offsetSpeed = 0.0f;
  double variance = 0.0;
  bool usable = smooth(first_, &offsetSpeed, &variance);
  int window = first_.length();
  int trustedSamples = m < firstRaw_ ? 0 : static_cast<int>(std::min<std::int64_t>(m - firstRaw_ + 1, window));
  // The usual scatter is learnt from full windows only.
  updateScatter(variance, usable && trustedSamples == window);
  // While the window reaches back before the first trusted raw speed.
  if (trustedSamples < window) usable = start_.speed(first_, trustedSamples, &offsetSpeed);
  if (usable) speed_ = 1.0f + offsetSpeed;
  updateStart(m, trustedSamples);
  int centre = (window - 1) / 2;
  float residual = usable ? first_.raw.at(centre) - first_.valid.at(centre) * offsetSpeed : 0.0f;
  residual_.push(residual);
  updateNoise(dot(speedTaps_.data(), residual_.window(), window), usable);
}

void HarmonicTrack::watchStart(bool valid, float power) {
  if (!valid) {
    startSteady_ = false;
  } else if (startHigh_ == 0.0) {
    startLow_ = startHigh_ = power;
  } else {
    startLow_ = std::min<double>(startLow_, power);
    startHigh_ = std::max<double>(startHigh_, power);
  }
  if (startHigh_ > kStartPowerRange * startLow_) startSteady_ = false;
}

void HarmonicTrack::updateStart(std::int64_t m, int trusted) {
  inStart_ = m < startEnd_;
  startNoise_ = 0.0;
  double scatter = 0.0;
  if (inStart_ && !settled() && start_.scatter(first_, trusted, &scatter))
    startNoise_ = std::max(scatter * rawToProbe_, 1e-30);
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

bool HarmonicTrack::settled() const { return run_ > static_cast<std::int64_t>(speedTaps_.size()) + kWarmUp; }

double HarmonicTrack::weight(double minSnr) const {
  if (!settled()) {
    // Only the start of a stream has the stand-in; after a gap later on a
    // harmonic waits for its own noise estimate.
    if (!inStart_ || !startSteady_ || !(startNoise_ > 0.0)) return 0.0;
    if (design_.noiseScale / startNoise_ < std::max(minSnr, kStartSnr)) return 0.0;
    return 1.0 / startNoise_;
  }
  if (design_.noiseScale / noise_ < minSnr) return 0.0;
  if (scatter_ > kScatterRise * usualScatter_) return 0.0;
  return 1.0 / noise_;
}

}  // namespace humengine
