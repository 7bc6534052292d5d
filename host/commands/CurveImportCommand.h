// "pelmora-host correct IN.wav OUT.wav --curve C.pvc" with a window: the
// plug-in's editor loads the curve through "Import PVC" and its file
// dialog, as a person loads one, and the host's "Process" writes OUT.wav.
#pragma once

#include <iosfwd>

#include "host/commands/CommandLine.h"

namespace host {

// An exit code; the steps and what failed go to out and err.
int runCurveImport(const EditorCorrection& request, std::ostream& out, std::ostream& err);

}  // namespace host
