#include "engines/StartBand.h"

#include <utility>

namespace humengine {

StartBand::StartBand(std::vector<float> taps, double rate, int longLength, std::int64_t trustedFrom)
    : band_(std::move(taps), rate),
      lag_((longLength - band_.length()) / 2),
      trustedFrom_(trustedFrom),
      offset_(lag_ + 1),
      power_(lag_ + 1),
      strong_(lag_ + 1) {}

PhaseStep::Result StartBand::push(float re, float im, bool* trusted) {
  PhaseStep::Result now = band_.push(re, im);
  offset_.push(static_cast<float>(now.offset));
  power_.push(now.power);
  strong_.push(now.strong ? 1.0f : 0.0f);
  std::int64_t step = steps_++;
  *trusted = step - lag_ >= trustedFrom_;
  return {offset_.at(lag_), power_.at(lag_), strong_.at(lag_) > 0.0f};
}

}  // namespace humengine
