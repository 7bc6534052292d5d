#include "partials/FramePeaks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace partials {

namespace {

// A peak must stand this far above the median power of the bins around it
// (10 dB): rarely reached by noise, always by a sustained partial.
constexpr float kFloorFactor = 10.0f;
// The floor is the median over blocks of this many bins.
constexpr int kFloorBlock = 32;
// Below about -100 dB of full scale a peak is taken for silence.
constexpr float kSilence = 1e-10f;

double wrapPhase(double a) {
  constexpr double twoPi = 2.0 * std::numbers::pi;
  return a - twoPi * std::floor((a + std::numbers::pi) / twoPi);
}

}  // namespace

FramePeaks::FramePeaks(double sampleRate, int fftLength, int hop, double lowHz, double highHz)
    : sampleRate_(sampleRate), length_(fftLength), hop_(hop), binHz_(sampleRate / fftLength) {
  const int half = fftLength / 2;
  firstBin_ = std::max(3, static_cast<int>(std::ceil(lowHz / binHz_)));
  lastBin_ = std::min(half - 3, static_cast<int>(std::floor(highHz / binHz_)));
  window_.resize(static_cast<std::size_t>(fftLength));
  // Hann, scaled so that a full-scale sine gives a power near 1.
  const double scale = 4.0 / fftLength;
  for (int i = 0; i < fftLength; ++i)
    window_[static_cast<std::size_t>(i)] =
        static_cast<float>(scale * (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / fftLength)));
  data_.resize(static_cast<std::size_t>(fftLength));
  for (auto* v : {&re_, &im_, &prevRe_, &prevIm_, &power_, &floor_}) v->assign(static_cast<std::size_t>(half + 1), 0.0f);
}

void FramePeaks::findFloor() {
  // One median per block of bins; a band narrower than two blocks is one block.
  const int bins = lastBin_ - firstBin_ + 1;
  const int blocks = std::max(1, bins / kFloorBlock);
  for (int b = 0; b < blocks; ++b) {
    const int from = firstBin_ + b * bins / blocks;
    const int to = firstBin_ + (b + 1) * bins / blocks;
    scratch_.assign(power_.begin() + from, power_.begin() + to);
    auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    std::fill(floor_.begin() + from, floor_.begin() + to, *middle);
  }
}

void FramePeaks::analyse(const float* samples, int maxPeaks, std::vector<Peak>& peaks) {
  peaks.clear();
  const int half = length_ / 2;
  for (int i = 0; i < length_; ++i) data_[static_cast<std::size_t>(i)] = samples[i] * window_[static_cast<std::size_t>(i)];
  fft_.realFft(data_.data(), length_);
  std::swap(re_, prevRe_);
  std::swap(im_, prevIm_);
  re_[0] = data_[0];
  im_[0] = 0.0f;
  for (int k = 1; k < half; ++k) {
    re_[static_cast<std::size_t>(k)] = data_[static_cast<std::size_t>(k)];
    im_[static_cast<std::size_t>(k)] = -data_[static_cast<std::size_t>(length_ - k)];
  }
  re_[static_cast<std::size_t>(half)] = data_[static_cast<std::size_t>(half)];
  im_[static_cast<std::size_t>(half)] = 0.0f;
  const bool compare = havePrevious_;
  havePrevious_ = true;
  if (!compare || lastBin_ - firstBin_ < 4) return;

  for (int k = firstBin_ - 2; k <= lastBin_ + 2; ++k) {
    const auto i = static_cast<std::size_t>(k);
    power_[i] = re_[i] * re_[i] + im_[i] * im_[i];
  }
  findFloor();

  const double expectedPerBin = 2.0 * std::numbers::pi * hop_ / length_;
  const double binsPerRadian = length_ / (2.0 * std::numbers::pi * hop_);
  for (int k = firstBin_; k <= lastBin_; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const float p = power_[i];
    if (p <= kSilence || p <= kFloorFactor * floor_[i]) continue;
    if (!(p > power_[i - 1] && p >= power_[i + 1] && p > power_[i - 2] && p >= power_[i + 2])) continue;
    // Phase advance: z now times the conjugate of z a hop ago.
    const double cr = static_cast<double>(re_[i]) * prevRe_[i] + static_cast<double>(im_[i]) * prevIm_[i];
    const double ci = static_cast<double>(im_[i]) * prevRe_[i] - static_cast<double>(re_[i]) * prevIm_[i];
    if (cr == 0.0 && ci == 0.0) continue;
    const double deviation = wrapPhase(std::atan2(ci, cr) - expectedPerBin * k);
    const double bin = k + deviation * binsPerRadian;
    // A sinusoid's strongest bin lies within half a bin of it; anything
    // else is a mixture or noise.
    if (std::fabs(bin - k) > 0.6) continue;
    const double floorPower = std::max(floor_[i], 1e-30f);
    peaks.push_back({std::log(bin * binHz_), static_cast<float>(std::min(1e6, p / floorPower))});
  }
  if (static_cast<int>(peaks.size()) > maxPeaks) {
    std::nth_element(peaks.begin(), peaks.begin() + maxPeaks, peaks.end(),
                     [](const Peak& a, const Peak& b) { return a.snr > b.snr; });
    peaks.resize(static_cast<std::size_t>(maxPeaks));
  }
  std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.logFrequency < b.logFrequency; });
}

}  // namespace partials
