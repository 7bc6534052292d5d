#include "host/commands/DewowArguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "detect/OperationModes.h"
#include "host/commands/NumberText.h"
#include "host/commands/ShapeArguments.h"
#include "host/commands/WowReport.h"

namespace host {

const char* const kDewowUsage =
    "usage: pelmora-host dewow IN.wav OUT.wav --algorithm hum|pilot|spectral|cog|partials\n"
    "                          [--band LO:HI] [--range A:B] [--curve-out C.pvc] [--picture P.bmp]\n"
    "                          [--figures F.json]\n"
    "                          [--param NAME=VALUE]... [--timeout SECONDS] [--plugin PATH] [--force]\n"
    "                          [--smooth HZ] [--strength S] [--keep-drift] [--keep-pitch]\n"
    "                          [--report R.html|R.json]...\n"
    "                          [--format same|float32|pcm24|pcm16]\n"
    "dewow opens the plug-in's editor for IN.wav and works it as a person would: a click\n"
    "on its picture, the algorithm chosen in its list, each --param set with its scroll bar\n"
    "until the read-out shows the value, then \"Create PVC\" (the spectral detector first\n"
    "takes a drag over the range A:B seconds (default: the whole file) and LO:HI Hz, and\n"
    "\"Preview\"; cog drags along the strongest tonal line between LO and HI Hz). The curve\n"
    "is saved with \"Export PVC\" (--curve-out), the editor pictured (--picture), and the\n"
    "host's \"Process\" writes the corrected recording to OUT.wav. partials is the host's\n"
    "own estimator from the music's partials (over LO:HI Hz and A:B s when given); its\n"
    "curve reaches the plug-in through \"Import PVC\".\n"
    "Before the correction the curve is checked (its spread, its jumps, its movement faster\n"
    "than wow) and a curve that cannot be wow, or a flat one, is refused; after it the wow\n"
    "of IN.wav and OUT.wav is measured from their partials and an output with no less wow\n"
    "than the input is removed. --force writes it all the same. The curve saved with\n"
    "--curve-out is the one applied, after any shaping. --report writes both figures, the\n"
    "speed curves before and after, their spectra and what was done, as JSON or HTML;\n"
    "--figures writes the wow before and after (% RMS and peak, null where there is no\n"
    "figure) to F.json.\n"
    "OUT.wav has IN.wav's sample format unless --format says another (integer samples are\n"
    "dithered) and IN.wav's other chunks: bext gets a coding-history line, cue points move\n"
    "with their audio along the curve.\n";

namespace {

bool parsePair(const std::string& text, double& first, double& second) {
  const std::size_t colon = text.find(':');
  return colon != std::string::npos && parseNumber(text.substr(0, colon), first) &&
         parseNumber(text.substr(colon + 1), second);
}

// The algorithms by the names --algorithm takes.
struct AlgorithmName {
  const char* name;
  Algorithm algorithm;
};
constexpr AlgorithmName kAlgorithmNames[] = {{"hum", Algorithm::Hum},
                                             {"pilot", Algorithm::Pilot},
                                             {"spectral", Algorithm::Spectral},
                                             {"cog", Algorithm::CentreOfGravity},
                                             {"partials", Algorithm::Partials}};

bool parseAlgorithm(const std::string& name, Algorithm& algorithm) {
  for (const AlgorithmName& a : kAlgorithmNames)
    if (name == a.name) {
      algorithm = a.algorithm;
      return true;
    }
  return false;
}

}  // namespace

namespace {

// The plug-in's number of an algorithm; 0 for the host's own estimator.
int pluginAlgorithm(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Hum:
      return detect::kAlgorithmHum;
    case Algorithm::Pilot:
      return detect::kAlgorithmPilotTone;
    case Algorithm::Spectral:
      return detect::kAlgorithmSpectral;
    case Algorithm::CentreOfGravity:
      return detect::kAlgorithmCentreOfGravity;
    case Algorithm::Partials:
      return 0;
  }
  return 0;
}

}  // namespace

std::string algorithmName(Algorithm algorithm) {
  for (const AlgorithmName& a : kAlgorithmNames)
    if (a.algorithm == algorithm) return a.name;
  return {};
}

const char* algorithmItemText(Algorithm algorithm) {
  const int item = algorithmItem(algorithm);
  return item < 0 ? "" : detect::kAlgorithmItems[item].text;
}

int algorithmItem(Algorithm algorithm) {
  const int number = pluginAlgorithm(algorithm);
  return number == 0 ? -1 : detect::algorithmItemOf(number);
}

