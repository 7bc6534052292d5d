#include "editor/EditorWindowProcs.h"

#include "editor/CommandTable.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"

namespace editor {

namespace {

constexpr WPARAM kKeyA = 'A';

WNDPROC displayPrevious = nullptr;

template <class Handle>
LRESULT guarded(Handle handle) noexcept {
  try {
    return handle();
  } catch (...) {
    return 0;
  }
}

// The boxes a key press opens; "A" opens two more and goes back to the
// remembered algorithm.
void keyPressed(HWND window, WPARAM key, OfflineEditor* editor) {
  MessageBoxA(window, "Wcisniety klawisz", "Info", MB_ICONERROR);
  if (key != kKeyA) return;
  MessageBoxA(window, "Wcisniety z", "Info", MB_ICONERROR);
  if (!editor) return;
  MessageBoxA(window, "Podejmuje akcje", "Info", MB_ICONERROR);
  editor->algorithms().selectRememberedAlgorithm();
}

int scrolledPosition(const SCROLLINFO& info, WORD request, bool horizontal) {
  const int page = static_cast<int>(info.nPage);
  switch (request) {
    case SB_LINEUP:  // SB_LINELEFT
      return horizontal ? info.nPos - 1 : info.nPos - page / 2;
    case SB_LINEDOWN:  // SB_LINERIGHT
      return horizontal ? info.nPos + 100 : info.nPos + page / 2;
    case SB_PAGEUP:
      return info.nPos - page;
    case SB_PAGEDOWN:
      return info.nPos + page;
    case SB_THUMBTRACK:
      return info.nTrackPos;
    default:
      return info.nPos;
  }
}

LRESULT scrolled(HWND window, WPARAM wParam, LPARAM lParam, bool horizontal) {
  auto bar = reinterpret_cast<HWND>(lParam);
  if (!bar) return 0;
  const int id = GetDlgCtrlID(bar);
  OfflineEditor* editor = editorOf(window);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(bar, SB_CTL, &info);
  const WORD request = LOWORD(wParam);
  info.nPos = scrolledPosition(info, request, horizontal);
  // The bar's row of the command table: what its moves and its end do.
  const CommandRow* row = commandRow(id);
  const unsigned direction = horizontal ? kHorizontalScroll : kVerticalScroll;
  if (request == SB_ENDSCROLL && editor && row && row->ended && (row->endsOn & direction)) row->ended(*editor);
  info.fMask = SIF_POS;
  SetScrollInfo(bar, SB_CTL, &info, TRUE);
  if (editor && row && (row->moves & direction)) row->run(*editor, id);
  return 0;
}

}  // namespace

OfflineEditor* editorOf(HWND window) {
  return reinterpret_cast<OfflineEditor*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void attachEditor(HWND window, OfflineEditor* editor) {
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor));
}

void setDisplayPrevious(WNDPROC procedure) { displayPrevious = procedure; }

namespace {

LRESULT mainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_KEYDOWN:
      keyPressed(window, wParam, editorOf(window));
      return 0;
    case WM_COMMAND: {
      const WORD code = HIWORD(wParam);
      OfflineEditor* editor = editorOf(window);
      if ((code == BN_CLICKED || code == CBN_SELCHANGE) && lParam && editor)
        editor->handleCommand(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      showControl(kPositionReadout, false);
      return 0;
    }
    case WM_HSCROLL:
      return scrolled(window, wParam, lParam, true);
    case WM_VSCROLL:
      return scrolled(window, wParam, lParam, false);
    case WM_MOUSEMOVE:
      showControl(kPositionReadout, false);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT displayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto forward = [&] {
    return displayPrevious ? CallWindowProcA(displayPrevious, window, message, wParam, lParam) : 0;
  };
  OfflineEditor* editor = editorOf(window);
  if (message == WM_PAINT) {
    PAINTSTRUCT ps{};
    HDC dc = reinterpret_cast<HDC>(wParam);
    const bool began = dc == nullptr;
    if (began) dc = BeginPaint(window, &ps);
    // Without an editor there is nothing to paint, but the request is still
    // answered, or it would come back at once for ever.
    if (editor) guarded([&] {
      editor->paint(dc);
      return LRESULT{0};
    });
    if (began) EndPaint(window, &ps);
    return 0;
  }
  if (message == WM_NCHITTEST) return HTCLIENT;
  // The control's own clean-up must still run when the window goes.
  if (message == WM_NCDESTROY) return forward();
  if (!editor) return 0;

  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_LBUTTONDOWN:
      // The drag belongs to the display until the button is let go, even
      // when the release is outside it: a grabbed point is always let go and
      // the edit stored.
      SetCapture(window);
      editor->tools().recordPress(x, y);
      editor->tools().setButtonDown(true);
      editor->tools().runTool(kPhasePress, x, y);
      return forward();
    case WM_MOUSEMOVE:
      if (wParam & MK_LBUTTON) editor->tools().runTool(kPhaseDrag, x, y);
      return forward();
    case WM_LBUTTONUP: {
      const bool held = editor->tools().buttonHeld();
      editor->tools().setButtonDown(false);
      if (GetCapture() == window) ReleaseCapture();
      // A capture taken away mid-drag has already ended the drag.
      if (held) editor->tools().runTool(kPhaseRelease, x, y);
      return forward();
    }
    case WM_CAPTURECHANGED:
      // Another window took the mouse mid-drag (a box, a switch of
      // programs): the drag ends where the tool last saw the mouse.
      if (reinterpret_cast<HWND>(lParam) != window) editor->tools().endDrag();
      return forward();
    case WM_RBUTTONDOWN:
      editor->tools().rightButton(true, x, y);
      return forward();
    case WM_RBUTTONUP:
      editor->tools().rightButton(false, x, y);
      return forward();
    case WM_KEYDOWN:
      keyPressed(window, wParam, editor);
      return forward();
    default:
      return 0;
  }
}

}  // namespace

// An exception must not unwind through the system's window code (it would
// end the host): a message whose handling failed, for want of memory most
// likely, is dropped.
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded([&] { return mainMessage(window, message, wParam, lParam); });
}

LRESULT CALLBACK displayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded([&] { return displayMessage(window, message, wParam, lParam); });
}

LRESULT CALLBACK scrollBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = ControlTable::previousProcedure(GetDlgCtrlID(window));
  return previous ? CallWindowProcA(previous, window, message, wParam, lParam)
                  : DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace editor
