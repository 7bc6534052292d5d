// Test material: notes of a few harmonics each, on a scale, starting at
// random times with an attack and a decay, played through a known speed
// curve (a tone of F Hz sounds at F x speed). Recurring notes, short tracks
// and onsets: what the estimator meets in music.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace partials_test {

struct Wow {
  double depth1 = 0.003, rate1 = 0.5;  // fractions and Hz
  double depth2 = 0.001, rate2 = 1.5;
  double speed(double t) const {
    return 1.0 + depth1 * std::sin(2.0 * std::numbers::pi * rate1 * t) +
           depth2 * std::sin(2.0 * std::numbers::pi * rate2 * t + 1.0);
  }
  // The integral of speed from 0 to t.
  double content(double t) const {
    const double two = 2.0 * std::numbers::pi;
    return t + depth1 * (1.0 - std::cos(two * rate1 * t)) / (two * rate1) +
           depth2 * (std::cos(1.0) - std::cos(two * rate2 * t + 1.0)) / (two * rate2);
  }
};

struct NoteSettings {
  double sampleRate = 44100.0;
  double seconds = 8.0;
  double notesPerSecond = 6.0;
  double noteSeconds = 0.35;
  int harmonics = 5;
  double noise = 0.0;  // RMS of white noise that does not follow the speed
  std::uint32_t seed = 7;
};

// Mono samples.
inline std::vector<float> renderNotes(const NoteSettings& s, const Wow& wow) {
  const auto frames = static_cast<std::size_t>(s.seconds * s.sampleRate);
  std::vector<double> out(frames, 0.0);
  std::mt19937 random(s.seed);
  std::uniform_int_distribution<int> degree(0, 14);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  constexpr int kScale[7] = {0, 2, 4, 5, 7, 9, 11};
  const int notes = static_cast<int>(s.seconds * s.notesPerSecond);
  for (int n = 0; n < notes; ++n) {
    const int d = degree(random);
    const double f0 = 196.0 * std::pow(2.0, (12 * (d / 7) + kScale[d % 7]) / 12.0);
    const double start = unit(random) * (s.seconds - s.noteSeconds);
    const double amplitude = 0.05 + 0.1 * unit(random);
    const auto first = static_cast<std::size_t>(start * s.sampleRate);
    const auto count = static_cast<std::size_t>(s.noteSeconds * s.sampleRate);
    for (std::size_t i = first; i < std::min(frames, first + count); ++i) {
      const double age = static_cast<double>(i - first) / s.sampleRate;
      const double envelope = std::min(1.0, age / 0.01) * std::exp(-age * 3.0) *
                              std::min(1.0, (s.noteSeconds - age) / 0.03);
      const double phase = 2.0 * std::numbers::pi * f0 * wow.content(static_cast<double>(i) / s.sampleRate);
      double v = 0.0;
      for (int h = 1; h <= s.harmonics; ++h) v += std::sin(h * phase + h) / h;
      out[i] += amplitude * envelope * v;
    }
  }
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<float> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = static_cast<float>(out[i] + s.noise * gauss(random));
  return samples;
}

}  // namespace partials_test
