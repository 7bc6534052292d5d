#include "tools/eval/curvecompare/CurveCompare.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "curve/CurveText.h"

namespace curvecompare {

double ratioAt(const std::vector<PvcPoint>& curve, double frame) {
  if (curve.empty()) return 1.0;
  if (frame <= curve.front().position) return curve.front().ratio;
  if (frame >= curve.back().position) return curve.back().ratio;
  const auto after = std::upper_bound(curve.begin(), curve.end(), frame,
                                      [](double f, const PvcPoint& p) { return f < p.position; });
  const PvcPoint& b = *after;
  const PvcPoint& a = *(after - 1);
  const double t = (frame - a.position) / static_cast<double>(b.position - a.position);
  return a.ratio + t * (b.ratio - a.ratio);
}

CurveError compare(const std::vector<PvcPoint>& found, const std::vector<PvcPoint>& truth, std::int64_t first,
                   std::int64_t last, std::int64_t step) {
  CurveError error;
  double sum = 0.0;
  double total = 0.0;
  for (std::int64_t frame = first; frame <= last; frame += std::max<std::int64_t>(step, 1)) {
    const double difference = (ratioAt(found, frame) - ratioAt(truth, frame)) * 100.0;
    sum += difference * difference;
    total += difference;
    error.peakPercent = std::max(error.peakPercent, std::fabs(difference));
    ++error.frames;
  }
  if (error.frames) {
    const auto n = static_cast<double>(error.frames);
    error.rmsPercent = std::sqrt(sum / n);
    error.meanPercent = total / n;
    error.rmsAboutMean = std::sqrt(std::max(0.0, sum / n - error.meanPercent * error.meanPercent));
  }
  return error;
}

double medianRatio(const std::vector<PvcPoint>& curve, std::int64_t first, std::int64_t last, std::int64_t step) {
  std::vector<double> ratios;
  for (std::int64_t frame = first; frame <= last; frame += std::max<std::int64_t>(step, 1))
    ratios.push_back(ratioAt(curve, static_cast<double>(frame)));
  if (ratios.empty()) return 1.0;
  const auto middle = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
  std::nth_element(ratios.begin(), middle, ratios.end());
  return *middle;
}

std::vector<PvcPoint> dividedBy(std::vector<PvcPoint> curve, double level) {
  for (PvcPoint& p : curve) p.ratio = static_cast<float>(p.ratio / level);
  return curve;
}

bool readCurve(const std::string& path, std::vector<PvcPoint>& curve, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    problem = "cannot read " + path;
    return false;
  }
  CurveTextReader reader;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    reader.feed(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
  curve = reader.finish();
  if (curve.empty()) {
    problem = path + " holds no curve points";
    return false;
  }
  return true;
}

}  // namespace curvecompare
