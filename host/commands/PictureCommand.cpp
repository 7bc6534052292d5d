
#include "host/commands/PictureCommand.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <ostream>

#include "editor/ControlIds.h"
#include "host/commands/Correction.h"
#include "host/commands/InteractiveSession.h"
#include "host/window/WindowPicture.h"

namespace host {

namespace {

// Control ids of the editor's display and of its time labels.
constexpr unsigned kSettleMs = 300;
constexpr unsigned kQuietMs = 10000;
constexpr int kDragStep = 8;

void click(HWND target, int x, int y) {
  const LPARAM at = MAKELPARAM(x, y);
  PostMessageA(target, WM_MOUSEMOVE, 0, at);
  PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(target, WM_LBUTTONUP, 0, at);
}

void drag(HWND target, int fromX, int toX, int y) {
  PostMessageA(target, WM_MOUSEMOVE, 0, MAKELPARAM(fromX, y));
  PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, y));
  const int step = toX >= fromX ? kDragStep : -kDragStep;
  for (int x = fromX + step; step > 0 ? x < toX : x > toX; x += step)
    PostMessageA(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, y));
  PostMessageA(target, WM_LBUTTONUP, 0, MAKELPARAM(toX, y));
}

// A label's text as the picture shows it: nothing when the label is hidden.
std::string textOf(HWND window) {
  char text[128] = {};
  if (window && IsWindowVisible(window)) GetWindowTextA(window, text, sizeof text);
  return text;
}

// Waits until the passes a user action started have run and nothing more is
// queued. False when none started or the time ran out.
bool waitForPasses(InteractiveSession& session, std::size_t before, unsigned timeoutMs, double& seconds) {
  const ULONGLONG start = GetTickCount64();
  const bool done = session.pumpUntil(
      [&] { return session.outcomes().size() > before && !session.requests().pending(); }, timeoutMs);
  seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  return done;
}

void listPasses(const InteractiveSession& session, std::size_t before, std::ostream& out) {
  const auto& outcomes = session.outcomes();
  for (std::size_t i = before; i < outcomes.size(); ++i)
    out << "  process \"" << outcomes[i].processName << "\": " << outcomes[i].audioReads << " reads, "
        << (outcomes[i].succeeded ? "done" : "failed") << '\n';
}

std::string failedPass(const InteractiveSession& session, std::size_t before) {
  const auto& outcomes = session.outcomes();
  for (std::size_t i = before; i < outcomes.size(); ++i)
    if (!outcomes[i].succeeded) return outcomes[i].problem.empty() ? "the plug-in's pass failed" : outcomes[i].problem;
  return {};
}

// Every pass since `before` succeeded: says how long they took and lists
// them. Otherwise says which failed and gives false.
bool passesDrawn(const InteractiveSession& session, std::size_t before, const char* what, double seconds,
                 std::ostream& out, std::ostream& err) {
  if (const std::string problem = failedPass(session, before); !problem.empty()) {
    err << "pelmora-host: the " << what << " pass failed: " << problem << '\n';
    return false;
  }
  out << what << " pass drawn in " << seconds << " s\n";
  listPasses(session, before, out);
  return true;
}

// The display column whose analysis column is centred nearest the time: the
// editor maps a mouse x straight to an analysis column spread over the file.
int columnOf(double seconds, double sampleRate, double frames, int columns) {
  const double column = seconds * sampleRate / frames * columns - 0.5;
  return std::clamp(static_cast<int>(std::lround(column)), 0, columns - 1);
}

}  // namespace

