#include "host/window/EditorSteps.h"

#include <algorithm>
#include <ostream>

#include "editor/ControlIds.h"
#include "host/audio/DiskFile.h"
#include "host/commands/Correction.h"
#include "host/commands/InteractiveSession.h"
#include "host/window/PluginNames.h"
#include "host/window/WindowPicture.h"

namespace host {

namespace {

constexpr unsigned kAnswerMs = 15000;
constexpr unsigned kQuietMs = 10000;
constexpr unsigned kDialogMs = 20000;
constexpr unsigned kSettleMs = 300;

}  // namespace

double secondsSince(ULONGLONG start) { return static_cast<double>(GetTickCount64() - start) / 1000.0; }

EditorSteps::EditorSteps(InteractiveSession& session, std::ostream& out, unsigned passTimeoutMs)
    : session_(session), out_(out), driver_(session, watcher_, passTimeoutMs), passTimeoutMs_(passTimeoutMs) {}

bool EditorSteps::noBoxes(const std::string& step) {
  const std::string said = driver_.boxesShown();
  return said.empty() || fail(step, "the editor showed a box: " + said);
}

void EditorSteps::report(const std::string& step, double seconds) {
  out_ << step << ": done in " << seconds << " s\n";
}

bool EditorSteps::clickSplash() {
  const std::string step = "the click on the editor's picture";
  const ULONGLONG start = GetTickCount64();
  session_.tellFiles();
  if (!driver_.quiet(kQuietMs)) return fail(step, "the plug-in did not settle after hearing of the file");
  HWND display = driver_.control(editor::kDisplay);
  if (!display) return fail(step, "the editor has no display (control 10)");
  RECT area{};
  GetClientRect(display, &area);
  const std::size_t before = driver_.passCount();
  driver_.clickDisplay(area.right / 2, area.bottom / 2);
  if (!driver_.waitForPasses(before, kAnswerMs, "the click", problem_)) return fail(step, problem_);
  if (!driver_.quiet(kQuietMs)) return fail(step, "the plug-in kept asking for work after the reading pass");
  report("reading pass (click on the picture)", secondsSince(start));
  return noBoxes(step);
}

bool EditorSteps::answerFileDialog(const std::string& step, int button, const char* title, const std::string& file) {
  // The dialog takes only the backslash between folders.
  std::string typed = file;
  std::replace(typed.begin(), typed.end(), '/', '\\');
  watcher_.expectFileDialog(title, typed);
  if (!driver_.pressButton(button, problem_)) return fail(step, problem_);
  // The dialog runs inside the button's command; the watcher answers it
  // from its own loop, and the command returns once it is closed.
  const bool closed = session_.pumpUntil(
      [&] {
        return (watcher_.fileDialogAnswered() || !watcher_.fileDialogProblem().empty()) &&
               !session_.requests().pending();
      },
      kDialogMs);
  driver_.settle(kSettleMs);
  if (!watcher_.fileDialogProblem().empty()) return fail(step, watcher_.fileDialogProblem());
  if (!closed || !watcher_.fileDialogAnswered())
    return fail(step, std::string("the editor opened no \"") + title + "\" dialog within " +
                          std::to_string(kDialogMs / 1000) + " s");
  return noBoxes(step);
}

bool EditorSteps::importCurve(const std::string& file) {
  const std::string step = "loading the curve with \"Import PVC\"";
  const ULONGLONG start = GetTickCount64();
  const std::string said = driver_.shown(editor::kMessageArea) ? driver_.text(editor::kMessageArea) : std::string();
  const std::size_t before = driver_.passCount();
  if (!answerFileDialog(step, editor::kImportPvc, "Open PVC File", file)) return false;
  // A loaded curve is drawn by a pass over the file; a file the editor
  // could not use leaves the curve as it was and says so.
  const std::string now = driver_.shown(editor::kMessageArea) ? driver_.text(editor::kMessageArea) : std::string();
  if (!now.empty() && now != said) return fail(step, "the editor said \"" + now + "\"");
  if (!driver_.waitForPasses(before, kAnswerMs, "\"Import PVC\"", problem_)) return fail(step, problem_);
  report("curve loaded (\"Import PVC\")", secondsSince(start));
  return noBoxes(step);
}

bool EditorSteps::exportCurve(const std::string& file) {
  const std::string step = "saving the curve with \"Export PVC\"";
  // The plug-in writes under the name as its code page has it: a name that
  // would not reach it whole is given as a temporary one, moved after.
  const std::string typed = fitsCodePage(file) ? file : temporaryNameForPlugin(".pvc");
  if (typed.empty()) return fail(step, "no name for the plug-in to write the curve under reaches it whole");
  if (!answerFileDialog(step, editor::kExportPvc, "Save PVC File", typed)) return false;
  {
    DiskFile written(typed, DiskFile::Mode::Read);
    if (!written.isOpen() || written.size() == 0)
      return fail(step, "the dialog took the name " + typed + " but the plug-in wrote no curve there");
  }
  if (typed != file && !replaceFile(typed, file)) {
    removeFile(typed);
    return fail(step, "cannot move the curve the plug-in wrote to " + file);
  }
  return true;
}

bool EditorSteps::picture(const std::string& file) {
  const std::string step = "the picture of the editor";
  SetWindowPos(session_.window()->window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  driver_.settle(kSettleMs);
  RgbImage image;
  if (!captureWindow(driver_.editor(), image, problem_)) return fail(step, problem_);
  if (!writeBmp(file, image, problem_)) return fail(step, problem_);
  return true;
}

bool EditorSteps::process() {
  const std::string step = "the host's \"Process\"";
  HWND window = session_.window()->window();
  HWND button = findControl(window, HostWindow::kProcessId);
  if (!button || !IsWindowEnabled(button)) return fail(step, "the host window's \"Process\" button is not there");
  const std::size_t before = driver_.passCount();
  const std::size_t savedBefore = session_.savedFiles().size();
  const ULONGLONG start = GetTickCount64();
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(HostWindow::kProcessId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  if (!driver_.waitForPasses(before, kAnswerMs, "\"Process\"", problem_)) return fail(step, problem_);
  if (session_.savedFiles().size() == savedBefore)
    return fail(step, "the plug-in's process made no new file (" + session_.status() + ")");
  report("correction (\"Process\")", secondsSince(start));
  return noBoxes(step);
}

WorkingFiles::~WorkingFiles() {
  if (placed_) return;
  for (const auto& [working, final] : files_) removeFile(working);
}

std::string WorkingFiles::add(const std::string& path, const char* extension) {
  std::string working = path + ".part" + extension;
  removeFile(working);
  files_.emplace_back(working, path);
  return working;
}

bool WorkingFiles::place(std::string& problem) {
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (replaceFile(files_[i].first, files_[i].second)) continue;
    problem = "cannot put the finished file in place as " + files_[i].second;
    for (std::size_t k = 0; k < i; ++k) removeFile(files_[k].second);
    return false;
  }
  placed_ = true;
  return true;
}

std::vector<std::string> WorkingFiles::names() const {
  std::vector<std::string> names;
  for (const auto& [working, final] : files_) names.push_back(final);
  return names;
}

ScratchFile::ScratchFile(const std::string& beside, const char* extension) : path_(beside + extension) {
  removeFile(path_);
}

ScratchFile::~ScratchFile() { removeFile(path_); }

int runEditorBatch(const char* command, SessionSettings settings, const std::string& input, WorkingFiles& files,
                   const EditorWork& work, std::ostream& out, std::ostream& err) {
  settings.messageBoxes = false;
  std::string problem;
  std::unique_ptr<InteractiveSession> session = InteractiveSession::create(settings, problem);
  if (!session) {
    err << "pelmora-host: " << problem << '\n';
    return kExitPlugin;
  }
  if (!session->openFile(input, problem)) {
    err << "pelmora-host: " << input << ": " << problem << '\n';
    return kExitInput;
  }
  if (!session->openWindow(problem)) {
    err << "pelmora-host: " << problem << '\n';
    return kExitRefused;
  }
  if (!session->editorOpen() || !session->window()->editorWindow()) {
    err << "pelmora-host: the plug-in opened no editor window to work\n";
    return kExitRefused;
  }
  if (!work(*session, problem)) {
    err << "pelmora-host: " << command << " stopped at " << problem << '\n';
    return kExitRefused;
  }
  session.reset();
  if (!files.place(problem)) {
    err << "pelmora-host: " << problem << '\n';
    return kExitOutput;
  }
  for (const std::string& name : files.names()) out << name << '\n';
  return kExitOk;
}

}  // namespace host
