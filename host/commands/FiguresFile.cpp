#include "host/commands/FiguresFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string_view>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/commands/WowMeasure.h"

namespace host {

namespace {

struct Field {
  const char* key;
  std::optional<double> RunFigures::*member;
};

constexpr Field kFields[] = {
    {"before_rms_percent", &RunFigures::beforeRmsPercent},
    {"before_peak_percent", &RunFigures::beforePeakPercent},
    {"after_rms_percent", &RunFigures::afterRmsPercent},
    {"after_peak_percent", &RunFigures::afterPeakPercent},
};

std::string numberText(const std::optional<double>& value) {
  if (!value || !std::isfinite(*value)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.6g", *value);
  return text;
}

}  // namespace

RunFigures figuresOf(const partials::Result* before, const partials::Result* after) {
  RunFigures figures;
  if (before && hasFigure(*before)) {
    figures.beforeRmsPercent = before->wow.rmsPercent;
    figures.beforePeakPercent = before->wow.peakPercent;
  }
  if (after && hasFigure(*after)) {
    figures.afterRmsPercent = after->wow.rmsPercent;
    figures.afterPeakPercent = after->wow.peakPercent;
  }
  return figures;
}

std::string figuresJson(const RunFigures& figures) {
  std::string text = "{";
  for (const Field& field : kFields) {
    if (text.size() > 1) text += ',';
    text += std::string("\"") + field.key + "\":" + numberText(figures.*field.member);
  }
  return text + "}\n";
}

std::optional<RunFigures> parseFiguresJson(const std::string& text) {
  if (text.find('{') == std::string::npos) return std::nullopt;
  RunFigures figures;
  for (const Field& field : kFields) {
    const std::string key = std::string("\"") + field.key + "\":";
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return std::nullopt;
    const char* value = text.c_str() + at + key.size();
    if (std::string_view(value).substr(0, 4) == "null") continue;
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(value, &end);
    if (end == value || errno != 0 || !std::isfinite(number)) return std::nullopt;
    figures.*field.member = number;
  }
  return figures;
}

bool writeFiguresFile(const std::string& path, const RunFigures& figures) {
  const std::string text = figuresJson(figures);
  const std::string working = temporaryNameBeside(path, "figures");
  {
    DiskFile file(working, DiskFile::Mode::Create);
    if (!file.isOpen() || !file.writeAt(0, text.data(), text.size()) || !file.close()) {
      removeFile(working);
      return false;
    }
  }
  if (replaceFile(working, path)) return true;
  removeFile(working);
  return false;
}

int runMeasured(const std::string& path, const std::string& input, const std::string& output,
                const std::function<int()>& run, std::ostream& err) {
  std::string unread;
  const std::optional<partials::Result> before = estimateWow(input, partials::Options{}, {}, unread);
  const int status = run();
  std::optional<partials::Result> after;
  if (status == 0) after = estimateWow(output, partials::Options{}, {}, unread);
  if (!writeFiguresFile(path, figuresOf(before ? &*before : nullptr, after ? &*after : nullptr)))
    err << "pelmora-host: cannot write the figures to " << path << '\n';
  return status;
}

}  // namespace host
