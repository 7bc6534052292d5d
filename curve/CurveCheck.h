// The strict look at a curve file that a person hands over (the editor's
// "Import PVC", pelmora-host's --curve): which lines are usable points, and
// whether the speeds they give are plausible. Only the usable points are
// used, written out again in the curve text format, so that the curve store
// reads exactly what was checked. Snapshots, written by the plug-in itself,
// are read as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace curvecheck {

// Speed ratios beyond these are not speed variation of a recording.
constexpr double kLowestRatio = 0.25;
constexpr double kHighestRatio = 4.0;

struct CurveCheck {
  struct Point {
    std::int64_t position;
    double ratio;
  };
  std::vector<Point> points;
  std::size_t unusableLines = 0;
  std::vector<std::string> firstReasons;  // "line N: why", for the first few unusable lines
  std::string refusal;                    // set when the curve must not be used at all

  bool usable() const { return refusal.empty() && !points.empty(); }
  // The usable points as curve text, one "%d %f" line each with CR LF.
  std::string text() const;
};

CurveCheck checkCurveText(std::string_view text);

}  // namespace curvecheck
