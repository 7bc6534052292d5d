// The shipped Pelmora.dll beside the test program, loaded as a host loads
// it, with its entry point; the library is freed when this goes, so a test
// closes the plug-in it made before.
#pragma once

#include <windows.h>

#include <string>

#include "vst/VstAbi.h"

class ShippedPlugin {
 public:
  using MainFunction = AEffect*(VSTCALLBACK*)(audioMasterCallback);

  ShippedPlugin() : module_(LoadLibraryA(besideTheTest("Pelmora.dll").c_str())), loadError_(GetLastError()) {
    if (module_) entry_ = reinterpret_cast<MainFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "main")));
  }
  ~ShippedPlugin() {
    if (module_) FreeLibrary(module_);
  }
  ShippedPlugin(const ShippedPlugin&) = delete;
  ShippedPlugin& operator=(const ShippedPlugin&) = delete;

  HMODULE module() const { return module_; }
  MainFunction entry() const { return entry_; }
  // What LoadLibrary said when the library did not load.
  DWORD loadError() const { return loadError_; }

 private:
  static std::string besideTheTest(const char* file) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + file;
  }

  HMODULE module_ = nullptr;
  DWORD loadError_ = 0;
  MainFunction entry_ = nullptr;
};
