// The speed curve that best explains the tracks: every observation is read
// as log f = offset of its unit + log speed at its frame, where a unit is a
// track, or several tracks taken for one recurring note. The offsets are
// eliminated and the log speed found by conjugate gradients, with a penalty
// on its curvature for smoothness; passes alternate with robust reweighting
// (tracks and readings that disagree with the rest lose weight) and with
// linking tracks anew on their de-wowed frequencies.
#pragma once

#include <cstddef>
#include <vector>

#include "partials/PartialTracks.h"

namespace partials {

struct SolverSettings {
  double framesPerSecond = 86.0;
  double smoothingHz = 6.0;
  bool linkRecurring = true;
  int passes = 6;
};

struct Solution {
  std::vector<double> logSpeed;  // per analysis frame
  std::vector<double> weight;    // the data's weight at each frame (inverse variance)
  std::size_t tracks = 0;
  std::size_t units = 0;
};

Solution solveSpeed(const std::vector<Track>& tracks, const std::vector<Observation>& observations,
                    std::size_t frames, const SolverSettings& settings);

}  // namespace partials
