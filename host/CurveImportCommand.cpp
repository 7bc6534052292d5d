#include "host/CurveImportCommand.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "host/Correction.h"
#include "host/CurveCheck.h"
#include "host/CurveHandoff.h"
#include "host/DiskFile.h"
#include "host/EditorSteps.h"
#include "host/InteractiveSession.h"
#include "host/OutputCheck.h"
#include "host/ProgressPrinter.h"

namespace host {

namespace {

// The passes of a correction take as long as the file needs.
constexpr unsigned kPassTimeoutMs = 24u * 3600u * 1000u;

// The name typed into the dialog: whole, so that it does not depend on the
// folder the dialog opens in.
std::string wholeName(const std::string& path) {
  std::error_code failed;
  const std::filesystem::path whole = std::filesystem::absolute(pathFromUtf8(path), failed);
  return failed ? path : utf8FromPath(whole);
}

}  // namespace

int runCurveImport(const EditorCorrection& request, std::ostream& out, std::ostream& err) {
  // Everything that can be known to fail is found out before the window opens.
  if (const std::string problem = whyNotOutput(request.input, request.output); !problem.empty()) {
    err << "pelmora-host: " << request.output << ": " << problem << '\n';
    return kExitOutput;
  }
  CurveCheck check;
  if (const int status = checkCurveFile(request.curve, err, check); status != kExitOk) return status;
  if (const int status = checkSamples(request.input, request.repairSamples, err); status != kExitOk) return status;

  WorkingFiles files;
  const std::string output = files.add(request.output, ".wav");
  // Lines the check set aside must not reach the plug-in, whose own reading
  // of them may differ: it is given the usable points in a copy instead.
  std::string curve = wholeName(request.curve);
  CurveHandoff checkedCopy;
  if (check.unusableLines > 0) {
    curve = wholeName(request.output + ".part.pvc");
    std::string problem;
    if (!checkedCopy.placeText(check.text(), curve, problem)) {
      err << "pelmora-host: " << problem << '\n';
      return kExitOutput;
    }
  }

  SessionSettings settings;
  settings.linkedEntry = request.linkedEntry;
  settings.pluginPath = request.pluginPath;
  settings.blockSize = request.blockSize;
  settings.output = output;
  settings.repairSamples = request.repairSamples;
  settings.scratchFolder = folderOf(request.output);
  settings.progress = ProgressPrinter(err);
  const EditorWork work = [&](InteractiveSession& session, std::string& problem) {
    EditorSteps steps(session, out, kPassTimeoutMs);
    const bool done = steps.clickSplash() && steps.importCurve(curve) && steps.process();
    problem = steps.problem();
    return done;
  };
  return runEditorBatch("correct", settings, request.input, files, work, out, err);
}

}  // namespace host
