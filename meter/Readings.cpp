#include "meter/Readings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace meter {

MeterReading readTone(const ToneDemodulator& tone, std::string file) {
  MeterReading r;
  r.file = std::move(file);
  r.fromTone = true;
  r.referenceHz = tone.toneHz();
  r.toneShare = tone.toneShare();
  const std::vector<float>& hz = tone.frequencies();
  const std::vector<float>& levels = tone.levels();
  if (hz.empty()) return r;
  // The level the tone keeps most of the time it is there: a test tape's
  // tone may follow a long silence.
  std::vector<float> sorted = levels;
  const std::size_t high = sorted.size() * 9 / 10;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(high), sorted.end());
  const float floor = 0.25f * sorted[high];
  std::vector<double> ratio(hz.size());
  std::vector<std::uint8_t> trusted(hz.size());
  const auto on = [&](std::size_t i) { return levels[i] >= floor && levels[i] > 0.0f; };
  // Before the tone starts the filters see its first frequency, not a jump to it.
  std::size_t first = 0;
  while (first + 1 < hz.size() && !on(first)) ++first;
  double last = hz[first];
  std::size_t faded = 0;
  for (std::size_t i = 0; i < hz.size(); ++i) {
    // A faded sample holds the last good frequency, so that the filters
    // see no jump across it.
    const bool good = on(i);
    if (good) last = hz[i];
    ratio[i] = last / tone.toneHz();
    trusted[i] = good ? 1 : 0;
    if (!good) ++faded;
  }
  r.startSeconds = tone.firstFrame() / tone.sampleRate();
  r.analysis = analyseFlutter(ratio, trusted, tone.outputRate());
  r.toneHz = r.analysis.figures.meanRatio * tone.toneHz();
  // A 3000 Hz tape tone read against 3150 Hz comes out 4.8 % slow.
  if (std::fabs(r.speedOffsetPercent()) > 3.0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "the tone lies %.1f %% off %g Hz: if the tape's tone has another nominal frequency "
                  "(3000 Hz for NAB and JIS), give it with --ref",
                  std::fabs(r.speedOffsetPercent()), tone.toneHz());
    r.notes.emplace_back(text);
  }
  if (faded > 0) {
    char text[120];
    std::snprintf(text, sizeof text, "the tone fades for %.1f s; those parts are left out",
                  faded / tone.outputRate());
    r.notes.emplace_back(text);
  }
  return r;
}

MeterReading readCurve(std::span<const CurveSample> points, std::string file) {
  MeterReading r;
  r.file = std::move(file);
  UniformCurve curve = uniformCurve(points, kCurveRate);
  // Untrusted stretches hold the last trusted speed, as a faded tone does,
  // so that no wild estimate rings through the filters into trusted parts.
  const auto firstTrusted = std::find(curve.trusted.begin(), curve.trusted.end(), 1);
  double held = firstTrusted == curve.trusted.end() ? 1.0 : curve.ratio[firstTrusted - curve.trusted.begin()];
  for (std::size_t i = 0; i < curve.ratio.size(); ++i) {
    if (curve.trusted[i])
      held = curve.ratio[i];
    else
      curve.ratio[i] = held;
  }
  r.startSeconds = curve.startSeconds;
  // Between the points there is only interpolation.
  if (points.size() > 2) {
    const double spacing = (points.back().seconds - points.front().seconds) / static_cast<double>(points.size() - 1);
    if (spacing > 0.0) r.spectrumTopHz = std::min(r.spectrumTopHz, 0.5 / spacing);
  }
  std::size_t trusted = 0;
  for (const CurveSample& p : points) trusted += p.trusted ? 1 : 0;
  r.trustedShare = points.empty() ? 0.0 : static_cast<double>(trusted) / points.size();
  r.analysis = analyseFlutter(curve.ratio, curve.trusted, curve.rate);
  r.notes.emplace_back("the curve from the partials is smoothed above about 6 Hz: flutter reads low");
  return r;
}

}  // namespace meter
