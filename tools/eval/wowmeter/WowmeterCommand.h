// wowmeter FILE.wav [options]: RMS and peak speed deviation of a reference tone.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wowmeter {

int runWowmeter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wowmeter
