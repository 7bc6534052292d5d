#include "host/CurveHandoff.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "host/DiskFile.h"

namespace host {

namespace {

// A curve with a point per frame of an hour at 96 kHz stays well below this.
constexpr std::uint64_t kMaxCurveBytes = std::uint64_t{1} << 30;

std::optional<std::string> readWhole(const std::string& path) {
  std::string text;
  if (!readTextFile(path, text)) return std::nullopt;
  return text;
}

bool writeWhole(const std::string& path, const std::string& content) {
  DiskFile file(path, DiskFile::Mode::Create);
  if (!file.isOpen()) return false;
  const bool written = content.empty() || file.writeAt(0, content.data(), content.size());
  return file.close() && written;
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
  else removeFile(destination_);
  previous_.reset();
}

}  // namespace host
