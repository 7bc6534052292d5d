// A number the user typed on the command line: the whole text must be one
// finite decimal number, in the C locale's form ("0.5", "-3", "1e3").
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace host {

inline bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace host
