// Tones whose speed varies as sines: the meter's test signals.
#pragma once

#include <cmath>
#include <numbers>
#include <vector>

#include "meter/ToneDemodulator.h"

struct SpeedSine {
  double hz;
  double percent;  // amplitude of the speed deviation
};

// sin of the integral of toneHz x (1 + sum of the sines) over time.
inline std::vector<float> fmTone(double toneHz, std::vector<SpeedSine> sines, double seconds, double rate,
                                 double amplitude = 0.5) {
  const auto n = static_cast<std::size_t>(seconds * rate);
  std::vector<float> x(n);
  const double twoPi = 2.0 * std::numbers::pi;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i / rate;
    double phase = t;
    for (const SpeedSine& s : sines) phase += s.percent / 100.0 * (1.0 - std::cos(twoPi * s.hz * t)) / (twoPi * s.hz);
    x[i] = static_cast<float>(amplitude * std::sin(twoPi * toneHz * phase));
  }
  return x;
}

inline meter::ToneDemodulator demodulate(const std::vector<float>& x, double rate, double toneHz,
                                         std::size_t block = 4096) {
  meter::ToneDemodulator tone(rate, toneHz);
  for (std::size_t at = 0; at < x.size(); at += block) tone.feed(x.data() + at, std::min(block, x.size() - at));
  return tone;
}
