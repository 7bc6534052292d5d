#include "host/DisplayMapping.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {

namespace {

// The border pixels of the display hold no column or row.
constexpr int kBorder = 2;

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
  DisplayMapping mapping{*from, *to, *lower, *upper, displayWidth - kBorder, displayHeight - kBorder};
  if (!mapping.valid()) {
    problem = "the editor's display shows no stretch of time or band of frequencies (" + firstTime + " to " +
              lastTime + ", " + lowerHz + " to " + upperHz + " Hz)";
    return std::nullopt;
  }
  return mapping;
}

int levelOfColour(int red, int green, int blue) {
  constexpr int kFloor = 75;
  constexpr double kStep = (255.0 - 75.0) / 25.0;
  auto steps = [&](int distance) { return static_cast<int>(std::lround(distance / kStep)); };
  if (red == kFloor && blue == 255) return 25 - steps(255 - green);
  if (red == kFloor && green == 255) return 50 - steps(blue - kFloor);
  if (blue == kFloor && green == 255) return 75 - steps(255 - red);
  if (red == 255 && blue == kFloor) return 100 - steps(green - kFloor);
  return -1;
}

}  // namespace host
