// wowgen OUT.wav [options]: a test recording with a known speed curve.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wowgen {

int runWowgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wowgen
