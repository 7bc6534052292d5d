// Measures the pilot tone tracker and the spectral-domain detector against
// the true speed curve of synthetic recordings, framed as the detection
// passes frame them:
//   pilot tone: 1024-frame blocks; every 256th output is a point at its
//               input position minus the tracker's delay;
//   spectral:   one point per analysis frame, at the frame's centre.
// Recordings: 0.4 % peak sinusoidal wow at several rates under a programme of
// harmonic voices that change notes, with a little noise; the pilot cases add
// a steady tone (19 kHz at 44.1 kHz, 30 kHz at 96 kHz).
//
//   detect-eval [--case pilot44|pilot96|spectral|all] [--seconds S] [--depth D]
//               [--rates R,R,...] [--pilot-set I V]... [--spectral-set I V]...
//               [--band LOW HIGH] [--steady] [--dump]
// --steady replaces the changing programme by one harmonic tone held throughout.
//
// Build without the sanitizers for throughput figures:
//   cmake -S . -B build/eval -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_SANITIZE=OFF
//   cmake --build build/eval --target detect-eval && build/eval/bin/detect-eval
//
// Figures, per case and rate: RMS error against the true speed (in %), the
// same against the truth as the detector can know it (relative to the first
// analysed frame for the tracker, to the run's median for the spectral
// detector), the RMS of the wow itself, and throughput in x real time (the
// detector's own calls only). For the tracker also the error of the curve as
// the pass stores it: its points go through the curve's near-duplicate filter
// (a point only where the speed moved by more than 0.001 from the last one),
// and the straight lines between the points kept are what the correction
// follows; measured every 64 frames.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "curve/PvcCurve.h"
#include "detect/PilotToneTracker.h"
#include "detect/SpectralPvcDetector.h"
#include "signals/SyntheticSignals.h"

namespace {

using detect_test::Wow;

struct Options {
  std::string which = "all";
  double seconds = 30.0;
  double depth = 0.004;
  std::vector<double> rates = {0.2, 0.5, 1.0, 2.0};
  std::vector<std::pair<int, float>> pilotSet;
  std::vector<std::pair<int, float>> spectralSet;
  float bandLow = 1000.0f;
  float bandHigh = 3000.0f;
  bool dump = false;
  bool steady = false;  // one voice holding one note instead of the changing programme
};

struct Lcg {
  unsigned state;
  double next() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / double(1u << 24);
  }
};

