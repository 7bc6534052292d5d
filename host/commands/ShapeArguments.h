// The curve-shaping options dewow and correct share: --smooth HZ,
// --strength S, --keep-drift and --keep-pitch.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "curve/CurveShaping.h"

namespace host {

// True when args[i] is one of the options; i then stands on its last word.
// A bad value sets problem.
bool takeShapeOption(const std::vector<std::string>& args, std::size_t& i, CurveShape& shape, std::string& problem);

extern const char* const kShapeUsage;

}  // namespace host
