// curvecompare FOUND.pvc TRUE.pvc --rate HZ [--edge SECONDS] [--tsv]
// Prints the RMS and peak difference of the two curves in percent, leaving
// out edge seconds at each end of the true curve (default 0.5), where a
// detector has not yet settled. A third line compares against the true curve
// divided by its median over its whole length: the level that a detector
// normalising to a median, as the spectral one does, takes for 1.0. --tsv
// gives the same figures, to the same digits, as a line of column names and
// a line of tab-separated values, for scripts.
#include "tools/eval/curvecompare/CurveCompareCommand.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "tools/eval/curvecompare/CurveCompare.h"

namespace curvecompare {

namespace {

constexpr const char* kUsage = "usage: curvecompare FOUND.pvc TRUE.pvc --rate HZ [--edge SECONDS] [--tsv]\n";

}  // namespace

int runCurvecompare(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string found;
  std::string truth;
  double rate = 0.0;
  double edge = 0.5;
  bool tsv = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--rate" || a == "--edge") && i + 1 < args.size()) {
      (a == "--rate" ? rate : edge) = std::strtod(args[++i].c_str(), nullptr);
    } else if (a == "--tsv") {
      tsv = true;
    } else if (found.empty()) {
      found = a;
    } else if (truth.empty()) {
      truth = a;
    } else {
      found.clear();
      break;
    }
  }
  if (found.empty() || truth.empty() || !(rate > 0.0) || !(edge >= 0.0)) {
    err << kUsage;
    return 2;
  }
  std::vector<PvcPoint> a;
  std::vector<PvcPoint> b;
  std::string problem;
  if (!readCurve(found, a, problem) || !readCurve(truth, b, problem)) {
    err << "curvecompare: " << problem << '\n';
    return 1;
  }
  const auto margin = static_cast<std::int64_t>(edge * rate);
  const std::int64_t first = b.front().position + margin;
  const std::int64_t last = b.back().position - margin;
  if (last < first) {
    err << "curvecompare: the true curve is shorter than its two edges\n";
    return 1;
  }
  const auto error = compare(a, b, first, last, 64);
  const double level = medianRatio(b, b.front().position, b.back().position, 64);
  const auto relative = compare(a, dividedBy(b, level), first, last, 64);
  char line[512];
  if (tsv) {
    out << "rms_percent\tpeak_percent\tframes\tmean_percent\trms_about_mean_percent\tmedian_level_percent"
           "\tvs_median_rms_percent\tvs_median_mean_percent\n";
    std::snprintf(line, sizeof line, "%.4f\t%.4f\t%lld\t%.4f\t%.4f\t%+.4f\t%.4f\t%.4f\n", error.rmsPercent,
                  error.peakPercent, static_cast<long long>(error.frames), error.meanPercent, error.rmsAboutMean,
                  (level - 1.0) * 100.0, relative.rmsPercent, relative.meanPercent);
    out << line;
    return 0;
  }
  std::snprintf(line, sizeof line, "curve error: RMS %.4f %%, peak %.4f %% over %lld frames\n", error.rmsPercent,
                error.peakPercent, static_cast<long long>(error.frames));
  out << line;
  std::snprintf(line, sizeof line, "mean difference: %.4f %%, RMS about it %.4f %%\n", error.meanPercent,
                error.rmsAboutMean);
  out << line;
  std::snprintf(line, sizeof line,
                "against the true curve over its median (%+.4f %%): RMS %.4f %%, mean difference %.4f %%\n",
                (level - 1.0) * 100.0, relative.rmsPercent, relative.meanPercent);
  out << line;
  return 0;
}

}  // namespace curvecompare
