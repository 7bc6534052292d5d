// curvecompare FOUND.pvc TRUE.pvc --rate HZ [--edge SECONDS]
// Prints the RMS and peak difference of the two curves in percent, leaving
// out edge seconds at each end of the true curve (default 0.5), where a
// detector has not yet settled. A third line compares against the true curve
// divided by its median over its whole length: the level that a detector
// normalising to a median, as the spectral one does, takes for 1.0.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/curvecompare/CurveCompare.h"

int main(int argc, char** argv) {
  std::string found;
  std::string truth;
  double rate = 0.0;
  double edge = 0.5;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--rate" || a == "--edge") && i + 1 < argc) {
      (a == "--rate" ? rate : edge) = std::strtod(argv[++i], nullptr);
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
    std::fprintf(stderr, "usage: curvecompare FOUND.pvc TRUE.pvc --rate HZ [--edge SECONDS]\n");
    return 2;
  }
  std::vector<PvcPoint> a;
  std::vector<PvcPoint> b;
  std::string problem;
  if (!curvecompare::readCurve(found, a, problem) || !curvecompare::readCurve(truth, b, problem)) {
    std::fprintf(stderr, "curvecompare: %s\n", problem.c_str());
    return 1;
  }
  const auto margin = static_cast<std::int64_t>(edge * rate);
  const std::int64_t first = b.front().position + margin;
  const std::int64_t last = b.back().position - margin;
  if (last < first) {
    std::fprintf(stderr, "curvecompare: the true curve is shorter than its two edges\n");
    return 1;
  }
  const auto error = curvecompare::compare(a, b, first, last, 64);
  std::printf("curve error: RMS %.4f %%, peak %.4f %% over %lld frames\n", error.rmsPercent, error.peakPercent,
              static_cast<long long>(error.frames));
  std::printf("mean difference: %.4f %%, RMS about it %.4f %%\n", error.meanPercent, error.rmsAboutMean);
  const double level = curvecompare::medianRatio(b, b.front().position, b.back().position, 64);
  const auto relative = curvecompare::compare(a, curvecompare::dividedBy(b, level), first, last, 64);
  std::printf("against the true curve over its median (%+.4f %%): RMS %.4f %%, mean difference %.4f %%\n",
              (level - 1.0) * 100.0, relative.rmsPercent, relative.meanPercent);
  return 0;
}
