// The report of a file before and after its correction, which dewow and
// correct write with --report: the wow of the input and of the output as the
// partials read them, and what the run did on the way (the algorithm, the
// shaping of the curve, the verdict). The same meter figures as measure's.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "meter/MeterReport.h"
#include "partials/PartialsEstimator.h"

namespace host {

// True when args[i] is --report; i then stands on its value, and a value
// that does not end in .json, .html or .htm sets problem.
bool takeReportOption(const std::vector<std::string>& args, std::size_t& i, std::vector<std::string>& reports,
                      std::string& problem);

// The meter's reading of an estimate of a file at this sample rate.
meter::MeterReading readingOfEstimate(const partials::Result& estimate, double sampleRate, std::string file);

// Writes text under a working name beside path and renames it to path once
// whole, so a report is never found half written. Says why not on err.
bool writeReportFile(const std::string& path, const std::string& text, std::ostream& err);

// Each report, JSON or HTML by its name's ending; "report: PATH" on out for
// each written. False when one could not be written.
bool writeComparisonReports(const std::vector<std::string>& paths, const meter::MeterReading& before,
                            const meter::MeterReading& after, const std::vector<std::string>& steps,
                            std::ostream& out, std::ostream& err);

// True when name ends in end, letters compared without case.
bool endsWithNoCase(const std::string& name, const std::string& end);

}  // namespace host
