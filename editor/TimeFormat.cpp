#include "editor/TimeFormat.h"

#include <cmath>
#include <cstdio>

bool formatTime(double position, double sampleRate, char* buffer) {
  double seconds = 0.0;
  if (sampleRate > 0.0 && std::isfinite(sampleRate) && std::isfinite(position)) seconds = position / sampleRate;
  const double minutes = std::floor(seconds / 60.0);
  double rest = std::floor((seconds - minutes * 60.0) * 1000.0) / 1000.0;
  // seconds / 60 may round up to the next whole minute just below it.
  if (rest < 0.0) rest = 0.0;
  // Far more minutes than any file holds: pinned so the conversion is defined.
  const int wholeMinutes = minutes > 1e9 ? 1000000000 : (minutes < -1e9 ? -1000000000 : static_cast<int>(minutes));
  std::snprintf(buffer, kTimeTextSize, rest < 10.0 ? "%d:0%.3f" : "%d:%.3f", wholeMinutes, rest);
  return true;
}

std::string formatTime(double position, double sampleRate) {
  char buffer[kTimeTextSize] = {};
  formatTime(position, sampleRate, buffer);
  return buffer;
}
