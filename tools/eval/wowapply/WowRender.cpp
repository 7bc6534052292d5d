#include "tools/eval/wowapply/WowRender.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/eval/wowapply/SincInterpolator.h"

namespace wowapply {

double excerptRms(const Excerpt& excerpt) {
  double sum = 0.0;
  std::int64_t count = 0;
  for (const auto& channel : excerpt.channels)
    for (std::int64_t i = excerpt.pad; i < excerpt.pad + excerpt.frames; ++i) {
      const double v = channel[static_cast<std::size_t>(i)];
      sum += v * v;
      ++count;
    }
  return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

double largestShift(const wowgen::SpeedCurve& speed, double sampleRate, std::int64_t frames) {
  double largest = 0.0;
  for (std::int64_t n = 0; n < frames; n += 64) {
    const double tau = static_cast<double>(n) / sampleRate;
    largest = std::max(largest, std::fabs(speed.contentTime(tau) - tau) * sampleRate);
  }
  return largest;
}

std::vector<std::vector<float>> renderWowed(const Excerpt& excerpt, const wowgen::SpeedCurve& speed,
                                            const Additions& additions) {
  const double rate = excerpt.sampleRate;
  const double rms = excerptRms(excerpt);
  const double twoPi = 2.0 * std::numbers::pi;
  // The hum's amplitude a: harmonics a / k, together at the asked RMS.
  double humAmplitude = 0.0;
  if (additions.humFrequency > 0.0) {
    double power = 0.0;
    for (int k = 1; k <= additions.humHarmonics; ++k) power += 0.5 / (static_cast<double>(k) * k);
    humAmplitude = rms * std::pow(10.0, additions.humDb / 20.0) / std::sqrt(power);
  }
  const double pilotAmplitude =
      additions.pilotFrequency > 0.0 ? rms * std::pow(10.0, additions.pilotDb / 20.0) * std::sqrt(2.0) : 0.0;

  const SincInterpolator sinc;
  std::vector<double> w(static_cast<std::size_t>(sinc.taps()));
  std::vector<std::vector<float>> out(excerpt.channels.size(),
                                      std::vector<float>(static_cast<std::size_t>(excerpt.frames)));
  const auto size = static_cast<std::int64_t>(excerpt.channels.front().size());
  for (std::int64_t n = 0; n < excerpt.frames; ++n) {
    const double t = speed.contentTime(static_cast<double>(n) / rate);
    const double pos = t * rate + static_cast<double>(excerpt.pad);
    const std::int64_t first = sinc.weights(pos, w.data());
    const std::int64_t from = std::max<std::int64_t>(first, 0);
    const std::int64_t to = std::min<std::int64_t>(first + sinc.taps(), size);
    double extra = 0.0;
    for (int k = 1; humAmplitude > 0.0 && k <= additions.humHarmonics; ++k)
      extra += humAmplitude / k * std::sin(twoPi * k * additions.humFrequency * t);
    if (pilotAmplitude > 0.0) extra += pilotAmplitude * std::sin(twoPi * additions.pilotFrequency * t);
    for (std::size_t c = 0; c < excerpt.channels.size(); ++c) {
      const float* x = excerpt.channels[c].data();
      double v = 0.0;
      for (std::int64_t i = from; i < to; ++i) v += w[static_cast<std::size_t>(i - first)] * x[i];
      out[c][static_cast<std::size_t>(n)] = static_cast<float>(v + extra);
    }
  }
  return out;
}

}  // namespace wowapply