int takePicture(InteractiveSession& session, const PictureRequest& request, PictureReport& report,
                std::ostream& out, std::ostream& err) {
  if (!session.editorOpen() || !session.window() || !session.window()->editorWindow()) {
    err << "pelmora-host: the plug-in opened no editor window, so there is nothing to picture\n";
    return kExitRefused;
  }
  HWND editor = session.window()->editorWindow();
  session.tellFiles();
  if (!session.pumpUntil([&] { return !session.requests().pending(); }, kQuietMs)) {
    err << "pelmora-host: the plug-in did not settle after hearing of the file\n";
    return kExitRefused;
  }
  HWND display = findControl(editor, editor::kDisplay);
  if (!display) {
    err << "pelmora-host: the editor has no display (control " << editor::kDisplay << ") to click\n";
    return kExitRefused;
  }
  RECT area{};
  GetClientRect(display, &area);

  if (request.clickSplash) {
    const std::size_t before = session.outcomes().size();
    click(display, area.right / 2, area.bottom / 2);
    if (!waitForPasses(session, before, request.timeoutMs, report.readingSeconds)) {
      err << "pelmora-host: the editor drew no reading pass within " << request.timeoutMs / 1000
          << " s of the click on its picture\n";
      return kExitRefused;
    }
    if (!passesDrawn(session, before, "reading", report.readingSeconds, out, err)) return kExitRefused;
  }

  for (int k = 0; k < request.zoomInClicks; ++k) {
    HWND zoomIn = findControl(editor, editor::kTimeIn);
    if (!zoomIn || !IsWindowVisible(zoomIn) || !IsWindowEnabled(zoomIn)) {
      err << "pelmora-host: the editor shows no time zoom-in button (control " << editor::kTimeIn << ") to click\n";
      return kExitRefused;
    }
    const std::size_t before = session.outcomes().size();
    const ULONGLONG clicked = GetTickCount64();
    click(zoomIn, 8, 8);
    const bool answered = session.pumpUntil([&] { return session.outcomes().size() > before; }, request.zoomAnswerMs);
    double ignored = 0.0;
    const bool drawn = answered && waitForPasses(session, before, request.timeoutMs, ignored);
    report.zoomSeconds = static_cast<double>(GetTickCount64() - clicked) / 1000.0;
    if (!drawn) {
      err << "pelmora-host: the editor drew no zoom pass after click " << k + 1 << " on its time zoom-in button\n";
      return kExitRefused;
    }
    if (!passesDrawn(session, before, "zoom", report.zoomSeconds, out, err)) return kExitRefused;
  }

  if (request.hasRange) {
    const HostFile& file = session.host().file(session.host().currentFile());
    const double frames = static_cast<double>(file.audio->frames());
    const double length = frames / file.audio->sampleRate();
    if (!(request.rangeStart >= 0.0 && request.rangeEnd > request.rangeStart && request.rangeEnd <= length)) {
      err << "pelmora-host: the range must lie within the file's " << length << " s\n";
      return kExitUsage;
    }
    const int columns = std::max(static_cast<int>(area.right) - 2, 1);
    const int from = columnOf(request.rangeStart, file.audio->sampleRate(), frames, columns);
    const int to = columnOf(request.rangeEnd, file.audio->sampleRate(), frames, columns);
    const std::size_t before = session.outcomes().size();
    const ULONGLONG dragged = GetTickCount64();
    drag(display, from, to, area.bottom / 2);
    const bool answered = session.pumpUntil([&] { return session.outcomes().size() > before; }, request.zoomAnswerMs);
    if (!answered) {
      err << "pelmora-host: the editor did not zoom to " << request.rangeStart << ":" << request.rangeEnd
          << " s (its zoom tool started no pass for the drag from x " << from << " to x " << to << ")\n";
      return kExitRefused;
    }
    double ignored = 0.0;
    const bool drawn = waitForPasses(session, before, request.timeoutMs, ignored);
    report.zoomSeconds = static_cast<double>(GetTickCount64() - dragged) / 1000.0;
    if (!drawn) {
      err << "pelmora-host: the zoom pass did not end within " << request.timeoutMs / 1000 << " s\n";
      return kExitRefused;
    }
    if (!passesDrawn(session, before, "zoom", report.zoomSeconds, out, err)) return kExitRefused;
  }

  // Nothing of another program may cover what is read back from the screen.
  SetWindowPos(session.window()->window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  session.pumpUntil([] { return false; }, kSettleMs);
  report.shownFrom = textOf(findControl(editor, editor::kStartTime));
  report.shownTo = textOf(findControl(editor, editor::kEndTime));
  RgbImage image;
  std::string problem;
  if (!captureWindow(editor, image, problem)) {
    err << "pelmora-host: " << problem << '\n';
    return kExitRefused;
  }
  if (!writeBmp(request.picture, image, problem)) {
    err << "pelmora-host: " << problem << '\n';
    return kExitOutput;
  }
  report.width = image.width;
  report.height = image.height;
  out << request.picture << ": " << image.width << " x " << image.height << ", 24-bit";
  if (!report.shownFrom.empty()) out << "; the display shows " << report.shownFrom << " to " << report.shownTo;
  out << '\n';
  return kExitOk;
}

}  // namespace host
