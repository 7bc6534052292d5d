// The few operating-system calls the portable code needs. One implementation
// for Win32, one for POSIX; thin wrappers, nothing emulated.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// Attribute bits as the Win32 file system reports them; POSIX maps a
// directory to kAttributeDirectory and a regular file to kAttributeNormal.
constexpr unsigned kAttributeDirectory = 0x10;
constexpr unsigned kAttributeNormal = 0x80;
constexpr unsigned kInvalidAttributes = 0xFFFFFFFFu;

// The path's attributes, kInvalidAttributes when it does not exist.
unsigned fileAttributes(const std::string& path);
// Creates one directory (not its parents). True on success.
bool createDirectory(const std::string& path);
// Names (without the folder) of the regular files in folder whose name ends with suffix.
std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix);
// Deletes one file. True on success.
bool deleteFile(const std::string& path);
// The user's temporary folder, ending with the path separator.
std::string temporaryDirectory();
// The process's current directory.
std::string currentDirectory();
// The running process's id, and whether a process with an id runs.
unsigned long processId();
bool processRunning(unsigned long id);
// Removes one empty directory. True on success.
bool removeDirectory(const std::string& path);
// The separator the file system uses between folders.
char pathSeparator();

// A code module loaded by name, released when the object goes.
class Module {
 public:
  Module() = default;
  // By name: under Windows first beside the library asking (when that is
  // not the program), then wherever the system looks.
  explicit Module(const std::string& name);
  // The library in exactly this file, whatever script its name is in.
  static Module fromFile(const std::filesystem::path& file);
  ~Module();
  Module(Module&& other) noexcept;
  Module& operator=(Module&& other) noexcept;
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The address of an exported function, null when there is none.
  void* find(const char* symbol) const;
  // Gives the module up without unloading it.
  void keep() { handle_ = nullptr; }
  void release();

 private:
  explicit Module(void* handle) : handle_(handle) {}

  void* handle_ = nullptr;
};

}  // namespace platform
