// The speed of one harmonic at the start of a stream, while the speed
// filter's window still reaches back before the first raw speed that can
// be trusted, and a first noise level for the time before the harmonic's
// own noise estimate has settled.
//
// Where enough trusted samples lie on both sides of the window's middle,
// the speed filter over the trusted part alone does well. Nearer the start
// a mean would lag behind the wow, so a straight line is fitted to the
// trusted samples near the middle (or near the first of them, when the
// middle lies before it) and read at the middle.
#pragma once

#include <vector>

#include "engines/SpeedWindow.h"

namespace humengine {

class StartEstimator {
 public:
  explicit StartEstimator(const std::vector<float>& speedTaps);

  // `trusted`: how many of the newest samples of the window come after the
  // first trusted raw speed. False where too few of them are valid.
  bool speed(const SpeedWindow& w, int trusted, float* offset) const;
  // Variance of the valid raw speeds about the fitted line.
  bool scatter(const SpeedWindow& w, int trusted, double* variance) const;

 private:
  struct Line {
    double offset, variance;
  };
  bool fitLine(const SpeedWindow& w, int trusted, Line* line) const;
  bool trustedMean(const SpeedWindow& w, int trusted, float* offset) const;

  std::vector<float> taps_;
  int middle_;
  int lobe_;                    // half-width of the speed filter's main lobe
  int reach_;                   // half-width of the line fit
  std::vector<double> kernel_;  // its weights, -reach_..reach_ from its centre
};

}  // namespace humengine
