// Recordings with a known speed curve, for the hum engine's tests and
// tools/eval/hum-eval: mains hum with harmonics, music-like programme and
// noise, all played back at the curve's speed, so the hum's frequency divided
// by the mains frequency is the true speed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace synth {

struct WowComponent {
  double depth;   // relative speed amplitude, 0.002 = 0.2 %
  double hz;      // modulation frequency
  double phase;   // radians
};

struct WowCurve {
  std::vector<WowComponent> parts;
  double base = 1.0;
  double speed(double seconds) const {
    double s = base;
    for (const auto& p : parts) s += p.depth * std::sin(2 * std::numbers::pi * p.hz * seconds + p.phase);
    return s;
  }
  // Content time reached after `seconds` of playback: the integral of speed.
  double contentTime(double seconds) const {
    double t = base * seconds;
    for (const auto& p : parts) {
      double w = 2 * std::numbers::pi * p.hz;
      t += p.depth / w * (std::cos(p.phase) - std::cos(w * seconds + p.phase));
    }
    return t;
  }
};

// The wow of the accuracy goal: 0.4 % peak from components between 0.2 and 2 Hz.
inline WowCurve standardWow() {
  return WowCurve{{{0.0020, 0.55, 0.3}, {0.0012, 1.7, 1.1}, {0.0008, 0.23, 2.0}}};
}

struct Recipe {
  double rate = 44100.0;
  double seconds = 4.0;
  WowCurve wow = standardWow();
  double mains = 50.0;
  std::vector<double> harmonics = {1.0, 0.5, 0.7, 0.2, 0.35};  // amplitudes of 1st, 2nd, ...
  double humDb = -25.0;          // hum RMS relative to programme RMS (or to 0.1 without programme)
  bool programme = true;         // music-like notes
  double lowestNote = 196.0;     // Hz, lowest fundamental of the notes
  double attack = 0.05;          // s, raised-cosine onset of each note
  double noiseDb = -50.0;        // white noise RMS relative to programme RMS
  double pinkDb = -200.0;        // pink noise RMS relative to programme RMS
  std::uint32_t seed = 1;
};

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}
  // Uniform in [0, 1), the same on every platform.
  double uniform() { return static_cast<double>(engine_() >> 8) / 16777216.0; }
  double gaussian() {
    double u = uniform() + 1e-12, v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
  }

 private:
  std::mt19937 engine_;
};

inline double rms(const std::vector<double>& x) {
  double s = 0;
  for (double v : x) s += v * v;
  return x.empty() ? 0.0 : std::sqrt(s / x.size());
}

inline void addScaled(std::vector<double>& to, const std::vector<double>& x, double wantedRms) {
  double r = rms(x);
  if (r <= 0) return;
  for (std::size_t i = 0; i < to.size(); ++i) to[i] += x[i] * wantedRms / r;
}

inline std::vector<float> makeRecording(const Recipe& r) {
  auto n = static_cast<std::size_t>(r.seconds * r.rate);
  Random rnd(r.seed);
  std::vector<double> content(n);
  for (std::size_t i = 0; i < n; ++i) content[i] = r.wow.contentTime(i / r.rate);

  std::vector<double> programme(n, 0.0);
  if (r.programme) {
    // Notes of a few seconds' melody and chords: harmonic tones with decaying partials.
    double t = 0.0;
    while (t < r.seconds + 1.0) {
      double f = r.lowestNote * std::pow(2.0, std::floor(rnd.uniform() * 26.0) / 12.0);
      double length = 0.3 + rnd.uniform() * 0.9;
      double amp = 0.3 + 0.7 * rnd.uniform();
      int partials = 6 + static_cast<int>(rnd.uniform() * 6);
      double start = t - 0.5;
      auto first = std::lower_bound(content.begin(), content.end(), start) - content.begin();
      for (auto i = static_cast<std::size_t>(first); i < n; ++i) {
        double ct = content[i] - start;
        if (ct > length + 0.5) break;
        double env = (ct < r.attack ? 0.5 - 0.5 * std::cos(std::numbers::pi * ct / r.attack) : 1.0) * std::exp(-3.0 * ct / length) * (ct > length ? 0.5 + 0.5 * std::cos(std::numbers::pi * (ct - length) / 0.5) : 1.0);
        double v = 0;
        for (int p = 1; p <= partials; ++p) v += std::sin(2 * std::numbers::pi * f * p * ct) / p;
        programme[i] += amp * env * v;
      }
      t += 0.12 + rnd.uniform() * 0.25;
    }
  }
  double level = r.programme ? rms(programme) : 0.1;

  std::vector<double> out = programme;
  std::vector<double> hum(n, 0.0);
  for (std::size_t k = 0; k < r.harmonics.size(); ++k) {
    double ph = rnd.uniform() * 2 * std::numbers::pi;
    for (std::size_t i = 0; i < n; ++i)
      hum[i] += r.harmonics[k] * std::sin(2 * std::numbers::pi * r.mains * (k + 1) * content[i] + ph);
  }
  addScaled(out, hum, level * std::pow(10.0, r.humDb / 20.0));

  if (r.noiseDb > -150) {
    std::vector<double> noise(n);
    for (auto& v : noise) v = rnd.gaussian();
    addScaled(out, noise, level * std::pow(10.0, r.noiseDb / 20.0));
  }
  if (r.pinkDb > -150) {
    // Paul Kellet's economy pink filter over white noise.
    std::vector<double> pink(n);
    double b0 = 0, b1 = 0, b2 = 0;
    for (auto& v : pink) {
      double w = rnd.gaussian();
      b0 = 0.99765 * b0 + w * 0.0990460;
      b1 = 0.96300 * b1 + w * 0.2965164;
      b2 = 0.57000 * b2 + w * 1.0526913;
      v = b0 + b1 + b2 + w * 0.1848;
    }
    addScaled(out, pink, level * std::pow(10.0, r.pinkDb / 20.0));
  }
  return std::vector<float>(out.begin(), out.end());
}

}  // namespace synth
