// A speed curve known at uneven points, as a recording's estimator gives it,
// brought to an even rate so that it can be filtered.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace meter {

struct CurveSample {
  double seconds = 0.0;
  double ratio = 1.0;
  bool trusted = true;
};

struct UniformCurve {
  double rate = 0.0;
  double startSeconds = 0.0;
  std::vector<double> ratio;
  std::vector<std::uint8_t> trusted;
};

// Linear between the points (ascending in time), from the first to the last;
// a sample is trusted where both neighbouring points are.
UniformCurve uniformCurve(std::span<const CurveSample> points, double rate);

}  // namespace meter
