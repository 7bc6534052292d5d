#include "engines/HumPreview.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

constexpr double kAttenuationDb = 80.0;
// Kernel table entries per zero crossing of the sinc.
constexpr int kTablePerCrossing = 256;
// The preview never goes below this cutoff, so the kernel stays short.
constexpr double kLowestCutoffHz = 10.0;

float clean(float x) {
  if (!std::isfinite(x) || std::fabs(x) < 1e-30f) return 0.0f;
  return std::clamp(x, -1e6f, 1e6f);
}

}  // namespace

HumPreview::HumPreview(double sampleRate, const HumSettings& s)
    : sampleRate_(sampleRate),
      reducedRate_(s.reducedRate),
      step_(s.reducedRate > 0.0 ? sampleRate / s.reducedRate : 0.0),
      gain_(s.previewGain) {
  if (step_ <= 0.0) return;
  double cutoffHz = std::min({s.upperLimit, 0.45 * s.reducedRate, 0.45 * sampleRate});
  cutoff_ = std::max(cutoffHz, std::min(kLowestCutoffHz, 0.45 * s.reducedRate)) / sampleRate;
  // Zero crossings of the sinc are 1 / (2 cutoff) frames apart.
  halfWidth_ = s.resamplerOrder / (2.0 * cutoff_);
  tableScale_ = 2.0 * cutoff_ * kTablePerCrossing;
  int entries = s.resamplerOrder * kTablePerCrossing + 2;
  table_.resize(static_cast<std::size_t>(entries));
  double beta = kaiserBeta(kAttenuationDb);
  for (int i = 0; i < entries; ++i) {
    double t = i / tableScale_;  // frames from the centre
    double x = 2.0 * std::numbers::pi * cutoff_ * t;
    double sinc = i == 0 ? 1.0 : std::sin(x) / x;
    table_[i] = static_cast<float>(2.0 * cutoff_ * sinc * kaiserWindow(t / halfWidth_, beta));
  }
}

float HumPreview::kernel(double t) const {
  double x = std::fabs(t) * tableScale_;
  auto i = static_cast<std::size_t>(x);
  if (i + 1 >= table_.size()) return 0.0f;
  auto f = static_cast<float>(x - static_cast<double>(i));
  return table_[i] + (table_[i + 1] - table_[i]) * f;
}

float HumPreview::outputAt(double time) const {
  auto first = static_cast<std::int64_t>(std::ceil(time - halfWidth_));
  auto last = static_cast<std::int64_t>(std::floor(time + halfWidth_));
  first = std::max(first, base_);
  last = std::min(last, base_ + static_cast<std::int64_t>(input_.size()) - 1);
  double sum = 0.0;  // frames outside what was received are zeros
  for (std::int64_t n = first; n <= last; ++n)
    sum += input_[static_cast<std::size_t>(n - base_)] * kernel(time - static_cast<double>(n));
  return static_cast<float>(sum * gain_);
}

void HumPreview::produce(std::int64_t available) {
  for (;;) {
    if (total_ >= 0 && produced_ >= total_) break;
    double time = static_cast<double>(produced_) * step_;
    if (!finished_ && time + halfWidth_ >= static_cast<double>(available)) break;
    pending_.push_back(outputAt(time));
    ++produced_;
  }
  // Frames no later output reaches are dropped, a block at a time.
  auto keepFrom = static_cast<std::int64_t>(std::floor(static_cast<double>(produced_) * step_ - halfWidth_)) - 1;
  if (keepFrom - base_ > 65536) {
    input_.erase(input_.begin(), input_.begin() + (keepFrom - base_));
    base_ = keepFrom;
  }
}

void HumPreview::push(const float* input, int frames) {
  if (step_ <= 0.0 || finished_) return;
  for (int i = 0; i < frames; ++i) input_.push_back(clean(input[i]));
  received_ += frames;
  produce(received_);
}

void HumPreview::finish() {
  if (step_ <= 0.0 || finished_) return;
  finished_ = true;
  // As many as the plug-in expects: frames x reduced rate / input rate, truncated.
  total_ = static_cast<std::int64_t>(static_cast<double>(received_) * reducedRate_ / sampleRate_);
  produce(received_);
}

int HumPreview::pull(float* output, int capacity) {
  int n = std::min<int>(capacity, static_cast<int>(pending_.size()));
  std::copy_n(pending_.begin(), n, output);
  pending_.erase(pending_.begin(), pending_.begin() + n);
  return n;
}

}  // namespace humengine
