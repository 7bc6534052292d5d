#include "host/window/PluginNames.h"

#include <windows.h>

#include <filesystem>

#include "host/audio/DiskFile.h"

namespace host {

bool fitsCodePage(const std::string& utf8) {
  if (GetACP() == CP_UTF8) return true;
  const std::wstring wide = pathFromUtf8(utf8).wstring();
  BOOL lost = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, &lost);
  return (n > 0 || wide.empty()) && !lost;
}

std::string temporaryNameForPlugin(const char* extension) {
  static int made = 0;
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH, folder);
  if (n == 0 || n > MAX_PATH) return {};
  const std::string name = utf8FromPath(std::filesystem::path(folder)) + "pelmora-" +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made) + extension;
  return fitsCodePage(name) ? name : std::string();
}

}  // namespace host
