// Recordings with a known speed curve, for the detector tests and
// tools/eval/detect-eval: tones and partials whose frequency follows
// speed(t) = 1 + depth * sin(2 pi rate t).
#pragma once

#include <cmath>
#include <numbers>
#include <vector>

namespace detect_test {

struct Wow {
  double depth = 0.0;  // peak deviation, e.g. 0.004 for 0.4 %
  double rate = 1.0;   // Hz
  double phase = 0.0;  // radians

  double speed(double t) const { return 1.0 + depth * std::sin(2.0 * std::numbers::pi * rate * t + phase); }
  // Integral of speed from 0 to t: the recording's own time at playback time t.
  double warped(double t) const {
    if (depth == 0.0) return t;
    const double w = 2.0 * std::numbers::pi * rate;
    return t - depth / w * (std::cos(w * t + phase) - std::cos(phase));
  }
};

struct Partial {
  double frequency;
  double amplitude;
  double phase = 0.0;
};

// Sum of partials under one speed curve, sampled at fs.
inline std::vector<float> synthesise(double fs, int frames, const std::vector<Partial>& partials, const Wow& wow) {
  std::vector<float> out(static_cast<std::size_t>(frames > 0 ? frames : 0), 0.0f);
  for (int i = 0; i < frames; ++i) {
    const double tau = wow.warped(i / fs);
    double v = 0.0;
    for (const Partial& p : partials) v += p.amplitude * std::sin(2.0 * std::numbers::pi * p.frequency * tau + p.phase);
    out[static_cast<std::size_t>(i)] = static_cast<float>(v);
  }
  return out;
}

inline std::vector<float> tone(double fs, int frames, double frequency, double amplitude, const Wow& wow = {}) {
  return synthesise(fs, frames, {{frequency, amplitude}}, wow);
}

// Small deterministic noise (a linear congruential generator).
inline void addNoise(std::vector<float>& signal, double amplitude, unsigned seed = 12345u) {
  unsigned state = seed;
  for (float& x : signal) {
    state = state * 1664525u + 1013904223u;
    const double u = (state >> 8) / double(1u << 24) - 0.5;
    x = static_cast<float>(x + 2.0 * amplitude * u);
  }
}

}  // namespace detect_test
