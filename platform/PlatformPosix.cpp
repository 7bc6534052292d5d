#include "platform/Platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <utility>

namespace platform {

unsigned fileAttributes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return kInvalidAttributes;
  if (S_ISDIR(st.st_mode)) return kAttributeDirectory;
  return kAttributeNormal;
}

bool createDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    std::string full = folder;
    if (!full.empty() && full.back() != '/') full += '/';
    if (fileAttributes(full + name) == kAttributeNormal) names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string temporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = (tmp && *tmp) ? tmp : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string currentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

char pathSeparator() { return '/'; }

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

bool processRunning(unsigned long id) {
  const auto pid = static_cast<pid_t>(id);
  if (pid <= 0 || static_cast<unsigned long>(pid) != id) return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool removeDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

namespace {
// Modules are looked for beside the running program first, as Windows does.
std::string programDirectory() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.find_last_of('/') + 1);
}
}  // namespace

Module::Module(const std::string& name) {
  std::string file = name.find('.') == std::string::npos ? name + ".so" : name;
  if (file.find('/') == std::string::npos) {
    handle_ = ::dlopen((programDirectory() + file).c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!handle_) handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

Module Module::fromFile(const std::filesystem::path& file) {
  return Module(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
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

void* Module::find(const char* symbol) const { return handle_ ? ::dlsym(handle_, symbol) : nullptr; }

void Module::release() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace platform
