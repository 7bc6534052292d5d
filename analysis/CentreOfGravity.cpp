#include "analysis/CentreOfGravity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace {

// The tracker's own value of pi; its tapers are tuned with it.
constexpr double kPi = 3.14159;

// Power of bin k; bins outside the row carry none.
double power(std::span<const float> row, long long k) {
  if (k < 0 || k >= static_cast<long long>(row.size())) return 0.0;
  return row[static_cast<std::size_t>(k)];
}

}  // namespace

std::optional<float> bandCentroid(std::span<const float> row, int from, int to) {
  const long long lo = std::max<long long>(std::min(from, to), 2);
  const long long hi = std::max(from, to);
  if (hi <= lo) return std::nullopt;
  const double s = std::log(static_cast<double>(hi) * static_cast<double>(lo));
  const double d = std::log(static_cast<double>(hi) / static_cast<double>(lo));
  double sumW = 0.0;
  double sumWLog = 0.0;
  for (long long k = lo; k <= hi; ++k) {
    const double lnK = std::log(static_cast<double>(k));
    const double u = (2.0 * lnK - s) * kPi / d;
    const double w = power(row, k) * (std::cos(u) + 1.0) * 0.5;
    sumW += w;
    sumWLog += w * lnK;
  }
  if (!(sumW > 0.0) || !std::isfinite(sumWLog)) return std::nullopt;
  const float c = static_cast<float>(std::exp(sumWLog / sumW));
  if (!std::isfinite(c)) return std::nullopt;
  return c;
}

std::optional<float> bandSpread(std::span<const float> row, float centre, int from, int to) {
  const long long start = std::max<long long>(std::min(from, to), 2);
  const long long end = std::max(from, to);
  if (end <= start || !std::isfinite(centre)) return std::nullopt;
  const double width = static_cast<double>(end - start);
  const double mid = static_cast<double>(end + start);
  double sumA = 0.0;
  double sumAD = 0.0;
  for (long long i = start; i <= end; ++i) {
    const double v = power(row, i + 1);
    const double a = (std::cos((2.0 * static_cast<double>(i) - mid) * kPi / width) + 1.0) * 0.5 * v * v;
    const double dist = static_cast<double>(i) - centre;
    sumA += a;
    sumAD += a * dist * dist;
  }
  if (!(sumA > 0.0) || !std::isfinite(sumAD)) return std::nullopt;
  const float spread = static_cast<float>(sumAD / sumA);
  if (!std::isfinite(spread)) return std::nullopt;
  return spread;
}

int trackCentroid(const PowerRows& rows, int firstColumn, int count, int startBin, float reference,
                  std::span<float> out, int width) {
  const long long wanted = std::min<long long>(std::llabs(static_cast<long long>(count)),
                                               static_cast<long long>(out.size()));
  if (wanted <= 1 || width < 1) return 0;
  const int steps = static_cast<int>(wanted);
  const int direction = count > 0 ? 1 : -1;
  const int end = direction * steps;

  const int e = static_cast<int>(static_cast<double>(startBin) / 30.0 + 2.5);
  int lo = startBin - e;
  int hi = startBin + e;
  float g = 0.0f;
  const double limit = 0.01 * width;
  const double width2 = static_cast<double>(width) * width;

  int k = 0;
  for (; k != end; k += direction) {
    const std::span<const float> row = rows.row(firstColumn + k);
    if (row.empty()) break;
    const std::optional<float> c = bandCentroid(row, lo - e, hi + e);
    if (!c) break;
    const int ci = static_cast<int>(*c);
    const std::optional<float> s = bandSpread(row, *c, ci - width, width + ci);
    // Energy spread too wide for a single tone: the track is lost.
    if (!s || *s / width2 > limit) break;
    lo = ci - e;
    hi = ci + e;
    const std::optional<float> o = bandCentroid(row, lo, hi);
    if (!o) break;
    if (k == 0) g = *o / reference;
    const float ratio = *o / g;
    if (!std::isfinite(ratio)) break;
    const int at = count > 0 ? k : k + steps - 1;
    out[static_cast<std::size_t>(at)] = ratio;
  }
  return k;
}
