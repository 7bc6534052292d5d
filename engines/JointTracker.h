// The speed from all usable harmonics at once, each seen through a narrow
// band (NarrowHarmonic). Per narrow sample the harmonics' speeds are
// combined robustly, each weighted by how cleanly its band holds hum: those
// far from the weighted median of the others are left out, so a note on one
// harmonic leaves the rest to decide. Over time, samples noisier than a
// clean hum would give are drawn toward a local fit of their cleaner
// neighbours, which bridges short gaps; a linear-phase low-pass flat over
// the wow band then gives the speed, with the standard deviation its noise
// estimates predict: the confidence of each point.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/DelayLine.h"
#include "engines/HumParameters.h"
#include "engines/NarrowHarmonic.h"

namespace humengine {

class JointTracker {
 public:
  // rate: the reduced rate; ceiling: the highest frequency it carries
  // unharmed. Harmonics up to the upper limit are used, their bands below
  // the ceiling.
  JointTracker(double rate, const HumSettings& settings, double ceiling);

  // One reduced sample, index m; true when a new speed is ready.
  bool step(float u, std::int64_t m);
  // After a true step(): the speed and its predicted standard deviation
  // (infinite while nothing has been seen).
  double speed() const { return speed_; }
  double sigma() const { return sigma_; }
  // Whether the speed is sure enough to be used as it is.
  bool confident() const { return sigma_ <= kConfidentSigma; }

  // Reduced samples from the step that gives a speed to the moment it describes.
  double delay() const;
  int factor() const { return design_.factor; }
  int harmonicCount() const { return static_cast<int>(harmonics_.size()); }

  // A speed is confident when its predicted deviation is at most this.
  static constexpr double kConfidentSigma = 2e-4;

 private:
  void combine();
  void smooth();

  NarrowDesign design_;
  std::vector<NarrowHarmonic> harmonics_;
  double minSnr_;
  double rawScale_;   // raw speed variance per unit noise ratio, at harmonic 1
  double reference_;  // weight of a sample as clean as the hum needs to be
  std::vector<float> fillTaps_, speedTaps_, slowTaps_;
  // The combined raw speeds (as offsets from 1) and their weights.
  DelayLine raw_, weight_;
  // The raw speeds drawn toward the fit, and their variances.
  DelayLine drawn_, drawnVariance_;
  double lastDrawn_ = 0.0;
  double narrowRate_ = 95.0;
  // The slow centre of the speed, from clean combined speeds.
  double centre_ = 1.0;
  std::int64_t centreSamples_ = 0;
  double speed_ = 1.0;
  double sigma_ = 1e30;
};

}  // namespace humengine
