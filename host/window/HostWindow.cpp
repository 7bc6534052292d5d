#include "host/window/HostWindow.h"

#include <commctrl.h>

#include <algorithm>

namespace host {

namespace {

constexpr const char* kWindowClass = "PelmoraHostWindow";
constexpr const char* kFrameClass = "PelmoraEditorFrame";
constexpr int kMinClientWidth = 480;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 24;
constexpr int kProgressWidth = 200;
constexpr int kProgressHeight = 16;
constexpr int kStatusHeight = 20;
constexpr int kProgressSteps = 1000;

bool registerClasses() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA window{};
    window.cbSize = sizeof window;
    // Each host window installs its own procedure once it knows its object.
    window.lpfnWndProc = DefWindowProcA;
    window.hInstance = GetModuleHandleA(nullptr);
    window.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = kWindowClass;
    WNDCLASSEXA frame = window;
    frame.lpszClassName = kFrameClass;
    const bool frameOk = RegisterClassExA(&frame) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    const bool windowOk = RegisterClassExA(&window) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return frameOk && windowOk;
  }();
  return registered;
}

HWND makeControl(HWND parent, const char* className, const char* text, DWORD style, int x, int y, int width,
                 int height, int id) {
  HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

}  // namespace

HostWindow::HostWindow(HostWindowEvents& events, const std::string& title, int editorWidth, int editorHeight)
    : events_(events) {
  if (!registerClasses()) return;
  editorWidth = std::max(editorWidth, 1);
  editorHeight = std::max(editorHeight, 1);
  const int clientWidth = std::max(editorWidth, kMinClientWidth);
  const int barsTop = editorHeight + kMargin;
  const int statusTop = barsTop + kButtonHeight + kMargin / 2;
  const int clientHeight = statusTop + kStatusHeight + kMargin / 2;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRect(&outer, style, FALSE);
  window_ = CreateWindowExA(0, kWindowClass, title.c_str(), style, 0, 0, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window_) return;
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostWindow::procedure));

  frame_ = makeControl(window_, kFrameClass, "", WS_CLIPCHILDREN, 0, 0, editorWidth, editorHeight, kEditorFrameId);
  makeControl(window_, "BUTTON", "Process", BS_PUSHBUTTON, kMargin, barsTop, kButtonWidth, kButtonHeight, kProcessId);
  makeControl(window_, "BUTTON", "Close", BS_PUSHBUTTON, 2 * kMargin + kButtonWidth, barsTop, kButtonWidth,
              kButtonHeight, kCloseId);
  const int progressLeft = 3 * kMargin + 2 * kButtonWidth;
  progress_ = makeControl(window_, PROGRESS_CLASSA, "", PBS_SMOOTH, progressLeft,
                          barsTop + (kButtonHeight - kProgressHeight) / 2, kProgressWidth, kProgressHeight, kProgressId);
  SendMessageA(progress_, PBM_SETRANGE32, 0, kProgressSteps);
  ShowWindow(progress_, SW_HIDE);
  status_ = makeControl(window_, "STATIC", "", SS_LEFTNOWORDWRAP, kMargin, statusTop, clientWidth - 2 * kMargin,
                        kStatusHeight, kStatusId);
  SetTimer(window_, kIdleTimer, kIdleMilliseconds, nullptr);
}

HostWindow::~HostWindow() { destroy(); }

void HostWindow::destroy() {
  if (!window_) return;
  HWND window = window_;
  window_ = nullptr;
  frame_ = progress_ = status_ = nullptr;
  KillTimer(window, kIdleTimer);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

HWND HostWindow::editorWindow() const { return frame_ ? GetWindow(frame_, GW_CHILD) : nullptr; }

void HostWindow::show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  UpdateWindow(window_);
}

void HostWindow::wakeForRequests() {
  if (!window_ || wakePosted_) return;
  wakePosted_ = PostMessageA(window_, kRequestsMessage, 0, 0) != 0;
}

void HostWindow::setStatus(const std::string& text) {
  if (status_) SetWindowTextA(status_, text.c_str());
}

void HostWindow::setProgress(double fraction) {
  if (!progress_) return;
  if (!(fraction >= 0.0)) {
    ShowWindow(progress_, SW_HIDE);
    return;
  }
  SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(std::min(fraction, 1.0) * kProgressSteps), 0);
  ShowWindow(progress_, SW_SHOWNA);
}

void HostWindow::paintPending() {
  if (progress_) UpdateWindow(progress_);
  if (status_) UpdateWindow(status_);
  GdiFlush();
  // Lets the system show what was drawn; no posted message is handled here.
  MSG ignored;
  PeekMessageA(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
}

LRESULT CALLBACK HostWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  return self->handle(message, wParam, lParam);
}

LRESULT HostWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == kProcessId) events_.processPressed();
        if (LOWORD(wParam) == kCloseId) events_.closeRequested();
      }
      return 0;
    case WM_CLOSE:
      events_.closeRequested();
      return 0;
    case WM_TIMER:
      if (wParam == kIdleTimer) events_.idleTick();
      return 0;
    case kRequestsMessage:
      wakePosted_ = false;
      events_.requestsWaiting();
      return 0;
    default:
      return DefWindowProcA(window_, message, wParam, lParam);
  }
}

}  // namespace host
