// The speed of a simulated recording: the relative playback speed of the
// material at each moment of the recording (1.0 nominal), made of sines and
// a linear drift. Where the ratio is above 1 the recording ran fast there:
// its content advances faster than the recording's own clock, so a tone of
// F Hz sounds at F x ratio Hz; a correction stretches that stretch of the
// recording by the ratio to restore it.
#pragma once

#include <vector>

namespace wowgen {

struct WowSine {
  double rate = 0.5;   // Hz
  double depth = 0.0;  // peak deviation as a fraction (0.004 = 0.4 %)
  double phase = 0.0;  // radians
};

class SpeedCurve {
 public:
  // drift: the deviation reached at the end, growing linearly from 0.
  SpeedCurve(std::vector<WowSine> sines, double drift, double duration);

  // The ratio at recording time tau (seconds).
  double ratio(double tau) const;
  // The content time played by recording time tau: the integral of the ratio,
  // in closed form so that it stays exact over long files.
  double contentTime(double tau) const;

 private:
  std::vector<WowSine> sines_;
  double drift_;
  double duration_;
};

}  // namespace wowgen
