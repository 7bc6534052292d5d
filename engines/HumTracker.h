// Follows the mains hum in a recording and turns its frequency into the
// relative playback speed, one value per input frame.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engines/FirDecimator.h"
#include "engines/HarmonicTrack.h"
#include "engines/HumParameters.h"

namespace humengine {

// More harmonics than this never fit between their neighbours.
inline constexpr int kMaxHarmonics = 64;

class HumTracker {
 public:
  HumTracker(double sampleRate, const HumSettings& settings);

  // Output index h of the stream belongs to input frame h - delay().
  int delay() const { return delay_; }
  void process(const float* input, int frames, float* output);

  // For inspection: the harmonics in use and the reduced rate.
  int harmonicCount() const { return static_cast<int>(harmonics_.size()); }
  double reducedRate() const { return rate_; }

 private:
  void reducedStep(float u);
  float outputAt(std::int64_t frame) const;

  double rate_;
  double minSnr_;
  float lowest_, highest_;
  FirDecimator decimator_;
  std::vector<HarmonicTrack> harmonics_;
  // Input time of the reduced sample m: m * factor + timeOffset_.
  double timeOffset_ = 0.0;
  int delay_ = 0;
  std::int64_t frame_ = 0;
  std::int64_t reduced_ = 0;
  float lastGood_ = 1.0f;
  static constexpr int kRecent = 8;
  std::array<float, kRecent> recent_{};
};

}  // namespace humengine
