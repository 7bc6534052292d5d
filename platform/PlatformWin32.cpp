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

unsigned long processId() { return ::GetCurrentProcessId(); }

bool processRunning(unsigned long id) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;  // someone else's, but there
  DWORD code = 0;
  const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

bool removeDirectory(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

namespace {

// The folder of the library this code is linked into, when that is not the
// program itself: Windows looks for modules beside the program, and a
// plug-in's own modules ship beside the plug-in, wherever the host lives.
std::wstring libraryFolder() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&libraryFolder), &self) ||
      self == ::GetModuleHandleW(nullptr))
    return {};
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  const std::wstring file(path, n);
  const std::size_t slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash + 1);
}

}  // namespace

Module::Module(const std::string& name) {
  if (name.find_first_of("\\/:") == std::string::npos) {
    const std::wstring folder = libraryFolder();
    const int n = ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (!folder.empty() && n > 0) {
      std::wstring file(static_cast<std::size_t>(n), L'\0');
      ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), file.data(), n);
      file = folder + file + (name.find('.') == std::string::npos ? L".dll" : L"");
      if (::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        handle_ = ::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
  }
  if (!handle_) handle_ = ::LoadLibraryA(name.c_str());
}

// The modules the library imports are looked for beside it first.
Module Module::fromFile(const std::filesystem::path& file) {
  return Module(::LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

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
