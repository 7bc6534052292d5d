#include "host/commands/InteractiveSession.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "host/audio/AudioFiles.h"
#include "host/audio/DiskFile.h"
#include "host/commands/CurveFrames.h"
#include "host/commands/CurveHandoff.h"
#include "host/commands/SessionText.h"

namespace host {

namespace {

constexpr DWORD kProgressPaintMilliseconds = 100;
constexpr int kNoEditorWidth = 480;
constexpr int kNoEditorHeight = 60;

bool isInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

HostOptions hostOptions(const SessionSettings& settings) {
  HostOptions options;
  options.blockSize = settings.blockSize;
  options.scratchFolder = settings.scratchFolder;
  return options;
}

// Names are resolved once, against the folder the session started in: a
// file dialog may move the process's current folder later.
std::string resolved(const std::string& path) {
  if (path.empty()) return path;
  std::error_code failed;
  const std::filesystem::path full = std::filesystem::absolute(pathFromUtf8(path), failed);
  return failed ? path : utf8FromPath(full);
}

bool exists(const std::string& path) {
  std::error_code unknown;
  return std::filesystem::exists(pathFromUtf8(path), unknown) || unknown;
}

}  // namespace

InteractiveSession::InteractiveSession(const SessionSettings& settings)
    : settings_(settings), host_(hostOptions(settings)), requests_(host_) {
  settings_.output = resolved(settings_.output);
}

std::unique_ptr<InteractiveSession> InteractiveSession::create(const SessionSettings& settings, std::string& problem) {
  std::unique_ptr<InteractiveSession> session(new InteractiveSession(settings));
  PluginInstance::Loaded loaded = settings.linkedEntry
                                      ? PluginInstance::fromEntry(settings.linkedEntry, &DeferredRequests::callback)
                                      : PluginInstance::load(settings.pluginPath, &DeferredRequests::callback);
  if (!loaded.plugin) {
    problem = loaded.message;
    return nullptr;
  }
  session->plugin_ = std::move(loaded.plugin);
  OfflineHost& host = session->host_;
  host.attach(session->plugin_->effect());
  session->requests_.attach();
  session->requests_.setWake([s = session.get()] {
    if (s->window_) s->window_->wakeForRequests();
  });
  session->requests_.setProcessObserver([s = session.get()](const ProcessOutcome& outcome) { s->processDone(outcome); });
  host.setProgressObserver([s = session.get()](const ProgressEvent& event) { s->showProgress(event); });
  host.dispatch(effOpen);
  host.dispatch(effSetBlockSize, 0, settings.blockSize);
  return session;
}

InteractiveSession::~InteractiveSession() {
  closeEditor();
  window_.reset();
  if (!input_.empty()) host_.dispatch(effMainsChanged, 0, 0);
  host_.setProgressObserver(nullptr);
  requests_.detach();
  // effClose comes from the plug-in's owner; the host stops answering first.
  host_.detach();
  plugin_.reset();
}

bool InteractiveSession::openFile(const std::string& path, std::string& problem) {
  std::size_t index = 0;
  const WavReadResult read = openAudioFile(host_, path, index, settings_.repairSamples);
  if (!read.ok()) {
    problem = read.message;
    return false;
  }
  const HostFile& file = host_.file(index);
  if (file.audio->frames() == 0) {
    host_.removeFile(index);
    problem = "the file holds no audio";
    return false;
  }
  input_ = resolved(path);
  host_.setCurrentFile(index);
  host_.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(file.audio->sampleRate()));
  host_.dispatch(effMainsChanged, 0, 1);
  if (read.truncated) status_ = "The file is cut short; the whole frames that are there were read.";
  return true;
}

bool InteractiveSession::openWindow(std::string& problem) {
  ERect* rect = nullptr;
  const bool sized = host_.dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect && rect->right > rect->left &&
                     rect->bottom > rect->top;
  const int width = sized ? rect->right - rect->left : kNoEditorWidth;
  const int height = sized ? rect->bottom - rect->top : kNoEditorHeight;
  const std::string title = (input_.empty() ? std::string("(no file)") : fileNameOf(input_)) + " - pelmora-host";
  window_ = std::make_unique<HostWindow>(*this, title, width, height);
  if (!window_->created()) {
    window_.reset();
    problem = "cannot create the host's window";
    return false;
  }
  editorOpen_ = host_.dispatch(effEditOpen, 0, 0, window_->editorFrame()) != 0;
  if (!editorOpen_) {
    CreateWindowExA(0, "STATIC", "This plug-in shows no editor window.", WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 8,
                    width, 20, window_->editorFrame(), nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  window_->show();
  window_->setStatus(status_);
  if (requests_.pending()) window_->wakeForRequests();
  return true;
}

void InteractiveSession::tellFiles() {
  host_.notifyFiles();
  // A warning about the file stays until something else is to be said.
  if (host_.fileCount() && status_.empty()) setStatus(describeMarks(host_.file(host_.currentFile())));
}

bool InteractiveSession::pumpUntil(const std::function<bool()>& done, unsigned milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      if (isInput(message.message)) requests_.userActed();
      TranslateMessage(&message);
      DispatchMessageA(&message);
      if (done()) return true;
      // A window that posts itself messages without end must not hold the wait.
      if (GetTickCount64() >= deadline) return false;
    }
    if (done()) return true;
    if (!windowOpen()) return false;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                              QS_ALLINPUT);
  }
}

