// pelmora-host's commands, apart from the program's entry so that tests can
// run them in-process:
//   info [--plugin PATH]
//   correct IN.wav OUT.wav [--plugin PATH] [--block FRAMES]
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace host {

// args excludes the program name; defaultPlugin is used without --plugin.
int runCommandLine(const std::vector<std::string>& args, const std::string& defaultPlugin, std::ostream& out,
                   std::ostream& err);

}  // namespace host
