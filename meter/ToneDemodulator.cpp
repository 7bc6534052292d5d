#include "meter/ToneDemodulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace meter {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Decimated rate at least this: flutter up to 200 Hz and a tone a few
// per cent off its nominal frequency stay well inside the band.
constexpr double kMinOutputRate = 2000.0;
// The filter is flat to about 250 Hz either side of the tone and 74 dB down
// beyond 950 Hz, so that whatever folds over in the decimation lands above
// 200 Hz, where the weighting has all but nothing left.
constexpr double kBandHz = 600.0;
constexpr int kTapsPerFactor = 16;

std::vector<double> lowPassTaps(int length, double cutoff) {
  std::vector<double> taps(static_cast<std::size_t>(length));
  const double middle = (length - 1) / 2.0;
  double sum = 0.0;
  for (int i = 0; i < length; ++i) {
    const double t = i - middle;
    const double sinc = t == 0.0 ? 2.0 * cutoff : std::sin(kTwoPi * cutoff * t) / (std::numbers::pi * t);
    // Blackman: about 74 dB below the band, so the tone's mirror image at
    // twice its frequency leaves no ripple in the phase.
    const double x = kTwoPi * i / (length - 1);
    const double window = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
    taps[i] = sinc * window;
    sum += taps[i];
  }
  for (double& t : taps) t /= sum;
  return taps;
}

}  // namespace

bool ToneDemodulator::toneFits(double sampleRate, double toneHz) {
  return sampleRate >= 8000.0 && toneHz >= 2.0 * kBandHz && toneHz < 0.4 * sampleRate;
}

ToneDemodulator::ToneDemodulator(double sampleRate, double toneHz)
    : sampleRate_(sampleRate),
      toneHz_(toneHz),
      factor_(std::max(1, static_cast<int>(sampleRate / kMinOutputRate))),
      outputRate_(sampleRate / factor_),
      step_(kTwoPi * toneHz / sampleRate) {
  taps_ = lowPassTaps(kTapsPerFactor * factor_ + 1, kBandHz / sampleRate);
  historyI_.assign(2 * taps_.size(), 0.0f);
  historyQ_.assign(2 * taps_.size(), 0.0f);
}

double ToneDemodulator::firstFrame() const {
  // The first output needs the filter full; its centre lies half the filter back.
  return static_cast<double>(taps_.size() - 1) - (taps_.size() - 1) / 2.0;
}

void ToneDemodulator::feed(const float* mono, std::size_t frames) {
  const std::size_t length = taps_.size();
  for (std::size_t n = 0; n < frames; ++n) {
    const double x = mono[n];
    signalPower_ += x * x;
    historyI_[at_] = historyI_[at_ + length] = static_cast<float>(x * std::cos(phase_));
    historyQ_[at_] = historyQ_[at_ + length] = static_cast<float>(-x * std::sin(phase_));
    at_ = at_ + 1 == length ? 0 : at_ + 1;
    phase_ += step_;
    if (phase_ >= kTwoPi) phase_ -= kTwoPi;
    ++seen_;
    if (seen_ < length || (seen_ - length) % static_cast<std::size_t>(factor_) != 0) continue;
    // Oldest sample at at_, newest at at_ + length - 1; taps are symmetric.
    double i = 0.0, q = 0.0;
    const float* hi = historyI_.data() + at_;
    const float* hq = historyQ_.data() + at_;
    for (std::size_t k = 0; k < length; ++k) {
      i += taps_[k] * hi[k];
      q += taps_[k] * hq[k];
    }
    // The mixer's phase belongs to the newest sample; the filter's output to
    // its centre, which the advance per output sample does not care about.
    const double power = i * i + q * q;
    bandPower_ += power;
    if (havePrevious_) {
      const double re = i * previousI_ + q * previousQ_;
      const double im = q * previousI_ - i * previousQ_;
      const double advance = std::atan2(im, re);
      frequencies_.push_back(static_cast<float>(toneHz_ + advance * outputRate_ / kTwoPi));
      levels_.push_back(static_cast<float>(2.0 * std::sqrt(power)));
    }
    havePrevious_ = true;
    previousI_ = i;
    previousQ_ = q;
  }
}

double ToneDemodulator::toneShare() const {
  const std::size_t outputs = frequencies_.size() + (havePrevious_ ? 1 : 0);
  if (signalPower_ <= 0.0 || outputs == 0 || seen_ == 0) return 0.0;
  return std::min(1.0, 2.0 * (bandPower_ / outputs) / (signalPower_ / seen_));
}

}  // namespace meter
