#include "host/commands/WindowsConsole.h"

#include <shellapi.h>

namespace host {

std::string utf8FromWide(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
  return text;
}

std::vector<std::string> utf8Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(utf8FromWide(argv[i]));
  ::LocalFree(argv);
  return args;
}

ConsoleStreamBuf::ConsoleStreamBuf(DWORD which) : handle_(::GetStdHandle(which)) {
  DWORD mode = 0;
  console_ = handle_ != INVALID_HANDLE_VALUE && handle_ && ::GetConsoleMode(handle_, &mode);
}

ConsoleStreamBuf::~ConsoleStreamBuf() { flushOut(); }

ConsoleStreamBuf::int_type ConsoleStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_.push_back(traits_type::to_char_type(c));
  if (c == '\n' || pending_.size() >= 4096) flushOut();
  return c;
}

int ConsoleStreamBuf::sync() { return flushOut() ? 0 : -1; }

bool ConsoleStreamBuf::flushOut() {
  if (pending_.empty() || handle_ == INVALID_HANDLE_VALUE || !handle_) {
    pending_.clear();
    return true;
  }
  bool ok = true;
  if (console_) {
    // Only whole UTF-8 characters go out; a split one waits for its rest.
    std::size_t whole = pending_.size();
    std::size_t back = 0;
    while (back < 4 && back < whole && (static_cast<unsigned char>(pending_[whole - 1 - back]) & 0xC0) == 0x80) ++back;
    if (back < whole) {
      const auto lead = static_cast<unsigned char>(pending_[whole - 1 - back]);
      const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (length > back + 1) whole -= back + 1;
    }
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), wide.data(), n);
    DWORD written = 0;
    ok = wide.empty() || ::WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    pending_.erase(0, whole);
  } else {
    DWORD written = 0;
    ok = ::WriteFile(handle_, pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr) &&
         written == pending_.size();
    pending_.clear();
  }
  return ok;
}

}  // namespace host
