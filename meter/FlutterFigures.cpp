#include "meter/FlutterFigures.h"

#include <algorithm>
#include <cmath>

#include "meter/Biquad.h"
#include "meter/Weighting.h"

namespace meter {

namespace {

constexpr double kExceededShare = 0.05;

double rms(std::span<const float> x, std::span<const std::uint8_t> flags) {
  double sum = 0.0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (!flags.empty() && !flags[i]) continue;
    sum += static_cast<double>(x[i]) * x[i];
    ++n;
  }
  return n == 0 ? 0.0 : std::sqrt(sum / n);
}

Level level(std::span<const float> x, std::span<const std::uint8_t> flags) {
  return {twoSigmaPeak(x, flags), rms(x, flags)};
}

// Fourth-order Butterworth low and high pass: their powers add up to one
// at every frequency, so the squares of the wow and the flutter RMS add up
// to the square of the weighted RMS, with nothing near 6 Hz lost or counted
// twice.
FilterChain splitFilter(double rate, bool high) {
  std::vector<Biquad> sections;
  for (double q : {0.54119610014619698, 1.3065629648763766}) {
    const AnalogSection section = high ? highPass2(kWowFlutterSplitHz, q) : lowPass2(kWowFlutterSplitHz, q);
    sections.push_back(bilinear(section, rate, kWowFlutterSplitHz));
  }
  return FilterChain(std::move(sections));
}

}  // namespace

double twoSigmaPeak(std::span<const float> x, std::span<const std::uint8_t> flags) {
  std::vector<float> magnitudes;
  magnitudes.reserve(x.size());
  for (std::size_t i = 0; i < x.size(); ++i)
    if (flags.empty() || flags[i]) magnitudes.push_back(std::fabs(x[i]));
  if (magnitudes.empty()) return 0.0;
  const auto k = static_cast<std::size_t>(std::floor((1.0 - kExceededShare) * (magnitudes.size() - 1)));
  std::nth_element(magnitudes.begin(), magnitudes.begin() + static_cast<std::ptrdiff_t>(k), magnitudes.end());
  return magnitudes[k];
}

FlutterAnalysis analyseFlutter(std::span<const double> ratio, std::span<const std::uint8_t> trusted, double rate) {
  FlutterAnalysis a;
  a.rate = rate;
  const std::size_t n = ratio.size();
  if (n == 0 || rate <= 0.0) return a;
  const auto isTrusted = [&](std::size_t i) { return trusted.empty() || trusted[i] != 0; };

  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (isTrusted(i)) {
      sum += ratio[i];
      ++count;
    }
  if (count == 0) return a;
  const double mean = sum / count;
  a.figures.meanRatio = mean;

  // Above 200 Hz nothing is left to weigh; below 0.5 Hz the unweighted band ends.
  const double top = std::min(kUnweightedHighHz, 0.45 * rate);
  FilterChain unweighted({bilinear(highPass2(kUnweightedLowHz), rate, kUnweightedLowHz),
                          bilinear(lowPass2(top), rate, top)});
  FilterChain weighting = weightingFilter(rate);
  FilterChain wowPart = splitFilter(rate, false);
  FilterChain flutterPart = splitFilter(rate, true);

  a.deviation.resize(n);
  a.weighted.resize(n);
  std::vector<float> wow(n), flutter(n);
  const double first = (ratio[0] / mean - 1.0) * 100.0;
  unweighted.settleAt(first);
  weighting.settleAt(first);
  wowPart.settleAt(0.0);
  flutterPart.settleAt(0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = (ratio[i] / mean - 1.0) * 100.0;
    const double w = weighting.process(d);
    a.deviation[i] = static_cast<float>(unweighted.process(d));
    a.weighted[i] = static_cast<float>(w);
    wow[i] = static_cast<float>(wowPart.process(w));
    flutter[i] = static_cast<float>(flutterPart.process(w));
  }

  // The filters settle from where the signal starts: the first trusted sample.
  std::size_t start = 0;
  while (start < n && !isTrusted(start)) ++start;
  a.settle = std::min(n, start + static_cast<std::size_t>(std::ceil(kSettleSeconds * rate)));
  a.used.assign(n, 0);
  for (std::size_t i = a.settle; i < n; ++i) a.used[i] = isTrusted(i) ? 1 : 0;
  a.figures.samples = static_cast<std::size_t>(std::count(a.used.begin(), a.used.end(), 1));
  a.figures.seconds = a.figures.samples / rate;
  if (a.figures.samples == 0) return a;
  a.figures.weighted = level(a.weighted, a.used);
  a.figures.wow = level(wow, a.used);
  a.figures.flutter = level(flutter, a.used);
  a.figures.unweighted = level(a.deviation, a.used);
  return a;
}

}  // namespace meter
