// The editor commands tests' fixture: the plug-in with its window editor
// over a two-second tone, and the mouse, button, list and scroll-bar
// messages a person's actions produce. A file dialog answerer types a name
// into the next curve file dialog.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "editor/ControlIds.h"
#include "editor/OfflineEditor.h"
#include "plugin/OfflineEffect.h"
#include "tests/editor/BoxAnswerer.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/EditorHost.h"

namespace editor_test {


constexpr double kRate = 44100.0;
constexpr int kFrames = 88200;
constexpr double kToneHz = 2000.0;
constexpr const char* kLinearOnly = " Works only with Linear scale. Plese select linear scale.";

inline std::string textOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline bool shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

struct Point {
  std::int32_t position;
  float ratio;
  bool operator==(const Point&) const = default;
};

// Snapshots keep ratios as text: equal to a few units in the sixth digit.
inline ::testing::AssertionResult sameCurve(const std::vector<Point>& a, const std::vector<Point>& b) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << a.size() << " points against " << b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].position != b[i].position || std::fabs(a[i].ratio - b[i].ratio) > 1e-5f)
      return ::testing::AssertionFailure() << "point " << i << ": " << a[i].position << " " << a[i].ratio << " against "
                                           << b[i].position << " " << b[i].ratio;
  }
  return ::testing::AssertionSuccess();
}

inline std::vector<Point> pointsOf(const PvcCurve& curve) {
  std::vector<Point> out;
  for (const PvcPoint& p : curve.points()) out.push_back({p.position, p.ratio});
  return out;
}


// Answers the next file dialog with a title: types the name into its file
// name field and presses OK, as a person would (an empty name cancels). Cancels it when the field is
// not found, and gives up after a few seconds, so a test never hangs.
struct FileDialogAnswerer {
  static inline std::string title;
  static inline std::string name;
  static inline bool typed = false;
  static inline bool asked = false;  // whether it was asked before replacing a file
  static inline std::string offered;  // the name the dialog proposed
  static inline int ticks = 0;
  UINT_PTR timer = 0;

  FileDialogAnswerer(const std::string& dialogTitle, const std::string& fileName) {
    title = dialogTitle;
    name = fileName;
    typed = false;
    asked = false;
    offered.clear();
    ticks = 0;
    timer = SetTimer(nullptr, 0, 50, &FileDialogAnswerer::onTick);
  }
  ~FileDialogAnswerer() { KillTimer(nullptr, timer); }

  static BOOL CALLBACK findField(HWND child, LPARAM out) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    const int id = GetDlgCtrlID(child);
    // The name field: edt1, or the edit inside the name combo (cmb13).
    if (_stricmp(cls, "Edit") == 0 && (id == 0x480 || GetDlgCtrlID(GetParent(child)) == 0x47c ||
                                       id == 0x47c || *reinterpret_cast<HWND*>(out) == nullptr)) {
      *reinterpret_cast<HWND*>(out) = child;
      if (id == 0x480 || GetDlgCtrlID(GetParent(child)) == 0x47c) return FALSE;
    }
    return TRUE;
  }

  // A question box of the dialog asking before a file is replaced.
  static BOOL CALLBACK findQuestion(HWND window, LPARAM out) {
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    std::string text;
    EnumChildWindows(window, &BoxAnswerer::findText, reinterpret_cast<LPARAM>(&text));
    if (text.find("exist") == std::string::npos) return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
  }

  static void CALLBACK onTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND question = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FileDialogAnswerer::findQuestion, reinterpret_cast<LPARAM>(&question));
    if (question) {
      asked = true;
      PostMessageA(question, WM_COMMAND, IDYES, 0);
      return;
    }
    HWND dialog = FindWindowA("#32770", title.c_str());
    if (!dialog || !IsWindowVisible(dialog)) {
      ++ticks;
      return;
    }
    HWND field = nullptr;
    EnumChildWindows(dialog, &FileDialogAnswerer::findField, reinterpret_cast<LPARAM>(&field));
    if (field && !typed) offered = windowText(field);
    if (++ticks > 100 || typed || name.empty() || !field) {
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    SetWindowTextA(field, name.c_str());
    typed = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  }
};

// A held file that no one else may open: writes to it fail.
struct LockedFile {
  HANDLE handle;
  explicit LockedFile(const std::string& path)
      : handle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~LockedFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
};

class EditorCommands : public EditorFixture {
 protected:
  void SetUp() override { make(kRate); }
  void make(double rate) { EditorFixture::make(rate, kFrames, kToneHz); }

  std::string text(int id) const { return textOf(control(id)); }

  void mouse(UINT message, int x, int y, WPARAM keys = 0) {
    SendMessageA(control(editor::kDisplay), message, keys, MAKELPARAM(x, y));
  }
  void click(int x, int y) {
    mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    mouse(WM_LBUTTONUP, x, y);
  }
  // Press, a few moves with the button held, release.
  void drag(int x1, int y1, int x2, int y2) {
    mouse(WM_LBUTTONDOWN, x1, y1, MK_LBUTTON);
    for (int k = 1; k <= 4; ++k)
      mouse(WM_MOUSEMOVE, x1 + (x2 - x1) * k / 4, y1 + (y2 - y1) * k / 4, MK_LBUTTON);
    mouse(WM_LBUTTONUP, x2, y2);
  }
  // A button, check box or radio clicked with the mouse.
  void press(int id) { SendMessageA(control(id), BM_CLICK, 0, 0); }
  void command(int id) {
    SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
  }
  void chooseItem(int item) {
    SendMessageA(control(editor::kAlgorithmList), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(editor::kAlgorithmList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control(editor::kAlgorithmList)));
  }
  void scrollBar(int id, WORD request, int times = 1) {
    for (int i = 0; i < times; ++i)
      SendMessageA(mainWindow(), WM_VSCROLL, MAKEWPARAM(request, 0), reinterpret_cast<LPARAM>(control(id)));
  }
  SCROLLINFO barInfo(int id) const {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(control(id), SB_CTL, &info);
    return info;
  }
  int barPosition(int id) const { return barInfo(id).nPos; }
  int barMaximum(int id) const { return barInfo(id).nMax; }
  float barValue(int id) const {
    return static_cast<float>(barMaximum(id) - barPosition(id)) / static_cast<float>(barMaximum(id));
  }

  // Open, the file list, the click on the splash picture: the reading pass.
  void openAndRead() {
    ASSERT_TRUE(host.openEditor());
    ASSERT_TRUE(host.notify());
    click(300, 100);
    ASSERT_EQ(host.startsInMode(kModeRead), 1);
  }

  PvcCurve& curve() { return plugin->curve(); }
  SpectrogramAnalyser& analyser() { return plugin->analyser(); }
  int stepOfHistory() { return editor->curves().historyOf(plugin->currentFileId).currentStep(); }
  int rowOfRatio(float ratio) { return analyser().rowForRatio(ratio); }

  // Manual correction with three points inserted at columns 200, 300, 400.
  void manualWithThreePoints() {
    chooseItem(1);
    ASSERT_EQ(editor->algorithm(), 6);
    press(editor::kInsertPoints);
    ASSERT_EQ(editor->activeTool(), kToolInsert);
    for (int x : {200, 300, 400}) click(x, 50);
    ASSERT_EQ(curve().pointCount(), 5);
  }

};

}  // namespace editor_test
