#include "detect/TonePresence.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace detect {

namespace {

int lengthFor(double sampleRate) {
  int n = 1024;
  while (n < HartleyFft::kMaxLength && n < sampleRate) n *= 2;
  return n;
}

}  // namespace

TonePresence::TonePresence(double sampleRate, Band tone, Band reference, int frameLength)
    : rate_(sampleRate > 0.0 && std::isfinite(sampleRate) ? sampleRate : 1.0),
      tone_(tone),
      reference_(reference),
      length_(HartleyFft::isValidLength(frameLength) ? frameLength : lengthFor(rate_)),
      frame_(static_cast<std::size_t>(length_)),
      power_(static_cast<std::size_t>(length_ / 2 + 1)) {
  const double binWidth = rate_ / length_;
  const int top = length_ / 2 - 1;  // the Nyquist bin has no upper neighbour
  toneLow_ = std::max(1, static_cast<int>(std::ceil(tone_.low / binWidth)));
  toneHigh_ = std::min(top, static_cast<int>(std::floor(tone_.high / binWidth)));
}

void TonePresence::add(float sample) {
  // A damaged sample counts as silence rather than poisoning a frame.
  const float x = std::isfinite(sample) ? sample : 0.0f;
  anySound_ = anySound_ || x != 0.0f;
  frame_[static_cast<std::size_t>(filled_++)] = x;
  if (filled_ == length_) {
    analyse(filled_);
    filled_ = 0;
  }
}

void TonePresence::finish() {
  // A partial frame has coarser bins; it is used only when it is all there
  // is, and only when it is long enough to resolve the bands at all.
  if (frames_ == 0) {
    if (4 * filled_ >= length_) {
      analyse(filled_);
    } else {
      tooShort_ = true;
    }
  }
  filled_ = 0;
}

void TonePresence::analyse(int filled) {
  ++frames_;
  if (!searchable()) return;
  const double step = 2.0 * std::numbers::pi / static_cast<double>(filled);
  for (int i = 0; i < filled; ++i)
    frame_[static_cast<std::size_t>(i)] *= static_cast<float>(0.5 - 0.5 * std::cos(step * i));
  std::fill(frame_.begin() + filled, frame_.end(), 0.0f);
  fft_.realFft(frame_.data(), length_);
  const int half = length_ / 2;
  power_[0] = static_cast<double>(frame_[0]) * frame_[0];
  for (int k = 1; k < half; ++k) {
    const double re = frame_[static_cast<std::size_t>(k)];
    const double im = frame_[static_cast<std::size_t>(length_ - k)];
    power_[static_cast<std::size_t>(k)] = re * re + im * im;
  }
  power_[static_cast<std::size_t>(half)] = static_cast<double>(frame_[static_cast<std::size_t>(half)]) * frame_[static_cast<std::size_t>(half)];

  int peak = toneLow_;
  for (int k = toneLow_ + 1; k <= toneHigh_; ++k)
    if (power_[static_cast<std::size_t>(k)] > power_[static_cast<std::size_t>(peak)]) peak = k;
  const double top = power_[static_cast<std::size_t>(peak)];
  const bool isPeak = top > power_[static_cast<std::size_t>(peak - 1)] && top > power_[static_cast<std::size_t>(peak + 1)];

  const double binWidth = rate_ / length_;
  const int from = std::max(1, static_cast<int>(std::ceil(reference_.low / binWidth)));
  const int to = std::min(half - 1, static_cast<int>(std::floor(reference_.high / binWidth)));
  scratch_.assign(power_.begin() + std::min(from, to + 1), power_.begin() + to + 1);
  double floor = 0.0;
  if (!scratch_.empty()) {
    const auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    floor = *middle;
  }
  // A clean synthetic file may have no noise at all in the band, only the
  // rounding of the transform; the floor is never taken below what that
  // rounding leaves of the frame's whole power.
  double total = 0.0;
  for (int k = 0; k <= half; ++k) total += power_[static_cast<std::size_t>(k)];
  floor = std::max(floor, kRoundingFloor * total);
  if (isPeak && top > 0.0 && top >= kPeakToNoise * floor) ++tonalFrames_;
}

}  // namespace detect
