#include "host/window/EditorDriver.h"

#include <algorithm>

#include "editor/ControlIds.h"
#include "host/commands/InteractiveSession.h"
#include "host/window/DialogWatcher.h"
#include "host/window/WindowPicture.h"

namespace host {

namespace {


}  // namespace

EditorDriver::EditorDriver(InteractiveSession& session, DialogWatcher& watcher, unsigned passTimeoutMs)
    : session_(session),
      watcher_(watcher),
      editor_(session.window() ? session.window()->editorWindow() : nullptr),
      passTimeoutMs_(passTimeoutMs) {}

HWND EditorDriver::control(int id) const { return editor_ ? findControl(editor_, id) : nullptr; }

std::string EditorDriver::text(int id) const {
  char buffer[512] = {};
  if (HWND window = control(id)) GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

bool EditorDriver::shown(int id) const {
  HWND window = control(id);
  return window && IsWindowVisible(window) && IsWindowEnabled(window);
}

void EditorDriver::settle(unsigned milliseconds) {
  session_.pumpUntil([] { return false; }, milliseconds);
}

bool EditorDriver::quiet(unsigned timeoutMs) {
  return session_.pumpUntil([&] { return !session_.requests().pending(); }, timeoutMs);
}

void EditorDriver::clickDisplay(int x, int y) { dragDisplay({POINT{x, y}}); }

void EditorDriver::dragDisplay(const std::vector<POINT>& path) {
  HWND display = control(editor::kDisplay);
  if (!display || path.empty()) return;
  const POINT first = path.front();
  const POINT last = path.back();
  PostMessageA(display, WM_MOUSEMOVE, 0, MAKELPARAM(first.x, first.y));
  PostMessageA(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(first.x, first.y));
  for (std::size_t i = 1; i < path.size(); ++i)
    PostMessageA(display, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(path[i].x, path[i].y));
  PostMessageA(display, WM_LBUTTONUP, 0, MAKELPARAM(last.x, last.y));
}

void EditorDriver::rightClickDisplay(int x, int y) {
  HWND display = control(editor::kDisplay);
  if (!display) return;
  PostMessageA(display, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  PostMessageA(display, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
  PostMessageA(display, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

bool EditorDriver::pressButton(int id, std::string& problem) {
  HWND button = control(id);
  if (!button) {
    problem = "the editor has no button " + std::to_string(id);
    return false;
  }
  if (!shown(id)) {
    problem = "the editor's \"" + text(id) + "\" button is " + (IsWindowVisible(button) ? "disabled" : "hidden");
    return false;
  }
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return true;
}

bool EditorDriver::chooseListItem(int id, const std::string& itemText, std::string& problem) {
  HWND list = control(id);
  if (!list || !shown(id)) {
    problem = "the editor's list " + std::to_string(id) + " is not there to choose from";
    return false;
  }
  const LRESULT item = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(itemText.c_str()));
  if (item == CB_ERR) {
    problem = "the editor's list " + std::to_string(id) + " has no item \"" + itemText + "\"";
    return false;
  }
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
  PostMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  return true;
}

void EditorDriver::stepBar(int id, bool up) {
  HWND bar = control(id);
  if (!bar) return;
  const UINT message = (GetWindowLongA(bar, GWL_STYLE) & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
  HWND parent = GetParent(bar);
  SendMessageA(parent, message, MAKEWPARAM(up ? SB_LINEUP : SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(bar));
  SendMessageA(parent, message, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
}

int EditorDriver::barPosition(int id) const {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  HWND bar = control(id);
  if (!bar || !GetScrollInfo(bar, SB_CTL, &info)) return -1;
  return info.nPos;
}

bool EditorDriver::moveBarTo(int id, int position) {
  HWND bar = control(id);
  if (!bar || !shown(id)) return false;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(bar, SB_CTL, &info);
  const bool vertical = (GetWindowLongA(bar, GWL_STYLE) & SBS_VERT) != 0;
  RECT area{};
  GetClientRect(bar, &area);
  const int length = vertical ? area.bottom : area.right;
  const int across = (vertical ? area.right : area.bottom) / 2;
  const int arrow = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
  const int span = info.nMax - info.nMin + 1 - static_cast<int>(info.nPage);
  const int track = length - 2 * arrow;
  if (span > 0 && track > 0) {
    // Where the thumb's middle stands for a position: the thumb's own
    // length is left out of the track it moves in.
    const int thumb = std::max<int>(GetSystemMetrics(vertical ? SM_CYVTHUMB : SM_CXHTHUMB),
                                    static_cast<int>(static_cast<long long>(track) * info.nPage / (span + info.nPage)));
    auto pixelOf = [&](int p) {
      return arrow + thumb / 2 + static_cast<int>(static_cast<long long>(track - thumb) * (p - info.nMin) / span);
    };
    auto at = [&](int along) { return vertical ? MAKELPARAM(across, along) : MAKELPARAM(along, across); };
    const int from = pixelOf(info.nPos);
    const int to = pixelOf(std::clamp(position, info.nMin, info.nMin + span));
    PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at(from));
    const int step = to >= from ? 4 : -4;
    for (int p = from + step; step > 0 ? p < to : p > to; p += step) PostMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, at(p));
    PostMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, at(to));
    PostMessageA(bar, WM_LBUTTONUP, 0, at(to));
    settle(200);
  }
  // The arrows for the rest, one click each.
  for (int clicks = 0; clicks < 20000; ++clicks) {
    const int now = barPosition(id);
    if (now == position) return true;
    stepBar(id, position < now);
    if (barPosition(id) == now) return false;
  }
  return false;
}

std::optional<DisplayMapping> EditorDriver::mapping(std::string& problem) const {
  HWND display = control(editor::kDisplay);
  if (!display) {
    problem = "the editor has no display";
    return std::nullopt;
  }
  RECT area{};
  GetClientRect(display, &area);
  return mappingFromLabels(text(editor::kStartTime), text(editor::kEndTime), text(editor::kLowerFrequency), text(editor::kUpperFrequency),
                           area.right, area.bottom, problem);
}

std::size_t EditorDriver::passCount() const { return session_.outcomes().size(); }

bool EditorDriver::waitForPasses(std::size_t before, unsigned answerMs, const std::string& action,
                                 std::string& problem) {
  if (!session_.pumpUntil([&] { return session_.outcomes().size() > before; },
                          answerMs)) {
    problem = action + " started no pass of the plug-in within " + std::to_string(answerMs / 1000) + " s";
    return false;
  }
  if (!session_.pumpUntil([&] { return session_.outcomes().size() > before && !session_.requests().pending(); },
                          passTimeoutMs_)) {
    problem = "the pass " + action + " started did not end within " + std::to_string(passTimeoutMs_ / 1000) + " s";
    return false;
  }
  const auto& outcomes = session_.outcomes();
  for (std::size_t i = before; i < outcomes.size(); ++i) {
    if (outcomes[i].succeeded) continue;
    // Detection passes carry no process name; the action says which it was.
    const std::string& name = outcomes[i].processName;
    problem = (name.empty() ? "the plug-in's pass" : "the plug-in's process \"" + name + "\"") + " after " + action +
              " failed" + (outcomes[i].problem.empty() ? "" : ": " + outcomes[i].problem);
    return false;
  }
  return true;
}

std::string EditorDriver::boxesShown() {
  std::string said;
  for (const std::string& box : watcher_.takeBoxes()) said += (said.empty() ? "" : "; ") + box;
  return said;
}

}  // namespace host