void InteractiveSession::runUntilClosed() {
  MSG message;
  while (windowOpen() && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (isInput(message.message)) requests_.userActed();
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void InteractiveSession::processPressed() {
  if (!host_.fileCount()) return;
  requests_.userActed();
  // The host's start of the plug-in's process: the plug-in answers by
  // starting it, and the queue runs it from the loop.
  if (!host_.requestStart()) {
    setStatus("The plug-in did not start its process.");
    return;
  }
  setStatus("Processing...");
}

void InteractiveSession::closeRequested() {
  closeEditor();
  if (window_) window_->destroy();
}

void InteractiveSession::closeEditor() {
  if (!editorOpen_) return;
  editorOpen_ = false;
  host_.dispatch(effEditClose);
}

void InteractiveSession::idleTick() {
  if (!editorOpen_) return;
  ++idleCalls_;
  host_.dispatch(effEditIdle);
}

void InteractiveSession::requestsWaiting() {
  requests_.runNext();
  if (requests_.pending() && window_) window_->wakeForRequests();
}

void InteractiveSession::showProgress(const ProgressEvent& event) {
  if (settings_.progress) settings_.progress(event);
  if (!window_) return;
  const DWORD now = GetTickCount();
  if (now - lastProgressPaint_ < kProgressPaintMilliseconds) return;
  lastProgressPaint_ = now;
  window_->setProgress(event.fraction);
  const std::string label = event.processName + (event.text.empty() ? "" : ": " + event.text);
  window_->setStatus(label + " " + std::to_string(static_cast<int>(event.fraction * 100.0)) + "%");
  window_->paintPending();
}

void InteractiveSession::processDone(const ProcessOutcome& outcome) {
  outcomes_.push_back(outcome);
  if (window_) window_->setProgress(-1.0);
  if (!outcome.succeeded) {
    setStatus("The plug-in's process failed" + (outcome.problem.empty() ? "." : ": " + outcome.problem + "."));
    return;
  }
  if (!outcome.newFiles.empty()) {
    saveNewFiles(outcome);
    return;
  }
  if (host_.fileCount()) setStatus(describeMarks(host_.file(host_.currentFile())));
}

void InteractiveSession::saveNewFiles(const ProcessOutcome& outcome) {
  // Every file keeps the input's format and chunks; the cue points move
  // along the curve when it is known.
  FrameMapping mapping;
  std::string curveText;
  if (!settings_.cueCurve.empty() && readTextFile(settings_.cueCurve, curveText)) {
    WavReadResult probe;
    if (const std::unique_ptr<AudioStore> audio = openWavStore(input_, false, probe))
      mapping = curveTextMapping(curveText, audio->frames());
  }
  const std::string what = settings_.what.empty() ? "Pelmora " + outcome.processName : settings_.what;
  OutputPlan plan;
  std::string planProblem;
  const bool planned = planOutput(input_, settings_.format, what, mapping ? &mapping : nullptr, plan, planProblem);
  if (planned && settings_.note)
    for (const std::string& note : plan.notes) settings_.note(note);
  std::string said;
  std::vector<std::size_t> made = outcome.newFiles;
  for (std::size_t k = 0; k < made.size(); ++k) {
    if (made[k] >= host_.fileCount()) continue;
    // The name given is the first new file's; any more, and every file when
    // none was given, get a name beside it that no file has yet.
    const std::string beside = settings_.output.empty() ? input_ : settings_.output;
    const std::string path =
        (k == 0 && !settings_.output.empty()) ? settings_.output : freeOutputName(beside, outcome.processName, exists);
    const WavWriteResult written =
        path.empty()  ? WavWriteResult{WavStatus::WriteFailed, "no free name beside " + beside}
        : !planned    ? WavWriteResult{WavStatus::WriteFailed, "the input cannot be read again: " + planProblem}
                      : saveAudioFile(host_.file(made[k]), path, plan.form());
    if (written.ok()) {
      saved_.push_back(path);
      said += (said.empty() ? "Saved " : ", ") + path;
    } else {
      const std::string problem = "Cannot save the processed file " + path + ": " + written.message;
      said += (said.empty() ? "" : "; ") + problem;
      tell("pelmora-host", problem);
    }
  }
  // Without anyone to tell, what the files could not keep goes to the status line.
  if (planned && !settings_.note)
    for (const std::string& note : plan.notes) said += "; " + note;
  // The processed files live on disk; the plug-in keeps seeing one file.
  std::sort(made.begin(), made.end());
  for (auto it = made.rbegin(); it != made.rend(); ++it) host_.removeFile(*it);
  setStatus(said);
}

void InteractiveSession::setStatus(const std::string& text) {
  status_ = text;
  if (window_) window_->setStatus(text);
}

void InteractiveSession::tell(const std::string& title, const std::string& text) {
  if (!settings_.messageBoxes) return;
  MessageBoxA(window_ ? window_->window() : nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace host
