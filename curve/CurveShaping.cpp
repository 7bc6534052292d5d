#include "curve/CurveShaping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "curve/CurveWalk.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGridSeconds = 0.01;

// A second-order Butterworth low-pass run forwards and then backwards, each
// pass started at rest on its first value so the ends do not swing.
void zeroPhaseLowPass(std::vector<double>& x, double cutoffHz, double rate) {
  if (x.size() < 2) return;
  const double k = std::tan(kPi * std::min(cutoffHz, 0.45 * rate) / rate);
  const double q = 1.0 / std::sqrt(2.0);
  const double norm = 1.0 / (1.0 + k / q + k * k);
  const double b0 = k * k * norm, b1 = 2.0 * b0, b2 = b0;
  const double a1 = 2.0 * (k * k - 1.0) * norm, a2 = (1.0 - k / q + k * k) * norm;
  auto pass = [&](auto begin, auto end) {
    double x1 = *begin, x2 = *begin, y1 = *begin, y2 = *begin;
    for (auto it = begin; it != end; ++it) {
      const double in = *it;
      const double out = b0 * in + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1;
      x1 = in;
      y2 = y1;
      y1 = out;
      *it = out;
    }
  };
  pass(x.begin(), x.end());
  pass(x.rbegin(), x.rend());
}

}  // namespace

std::string CurveShape::describe() const {
  std::string text;
  char part[64];
  auto add = [&](const char* what) { text += (text.empty() ? "" : ", ") + std::string(what); };
  if (smoothHz > 0.0) {
    std::snprintf(part, sizeof part, "smoothed to %g Hz", smoothHz);
    add(part);
  }
  if (keepDrift) add("drift below 0.05 Hz kept");
  if (strength != 1.0) {
    std::snprintf(part, sizeof part, "strength %g", strength);
    add(part);
  }
  if (keepPitch) add("mean speed kept");
  return text.empty() ? "as found" : text;
}

std::vector<PvcPoint> shapeCurve(const std::vector<PvcPoint>& curve, double sampleRate, std::int64_t frames,
                                 const CurveShape& shape) {
  if (curve.empty() || sampleRate <= 0.0) return curve;
  const double step = kGridSeconds * sampleRate;
  const std::int64_t last = std::max<std::int64_t>(frames - 1, curve.back().position);
  const auto count = static_cast<std::size_t>(last / step) + 2;
  // Log speeds on the grid, straight between the points.
  std::vector<std::int32_t> positions;
  std::vector<double> logs;
  positions.reserve(count);
  logs.reserve(count);
  CurveWalk walk(curve);
  for (std::size_t i = 0; i < count; ++i) {
    const auto position = static_cast<std::int32_t>(std::min<double>(std::llround(i * step), last));
    if (!positions.empty() && position <= positions.back()) continue;
    positions.push_back(position);
    logs.push_back(std::log(std::max(walk.ratioAt(position), 1e-6)));
  }
  const double gridRate = 1.0 / kGridSeconds;
  if (shape.smoothHz > 0.0) zeroPhaseLowPass(logs, shape.smoothHz, gridRate);
  if (shape.keepDrift) {
    std::vector<double> drift = logs;
    zeroPhaseLowPass(drift, kDriftHz, gridRate);
    for (std::size_t i = 0; i < logs.size(); ++i) logs[i] -= drift[i];
  }
  const double strength = std::clamp(shape.strength, 0.0, 1.0);
  for (double& v : logs) v *= strength;
  if (shape.keepPitch) {
    double mean = 0.0;
    for (double v : logs) mean += std::exp(v);
    const double offset = std::log(mean / logs.size());
    for (double& v : logs) v -= offset;
  }
  std::vector<PvcPoint> shaped(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    shaped[i].position = positions[i];
    shaped[i].ratio = static_cast<float>(std::exp(logs[i]));
  }
  return shaped;
}
