// One stored program: the operation mode, a name and the curve file it used.
#pragma once

#include <string>

struct OfflineProgram {
  float value = 1.0f;
  char name[24] = "Init";
  std::string curveFileName;
};
