#include "tools/eval/wowgen/WowSynth.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>

namespace wowgen {

SpeedCurve speedCurveOf(const Recipe& recipe) {
  return SpeedCurve(recipe.wow, recipe.drift, static_cast<double>(recipe.frames()) / recipe.sampleRate);
}

std::vector<std::vector<float>> renderRecording(const Recipe& recipe) {
  const long long frames = recipe.frames();
  const SpeedCurve speed = speedCurveOf(recipe);
  const double twoPi = 2.0 * std::numbers::pi;
  std::vector<std::vector<float>> channels(static_cast<std::size_t>(recipe.channels),
                                           std::vector<float>(static_cast<std::size_t>(frames)));
  std::mt19937_64 random(recipe.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (long long n = 0; n < frames; ++n) {
    const double t = speed.contentTime(static_cast<double>(n) / recipe.sampleRate);
    double hum = 0.0;
    for (const Hum& h : recipe.hums)
      for (int k = 1; k <= h.harmonics; ++k) hum += h.amplitude / k * std::sin(twoPi * k * h.frequency * t);
    for (int c = 0; c < recipe.channels; ++c) {
      const double shift = c * std::numbers::pi / 2.0;
      double v = hum;
      for (const Tone& tone : recipe.tones) v += tone.amplitude * std::sin(twoPi * tone.frequency * t + tone.phase + shift);
      for (const Tone& tone : recipe.pilots) v += tone.amplitude * std::sin(twoPi * tone.frequency * t + tone.phase + shift);
      if (recipe.noise > 0.0) v += recipe.noise * gauss(random);
      channels[static_cast<std::size_t>(c)][static_cast<std::size_t>(n)] = static_cast<float>(v);
    }
  }
  return channels;
}

std::vector<CurvePoint> curvePoints(const Recipe& recipe) {
  const long long frames = recipe.frames();
  const SpeedCurve speed = speedCurveOf(recipe);
  std::vector<CurvePoint> points;
  for (long long n = 0; n < frames - 1; n += recipe.curveStep)
    points.push_back({static_cast<int>(n), speed.ratio(static_cast<double>(n) / recipe.sampleRate)});
  points.push_back({static_cast<int>(frames - 1), speed.ratio(static_cast<double>(frames - 1) / recipe.sampleRate)});
  return points;
}

bool writeCurveFile(const std::string& path, const std::vector<CurvePoint>& points, std::string& problem) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    problem = "cannot create " + path;
    return false;
  }
  for (const CurvePoint& p : points) std::fprintf(file.get(), "%d %f\r\n", p.position, p.ratio);
  if (std::ferror(file.get()) || std::fclose(file.release()) != 0) {
    problem = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace wowgen
