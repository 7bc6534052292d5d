// The editor's undo step counters for one audio file.
#pragma once

#include <array>
#include <cstdint>

class PvcHistory {
 public:
  static constexpr int kCapacity = 511;

  bool canUndo() const { return currentStep_ > 0; }
  // Records a step tagged with the algorithm that made it; drops the redo
  // steps above. False when the history is full.
  bool record(std::int32_t tag) {
    if (currentStep_ >= kCapacity) return false;
    slots_[static_cast<std::size_t>(currentStep_)] = tag;
    ++currentStep_;
    topStep_ = currentStep_;
    return true;
  }
  // A full history at its top gives its last step to the newest edit.
  // False anywhere else, where record is the way.
  bool replaceLast(std::int32_t tag) {
    if (currentStep_ != kCapacity) return false;
    slots_[kCapacity - 1] = tag;
    return true;
  }
  void undo() {
    if (canUndo()) --currentStep_;
  }
  void redo() {
    if (currentStep_ < topStep_) ++currentStep_;
  }
  std::int32_t currentStep() const { return currentStep_; }
  std::int32_t topStep() const { return topStep_; }
  std::int32_t tagOf(int step) const { return step >= 0 && step < kCapacity ? slots_[static_cast<std::size_t>(step)] : 0; }

 private:
  std::int32_t currentStep_ = 0;
  std::int32_t topStep_ = 0;
  std::array<std::int32_t, kCapacity> slots_{};
};
