// One harmonic of the hum, followed on the reduced-rate signal: moved to
// 0 Hz around its expected frequency, low-pass filtered, its frequency
// taken from the phase step between neighbouring samples and turned into
// a speed, then smoothed over the samples that look like hum. It also keeps an estimate of
// its own noise so the tracker can weight it against the other harmonics.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engines/DelayLine.h"
#include "engines/PhaseStep.h"
#include "engines/SpeedWindow.h"
#include "engines/StartBand.h"
#include "engines/StartEstimator.h"

namespace humengine {

struct HarmonicDesign {
  int number = 1;            // 1 = fundamental
  double centre = 50.0;      // Hz, where the band of this harmonic is centred
  double offsetLimit = 5.0;  // Hz, half the width of its band
  double nominal = 50.0;     // Hz, its frequency at speed 1
  double cutoff = 10.0;      // Hz, of the filter around it
  double room = 0.0;         // Hz between its band and the nearest neighbour's; 0 when they touch
  double noiseScale = 1.0;   // SNR in its band = noiseScale / speed noise variance
  double probeMoment = 0.0;  // Hz^3, the noise probe's response moment behind noiseScale
  int dataStart = 0;         // first reduced sample that lies within the input
};

class HarmonicTrack {
 public:
  HarmonicTrack(const HarmonicDesign& design, double rate, int filterLength, const std::vector<float>& speedTaps,
                double memorySeconds);

  // One reduced-rate sample, index m of the stream.
  void step(float u, std::int64_t m);
  // After step(): the smoothed speed, and its weight (0 when this
  // harmonic is too weak or too disturbed to be used).
  float speed() const { return speed_; }
  double weight(double minSnr) const;
  // Variance of the smoothed speed's noise, as last estimated.
  double noiseVariance() const { return settled() ? noise_ : startNoise_; }

  // Reduced-rate samples from the input of step() to its smoothed output.
  double delay() const;

 private:
  // Mean and share of valid samples; false when too few are valid.
  bool smooth(const SpeedWindow& s, float* mean, double* variance) const;
  void updateScatter(double variance, bool usable);
  void updateNoise(double probe, bool usable);
  void watchStart(bool valid, float power);
  void updateStart(std::int64_t m, int trusted);
  bool settled() const;

  HarmonicDesign design_;
  double cyclesPerSample_;
  std::vector<float> speedTaps_;
  PhaseStep band_;
  std::int64_t trustedFrom_;          // first step whose phase step is trusted
  std::unique_ptr<StartBand> early_;  // until then, where it helps
  std::int64_t firstRaw_;             // first step with a trusted raw speed
  SpeedWindow first_;
  StartEstimator start_;
  DelayLine residual_;
  float speed_ = 1.0f;
  double noise_ = 1.0;     // running variance of the noise probe
  std::int64_t run_ = 0;   // steps since the result became usable
  double level_ = 0.0;     // running mean of the harmonic's power
  double scatter_ = 0.0;   // variance of the raw speeds under the window now
  double usualScatter_ = 0.0;
  std::int64_t scatterCount_ = 0;
  double memory_;
  // The start of a stream, before the noise probe can have settled: the
  // scatter about the start's line, turned into the probe's terms, stands in.
  double rawToProbe_;
  std::int64_t startEnd_;
  bool inStart_ = true;
  double startNoise_ = 0.0;  // 0 while there is none
  double startLow_ = 0.0, startHigh_ = 0.0;  // power of the trusted raw speeds so far
  bool startSteady_ = true;
};

}  // namespace humengine
