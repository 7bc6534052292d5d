// pelmora-host-native: pelmora-host with the plug-in linked in, for running
// and measuring the offline passes natively. --plugin still loads a library.
#include <iostream>
#include <string>
#include <vector>

#include "curve/SnapshotDirectory.h"
#include "host/commands/CommandLine.h"
#include "plugin/PluginEntry.h"

int main(int argc, char** argv) {
  host::PluginSource source;
  source.linkedEntry = &createPelmora;
  source.curveLocation = [](const std::string& title) { return handoffCurvePath(makeSnapshotDirectory(), title); };
  return host::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), source, std::cout, std::cerr);
}
