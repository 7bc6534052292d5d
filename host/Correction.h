// The "correct" command: a file goes through the plug-in's reading pass and
// its own process, and the new file it writes is saved.
#pragma once

#include <iosfwd>
#include <string>

namespace host {

class OfflineHost;

enum ExitCode {
  kExitOk = 0,
  kExitUsage = 2,
  kExitInput = 3,    // missing, unreadable or unsupported input file
  kExitPlugin = 4,   // the plug-in cannot be loaded
  kExitRefused = 5,  // the plug-in refused the file or its process failed
  kExitOutput = 6,   // the output file cannot be written
};

struct CorrectionRequest {
  std::string input;
  std::string output;
};

// The host must be attached to an opened plug-in. Progress goes to err.
int runCorrection(OfflineHost& host, const CorrectionRequest& request, std::ostream& out, std::ostream& err);

}  // namespace host
