#include "editor/ViewWindow.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/SpectrogramAnalyser.h"

namespace view {
namespace {

using Wide = std::int64_t;
constexpr Wide kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr Wide kIntMax = std::numeric_limits<std::int32_t>::max();

std::int32_t pin(Wide v) { return static_cast<std::int32_t>(std::clamp(v, kIntMin, kIntMax)); }

// Truncation toward zero of a value no int may hold is pinned; NaN is 0.
std::int32_t truncated(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Page of a bar whose thumb sits `distance` from the end of its range. A
// page never exceeds the half-span; closer than it to the end, one less
// than the distance (which is what the equal case gives).
int pageFor(double distance, Wide halfSpan) {
  Wide page = 0;
  if (distance > static_cast<double>(halfSpan))
    page = halfSpan;
  else
    page = static_cast<Wide>(std::floor(distance)) - 1;
  return pin(std::max<Wide>(page, 0));
}

}  // namespace

ScrollSetting timeScrollRange(std::int32_t centre, std::int32_t halfSpan, std::int32_t sampleCount) {
  ScrollSetting s;
  if (halfSpan < sampleCount) {
    s.minimum = std::max(halfSpan, 0);
    s.maximum = sampleCount;
    s.position = centre;
    s.page = pageFor(static_cast<double>(Wide{sampleCount} - centre), halfSpan);
  } else {
    s.minimum = halfSpan;
    s.maximum = pin(Wide{halfSpan} + 1);
    s.page = 1;
    s.position = halfSpan;
  }
  return s;
}

ScrollSetting frequencyScrollRange(int centre, int halfSpan, float maxFrequency) {
  ScrollSetting s;
  if (static_cast<float>(halfSpan) < maxFrequency) {
    const float distance = maxFrequency - static_cast<float>(centre);
    s.minimum = std::max(halfSpan, 0);
    s.maximum = truncated(maxFrequency);
    s.position = truncated(distance);
    s.page = pageFor(distance, halfSpan);
  } else {
    s.minimum = halfSpan;
    s.maximum = pin(Wide{halfSpan} + 1);
    s.page = 1;
    s.position = 1;
  }
  return s;
}

TimeWindow scrollTime(int position, std::int32_t halfSpan, std::int32_t sampleCount) {
  Wide start = Wide{position} - halfSpan;
  Wide end = Wide{position} + halfSpan;
  if (start < 0) {
    start = 0;
    end = 2 * Wide{halfSpan};
  }
  if (end > sampleCount) {
    end = sampleCount;
    start = std::max<Wide>(end - 2 * Wide{halfSpan}, 0);
  }
  TimeWindow w;
  w.offset = pin(start);
  w.selectionStart = 0;
  w.selectionEnd = pin(end - start);
  w.centre = position;
  w.halfSpan = halfSpan;
  return w;
}

FrequencyScroll scrollFrequency(int position, int barMaximum, int halfSpan, float minFrequency, float maxFrequency,
                                float minimumSpan) {
  const double c = static_cast<double>(barMaximum) - position;
  double lo = c - halfSpan;
  double hi = c + halfSpan;
  if (lo < minFrequency) {
    lo = minFrequency;
    hi = lo + 2.0 * halfSpan;
  }
  if (hi > maxFrequency) {
    hi = maxFrequency;
    lo = std::max(hi - 2.0 * halfSpan, static_cast<double>(minFrequency));
  }
  FrequencyScroll result;
  result.window = {static_cast<float>(lo), static_cast<float>(hi)};
  result.apply = std::fabs(lo - hi) > minimumSpan;
  return result;
}

FrequencyCentre frequencyCentre(float lower, float upper) {
  const double width = static_cast<double>(upper) - lower;
  return {truncated(lower + width / 2.0), truncated(width / 2.0)};
}

FrequencyZoom zoomFrequencyIn(int centre, int halfSpan, float minimumSpan) {
  FrequencyZoom z;
  z.centre = centre;
  z.halfSpan = halfSpan / 2;
  if (minimumSpan < 2.0f * static_cast<float>(z.halfSpan)) {
    z.window = {static_cast<float>(Wide{centre} - z.halfSpan), static_cast<float>(Wide{centre} + z.halfSpan)};
  } else {
    z.halfSpan = truncated(minimumSpan);
    z.window = {static_cast<float>(centre) - minimumSpan, static_cast<float>(centre) + minimumSpan};
    z.atMinimum = true;
  }
  return z;
}

FrequencyZoom zoomFrequencyOut(int centre, int halfSpan, float maxFrequency) {
  const Wide h = 2 * Wide{halfSpan};
  const Wide lo = std::max<Wide>(Wide{centre} - h, 0);
  const Wide hi = truncated(std::min<double>(static_cast<double>(Wide{centre} + h), maxFrequency));
  FrequencyZoom z;
  z.centre = pin(lo + (hi - lo) / 2);
  z.halfSpan = pin((hi - lo) / 2);
  z.window = {static_cast<float>(lo), static_cast<float>(hi)};
  z.atMaximum = hi - lo == truncated(maxFrequency);
  return z;
}

namespace {

// Keeps a window of selectionEnd samples from `offset` inside the file,
// moving it rather than shrinking it while the file is long enough.
TimeWindow insideFile(Wide offset, Wide span, Wide centre, Wide halfSpan, std::int32_t sampleCount) {
  const Wide count = std::max<Wide>(sampleCount, 0);
  const bool outside = offset < 0 || offset + span > count;
  if (outside) {
    span = std::min(span, count);
    offset = std::clamp<Wide>(offset, 0, count - span);
    centre = offset + span / 2;
    halfSpan = span / 2;
  }
  return {pin(offset), 0, pin(span), pin(centre), pin(halfSpan)};
}

}  // namespace

TimeWindow zoomTimeIn(std::int32_t centre, std::int32_t halfSpan, std::int32_t minimumSpan,
                      std::int32_t sampleCount) {
  Wide h = halfSpan / 2;
  Wide offset = Wide{centre} - h;
  Wide span = 2 * h;
  if (2 * h < minimumSpan) {
    const Wide t = minimumSpan;
    h = t / 2 + 1;
    offset = Wide{centre} - t / 2 - 1;
    span = (t / 2) * 2 + 2;
  }
  return insideFile(offset, span, centre, h, sampleCount);
}

TimeWindow zoomTimeOut(std::int32_t centre, std::int32_t halfSpan, std::int32_t sampleCount) {
  const Wide h = 2 * Wide{halfSpan};
  const Wide offset = std::max<Wide>(Wide{centre} - h, 0);
  const Wide end = std::min<Wide>(Wide{centre} + h, sampleCount);
  TimeWindow w;
  w.offset = pin(offset);
  w.centre = pin(offset + (end - offset) / 2);
  w.halfSpan = pin((end - offset) / 2);
  w.selectionStart = 0;
  w.selectionEnd = pin(end - offset);
  return w;
}

ZoomAllSelection zoomOutToEverything(double timeSpan) { return {truncated(timeSpan), 0}; }

float minimumFrequencySpan(const SpectrogramAnalyser& analyser) {
  const int n = analyser.fftLength();
  return n > 0 ? analyser.sampleRate() * 4.0f / static_cast<float>(n) : 0.0f;
}

std::int32_t minimumTimeSpan(const SpectrogramAnalyser& analyser) {
  return std::max(analyser.columns(), analyser.fftLength());
}

int columnOfSample(double sample, double timeSpan, int width) {
  if (timeSpan == 0.0) return 1;
  const float scale = static_cast<float>(width / timeSpan);
  return truncated(sample * scale + 1.0);
}

bool insideTimeWindow(double sample, double timeSpan) {
  return timeSpan != 0.0 && sample >= 0.0 && sample < timeSpan;
}

}  // namespace view
