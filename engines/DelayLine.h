// The last n samples of a stream, readable as one contiguous array,
// oldest first, for FIR filters. Starts filled with zeros.
#pragma once

#include <vector>

namespace humengine {

class DelayLine {
 public:
  explicit DelayLine(int length) : length_(length), buffer_(2 * static_cast<std::size_t>(length), 0.0f) {}

  void push(float x) {
    // Each sample is written twice, so the window never wraps.
    buffer_[pos_] = x;
    buffer_[pos_ + length_] = x;
    if (++pos_ == length_) pos_ = 0;
  }
  const float* window() const { return buffer_.data() + pos_; }
  // The sample pushed `age` pushes ago (0 = newest).
  float at(int age) const { return window()[length_ - 1 - age]; }
  int length() const { return length_; }

 private:
  int length_;
  int pos_ = 0;
  std::vector<float> buffer_;
};

}  // namespace humengine
