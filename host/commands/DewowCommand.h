// "pelmora-host dewow": the plug-in's editor in a window, worked with a
// person's clicks and drags to find the curve with one of its algorithms,
// then the host's "Process" for the corrected recording.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "host/commands/CommandLine.h"

namespace host {

// args excludes the program name; args[0] is "dewow". Returns an exit code.
int runDewowCommand(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
                    std::ostream& err);

}  // namespace host
