// One harmonic of the hum seen through a narrow band: the reduced signal
// moved to 0 Hz around the harmonic, low-pass filtered and kept at a lower
// rate, then filtered to a few hertz either side of the line, where the
// hum sits and music seldom stays. Besides the speed from the phase step it
// tells how cleanly the band holds hum: a steady hum line neither changes
// its level nor stands above its usual level; music beating on it does
// both, and that change measures the noise on its phase.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/DelayLine.h"

namespace humengine {

struct NarrowDesign {
  int factor = 8;            // reduced samples per narrow sample
  std::vector<float> pre;    // low-pass before keeping every factor-th sample (reduced rate)
  std::vector<float> band;   // the narrow band filter (narrow rate)
  int steadyLength = 49;     // odd, narrow samples over which the level's change is measured
  double cutoff = 3.0;       // Hz, half the narrow band's width
  double rate = 760.0;       // reduced rate
  double riseSeconds = 10.0; // how slowly the usual level may rise
};

class NarrowHarmonic {
 public:
  struct Raw {
    double speed = 1.0;
    double noise = 1.0;   // noise to hum power ratio in the band, as estimated
    bool valid = false;
  };

  NarrowHarmonic(const NarrowDesign& design, int number, double mixHz, double nominalHz);

  // One reduced sample, index m; true when it completes a narrow sample,
  // whose raw speed raw() then gives.
  bool step(float u, std::int64_t m);
  const Raw& raw() const { return raw_; }
  int number() const { return number_; }
  // Reduced samples from the step that completes a narrow sample to the
  // moment its raw speed describes.
  static double delay(const NarrowDesign& design);

 private:
  void narrowStep();

  const NarrowDesign& design_;
  int number_;
  double mixHz_, nominalHz_;
  double cyclesPerSample_;
  double narrowRate_;
  DelayLine preRe_, preIm_, bandRe_, bandIm_;
  DelayLine speeds_, amplitudes_, strong_;
  float lastRe_ = 0.0f, lastIm_ = 0.0f;
  std::int64_t narrowCount_ = 0;
  std::int64_t trustedFrom_;
  double level_ = 0.0;  // the band's usual power, followed from below
  Raw raw_;
};

}  // namespace humengine
