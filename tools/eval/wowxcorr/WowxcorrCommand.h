// wowxcorr TEST.wav CLEAN.wav [options]: the wow left in TEST against CLEAN.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wowxcorr {

int runWowxcorr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wowxcorr
