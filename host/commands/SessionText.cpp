#include "host/commands/SessionText.h"

#include <cmath>
#include <cstdio>

namespace host {

namespace {

constexpr int kMaxCandidates = 1000;

}  // namespace

std::string freeOutputName(const std::string& input, const std::string& processName,
                           const std::function<bool(const std::string&)>& exists) {
  const std::size_t slash = input.find_last_of("\\/");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = input.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  const std::string stem = input.substr(0, hasExtension ? dot : input.size());
  const std::string extension = hasExtension ? input.substr(dot) : ".wav";
  std::string base = stem;
  base.append(" (").append(processName.empty() ? "processed" : processName).append(")");
  for (int n = 1; n <= kMaxCandidates; ++n) {
    std::string candidate = base;
    if (n > 1) candidate.append(" ").append(std::to_string(n));
    candidate.append(extension);
    if (!exists(candidate)) return candidate;
  }
  return {};
}

std::string formatPosition(double frames, double sampleRate) {
  if (!std::isfinite(frames) || frames < 0.0 || !(sampleRate > 0.0)) return "-";
  const auto millis = static_cast<long long>(std::floor(frames / sampleRate * 1000.0));
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", millis / 60000, millis / 1000 % 60, millis % 1000);
  return text;
}

std::string describeMarks(const HostFile& file) {
  const double rate = file.audio->sampleRate();
  std::string text = "Cursor " + (file.editCursor < 0.0 ? std::string("none") : formatPosition(file.editCursor, rate));
  if (file.hasSelection()) {
    text += "   Selection " + formatPosition(file.selectionStart, rate) + " to " +
            formatPosition(file.selectionStart + file.selectionSize, rate);
  } else {
    text += "   No selection";
  }
  return text;
}

}  // namespace host
