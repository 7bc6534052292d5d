#include "host/CurveHandoff.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace host {

namespace {

std::optional<std::string> readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

bool writeWhole(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

CurveHandoff::~CurveHandoff() { restore(); }

bool CurveHandoff::place(const std::string& source, const std::string& destination, std::string& problem) {
  restore();
  const std::optional<std::string> curve = readWhole(source);
  if (!curve) {
    problem = "cannot read the curve file " + source;
    return false;
  }
  previous_ = readWhole(destination);
  destination_ = destination;
  placed_ = true;
  if (!writeWhole(destination, *curve)) {
    problem = "cannot put the curve where the plug-in reads it: " + destination;
    restore();
    return false;
  }
  return true;
}

void CurveHandoff::restore() {
  if (!placed_) return;
  placed_ = false;
  if (previous_) writeWhole(destination_, *previous_);
  else std::remove(destination_.c_str());
  previous_.reset();
}

}  // namespace host
