#include "engines/HumPreview.h"

#include <algorithm>

namespace humengine {

HumPreview::HumPreview(double sampleRate, const HumSettings& settings)
    : ratio_(settings.reducedRate / sampleRate) {}

void HumPreview::push(const float*, int frames) {
  consumed_ += frames;
  while (produced_ < consumed_ * ratio_ - 1.0) {
    pending_.push_back(0.0f);
    produced_ += 1.0;
  }
}

void HumPreview::finish() {
  while (produced_ < consumed_ * ratio_) {
    pending_.push_back(0.0f);
    produced_ += 1.0;
  }
}

int HumPreview::pull(float* output, int capacity) {
  int n = std::min<int>(capacity, static_cast<int>(pending_.size()));
  std::copy_n(pending_.begin(), n, output);
  pending_.erase(pending_.begin(), pending_.begin() + n);
  return n;
}

}  // namespace humengine
