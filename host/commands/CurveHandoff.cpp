#include "host/commands/CurveHandoff.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "host/audio/DiskFile.h"

namespace host {

namespace {

// A curve with a point per frame of an hour at 96 kHz stays well below this.
constexpr std::uint64_t kMaxCurveBytes = std::uint64_t{1} << 30;

// The destination is where the plug-in reads, and the plug-in opens it by
// its narrow name: the host reads and writes it the same way, so that both
// mean the same file whatever the name's script.
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

bool readTextFile(const std::string& path, std::string& text) {
  std::error_code error;
  if (std::filesystem::is_directory(pathFromUtf8(path), error)) return false;
  DiskFile file(path, DiskFile::Mode::Read);
  if (!file.isOpen()) return false;
  const std::uint64_t size = file.size();
  if (size > kMaxCurveBytes) return false;
  text.assign(static_cast<std::size_t>(size), '\0');
  return size == 0 || file.readAt(0, text.data(), text.size());
}

CurveHandoff::~CurveHandoff() { restore(); }

bool CurveHandoff::place(const std::string& source, const std::string& destination, std::string& problem) {
  restore();
  std::string curve;
  if (!readTextFile(source, curve)) {
    problem = "cannot read the curve file " + source;
    return false;
  }
  previous_ = readWhole(destination);
  destination_ = destination;
  placed_ = true;
  if (!writeWhole(destination, curve)) {
    problem = "cannot put the curve where the plug-in reads it: " + destination;
    restore();
    return false;
  }
  return true;
}

bool CurveHandoff::placeText(const std::string& text, const std::string& destination, std::string& problem) {
  restore();
  previous_ = readWhole(destination);
  destination_ = destination;
  placed_ = true;
  if (!writeWhole(destination, text)) {
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
