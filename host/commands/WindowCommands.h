// pelmora-host's window commands:
//   open IN.wav [OUT.wav] [--plugin PATH] [--block FRAMES]
//   show IN.wav --picture OUT.bmp [--splash | --zoom-in N | --range A:B] [--timeout SECONDS] [--plugin PATH]
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "host/commands/CommandLine.h"

namespace host {

bool isWindowCommand(const std::string& command);

// args excludes the program name; args[0] is "open" or "show".
int runWindowCommand(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
                     std::ostream& err);

}  // namespace host
