// pelmora-host checks a curve file before it hands the curve to the plug-in
// with the same strict reader as the editor's "Import PVC".
#pragma once

#include <string_view>
#include <utility>

#include "curve/CurveCheck.h"

namespace host {

// The host's name for the check's result (declared ahead elsewhere).
struct CurveCheck : curvecheck::CurveCheck {
  CurveCheck() = default;
  CurveCheck(curvecheck::CurveCheck check) : curvecheck::CurveCheck(std::move(check)) {}
};

inline CurveCheck checkCurveText(std::string_view text) { return curvecheck::checkCurveText(text); }

using curvecheck::kHighestRatio;
using curvecheck::kLowestRatio;

}  // namespace host
