#include "host/commands/WowReport.h"

#include <ostream>

#include "host/audio/DiskFile.h"
#include "meter/Readings.h"
#include "platform/Platform.h"

namespace host {

bool endsWithNoCase(const std::string& name, const std::string& end) {
  if (name.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    char c = name[name.size() - end.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != end[i]) return false;
  }
  return true;
}

bool takeReportOption(const std::vector<std::string>& args, std::size_t& i, std::vector<std::string>& reports,
                      std::string& problem) {
  if (args[i] != "--report") return false;
  if (i + 1 >= args.size()) {
    problem = "--report needs a value";
    return true;
  }
  const std::string& value = args[++i];
  if (!endsWithNoCase(value, ".json") && !endsWithNoCase(value, ".html") && !endsWithNoCase(value, ".htm"))
    problem = "--report needs a name ending in .json or .html: " + value;
  else
    reports.push_back(value);
  return true;
}

meter::MeterReading readingOfEstimate(const partials::Result& estimate, double sampleRate, std::string file) {
  std::vector<meter::CurveSample> points;
  points.reserve(estimate.curve.size());
  for (const partials::CurvePoint& p : estimate.curve)
    points.push_back({static_cast<double>(p.position) / sampleRate, p.ratio, p.confidence >= partials::kTrustedConfidence});
  return meter::readCurve(points, std::move(file));
}

bool writeReportFile(const std::string& path, const std::string& text, std::ostream& err) {
  const std::string working = path + ".partial-" + std::to_string(platform::processId()) + ".tmp";
  bool written = false;
  {
    DiskFile file(working, DiskFile::Mode::Create);
    written = file.isOpen() && file.writeAt(0, text.data(), text.size()) && file.close();
  }
  if (written && replaceFile(working, path)) return true;
  removeFile(working);
  err << "pelmora-host: " << path << ": cannot write the report\n";
  return false;
}

bool writeComparisonReports(const std::vector<std::string>& paths, const meter::MeterReading& before,
                            const meter::MeterReading& after, const std::vector<std::string>& steps,
                            std::ostream& out, std::ostream& err) {
  bool all = true;
  for (const std::string& path : paths) {
    const bool json = endsWithNoCase(path, ".json");
    const std::string text =
        json ? meter::comparisonJson(before, after, steps) : meter::comparisonHtml(before, after, steps);
    if (writeReportFile(path, text, err))
      out << "report: " << path << '\n';
    else
      all = false;
  }
  return all;
}

}  // namespace host
