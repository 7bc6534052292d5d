// "pelmora-host batch": every WAV file of a folder tree through dewow (or
// through correct along one curve), several child runs at once, with a
// manifest of what each gave.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "host/batch/BatchScheduler.h"

namespace host {

struct BatchArguments {
  std::string input;   // folders
  std::string output;
  std::string algorithm;
  int jobs = 0;  // 0: as many as the machine has cores
  std::string curveFrom;  // a .wav to find the curve on once, or a .pvc
  bool redo = false;
  std::vector<std::string> passedOn;  // given to each child as they stand
  bool help = false;
  std::string problem;
};

// args excludes the program name; args[0] is "batch".
BatchArguments parseBatchArguments(const std::vector<std::string>& args);

// A line of a child's log that tells why it failed: its last error line,
// without progress lines. Empty when there is none.
std::string lastErrorLine(const std::string& log);

int runBatchCommand(const std::vector<std::string>& args, ChildLauncher& launcher, std::ostream& out,
                    std::ostream& err);

extern const char* const kBatchUsage;

}  // namespace host
