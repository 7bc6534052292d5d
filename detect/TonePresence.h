// Tells whether a steady tone stands above the noise of a frequency band:
// the check a detection pass makes before it trusts its detector, so that
// noise, silence or a file without the tone leaves the curve flat instead
// of turning into a speed curve made of nothing.
//
// The mono signal is cut into frames of about a second (a power of two),
// each Hann-windowed and transformed. A frame holds the tone when the
// strongest bin of the tone band is a local peak whose power is at least
// kPeakToNoise times the median power of the reference band (the noise
// floor there). The tone is present when at least a quarter of the frames
// hold it. Input shorter than a quarter frame cannot be judged by its bins:
// it counts as present unless it is all silence. Cost: one transform per
// frame, memory of one frame.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/HartleyFft.h"

namespace detect {

class TonePresence {
 public:
  // 20 dB: the strongest of a thousand bins of white noise stands about
  // 10 dB above their median, so noise alone stays well below it.
  static constexpr double kPeakToNoise = 100.0;
  // The lowest noise floor believed, relative to the frame's whole power
  // (-100 dB): below it lies only the rounding of a single-precision
  // transform, which can form peaks of its own.
  static constexpr double kRoundingFloor = 1e-10;

  struct Band {
    double low;   // Hz
    double high;  // Hz
  };

  // tone: where the peak is looked for; reference: where the noise floor is
  // measured (it should contain the tone band). frameLength 0 picks about a
  // second of audio.
  TonePresence(double sampleRate, Band tone, Band reference, int frameLength = 0);

  void add(float sample);
  // Ends the input: a file shorter than one frame is judged on what it has.
  // Call once.
  void finish();

  bool present() const { return tooShort_ ? anySound_ : frames_ > 0 && 4 * tonalFrames_ >= frames_; }
  int frames() const { return frames_; }
  int tonalFrames() const { return tonalFrames_; }
  // True when the tone band holds at least one bin below half the rate.
  bool searchable() const { return toneLow_ <= toneHigh_; }
  int frameLength() const { return length_; }

 private:
  void analyse(int filled);

  double rate_;
  Band tone_;
  Band reference_;
  int length_;
  int toneLow_ = 0;
  int toneHigh_ = -1;
  std::vector<float> frame_;
  std::vector<double> power_;
  std::vector<double> scratch_;
  int filled_ = 0;
  int frames_ = 0;
  int tonalFrames_ = 0;
  bool anySound_ = false;
  bool tooShort_ = false;
  HartleyFft fft_;
};

}  // namespace detect
