#include "tools/eval/hum-eval/MusicRecording.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

namespace music {
namespace {

// Four-point cubic through the samples around position p of one channel.
double cubicAt(const std::vector<float>& x, int channels, int c, std::size_t frames, double p) {
  auto i = static_cast<std::int64_t>(std::floor(p));
  double f = p - static_cast<double>(i);
  auto at = [&](std::int64_t j) {
    if (j < 0 || j >= static_cast<std::int64_t>(frames)) return 0.0;
    return static_cast<double>(x[static_cast<std::size_t>(j) * channels + c]);
  };
  double a = at(i - 1), b = at(i), d = at(i + 1), e = at(i + 2);
  return b + 0.5 * f * (d - a + f * (2.0 * a - 5.0 * b + 4.0 * d - e + f * (3.0 * (b - d) + e - a)));
}

}  // namespace

std::vector<float> makeTake(const Take& take, const synth::WowCurve& wow, double mains, double* rate,
                            int* channels, std::string* error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(take.path.c_str(), SFM_READ, &info);
  if (!file) {
    *error = sf_strerror(nullptr);
    return {};
  }
  *rate = info.samplerate;
  *channels = info.channels;
  const int ch = info.channels;
  auto first = static_cast<sf_count_t>(take.offset * info.samplerate);
  // A little more than the excerpt: the wow reads ahead of and behind it.
  auto wanted = static_cast<sf_count_t>((take.seconds + 1.0) * info.samplerate);
  std::vector<float> source;
  if (first < info.frames && sf_seek(file, first, SEEK_SET) >= 0) {
    source.resize(static_cast<std::size_t>(std::min(wanted, info.frames - first)) * ch);
    sf_count_t got = sf_readf_float(file, source.data(), static_cast<sf_count_t>(source.size() / ch));
    source.resize(static_cast<std::size_t>(got) * ch);
  }
  sf_close(file);
  auto frames = source.size() / static_cast<std::size_t>(ch);
  auto n = static_cast<std::size_t>(std::min(take.seconds * info.samplerate, frames - 0.5 * info.samplerate));
  if (frames < static_cast<std::size_t>(info.samplerate) || n == 0) {
    *error = "the excerpt is shorter than a second";
    return {};
  }

  std::vector<float> out(n * ch);
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    double p = wow.contentTime(i / *rate) * *rate;
    for (int c = 0; c < ch; ++c) {
      double v = cubicAt(source, ch, c, frames, p);
      out[i * ch + c] = static_cast<float>(v);
      sum += v * v;
    }
  }
  double level = std::sqrt(sum / static_cast<double>(out.size()));
  double humSquare = 0.0;
  for (double a : take.harmonics) humSquare += a * a / 2.0;
  double scale = level * std::pow(10.0, take.humDb / 20.0) / std::sqrt(humSquare);
  synth::Random rnd(7);
  std::vector<double> phases;
  for (std::size_t k = 0; k < take.harmonics.size(); ++k) phases.push_back(rnd.uniform() * 2 * std::numbers::pi);
  for (std::size_t i = 0; i < n; ++i) {
    double t = wow.contentTime(i / *rate);
    double hum = 0.0;
    for (std::size_t k = 0; k < take.harmonics.size(); ++k)
      hum += take.harmonics[k] * std::sin(2 * std::numbers::pi * mains * (k + 1) * t + phases[k]);
    for (int c = 0; c < ch; ++c) out[i * ch + c] += static_cast<float>(scale * hum);
  }
  return out;
}

std::vector<float> readRecording(const std::string& path, double* rate, int* channels, std::string* error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    *error = sf_strerror(nullptr);
    return {};
  }
  *rate = info.samplerate;
  *channels = info.channels;
  std::vector<float> audio(static_cast<std::size_t>(info.frames) * info.channels);
  sf_count_t got = sf_readf_float(file, audio.data(), info.frames);
  sf_close(file);
  audio.resize(static_cast<std::size_t>(got) * info.channels);
  if (audio.empty()) *error = "no audio";
  return audio;
}

std::vector<std::pair<double, double>> readCurve(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::pair<double, double>> points;
  double position = 0.0, ratio = 0.0;
  while (in >> position >> ratio) points.emplace_back(position, ratio);
  return points;
}

}  // namespace music
