// Renders a recipe: the recording, and its true speed curve as points.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/eval/wowgen/WowRecipe.h"

namespace wowgen {

struct CurvePoint {
  int position;  // frame
  double ratio;
};

SpeedCurve speedCurveOf(const Recipe& recipe);

// One array per channel. Tones, pilots and hum follow the speed; noise does
// not. Channel c has its tones and pilots shifted by c quarter turns, so the
// channels differ while sharing one speed.
std::vector<std::vector<float>> renderRecording(const Recipe& recipe);

// A point every curveStep frames from frame 0, and always one at the last frame.
std::vector<CurvePoint> curvePoints(const Recipe& recipe);

// The curve text format: one "%d %f" line per point, CR LF line ends.
bool writeCurveFile(const std::string& path, const std::vector<CurvePoint>& points, std::string& problem);

}  // namespace wowgen