DewowArguments parseDewowArguments(const std::vector<std::string>& args) {
  DewowArguments parsed;
  std::vector<std::string> positional;
  bool hasAlgorithm = false;
  for (std::size_t i = 1; i < args.size() && parsed.problem.empty(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      parsed.help = true;
      return parsed;
    }
    const bool takesValue = a == "--algorithm" || a == "--band" || a == "--range" || a == "--curve-out" ||
                            a == "--picture" || a == "--figures" || a == "--param" || a == "--timeout" ||
                            a == "--plugin" || a == "--format";
    if (takesValue && i + 1 >= args.size()) {
      parsed.problem = a + " needs a value";
      break;
    }
    if (a == "--force") {
      parsed.force = true;
      continue;
    }
    if (takeShapeOption(args, i, parsed.shape, parsed.problem)) continue;
    if (takeReportOption(args, i, parsed.reports, parsed.problem)) continue;
    if (!takesValue) {
      if (a.rfind("--", 0) == 0) parsed.problem = "unknown option " + a;
      else positional.push_back(a);
      continue;
    }
    const std::string& value = args[++i];
    if (a == "--algorithm") {
      if (!parseAlgorithm(value, parsed.algorithm))
        parsed.problem = "unknown algorithm \"" + value + "\": --algorithm needs hum, pilot, spectral, cog or partials";
      hasAlgorithm = true;
    } else if (a == "--band") {
      parsed.hasBand = true;
      if (!parsePair(value, parsed.lowerHz, parsed.upperHz) || parsed.lowerHz < 0.0 || parsed.upperHz <= parsed.lowerHz)
        parsed.problem = "--band needs LO:HI, two frequencies in Hz with LO below HI";
    } else if (a == "--range") {
      parsed.hasRange = true;
      if (!parsePair(value, parsed.rangeStart, parsed.rangeEnd) || parsed.rangeStart < 0.0 ||
          parsed.rangeEnd <= parsed.rangeStart)
        parsed.problem = "--range needs A:B, two times in seconds with A below B";
    } else if (a == "--format") {
      if (!parseFormatChoice(value, parsed.format)) parsed.problem = "--format needs same, float32, pcm24 or pcm16";
    } else if (a == "--curve-out") {
      parsed.curveOut = value;
    } else if (a == "--picture") {
      parsed.picture = value;
    } else if (a == "--figures") {
      parsed.figures = value;
    } else if (a == "--plugin") {
      parsed.plugin = value;
    } else if (a == "--timeout") {
      if (!parseNumber(value, parsed.timeoutSeconds) || parsed.timeoutSeconds <= 0.0 || parsed.timeoutSeconds > 86400.0)
        parsed.problem = "--timeout needs a number of seconds up to 86400";
    } else {  // --param
      const std::size_t equals = value.find('=');
      double number = 0.0;
      if (equals == std::string::npos || equals == 0 || !parseNumber(value.substr(equals + 1), number))
        parsed.problem = "--param needs NAME=VALUE with a number for the value";
      else
        parsed.parameters.emplace_back(value.substr(0, equals), number);
    }
  }
  if (!parsed.problem.empty()) return parsed;
  if (positional.size() != 2) {
    parsed.problem = "dewow needs IN.wav and OUT.wav";
  } else if (!hasAlgorithm) {
    parsed.problem = "dewow needs --algorithm hum, pilot, spectral, cog or partials";
  } else if ((parsed.algorithm == Algorithm::Spectral || parsed.algorithm == Algorithm::CentreOfGravity) &&
             !parsed.hasBand) {
    parsed.problem = std::string("the ") + (parsed.algorithm == Algorithm::Spectral ? "spectral" : "cog") +
                     " algorithm needs --band LO:HI, the frequencies of the tonal line it follows";
  } else if (parsed.hasRange && parsed.algorithm != Algorithm::Spectral && parsed.algorithm != Algorithm::Partials) {
    parsed.problem = "only the spectral and partials algorithms take --range";
  } else if (parsed.hasBand && (parsed.algorithm == Algorithm::Hum || parsed.algorithm == Algorithm::Pilot)) {
    parsed.problem = std::string("the ") + (parsed.algorithm == Algorithm::Hum ? "hum" : "pilot") +
                     " algorithm takes no --band: its bars set where it looks (--param)";
  } else if (!parsed.parameters.empty() && parsed.algorithm == Algorithm::Partials) {
    parsed.problem = "the partials algorithm has no --param to set";
  } else if (positional[0] == positional[1]) {
    parsed.problem = "OUT.wav must be another file than IN.wav";
  } else if (!parsed.curveOut.empty() && (parsed.curveOut == positional[0] || parsed.curveOut == positional[1])) {
    parsed.problem = "--curve-out must name another file than IN.wav and OUT.wav";
  } else if (!parsed.figures.empty() && (parsed.figures == positional[0] || parsed.figures == positional[1])) {
    parsed.problem = "--figures must name another file than IN.wav and OUT.wav";
  }
  if (parsed.problem.empty()) {
    parsed.input = positional[0];
    parsed.output = positional[1];
  }
  return parsed;
}

}  // namespace host
