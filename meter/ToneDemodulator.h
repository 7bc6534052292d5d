// Follows the frequency of a reference tone: the signal is shifted down by
// the nominal frequency, low-passed (a band-pass around the tone) and
// decimated, and the instantaneous frequency is the phase advance between
// decimated samples. Fed in blocks of any size; the result does not depend
// on how the input was cut.
#pragma once

#include <cstddef>
#include <vector>

namespace meter {

class ToneDemodulator {
 public:
  // The sample rate must be at least 8000 Hz and the tone below 40 % of it
  // (toneFits says so beforehand).
  ToneDemodulator(double sampleRate, double toneHz);

  static bool toneFits(double sampleRate, double toneHz);

  void feed(const float* mono, std::size_t frames);

  double outputRate() const { return outputRate_; }
  double toneHz() const { return toneHz_; }
  double sampleRate() const { return sampleRate_; }
  // The tone's frequency in Hz and its amplitude, one of each per decimated sample.
  const std::vector<float>& frequencies() const { return frequencies_; }
  const std::vector<float>& levels() const { return levels_; }
  // Input frame of the first decimated sample: the filter's delay.
  double firstFrame() const;
  // The share of the signal's power within the band around the tone: 1 for
  // a clean tone, near 0 for music.
  double toneShare() const;

 private:
  double sampleRate_;
  double toneHz_;
  int factor_;
  double outputRate_;
  std::vector<double> taps_;
  std::vector<float> historyI_, historyQ_;  // twice the taps, written at two places
  std::size_t at_ = 0;                      // next slot
  std::size_t seen_ = 0;
  double phase_ = 0.0;
  double step_;
  double signalPower_ = 0.0;
  double bandPower_ = 0.0;
  bool havePrevious_ = false;
  double previousI_ = 0.0, previousQ_ = 0.0;
  std::vector<float> frequencies_, levels_;
};

}  // namespace meter
