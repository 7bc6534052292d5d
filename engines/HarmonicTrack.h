// One harmonic of the hum, followed on the reduced-rate signal: moved to
// 0 Hz around its expected frequency, low-pass filtered, its frequency
// taken from the phase step between neighbouring samples and turned into
// a speed, then smoothed over the samples that look like hum. It also keeps an estimate of
// its own noise so the tracker can weight it against the other harmonics.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/DelayLine.h"

namespace humengine {

struct HarmonicDesign {
  int number = 1;            // 1 = fundamental
  double centre = 50.0;      // Hz, where the band of this harmonic is centred
  double offsetLimit = 5.0;  // Hz, half the width of its band
  double nominal = 50.0;     // Hz, its frequency at speed 1
  double cutoff = 10.0;      // Hz, of the filter around it
  double noiseScale = 1.0;   // SNR in its band = noiseScale / speed noise variance
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
  double noiseVariance() const { return noise_; }

  // Reduced-rate samples from the input of step() to its smoothed output.
  double delay() const;

 private:
  // A weighted mean under the speed filter over the samples marked valid.
  // Raw speeds under the speed filter, weighted by the harmonic's power:
  // where the hum fades or its phase slips the power is low, so those
  // samples count little. Values are offsets from speed 1, so their squares
  // keep precision.
  struct Smoother {
    explicit Smoother(int length) : values(length), squares(length), powers(length), raw(length), valid(length) {}
    void push(float value, float power, bool ok) {
      values.push(ok ? value * power : 0.0f);
      squares.push(ok ? value * value * power : 0.0f);
      powers.push(ok ? power : 0.0f);
      raw.push(ok ? value : 0.0f);
      valid.push(ok ? 1.0f : 0.0f);
    }
    DelayLine values, squares, powers, raw, valid;
  };
  // Mean and share of valid samples; false when too few are valid.
  bool smooth(const Smoother& s, float* mean, double* variance) const;
  void updateScatter(double variance, bool usable);
  void updateNoise(double probe, bool usable);

  HarmonicDesign design_;
  double rate_;
  double cyclesPerSample_;
  std::vector<float> taps_;
  std::vector<float> speedTaps_;
  DelayLine re_, im_;
  Smoother first_;
  DelayLine residual_;
  float lastRe_ = 0.0f, lastIm_ = 0.0f;
  float speed_ = 1.0f;
  double noise_ = 1.0;     // running variance of the noise probe
  std::int64_t run_ = 0;   // steps since the result became usable
  double level_ = 0.0;     // running mean of the harmonic's power
  double scatter_ = 0.0;   // variance of the raw speeds under the window now
  double usualScatter_ = 0.0;
  std::int64_t scatterCount_ = 0;
  double memory_;
};

}  // namespace humengine
