#include "editor/ControlTable.h"

#include <commctrl.h>

#include <array>

#include "detect/OperationModes.h"
#include "editor/ControlIds.h"
#include "editor/Panes.h"

namespace editor {

namespace {

// The process-wide handles and the procedures the subclassed scroll bars had.
std::array<HWND, ControlTable::kSlots> handles{};
std::array<WNDPROC, ControlTable::kSlots> previousProcedures{};

bool inTable(int id) { return id >= 0 && id < ControlTable::kSlots; }

constexpr const char* kResolutions[] = {"64", "128", "256", "512", "1024", "2048", "4096"};
constexpr const char* kWindows[] = {"Boxcar", "Hann", "Blackman", "Hamming"};
// The algorithm list's texts, in the order the modes header gives them.
constexpr auto kAlgorithms = [] {
  std::array<const char*, detect::kAlgorithmItems.size()> texts{};
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = detect::kAlgorithmItems[i].text;
  return texts;
}();

constexpr ScrollSetup kViewBar{0, 100, 2, 50};
constexpr unsigned kShown = kVisible;

using K = ControlKind;

// Controls before the panes, in creation order.
const ControlRecord kMainControls[] = {
    {kDisplay, K::Display, "", 75, 25, 670, 260, kShown},
    {kAlgorithmList, K::DropList, "L1", 5, 335, 225, 200, kShown, {}, kAlgorithms, 0},
    {kImportPvc, K::Push, "Import PVC", 5, 405, 105, 21, kShown},
    {kExportPvc, K::Push, "Export PVC", 120, 405, 105, 21, kShown},
    {kMessageArea, K::Static, "", 270, 370, 400, 81, 0},
    {kPositionReadout, K::Static, "Pos:", 500, 5, 780, 17, 0},
    {kProgressBar, K::Progress, "", 5, 455, 225, 15, 0},
    {kUndo, K::Push, "Undo", 5, 375, 105, 21, kShown | kDisabled},
    {kRedo, K::Push, "Redo", 120, 375, 105, 21, kShown | kDisabled},
    {kReferenceBar, K::VScroll, "S1", 755, 25, 17, 260, kShown | kSubclass, kViewBar},
    {kFrequencyBar, K::VScroll, "S1", 5, 25, 17, 260, kShown | kSubclass, kViewBar},
    {kTimeBar, K::HScroll, "S1", 75, 310, 670, 17, kShown | kSubclass, kViewBar},
    {kFrequencyIn, K::Push, "+", 5, 290, 17, 17, kShown},
    {kFrequencyOut, K::Push, "-", 5, 310, 17, 17, kShown},
    {kTimeOut, K::Push, "-", 33, 310, 17, 17, kShown},
    {kTimeIn, K::Push, "+", 53, 310, 17, 17, kShown},
    {kSpectrogramLabel, K::Static, "Spectrogram", 380, 5, 80, 17, kShown},
    {kUpperFrequency, K::Static, "22000", 27, 23, 40, 17, kShown | kRight},
    {kLowerFrequency, K::Static, "0", 27, 273, 40, 17, kShown | kRight},
    {kStartTime, K::Static, "00:00.000", 74, 290, 70, 17, kShown},
    {kEndTime, K::Static, "00:00.000", 675, 290, 70, 17, kShown | kRight},
    {kFrequencyUnit, K::Static, "[Hz]", 45, 147, 25, 17, kShown},
    {kTimeLabel, K::Static, "Time", 400, 290, 35, 17, kShown},
    {kZoomHint, K::Static, "Right-click to turn the zoom off", 30, 5, 160, 17, kShown},
    {kZoom, K::Push, "Zoom", 180, 5, 36, 20, kShown | kPressed},
    {kZoomAll, K::Push, "Zoom All", 220, 5, 46, 20, kShown},
    {kZoomTwice, K::Push, "Zoom x2", 270, 5, 46, 20, kShown},
    {kZoomHalf, K::Push, "Zoom x0.5", 320, 5, 54, 20, kShown},
    {kLinearScale, K::Radio, "Lin", 540, 5, 45, 20, kShown | kGroup | kChecked},
    {kLogScale, K::Radio, "Log", 595, 5, 45, 20, kShown},
    {kPlay, K::Push, "PLAY?", 480, 5, 45, 20, 0},
    {kShowHum, K::Push, "Show Hum", 675, 410, 85, 20, 0},
    {kCreatePvc, K::Push, "Create PVC", 675, 435, 85, 20, 0},
    {kAdvanced, K::Push, "Advanced >", 675, 335, 85, 20, 0},
};

// The analysis settings; "Update" is made last.
const ControlRecord kZoomSettingsControls[] = {
    {kZoomFrequency, K::Check, "Zoom Frequency", 270, 335, 130, 20, kShown | kChecked},
    {kZoomTime, K::Check, "Zoom Time", 420, 335, 95, 20, kShown | kChecked},
    {kResolutionList, K::DropList, "L1", 270, 405, 80, 140, kShown, {}, kResolutions, -1},
    {kWindowList, K::DropList, "L2", 420, 405, 100, 80, kShown, {}, kWindows, -1},
    {kResolutionLabel, K::Static, "Resolution", 270, 385, 80, 20, kShown},
    {kWindowLabel, K::Static, "Windowing Function", 420, 385, 120, 20, kShown},
    {kUpdate, K::Push, "Update", 540, 405, 60, 21, kShown},
};

const ControlRecord kManualControls[] = {
    {kShowPoints, K::Check, "Show PVC Points", 270, 335, 127, 20, 0},
    {kMovePoint, K::Check, "Move PVC point", 447, 335, 121, 20, kDisabled},
    {kInsertPoints, K::Radio, "Insert Points", 270, 355, 105, 20, kGroup},
    {kChartPvc, K::Radio, "Chart PVC", 270, 375, 105, 20, 0},
    {kDeletePoints, K::Radio, "Delete PVC Points", 270, 395, 131, 20, 0},
    {kOffsetPoints, K::Radio, "Offset PVC Points", 270, 415, 127, 20, kDisabled},
    {kSmoothingPvc, K::Radio, "Smoothing PVC", 270, 435, 118, 20, kDisabled},
};

const ControlRecord kPreviewButton = {kPreview, K::Push, "Preview", 675, 410, 85, 20, 0};

std::vector<ControlRecord> buildTable() {
  std::vector<ControlRecord> all(std::begin(kMainControls), std::end(kMainControls));
  auto append = [&all](const std::vector<ControlRecord>& more) { all.insert(all.end(), more.begin(), more.end()); };
  append(paneControls(pilotTonePane()));
  append(paneControls(humPane()));
  all.insert(all.end(), std::begin(kZoomSettingsControls), std::end(kZoomSettingsControls));
  all.insert(all.end(), std::begin(kManualControls), std::end(kManualControls));
  all.push_back(kPreviewButton);
  append(paneControls(spectralPane()));
  return all;
}

HFONT fontOf(ControlKind kind) {
  switch (kind) {
    case K::Radio:
    case K::Check:
    case K::VScroll:
    case K::HScroll:
      return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    default:
      return static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
  }
}

}  // namespace

const std::vector<ControlRecord>& editorControls() {
  static const std::vector<ControlRecord> table = buildTable();
  return table;
}

const ControlRecord* findControl(int id) {
  for (const ControlRecord& record : editorControls())
    if (record.id == id) return &record;
  return nullptr;
}

const char* windowClassOf(ControlKind kind) {
  switch (kind) {
    case K::Display:
    case K::Static:
      return "STATIC";
    case K::Push:
    case K::Check:
    case K::Radio:
      return "BUTTON";
    case K::VScroll:
    case K::HScroll:
      return "SCROLLBAR";
    case K::DropList:
      return "COMBOBOX";
    case K::Progress:
      return PROGRESS_CLASSA;
  }
  return "STATIC";
}

DWORD styleOf(const ControlRecord& record) {
  DWORD style = WS_CHILD;
  if (record.flags & kVisible) style |= WS_VISIBLE;
  if (record.flags & kDisabled) style |= WS_DISABLED;
  if (record.flags & kGroup) style |= WS_GROUP;
  switch (record.kind) {
    case K::Display:
      style |= SS_OWNERDRAW | SS_NOPREFIX | SS_NOTIFY;
      break;
    case K::Static:
      if (record.flags & kRight) style |= SS_RIGHT;
      if (record.flags & kCentred) style |= SS_CENTER;
      break;
    case K::Push:
      style |= BS_PUSHBUTTON;
      break;
    case K::Check:
      style |= BS_AUTOCHECKBOX;
      break;
    case K::Radio:
      style |= BS_AUTORADIOBUTTON;
      break;
    case K::VScroll:
      style |= SBS_VERT;
      break;
    case K::HScroll:
      style |= SBS_HORZ;
      break;
    case K::DropList:
      style |= CBS_DROPDOWNLIST | WS_VSCROLL;
      break;
    case K::Progress:
      style |= PBS_SMOOTH;
      break;
  }
  return style;
}

HWND ControlTable::get(int id) { return inTable(id) ? handles[static_cast<size_t>(id)] : nullptr; }

void ControlTable::set(int id, HWND window) {
  if (inTable(id)) handles[static_cast<size_t>(id)] = window;
}

void ControlTable::clear() {
  handles.fill(nullptr);
  previousProcedures.fill(nullptr);
}

WNDPROC ControlTable::previousProcedure(int id) {
  return inTable(id) ? previousProcedures[static_cast<size_t>(id)] : nullptr;
}

void ControlTable::setPreviousProcedure(int id, WNDPROC procedure) {
  if (inTable(id)) previousProcedures[static_cast<size_t>(id)] = procedure;
}

HWND createControl(const ControlRecord& record, HWND parent, HINSTANCE module, WNDPROC scrollProcedure) {
  HWND window = CreateWindowExA(0, windowClassOf(record.kind), record.text, styleOf(record), record.x, record.y, record.width,
                                record.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(record.id)), module,
                                nullptr);
  ControlTable::set(record.id, window);
  if (!window) return nullptr;
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(record.kind)), FALSE);

  if (record.kind == K::VScroll || record.kind == K::HScroll) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = record.scroll.minimum;
    info.nMax = record.scroll.maximum;
    info.nPage = static_cast<UINT>(record.scroll.page);
    info.nPos = record.scroll.position;
    SetScrollInfo(window, SB_CTL, &info, TRUE);
    if ((record.flags & kSubclass) && scrollProcedure) {
      auto previous = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(scrollProcedure)));
      ControlTable::setPreviousProcedure(record.id, previous);
    }
  }
  if (record.kind == K::DropList) {
    for (const char* item : record.items) SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    if (record.selectedItem >= 0) SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(record.selectedItem), 0);
  }
  if (record.kind == K::Progress) SendMessageA(window, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  if (record.flags & kChecked) SendMessageA(window, BM_SETCHECK, BST_CHECKED, 0);
  if (record.flags & kPressed) SendMessageA(window, BM_SETSTATE, TRUE, 0);
  return window;
}

void showControl(int id, bool show) {
  if (HWND window = ControlTable::get(id)) ShowWindow(window, show ? SW_SHOW : SW_HIDE);
}

void enableControl(int id, bool enable) {
  if (HWND window = ControlTable::get(id)) EnableWindow(window, enable ? TRUE : FALSE);
}

void showControls(std::span<const int> ids, bool show) {
  for (int id : ids) showControl(id, show);
}

void enableControls(std::span<const int> ids, bool enable) {
  for (int id : ids) enableControl(id, enable);
}

void setControlText(int id, const char* text) {
  if (HWND window = ControlTable::get(id)) SetWindowTextA(window, text);
}

}  // namespace editor
