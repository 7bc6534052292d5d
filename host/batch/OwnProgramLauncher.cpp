#include "host/batch/OwnProgramLauncher.h"

#include <windows.h>

#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/batch/ArgumentQuoting.h"

namespace host {

namespace {

std::wstring wide(const std::string& utf8) { return pathFromUtf8(utf8).wstring(); }

std::wstring ownProgram() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() {
    if (h_) ::CloseHandle(h_);
  }
  Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
  Handle& operator=(Handle&& other) noexcept {
    std::swap(h_, other.h_);
    return *this;
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

class OwnProgramLauncher final : public ChildLauncher {
 public:
  OwnProgramLauncher() : program_(ownProgram()), group_(::CreateJobObjectW(nullptr, nullptr)) {
    // Children end with the batch, should it be killed.
    if (group_.get()) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      ::SetInformationJobObject(group_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
  }

  std::optional<int> start(const std::vector<std::string>& args, const std::string& logPath,
                           std::string& problem) override {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle log(::CreateFileW(wide(logPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.get()) {
      problem = "cannot write the log " + logPath;
      return std::nullopt;
    }
    Handle nothing(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING,
                                 0, nullptr));
    std::wstring line(1, L'"');
    line.append(program_).append(L"\" ").append(wide(commandLineOf(args)));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.get();
    startup.hStdOutput = log.get();
    startup.hStdError = log.get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program_.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &process)) {
      problem = "cannot start " + std::string("pelmora-host (error ") + std::to_string(::GetLastError()) + ")";
      return std::nullopt;
    }
    if (group_.get()) ::AssignProcessToJobObject(group_.get(), process.hProcess);
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    const int id = next_++;
    children_.push_back({id, Handle(process.hProcess)});
    return id;
  }

  std::pair<int, int> waitAny() override {
    std::vector<HANDLE> handles;
    for (const Child& child : children_) handles.push_back(child.process.get());
    if (handles.empty()) return {-1, -1};
    const DWORD which = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    std::size_t index = which - WAIT_OBJECT_0;
    if (index >= children_.size()) index = 0;  // a failed wait: wait on the first alone
    ::WaitForSingleObject(children_[index].process.get(), INFINITE);
    DWORD code = 0;
    if (!::GetExitCodeProcess(children_[index].process.get(), &code)) code = static_cast<DWORD>(-1);
    const int id = children_[index].id;
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
    return {id, static_cast<int>(code)};
  }

 private:
  struct Child {
    int id;
    Handle process;
  };
  std::wstring program_;
  Handle group_;
  std::vector<Child> children_;
  int next_ = 0;
};

}  // namespace

std::unique_ptr<ChildLauncher> makeOwnProgramLauncher() { return std::make_unique<OwnProgramLauncher>(); }

}  // namespace host
