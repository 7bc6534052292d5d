// The editor's child controls as data: one record per control, read by one
// creation loop, and the process-wide table of their window handles by id.
// Only one editor window is expected at a time; a second one takes over the
// table.
#pragma once

#include <windows.h>

#include <span>
#include <vector>

namespace editor {

enum class ControlKind {
  Display,      // the spectrogram: an owner-drawn static
  Static,
  Push,
  Check,        // automatic check box
  Radio,        // automatic radio button
  VScroll,
  HScroll,
  DropList,
  Progress,
};

enum ControlFlag : unsigned {
  kVisible = 1u << 0,
  kDisabled = 1u << 1,
  kChecked = 1u << 2,
  kRight = 1u << 3,    // static text aligned right
  kCentred = 1u << 4,  // static text centred
  kGroup = 1u << 5,    // first radio button of a group
  kPressed = 1u << 6,  // push button drawn pressed
  kSubclass = 1u << 7, // scroll bar whose messages pass through the editor's procedure
};

struct ScrollSetup {
  int minimum = 0;
  int maximum = 0;
  int page = 0;
  int position = 0;
};

struct ControlRecord {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  const char* text = "";
  int x = 0, y = 0, width = 0, height = 0;
  unsigned flags = 0;
  ScrollSetup scroll{};                       // scroll bars only
  std::span<const char* const> items{};       // drop-down lists only
  int selectedItem = -1;                      // drop-down lists only
};

// Every control of the editor in creation order, panes included.
const std::vector<ControlRecord>& editorControls();
// The record of a control id, or null.
const ControlRecord* findControl(int id);

// Window class and styles a record stands for.
const char* windowClassOf(ControlKind kind);
DWORD styleOf(const ControlRecord& record);

// Handles by control id (the id is also the Win32 control identifier).
class ControlTable {
 public:
  static constexpr int kSlots = 111;

  static HWND get(int id);
  static void set(int id, HWND window);
  static void clear();
  // The window procedure a subclassed scroll bar had before.
  static WNDPROC previousProcedure(int id);
  static void setPreviousProcedure(int id, WNDPROC procedure);
};

// Creates one control under parent, stores its handle, applies the font,
// the scroll setup, the list items and the initial state.
HWND createControl(const ControlRecord& record, HWND parent, HINSTANCE module, WNDPROC scrollProcedure);

// Show, hide, enable or disable controls by id; an id without a window is
// skipped.
void showControls(std::span<const int> ids, bool show);
void enableControls(std::span<const int> ids, bool enable);
void showControl(int id, bool show);
void enableControl(int id, bool enable);
void setControlText(int id, const char* text);

}  // namespace editor
