// Answers the message boxes an editor test meets: each one shown while a
// BoxAnswerer lives is recorded (title and text) and closed with OK, so that
// a test never waits on a box.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace editor_test {

inline std::string windowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct BoxAnswerer {
  static inline std::vector<std::pair<std::string, std::string>> boxes;
  HHOOK hook = nullptr;

  BoxAnswerer() {
    boxes.clear();
    hook = SetWindowsHookExA(WH_CBT, &BoxAnswerer::onEvent, nullptr, GetCurrentThreadId());
  }
  ~BoxAnswerer() { UnhookWindowsHookEx(hook); }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  static BOOL CALLBACK findText(HWND child, LPARAM out) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    std::string text = windowText(child);
    if (_stricmp(name, "Static") == 0 && !text.empty()) *reinterpret_cast<std::string*>(out) = text;
    return TRUE;
  }

  static LRESULT CALLBACK onEvent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
      auto box = reinterpret_cast<HWND>(wParam);
      char name[32] = {};
      GetClassNameA(box, name, sizeof name);
      if (std::strcmp(name, "#32770") == 0) {
        std::string text;
        EnumChildWindows(box, &BoxAnswerer::findText, reinterpret_cast<LPARAM>(&text));
        boxes.emplace_back(windowText(box), text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
};

}  // namespace editor_test
