#include "host/window/DisplayMapping.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace host {

namespace {

// The display's border pixels: one on either side holds no column; the
// bottom one is the last row, the lower frequency label's.
constexpr int kSideBorders = 2;
constexpr int kBottomBorder = 1;

bool wholeDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<double> parseTimeLabel(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string minutes = text.substr(0, colon);
  const std::string rest = text.substr(colon + 1);
  const std::size_t dot = rest.find('.');
  if (!wholeDigits(minutes) || minutes.size() > 6 || dot != 2 || !wholeDigits(rest.substr(0, 2)) ||
      !wholeDigits(rest.substr(3)) || rest.size() > 12)
    return std::nullopt;
  const double seconds = std::strtod(rest.c_str(), nullptr);
  if (seconds >= 60.0) return std::nullopt;
  return std::strtod(minutes.c_str(), nullptr) * 60.0 + seconds;
}

std::optional<double> parseFrequencyLabel(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string digits = negative ? text.substr(1) : text;
  if (!wholeDigits(digits) || digits.size() > 9) return std::nullopt;
  const double value = std::strtod(digits.c_str(), nullptr);
  return negative ? -value : value;
}

bool DisplayMapping::valid() const {
  return columns > 0 && rows > 0 && lastSecond > firstSecond && upperHz > lowerHz;
}

int DisplayMapping::columnOf(double seconds) const {
  const double column = (seconds - firstSecond) / (lastSecond - firstSecond) * columns - 0.5;
  return std::clamp(static_cast<int>(std::lround(column)), 0, columns - 1);
}

int DisplayMapping::rowOf(double hz) const {
  const double row = (upperHz - hz) / (upperHz - lowerHz) * rows;
  return std::clamp(static_cast<int>(std::lround(row)), 0, rows);
}

double DisplayMapping::secondsOf(int column) const {
  return firstSecond + (column + 0.5) * (lastSecond - firstSecond) / columns;
}

double DisplayMapping::frequencyOf(int row) const {
  return upperHz - static_cast<double>(row) * (upperHz - lowerHz) / rows;
}

std::optional<DisplayMapping> mappingFromLabels(const std::string& firstTime, const std::string& lastTime,
                                                const std::string& lowerHz, const std::string& upperHz,
                                                int displayWidth, int displayHeight, std::string& problem) {
  const auto from = parseTimeLabel(firstTime);
  const auto to = parseTimeLabel(lastTime);
  const auto lower = parseFrequencyLabel(lowerHz);
  const auto upper = parseFrequencyLabel(upperHz);
  if (!from || !to) {
    problem = "the editor's time labels (\"" + firstTime + "\", \"" + lastTime + "\") are not times";
    return std::nullopt;
  }
  if (!lower || !upper) {
    problem = "the editor's frequency labels (\"" + lowerHz + "\", \"" + upperHz + "\") are not frequencies";
    return std::nullopt;
  }
  DisplayMapping mapping{*from, *to, *lower, *upper, displayWidth - kSideBorders,
                         displayHeight - kBottomBorder};
  if (!mapping.valid()) {
    problem = "the editor's display shows no stretch of time or band of frequencies (" + firstTime + " to " +
              lastTime + ", " + lowerHz + " to " + upperHz + " Hz)";
    return std::nullopt;
  }
  return mapping;
}

std::optional<ColumnRange> wholeFrameColumns(const DisplayMapping& mapping, double sampleRate, int fftLength) {
  if (!mapping.valid() || mapping.columns < 2 || !(sampleRate > 0.0) || fftLength < 2) return std::nullopt;
  const double step = (mapping.lastSecond - mapping.firstSecond) * sampleRate / (mapping.columns - 1);
  // One column more than half a frame: the labels give the stretch to a
  // millisecond only.
  const double margin = std::ceil((fftLength / 2) / step) + 1.0;
  if (!(margin < mapping.columns)) return std::nullopt;
  const ColumnRange range{static_cast<int>(margin), mapping.columns - 1 - static_cast<int>(margin)};
  if (range.first > range.last) return std::nullopt;
  return range;
}

std::optional<int> lineRow(std::span<const double> levels, int firstRow, const DisplayMapping& mapping,
                           double binHz) {
  const int n = static_cast<int>(levels.size());
  // Rows without a level (the curve or a label drawn over them) take the
  // level between their neighbours.
  std::vector<double> v(levels.begin(), levels.end());
  auto readable = [&](int i) { return v[static_cast<std::size_t>(i)] >= 0.0; };
  int next = 0;
  while (next < n && !readable(next)) ++next;
  if (next == n) return std::nullopt;
  int previous = -1;
  for (int i = 0; i < n; ++i) {
    if (readable(i)) {
      previous = i;
      continue;
    }
    if (next <= i) {
      next = i + 1;
      while (next < n && !readable(next)) ++next;
    }
    const double a = previous >= 0 ? v[static_cast<std::size_t>(previous)] : -1.0;
    const double b = next < n ? v[static_cast<std::size_t>(next)] : -1.0;
    v[static_cast<std::size_t>(i)] = previous < 0 ? b : next >= n ? a : a + (b - a) * (i - previous) / (next - previous);
  }
  const int peak = static_cast<int>(std::max_element(v.begin(), v.end()) - v.begin());
  auto kept = [&](double row) { return std::clamp(firstRow + static_cast<int>(std::lround(row)), 0, mapping.rows); };
  const double rowHz = (mapping.upperHz - mapping.lowerHz) / mapping.rows;
  const double rowsPerBin = binHz / rowHz;
  // Rows no finer than bins: the brightest row is as near as the display goes.
  if (!(rowsPerBin >= 2.0)) return kept(peak);
  auto at = [&](double x) -> std::optional<double> {
    if (x < 0.0 || x > n - 1) return std::nullopt;
    const int i = std::min(static_cast<int>(x), n - 1);
    const double t = x - i;
    return i + 1 < n ? v[static_cast<std::size_t>(i)] + t * (v[static_cast<std::size_t>(i + 1)] - v[static_cast<std::size_t>(i)])
                     : v[static_cast<std::size_t>(i)];
  };
  // The brightest row shows the strongest bin, which lies between it and the
  // row above; a row shows the bins from its frequency up.
  const double bin = peak - 0.5;
  const auto below = at(bin + rowsPerBin);
  const auto above = at(bin - rowsPerBin);
  if (!below || !above) return kept(peak);
  const double bend = *below + *above - 2.0 * v[static_cast<std::size_t>(peak)];
  if (!(bend < 0.0)) return kept(peak);
  // A parabola through the three bins' levels: the line's offset from the
  // strongest bin, in bins, upwards.
  const double offset = std::clamp((*below - *above) / (2.0 * bend), -0.5, 0.5);
  return kept(bin - offset * rowsPerBin);
}

}  // namespace host
