// The wow figures of a run as a small JSON file (--figures), for a program
// that runs pelmora-host and wants them without reading its prose.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "partials/PartialsEstimator.h"

namespace host {

struct RunFigures {
  std::optional<double> beforeRmsPercent;
  std::optional<double> beforePeakPercent;
  std::optional<double> afterRmsPercent;
  std::optional<double> afterPeakPercent;
};

// The figures of the estimates given; a missing estimate, or one with too
// little trusted to give a figure, leaves its figures out.
RunFigures figuresOf(const partials::Result* before, const partials::Result* after);

// {"before_rms_percent":0.123,"before_peak_percent":0.4,"after_rms_percent":null,...}
std::string figuresJson(const RunFigures& figures);
// Reads what figuresJson wrote; nothing when the text is not such a file.
std::optional<RunFigures> parseFiguresJson(const std::string& text);

// Written whole or not at all. False when it cannot be written.
bool writeFiguresFile(const std::string& path, const RunFigures& figures);

// Runs run, an exit code, between a measure of input's wow and one of the
// output it wrote (when it gives 0), and writes the figures to path.
int runMeasured(const std::string& path, const std::string& input, const std::string& output,
                const std::function<int()>& run, std::ostream& err);

}  // namespace host
