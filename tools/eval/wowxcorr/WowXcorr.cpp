#include "tools/eval/wowxcorr/WowXcorr.h"

#include <algorithm>
#include <cmath>

#include "tools/eval/wowapply/SincInterpolator.h"
#include "tools/eval/wowxcorr/WindowCorrelator.h"

namespace wowxcorr {

namespace {

struct Reading {
  double centre;    // recording frame
  double position;  // the original's frame found there
  bool trusted;
};

// Where in the original each recording frame comes from: straight lines
// between the trusted readings, a constant lag beyond them.
class PositionMap {
 public:
  PositionMap(double offset, double slope) : offset_(offset), slope_(slope) {}
  explicit PositionMap(std::vector<Reading> points) : offset_(0.0), slope_(1.0) {
    for (const Reading& r : points)
      if (r.trusted) points_.push_back(r);
  }
  double at(double n) const {
    if (points_.empty()) return offset_ + slope_ * n;
    if (n <= points_.front().centre) return n + points_.front().position - points_.front().centre;
    if (n >= points_.back().centre) return n + points_.back().position - points_.back().centre;
    const auto after = std::upper_bound(points_.begin(), points_.end(), n,
                                        [](double v, const Reading& r) { return v < r.centre; });
    const Reading& b = *after;
    const Reading& a = *(after - 1);
    return a.position + (n - a.centre) * (b.position - a.position) / (b.centre - a.centre);
  }
  double slopeAt(double n) const { return (at(n + 64.0) - at(n - 64.0)) / 128.0; }

 private:
  double offset_, slope_;
  std::vector<Reading> points_;
};

std::vector<float> decimate(const std::vector<float>& x, int factor) {
  std::vector<float> out(x.size() / static_cast<std::size_t>(factor));
  for (std::size_t i = 0; i < out.size(); ++i) {
    double sum = 0.0;
    for (int k = 0; k < factor; ++k) sum += x[i * static_cast<std::size_t>(factor) + static_cast<std::size_t>(k)];
    out[i] = static_cast<float>(sum / factor);
  }
  return out;
}

// ref[from .. from + count) with silence outside it.
void slice(const std::vector<float>& ref, std::int64_t from, int count, std::vector<float>& out) {
  out.assign(static_cast<std::size_t>(count), 0.0f);
  const auto size = static_cast<std::int64_t>(ref.size());
  for (int i = 0; i < count; ++i) {
    const std::int64_t j = from + i;
    if (j >= 0 && j < size) out[static_cast<std::size_t>(i)] = ref[static_cast<std::size_t>(j)];
  }
}

// lag = a + b t through the most points within tolerance of it (any two
// points propose a line, slopes up to 5 %), then by least squares through
// those: windows that locked onto a repeat of the music are left out.
bool fitLine(const std::vector<std::pair<double, double>>& points, double tolerance, double& a, double& b) {
  if (points.empty()) return false;
  auto inliers = [&](double a0, double b0) {
    int count = 0;
    for (const auto& [t, l] : points) count += std::fabs(l - a0 - b0 * t) <= tolerance;
    return count;
  };
  // Flat lines through each point first, then lines through pairs (every
  // pair for few points, a spread of them for many).
  int best = -1;
  double bestA = 0.0, bestB = 0.0;
  for (const auto& [t, l] : points)
    if (const int c = inliers(l, 0.0); c > best) best = c, bestA = l, bestB = 0.0;
  const std::size_t n = points.size();
  const std::size_t step = std::max<std::size_t>(1, n / 60);
  for (std::size_t i = 0; i < n; i += step)
    for (std::size_t j = i + 1; j < n; j += step) {
      const double dt = points[j].first - points[i].first;
      if (dt <= 0.0) continue;
      const double b0 = (points[j].second - points[i].second) / dt;
      if (std::fabs(b0) > 0.05) continue;
      const double a0 = points[i].second - b0 * points[i].first;
      if (const int c = inliers(a0, b0); c > best) best = c, bestA = a0, bestB = b0;
    }
  double cn = 0, st = 0, sl = 0, stt = 0, stl = 0;
  for (const auto& [t, l] : points)
    if (std::fabs(l - bestA - bestB * t) <= tolerance) {
      cn += 1; st += t; sl += l; stt += t * t; stl += t * l;
    }
  const double det = cn * stt - st * st;
  b = cn >= 2 && det > 1e-9 * cn * cn ? (cn * stl - st * sl) / det : bestB;
  a = cn >= 2 && det > 1e-9 * cn * cn ? (sl - b * st) / cn : bestA;
  return true;
}

// Drops readings far from the median of their neighbours' lags.
void dropOutliers(std::vector<Reading>& readings, double tolerance) {
  std::vector<double> lags;
  std::vector<std::size_t> index;
  for (std::size_t i = 0; i < readings.size(); ++i)
    if (readings[i].trusted) {
      lags.push_back(readings[i].position - readings[i].centre);
      index.push_back(i);
    }
  const int half = 4;
  std::vector<double> around;
  for (std::size_t j = 0; j < lags.size(); ++j) {
    around.clear();
    for (std::size_t k = j >= half ? j - half : 0; k < std::min(lags.size(), j + half + 1); ++k) around.push_back(lags[k]);
    std::nth_element(around.begin(), around.begin() + static_cast<std::ptrdiff_t>(around.size() / 2), around.end());
    if (std::fabs(lags[j] - around[around.size() / 2]) > tolerance) readings[index[j]].trusted = false;
  }
}

// The lags of the trusted readings, each replaced by a straight line's value
// through its neighbours within half frames. The next pass reads the
// original along these: each window measures the mean misplacement over its
// length, which corrects a smooth misplacement fully but not one that
// changes from reading to reading, so none must be left in the map.
std::vector<Reading> smoothed(const std::vector<Reading>& readings, double half) {
  std::vector<Reading> out;
  std::size_t from = 0;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    if (!readings[i].trusted) continue;
    while (readings[from].centre < readings[i].centre - half) ++from;
    double n = 0, st = 0, sl = 0, stt = 0, stl = 0;
    for (std::size_t j = from; j < readings.size() && readings[j].centre <= readings[i].centre + half; ++j) {
      if (!readings[j].trusted) continue;
      const double t = readings[j].centre - readings[i].centre;
      const double l = readings[j].position - readings[j].centre;
      n += 1; st += t; sl += l; stt += t * t; stl += t * l;
    }
    const double det = n * stt - st * st;
    const double b = det > 1e-9 ? (n * stl - st * sl) / det : 0.0;
    const double lag = (sl - b * st) / n;
    out.push_back({readings[i].centre, readings[i].centre + lag, true});
  }
  return out;
}

}  // namespace