// A programme of three voices, each a harmonic tone that changes notes every
// 0.4 to 1.5 s, with attack and decay, all under the same speed curve.
std::vector<float> programme(double fs, int frames, const Wow& wow, double level, unsigned seed, bool steady) {
  if (steady) {
    std::vector<detect_test::Partial> partials;
    for (int h = 1; h <= 10; ++h) partials.push_back({293.0 * h, level / h, 0.37 * h});
    return detect_test::synthesise(fs, frames, partials, wow);
  }
  std::vector<double> mix(static_cast<std::size_t>(frames), 0.0);
  static const double kScale[] = {1.0, 9.0 / 8, 5.0 / 4, 3.0 / 2, 5.0 / 3, 2.0};
  Lcg rng{seed};
  std::vector<double> tau(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) tau[static_cast<std::size_t>(i)] = wow.warped(i / fs);
  for (int voice = 0; voice < 3; ++voice) {
    const double base = 220.0 * (1 + voice) / 1.5;
    int start = static_cast<int>(rng.next() * 0.3 * fs);
    while (start < frames) {
      const int length = static_cast<int>((0.4 + 1.1 * rng.next()) * fs);
      const double f0 = base * kScale[static_cast<int>(rng.next() * 6) % 6];
      const int end = std::min(frames, start + length);
      const double t0 = tau[static_cast<std::size_t>(start)];
      for (int h = 1; h <= 10; ++h) {
        const double f = f0 * h;
        if (f > 9000.0) break;
        const double a = level / h;
        const double phase = 2.0 * std::numbers::pi * rng.next();
        for (int i = start; i < end; ++i) {
          const double t = (i - start) / fs;
          const double envelope = std::min(1.0, t / 0.02) * std::exp(-t / 1.5);
          mix[static_cast<std::size_t>(i)] +=
              a * envelope * std::sin(2.0 * std::numbers::pi * f * (tau[static_cast<std::size_t>(i)] - t0) + phase);
        }
      }
      start = end;
    }
  }
  std::vector<float> out(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i) out[i] = static_cast<float>(mix[i]);
  return out;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Figures {
  double rms = 0.0;       // against the true speed
  double relative = 0.0;  // against the truth the detector can know
  double wow = 0.0;       // of the truth itself
  int points = 0;
  double realTime = 0.0;
  // The curve as the pilot pass stores it; -1 when not measured.
  double stored = -1.0;
  double storedPeak = -1.0;
  int storedPoints = 0;
};

void print(const char* name, double rate, const Figures& f) {
  std::printf("%-34s wow %.1f Hz: RMS error %.4f %%, relative %.4f %%, wow RMS %.4f %%, %d points, %.1f x real time\n",
              name, rate, 100.0 * f.rms, 100.0 * f.relative, 100.0 * f.wow, f.points, f.realTime);
  if (f.stored >= 0.0)
    std::printf("%-34s stored curve: RMS error %.4f %%, peak %.4f %%, %d points kept\n", "", 100.0 * f.stored,
                100.0 * f.storedPeak, f.storedPoints);
}

// The points as the pilot pass hands them to the curve, with the filter on,
// and the error of the straight lines between those kept.
void measureStored(const std::vector<std::pair<int, float>>& points, int frames, double fs, const Wow& wow,
                   Figures& f) {
  PvcCurve curve;
  curve.setLength(frames);
  curve.resetFlat(frames);
  for (auto [position, value] : points) curve.insertPoint(position, value, true);
  double sum = 0.0;
  double peak = 0.0;
  int n = 0;
  // The first and last second, where the tracker settles and the flush runs.
  const int margin = static_cast<int>(fs);
  for (int frame = margin; frame < frames - margin; frame += 64) {
    const double e = curve.ratioAt(frame) - wow.speed(frame / fs);
    sum += e * e;
    peak = std::max(peak, std::fabs(e));
    ++n;
  }
  if (n == 0) return;
  f.stored = std::sqrt(sum / n);
  f.storedPeak = peak;
  f.storedPoints = curve.pointCount();
}

Figures runPilot(double fs, double pilot, const Wow& wow, const Options& o) {
  const int frames = static_cast<int>(o.seconds * fs);
  std::vector<float> signal = programme(fs, frames, wow, 0.1, 7u, o.steady);
  const std::vector<float> tone = detect_test::tone(fs, frames, pilot, 0.03, wow);
  for (int i = 0; i < frames; ++i) signal[static_cast<std::size_t>(i)] += tone[static_cast<std::size_t>(i)];
  detect_test::addNoise(signal, 0.001, 99u);

  detect::PilotToneTracker tracker(static_cast<float>(fs));
  for (auto [index, value] : o.pilotSet) tracker.setParamValue(index, value);
  detect::PilotTrackingState state;
  const int D = tracker.getDelay();
  const int block = 1024;
  std::vector<float> out(block);
  std::vector<std::pair<int, float>> points;
  std::chrono::steady_clock::duration spent{};
  for (int start = 0; start + block <= frames; start += block) {
    const float* in = signal.data() + start;
    float* o2 = out.data();
    const auto t0 = std::chrono::steady_clock::now();
    tracker.process(block, 1, &in, &o2, state);
    spent += std::chrono::steady_clock::now() - t0;
    for (int i = 0; i < block; i += 256) {
      const int position = start + i - D;
      if (position > 0) points.push_back({position, out[static_cast<std::size_t>(i)]});
    }
  }
  // The tracker reads speeds against its first frame, centred at N/2.
  const double reference = wow.speed(tracker.fftLength() / 2.0 / fs);
  Figures f;
  for (auto [position, value] : points) {
    const double truth = wow.speed(position / fs);
    f.rms += (value - truth) * (value - truth);
    f.relative += (value - truth / reference) * (value - truth / reference);
    f.wow += (truth - 1.0) * (truth - 1.0);
    if (o.dump) std::printf("%d %.6f %.6f\n", position, value, truth);
  }
  f.points = static_cast<int>(points.size());
  if (f.points > 0) {
    f.rms = std::sqrt(f.rms / f.points);
    f.relative = std::sqrt(f.relative / f.points);
    f.wow = std::sqrt(f.wow / f.points);
  }
  f.realTime = o.seconds / std::max(seconds(spent), 1e-9);
  measureStored(points, frames, fs, wow, f);
  return f;
}

Figures runSpectral(double fs, const Wow& wow, const Options& o) {
  const int frames = static_cast<int>(o.seconds * fs);
  std::vector<float> signal = programme(fs, frames, wow, 0.1, 11u, o.steady);
  detect_test::addNoise(signal, 0.001, 5u);

  detect::SpectralPvcDetector detector;
  for (auto [index, value] : o.spectralSet) detector.setParamValue(index, value);
  const auto t0 = std::chrono::steady_clock::now();
  detector.beginRun(static_cast<int>(fs), o.bandLow, o.bandHigh, frames);
  // The pass feeds its own block length; a partial last block is not run.
  const int block = 8192;
  for (int start = 0; start + block <= frames; start += block) {
    const float* in = signal.data() + start;
    detector.process(block, 1, &in, nullptr);
  }
  detector.collectTracks();
  detector.buildCurve();
  const auto spent = std::chrono::steady_clock::now() - t0;

  std::vector<double> truth;
  for (int i = 0; i < detector.pointCount(); ++i) truth.push_back(wow.speed(detector.position(i) / fs));
  std::vector<double> sorted = truth;
  double median = 1.0;
  if (!sorted.empty()) {
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    median = sorted[sorted.size() / 2];
  }
  Figures f;
  for (int i = 0; i < detector.pointCount(); ++i) {
    const double t = truth[static_cast<std::size_t>(i)];
    const double v = detector.value(i);
    f.rms += (v - t) * (v - t);
    f.relative += (v - t / median) * (v - t / median);
    f.wow += (t - 1.0) * (t - 1.0);
    if (o.dump) std::printf("%d %.6f %.6f\n", detector.position(i), v, t);
  }
  f.points = detector.pointCount();
  if (f.points > 0) {
    f.rms = std::sqrt(f.rms / f.points);
    f.relative = std::sqrt(f.relative / f.points);
    f.wow = std::sqrt(f.wow / f.points);
  }
  f.realTime = o.seconds / std::max(seconds(spent), 1e-9);
  std::printf("  (%d families, N = %d, hop %d)\n", detector.familyCount(), detector.fftLength(), detector.hop());
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : "0"; };
    if (a == "--case") {
      o.which = value();
    } else if (a == "--seconds") {
      o.seconds = std::atof(value());
    } else if (a == "--depth") {
      o.depth = std::atof(value());
    } else if (a == "--rates") {
      o.rates.clear();
      std::string list = value();
      for (std::size_t p = 0; p < list.size();) {
        o.rates.push_back(std::atof(list.c_str() + p));
        const std::size_t comma = list.find(',', p);
        p = comma == std::string::npos ? list.size() : comma + 1;
      }
    } else if ((a == "--pilot-set" || a == "--spectral-set") && i + 2 < argc) {
      const int index = std::atoi(argv[++i]);
      const float v = static_cast<float>(std::atof(argv[++i]));
      (a == "--pilot-set" ? o.pilotSet : o.spectralSet).push_back({index, v});
    } else if (a == "--band" && i + 2 < argc) {
      o.bandLow = static_cast<float>(std::atof(argv[++i]));
      o.bandHigh = static_cast<float>(std::atof(argv[++i]));
    } else if (a == "--steady") {
      o.steady = true;
    } else if (a == "--dump") {
      o.dump = true;
    } else {
      std::fprintf(stderr, "detect-eval: unknown option %s\n", a.c_str());
      return 2;
    }
  }
  std::printf("%.0f s recordings, %.2f %% peak wow\n", o.seconds, 100.0 * o.depth);
  for (double rate : o.rates) {
    const Wow wow{o.depth, rate, 0.0};
    if (o.which == "all" || o.which == "pilot44") {
      print("pilot tone 19 kHz at 44100 Hz", rate, runPilot(44100.0, 19000.0, wow, o));
    }
    if (o.which == "all" || o.which == "pilot96") {
      print("pilot tone 30 kHz at 96000 Hz", rate, runPilot(96000.0, 30000.0, wow, o));
    }
    if (o.which == "all" || o.which == "spectral") {
      print("spectral 1-3 kHz at 44100 Hz", rate, runSpectral(44100.0, wow, o));
    }
  }
  return 0;
}
