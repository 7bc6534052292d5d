// Follows the mains hum in a recording and turns its frequency into the
// relative playback speed, one value per input frame.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engines/FirDecimator.h"
#include "engines/DelayLine.h"
#include "engines/HarmonicTrack.h"
#include "engines/HumParameters.h"
#include "engines/JointTracker.h"

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
  int jointHarmonicCount() const { return joint_.harmonicCount(); }
  double reducedRate() const { return rate_; }

  // What the stream has shown so far: the share of its moments at which
  // the hum was followed with confidence, and whether that is enough to
  // trust the curve. Both say nothing (0, false) before the first moment.
  std::int64_t moments() const { return moments_; }
  double followedShare() const { return moments_ > 0 ? static_cast<double>(followed_) / moments_ : 0.0; }
  bool followed() const { return moments_ > 0 && followedShare() >= kFollowedShare; }
  // Below this share the curve is not worth more than none.
  static constexpr double kFollowedShare = 0.8;

 private:
  void reducedStep(float u);
  float jointAt(double time, bool* confident) const;
  float outputAt(std::int64_t frame) const;

  double rate_;
  double minSnr_;
  float lowest_, highest_;
  FirDecimator decimator_;
  std::vector<HarmonicTrack> harmonics_;
  // The narrow-band tracker of all harmonics, and its last speeds with the
  // reduced times they describe.
  JointTracker joint_;
  static constexpr int kJointKept = 4;
  struct JointPoint {
    double time = -1e30;
    float speed = 1.0f;
    bool confident = false;
  };
  std::array<JointPoint, kJointKept> jointPoints_{};
  std::int64_t jointCount_ = 0;
  bool engaged_ = false;  // the joint tracker has been confident once
  // The single-harmonic tracker's speeds wait this many reduced samples to
  // line up with the joint tracker's.
  int wait_ = 0;
  double lag_ = 0.0;  // reduced samples from the input to the final speed
  DelayLine waiting_;
  std::int64_t moments_ = 0, followed_ = 0;
  std::int64_t lastSound_ = -1;  // last reduced sample that was not silence
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
