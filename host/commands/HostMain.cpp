// pelmora-host.exe: the offline host for VST 2 offline plug-ins.
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "curve/SnapshotDirectory.h"
#include "host/batch/BatchCommand.h"
#include "host/batch/OwnProgramLauncher.h"
#include "host/commands/CommandLine.h"
#include "host/commands/CurveImportCommand.h"
#include "host/commands/DewowCommand.h"
#include "host/commands/WindowCommands.h"
#include "host/commands/WindowsConsole.h"

namespace {

// Pelmora.dll beside the program, wherever it was started from.
std::string defaultPluginPath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path = host::utf8FromWide(std::wstring(buffer, n));
  const auto slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "Pelmora.dll";
}

}  // namespace

int main() {
  // File names come and go as UTF-8, whatever the system's code page.
  const std::vector<std::string> args = host::utf8Arguments();
  host::ConsoleStreamBuf outBuffer(STD_OUTPUT_HANDLE);
  host::ConsoleStreamBuf errBuffer(STD_ERROR_HANDLE);
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);
  host::PluginSource source;
  source.defaultPath = defaultPluginPath();
  // A curve file goes in through the editor's "Import PVC", as a person loads one.
  source.curveThroughEditor = host::runCurveImport;
  // Where the plug-in looks for a curve named after the file: a windowless
  // correct says when one there will be applied.
  source.curveLocation = [](const std::string& title) { return handoffCurvePath(makeSnapshotDirectory(), title); };
  int status = 0;
  if (!args.empty() && args[0] == "batch") {
    // Each file in a child run of this program: one plug-in, one window and
    // one snapshot folder per file.
    status = host::runBatchCommand(args, *host::makeOwnProgramLauncher(), out, err);
  } else if (!args.empty() && args[0] == "dewow") {
    status = host::runDewowCommand(args, source, out, err);
  } else if (!args.empty() && host::isWindowCommand(args[0])) {
    status = host::runWindowCommand(args, source, out, err);
  } else {
    status = host::runCommandLine(args, source, out, err);
  }
  out.flush();
  err.flush();
  return status;
}
