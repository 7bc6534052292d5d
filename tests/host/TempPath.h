// Scratch files in the temporary folder, named so that test programs
// running at the same time never share one.
#pragma once

#include <random>
#include <string>

#include "platform/Platform.h"

inline std::string tempPath(const std::string& name) {
  static const std::string run = std::to_string(std::random_device{}());
  return platform::temporaryDirectory() + "pelmora-" + run + "-" + name;
}
