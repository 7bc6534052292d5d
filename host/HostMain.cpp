// pelmora-host.exe: the offline host for VST 2 offline plug-ins.
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "host/CommandLine.h"
#include "host/WindowCommands.h"

#if defined(PELMORA_HOST_CURVE_HANDOFF)
#include "curve/SnapshotDirectory.h"
#endif

namespace {

// Pelmora.dll beside the program, wherever it was started from.
std::string defaultPluginPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path(buffer, n);
  const auto slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "Pelmora.dll";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  host::PluginSource source;
  source.defaultPath = defaultPluginPath();
#if defined(PELMORA_HOST_CURVE_HANDOFF)
  // Pelmora reads the curve of a new file from its snapshot folder.
  source.curveLocation = [](const std::string& title) { return makeSnapshotDirectory() + title + ".pvc"; };
#endif
  if (!args.empty() && host::isWindowCommand(args[0])) return host::runWindowCommand(args, source, std::cout, std::cerr);
  return host::runCommandLine(args, source, std::cout, std::cerr);
}
