#include "analysis/AnalysisWindows.h"

#include <cmath>

namespace {

double pi() { return 4.0 * std::atan(1.0); }

}  // namespace

std::vector<float> makeAnalysisWindow(int type, int length, int bins) {
  if (length <= 0) return {};
  std::vector<float> w(static_cast<std::size_t>(length));
  if (type == kWindowBoxcar) {
    const float c = bins > 0 ? 1.0f / static_cast<float>(bins) : 1.0f;
    for (float& x : w) x = c;
    return w;
  }
  const double p = pi();
  // A one-sample frame has no shape; its single coefficient is the peak.
  const double m = length > 1 ? static_cast<double>(length - 1) : 1.0;
  const float n = static_cast<float>(length);
  for (int i = 0; i < length; ++i) {
    double c;
    if (type == kWindowBlackman)
      c = 0.42 - 0.5 * std::cos(2.0 * p * i / m) + 0.08 * std::cos(4.0 * p * i / m);
    else
      c = (1.0 - std::cos(2.0 * p * i / m)) * 0.5;
    w[static_cast<std::size_t>(i)] = static_cast<float>(c) / n;
  }
  return w;
}

std::vector<float> makeHammingWindow(int length) {
  if (length <= 0) return {};
  if (length == 1) return {1.0f};
  const double p = pi();
  const double m = static_cast<double>(length - 1);
  std::vector<float> w(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i)
    w[static_cast<std::size_t>(i)] = static_cast<float>(0.54 - 0.46 * std::cos(2.0 * p * i / m));
  return w;
}
