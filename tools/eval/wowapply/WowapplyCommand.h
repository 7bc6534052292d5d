// wowapply IN... --clean C.wav --out W.wav --curve T.pvc [options]: an
// excerpt of a real recording, and the same excerpt played with a known
// speed variation (optionally with mains hum or a pilot tone on it).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace wowapply {

int runWowapply(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace wowapply
