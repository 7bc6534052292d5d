// The "correct" command: a file goes through the plug-in's reading pass and
// its own process, and the new file it writes is saved.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/audio/OutputPlan.h"

namespace curvecheck {
struct CurveCheck;
}

namespace host {

class OfflineHost;
using curvecheck::CurveCheck;

enum ExitCode {
  kExitOk = 0,
  kExitUsage = 2,
  kExitInput = 3,    // missing, unreadable or unsupported input file
  kExitPlugin = 4,   // the plug-in cannot be loaded
  kExitRefused = 5,  // the plug-in refused the file or its process failed
  kExitOutput = 6,   // the output file cannot be written
  kExitFailure = 7,  // the host itself failed: out of memory or an unforeseen error
};

// Where the plug-in looks for the curve of a file with this title.
using CurveLocation = std::function<std::string(const std::string& title)>;

struct CorrectionRequest {
  std::string input;
  std::string output;
  std::string curve;            // a .pvc file for the plug-in to use; empty for none
  CurveLocation curveLocation;  // needed when curve is given
  int detector = 0;             // mode of a detection pass run before the correction; 0 for none
  bool repairSamples = false;   // NaN and infinite input samples read as silence instead of refusing the file
  bool goOn = false;            // a detection that finds nothing leaves the curve flat and the run goes on
  bool force = false;           // a detected curve that leaves no less wow is saved all the same
  std::vector<std::string> reports;  // before-and-after reports, JSON or HTML
  FormatChoice format = FormatChoice::Same;  // of the output's samples
};

// The detection mode a name on the command line stands for: "hum" 3,
// "pilot" 4, "spectral" 7; 0 for any other name.
int detectorMode(const std::string& name);

// Reads and checks a curve file before any pass: says on err which lines
// cannot be used, and refuses a file with no usable point or a ratio out of
// bounds. An exit code; the check's result in check.
int checkCurveFile(const std::string& path, std::ostream& err, CurveCheck& check);
// Refuses a float file with NaN or infinite samples, unless they are to be
// read as silence. An exit code.
int checkSamples(const std::string& input, bool repairSamples, std::ostream& err);

// The host must be attached to an opened plug-in. Progress goes to err.
int runCorrection(OfflineHost& host, const CorrectionRequest& request, std::ostream& out, std::ostream& err);

}  // namespace host
