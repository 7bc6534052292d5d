#include "curve/SnapshotDirectory.h"

#include <fstream>

#include "platform/Platform.h"

namespace {

bool isDirectory(const std::string& path) {
  const unsigned attributes = platform::fileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) != 0;
}

}  // namespace

void createFixedDirectory(const std::string& path) {
  if (platform::fileAttributes(path) == platform::kAttributeDirectory) return;
  if (platform::createDirectory(path)) return;
  // Make every folder on the way; the drive itself is neither tested nor
  // made. Doubled separators read as single ones.
  std::string partial;
  std::size_t start = 0;
  bool drive = true;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (drive) {
      partial = part + "\\\\";
      drive = false;
    } else if (!part.empty()) {
      partial += part + "\\\\";
      if (platform::fileAttributes(partial) != platform::kAttributeDirectory) platform::createDirectory(partial);
    }
    start = end + 1;
  }
}

bool ensureDirectory(const std::string& path) {
  if (isDirectory(path)) return true;
  return platform::createDirectory(path) || isDirectory(path);
}

bool directoryWritable(const std::string& folder) {
  if (!isDirectory(folder)) return false;
  const std::string probe = folder + "~pelmora_probe.tmp";
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) return false;
    out << "probe";
    out.close();
    if (!out) {
      platform::deleteFile(probe);
      return false;
    }
  }
  platform::deleteFile(probe);
  return true;
}

std::string makeSnapshotDirectory() {
  const char separator = platform::pathSeparator();
  if (separator == '\\') {
    createFixedDirectory(kFixedSnapshotDirectory);
    const std::string fixed = std::string(kFixedSnapshotDirectory) + '\\';
    if (directoryWritable(fixed)) return fixed;
  }
  const std::string fallback = platform::temporaryDirectory() + "TempPVC";
  ensureDirectory(fallback);
  return fallback + separator;
}
