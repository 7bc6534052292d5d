// Files named by UTF-8 paths. On Windows the wide-character API opens them,
// so a name in any script works; every read, write, seek and the close is
// checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace host {

std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string utf8FromPath(const std::filesystem::path& path);

class DiskFile {
 public:
  enum class Mode {
    Read,       // an existing file, read only
    Create,     // a new or emptied file, read and write
  };

  DiskFile() = default;
  DiskFile(const std::string& path, Mode mode);
  ~DiskFile();
  DiskFile(DiskFile&& other) noexcept;
  DiskFile& operator=(DiskFile&& other) noexcept;
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // All n bytes at offset, or false.
  bool readAt(std::uint64_t offset, void* to, std::size_t n);
  bool writeAt(std::uint64_t offset, const void* from, std::size_t n);
  // The file's length; 0 when it cannot be told.
  std::uint64_t size();
  // Flushes and closes; false when anything written did not reach the disk.
  bool close();

 private:
  enum class Last { None, Read, Write };
  bool seekTo(std::uint64_t offset, Last next);
  bool flushWrites();

  std::FILE* file_ = nullptr;
  std::uint64_t position_ = 0;
  bool positionKnown_ = false;
  Last last_ = Last::None;
  bool failed_ = false;  // a write failed: close must say so
};

// Renames from over to, replacing a file there. False when it cannot.
bool replaceFile(const std::string& from, const std::string& to);
// Removes the file if it is there.
void removeFile(const std::string& path);

}  // namespace host
