#include "meter/Readings.h"

#include <algorithm>
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
  std::vector<float> sorted = levels;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const float floor = 0.25f * sorted[sorted.size() / 2];
  std::vector<double> ratio(hz.size());
  std::vector<std::uint8_t> trusted(hz.size());
  double last = tone.toneHz();
  std::size_t faded = 0;
  for (std::size_t i = 0; i < hz.size(); ++i) {
    const bool on = levels[i] >= floor && levels[i] > 0.0f;
    // A faded sample holds the last good frequency, so that the filters
    // see no jump across it.
    if (on) last = hz[i];
    ratio[i] = last / tone.toneHz();
    trusted[i] = on ? 1 : 0;
    if (!on) ++faded;
  }
  r.startSeconds = tone.firstFrame() / tone.sampleRate();
  r.analysis = analyseFlutter(ratio, trusted, tone.outputRate());
  r.toneHz = r.analysis.figures.meanRatio * tone.toneHz();
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
