#include "curve/CurvePlausibility.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "curve/CurveWalk.h"

namespace {

// The curve on an even grid.
std::vector<double> sampled(const std::vector<PvcPoint>& curve, double step, std::int64_t frames) {
  std::vector<double> grid;
  const std::int64_t count = std::max<std::int64_t>(1, static_cast<std::int64_t>(frames / step) + 1);
  grid.reserve(static_cast<std::size_t>(count));
  CurveWalk walk(curve);
  for (std::int64_t i = 0; i < count; ++i) grid.push_back(walk.ratioAt(static_cast<double>(i) * step));
  return grid;
}

std::string percent(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f %%", value);
  return text;
}

}  // namespace

CurveVerdict judgeCurve(const std::vector<PvcPoint>& curve, double sampleRate, std::int64_t frames) {
  CurveVerdict verdict;
  if (curve.empty() || sampleRate <= 0.0) {
    verdict.plausible = false;
    verdict.flat = true;
    verdict.reason = "the curve has no points";
    return verdict;
  }
  const double step = kStepSeconds * sampleRate;
  const std::vector<double> grid = sampled(curve, step, std::max<std::int64_t>(frames, 1));

  std::vector<double> sorted = grid;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  double mean = 0.0;
  for (double r : grid) mean += r;
  mean /= grid.size();
  double squares = 0.0;
  for (double r : grid) {
    verdict.spreadPercent = std::max(verdict.spreadPercent, std::fabs(r / median - 1.0) * 100.0);
    squares += (r / mean - 1.0) * (r / mean - 1.0);
  }
  verdict.rmsPercent = std::sqrt(squares / grid.size()) * 100.0;
  for (std::size_t i = 1; i < grid.size(); ++i)
    verdict.largestStepPercent = std::max(verdict.largestStepPercent, std::fabs(grid[i] / grid[i - 1] - 1.0) * 100.0);

  // What is left after a moving mean over one period of the band's edge is
  // the part that moves faster than wow.
  const std::size_t width = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(1.0 / (kWowBandHz * kStepSeconds))));
  if (grid.size() > width) {
    double window = 0.0;
    double fast = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
      window += grid[i];
      if (i >= width) window -= grid[i - width];
      if (i + 1 < width) continue;
      const double slow = window / width;
      const double centre = grid[i - width / 2];
      fast += (centre / slow - 1.0) * (centre / slow - 1.0);
      ++count;
    }
    verdict.fastRmsPercent = std::sqrt(fast / count) * 100.0;
  }

  verdict.flat = verdict.spreadPercent < kFlatPercent;
  if (verdict.flat) {
    verdict.reason = "the curve is flat: it would change nothing";
  } else if (verdict.spreadPercent > kMaxSpreadPercent) {
    verdict.reason = "the curve departs " + percent(verdict.spreadPercent) + " from its median speed (at most " +
                     percent(kMaxSpreadPercent) + " can be wow)";
  } else if (verdict.largestStepPercent > kMaxStepPercent) {
    verdict.reason = "the curve jumps by " + percent(verdict.largestStepPercent) + " within " +
                     std::to_string(static_cast<int>(kStepSeconds * 1000)) + " ms (wow changes by far less)";
  } else if (verdict.fastRmsPercent > kMaxFastRmsPercent && verdict.fastRmsPercent > verdict.rmsPercent / 2.0) {
    verdict.reason = "the curve moves faster than wow: " + percent(verdict.fastRmsPercent) + " RMS above " +
                     std::to_string(static_cast<int>(kWowBandHz)) + " Hz against " + percent(verdict.rmsPercent) +
                     " in all";
  }
  verdict.plausible = verdict.reason.empty();
  return verdict;
}
