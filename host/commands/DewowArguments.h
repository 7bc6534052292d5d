// The options of "pelmora-host dewow", read apart from any window so that
// their checks can be tested anywhere.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "curve/CurveShaping.h"
#include "host/audio/OutputPlan.h"

namespace host {

// Partials is the host's own estimator from the music's partials; the others
// are the editor's.
enum class Algorithm { Hum, Pilot, Spectral, CentreOfGravity, Partials };

struct DewowArguments {
  std::string input;
  std::string output;
  std::string plugin;
  Algorithm algorithm = Algorithm::Hum;
  bool hasBand = false;
  double lowerHz = 0.0;
  double upperHz = 0.0;
  bool hasRange = false;
  double rangeStart = 0.0;  // seconds
  double rangeEnd = 0.0;
  std::string curveOut;
  std::string picture;
  std::string figures;  // the wow before and after as JSON, for programs
  std::vector<std::pair<std::string, double>> parameters;  // in the order given
  double timeoutSeconds = 600.0;
  CurveShape shape;    // applied to the curve found before the correction
  std::vector<std::string> reports;  // before-and-after reports, JSON or HTML
  FormatChoice format = FormatChoice::Same;  // of the output's samples
  bool force = false;  // correct along a curve the checks call implausible, keep an output with more wow
  bool help = false;
  std::string problem;  // empty when the options hold together
};

// args excludes the program name; args[0] is "dewow".
DewowArguments parseDewowArguments(const std::vector<std::string>& args);

// The name --algorithm takes for an algorithm.
std::string algorithmName(Algorithm algorithm);

// The algorithm list's text for an algorithm, as the editor shows it; empty
// for the host's own estimator.
const char* algorithmItemText(Algorithm algorithm);
// Its item in the list (id 72).
int algorithmItem(Algorithm algorithm);

extern const char* const kDewowUsage;

}  // namespace host
