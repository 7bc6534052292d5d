// pelmora-host's own look at a curve file before it hands the curve to the
// plug-in: which lines are usable points, and whether the speeds they give
// are plausible. Only the usable points reach the plug-in, written out in
// the curve text format, so the plug-in reads exactly what was checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

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

}  // namespace host
