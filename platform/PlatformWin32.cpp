#include "platform/Platform.h"

#include <windows.h>

#include <utility>

namespace platform {

unsigned fileAttributes(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? kInvalidAttributes : static_cast<unsigned>(attributes);
}

bool createDirectory(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*' + suffix;
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = data.cFileName;
    // The wildcard also matches short names; keep only real suffix matches.
    if (name.size() >= suffix.size() &&
        ::lstrcmpiA(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0)
      names.push_back(std::move(name));
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return names;
}

bool deleteFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::string temporaryDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  if (n == 0 || n > MAX_PATH) return ".\\";
  std::string dir(buffer, n);
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

std::string currentDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD n = ::GetCurrentDirectoryA(sizeof buffer, buffer);
  return (n == 0 || n > MAX_PATH) ? std::string() : std::string(buffer, n);
}

char pathSeparator() { return '\\'; }

Module::Module(const std::string& name) { handle_ = ::LoadLibraryA(name.c_str()); }

Module Module::fromFile(const std::filesystem::path& file) { return Module(::LoadLibraryW(file.c_str())); }

Module::~Module() { release(); }

Module::Module(Module&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void* Module::find(const char* symbol) const {
  return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), symbol)) : nullptr;
}

void Module::release() {
  if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace platform
