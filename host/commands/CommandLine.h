// pelmora-host's commands, apart from the program's entry so that tests can
// run them in-process:
//   info [--plugin PATH]
//   correct IN.wav OUT.wav [--plugin PATH] [--block FRAMES] [--curve FILE.pvc] [--report R.html|R.json]...
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "curve/CurveShaping.h"
#include "host/commands/Correction.h"
#include "host/offline/PluginInstance.h"

namespace host {

// A correction along a curve file that the plug-in's own editor loads.
struct EditorCorrection {
  std::string input;
  std::string output;
  std::string curve;
  std::string pluginPath;
  PluginEntry linkedEntry = nullptr;  // taken before pluginPath
  int blockSize = 4096;
  bool repairSamples = false;
  CurveShape shape;  // applied to the curve before the editor gets it
  std::vector<std::string> reports;  // before-and-after reports, JSON or HTML
  FormatChoice format = FormatChoice::Same;
};
using EditorCorrectionRunner = std::function<int(const EditorCorrection&, std::ostream& out, std::ostream& err)>;

// Where the plug-in comes from when no --plugin is given, and what the
// program knows about it.
struct PluginSource {
  std::string defaultPath;
  PluginEntry linkedEntry = nullptr;  // a plug-in linked into the program, taken before defaultPath
  CurveLocation curveLocation;        // offers --curve when set
  EditorCorrectionRunner curveThroughEditor;  // offers --curve, taken before curveLocation, when set
};

// args excludes the program name.
int runCommandLine(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
                   std::ostream& err);

}  // namespace host