bool measureWow(const std::vector<float>& test, const std::vector<float>& clean, double rate,
                const XcorrSettings& s, XcorrResult& result, std::string& problem) {
  result = XcorrResult{};
  if (test.size() < static_cast<std::size_t>(rate) || clean.size() < static_cast<std::size_t>(rate)) {
    problem = "both recordings must last at least a second";
    return false;
  }
  // The global alignment, at about 3 kHz.
  const int factor = std::max(1, static_cast<int>(rate / 3000.0));
  const double coarseRate = rate / factor;
  const std::vector<float> xd = decimate(test, factor);
  const std::vector<float> yd = decimate(clean, factor);
  const int segment = static_cast<int>(std::min(4.0 * coarseRate, xd.size() / 2.0));
  const int search = static_cast<int>(s.maxShift * coarseRate);
  WindowCorrelator coarse(segment, search, coarseRate, 50.0, 0.45 * coarseRate);
  std::vector<std::pair<double, double>> lags;
  std::vector<float> ref;
  for (std::int64_t start = 0; start + segment <= static_cast<std::int64_t>(xd.size()); start += segment / 2) {
    slice(yd, start - search, segment + 2 * search, ref);
    const LagReading r = coarse.measure(xd.data() + start, ref.data());
    if (r.found && r.quality >= s.minQuality * 0.5 && r.ambiguity <= s.maxAmbiguity)
      lags.emplace_back(start + segment / 2.0, r.lag);
  }
  double a = 0.0, b = 0.0;
  if (lags.empty() || !fitLine(lags, std::max(2.0, s.maxWowLag * coarseRate), a, b)) {
    problem = "the recordings do not line up anywhere: are they the same material?";
    return false;
  }
  // test_d[m] ~ clean_d[m + a + b m]: frame n comes from frame n (1 + b) + a factor.
  PositionMap map(a * factor, 1.0 + b);
  result.shiftFrames = a * factor;

  const wowapply::SincInterpolator sinc;
  std::vector<double> w(static_cast<std::size_t>(sinc.taps()));
  std::vector<float> warped(test.size());
  std::vector<Reading> readings;
  const int hop = std::max(1, static_cast<int>(s.hop * rate));
  for (int pass = 0; pass <= s.finePasses; ++pass) {
    // The original read along the positions found so far.
    for (std::size_t n = 0; n < test.size(); ++n) {
      const double pos = map.at(static_cast<double>(n));
      const std::int64_t first = sinc.weights(pos, w.data());
      double v = 0.0;
      for (int k = 0; k < sinc.taps(); ++k) {
        const std::int64_t i = first + k;
        if (i >= 0 && i < static_cast<std::int64_t>(clean.size())) v += w[static_cast<std::size_t>(k)] * clean[static_cast<std::size_t>(i)];
      }
      warped[n] = static_cast<float>(v);
    }
    const bool first = pass == 0;
    const int window = static_cast<int>((first ? s.coarseWindow : s.window) * rate);
    const int maxLag = first ? static_cast<int>(s.maxWowLag * rate) : std::max(16, static_cast<int>(0.002 * rate));
    WindowCorrelator fine(window, maxLag, rate, s.lowHz, first ? std::min(2500.0, s.highHz) : s.highHz);
    readings.clear();
    for (std::int64_t start = 0; start + window <= static_cast<std::int64_t>(test.size()); start += hop) {
      slice(warped, start - maxLag, window + 2 * maxLag, ref);
      // Both under one taper: a window against a longer stretch can prefer a
      // lag a pitch period or more away on a held note.
      const LagReading r = fine.measure(test.data() + start, ref.data(), true);
      const double centre = static_cast<double>(start) + window / 2.0;
      const bool trusted = r.found && r.quality >= s.minQuality && r.ambiguity <= s.maxAmbiguity &&
                           std::fabs(r.lag) < maxLag - 1;
      readings.push_back({centre, map.at(centre) + (trusted ? r.lag * map.slopeAt(centre) : 0.0), trusted});
    }
    dropOutliers(readings, first ? 0.0005 * rate : 0.0002 * rate);
    std::size_t trusted = 0;
    for (const Reading& r : readings) trusted += r.trusted;
    if (trusted < 4) {
      problem = "too few windows line up (" + std::to_string(trusted) + " of " + std::to_string(readings.size()) + ")";
      return false;
    }
    map = PositionMap(smoothed(readings, window / 2.0));
    result.windows = static_cast<int>(readings.size());
    result.trustedShare = static_cast<double>(trusted) / static_cast<double>(readings.size());
  }

  // The shift: where the line through all positions found starts.
  std::vector<std::pair<double, double>> found;
  for (const Reading& r : readings)
    if (r.trusted) found.emplace_back(r.centre, r.position - r.centre);
  double shift = 0.0, drift = 0.0;
  if (fitLine(found, s.maxWowLag * rate, shift, drift)) result.shiftFrames = shift;

  // The speed: the slope of the position over the span about each reading.
  const double half = s.span * rate / 2.0;
  const double expected = 2.0 * half / hop;
  std::size_t from = 0;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    if (!readings[i].trusted) continue;
    while (readings[from].centre < readings[i].centre - half) ++from;
    double n = 0, st = 0, sp = 0, stt = 0, stp = 0;
    int before = 0, after = 0;  // readings in the outer halves: a slope needs both sides
    for (std::size_t j = from; j < readings.size() && readings[j].centre <= readings[i].centre + half; ++j) {
      if (!readings[j].trusted) continue;
      const double t = readings[j].centre - readings[i].centre;
      before += t < -half / 2.0;
      after += t > half / 2.0;
      const double p = readings[j].position - readings[i].position;
      n += 1; st += t; sp += p; stt += t * t; stp += t * p;
    }
    const double det = n * stt - st * st;
    if (n < std::max(4.0, 0.6 * expected) || det <= 0.0 || before == 0 || after == 0) continue;
    result.curve.push_back({readings[i].centre, (n * stp - st * sp) / det});
  }
  double sum = 0.0;
  std::vector<double> kept;
  const double lo = s.edge * rate;
  const double hi = static_cast<double>(test.size()) - s.edge * rate;
  for (const SpeedPoint& p : result.curve)
    if (p.frame >= lo && p.frame <= hi) {
      kept.push_back(p.ratio);
      sum += p.ratio;
    }
  if (kept.empty()) {
    problem = "no speed could be measured away from the ends";
    return false;
  }
  const double mean = sum / static_cast<double>(kept.size());
  double square = 0.0;
  for (double r : kept) {
    square += (r - mean) * (r - mean);
    result.peakPercent = std::max(result.peakPercent, std::fabs(r - mean) * 100.0);
  }
  result.rmsPercent = std::sqrt(square / static_cast<double>(kept.size())) * 100.0;
  result.offsetPercent = (mean - 1.0) * 100.0;
  return true;
}

}  // namespace wowxcorr
