// pelmora-host with a window: one file, the plug-in's editor in the host's
// window, the plug-in's requests carried out from the message loop, and the
// files its processes make saved beside the input (or as the name given).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/audio/OutputPlan.h"
#include "host/offline/DeferredRequests.h"
#include "host/offline/OfflineHost.h"
#include "host/offline/PluginInstance.h"
#include "host/window/HostWindow.h"

namespace host {

struct SessionSettings {
  std::string pluginPath;
  PluginEntry linkedEntry = nullptr;  // taken before pluginPath
  VstInt32 blockSize = 4096;
  std::string output;        // where a processed file goes; empty: a free name beside the input
  bool messageBoxes = true;  // a failed save is also told in a box, not only in the status line
  bool repairSamples = false;  // NaN and infinite input samples read as silence
  std::string scratchFolder;   // where new audio waits until it is saved; empty: the temporary folder
  std::function<void(const ProgressEvent&)> progress;  // told of every progress report too
  FormatChoice format = FormatChoice::Same;  // of a processed file's samples
  // What the bext coding history says made a processed file; empty: "Pelmora"
  // and the process's name.
  std::string what;
  // The curve file the process follows, read when a file is saved, for its
  // cue points; empty when it is not known (they stay where they were).
  std::string cueCurve;
  // Told what a saved file could not keep of the input (a chunk too large...).
  std::function<void(const std::string&)> note;
};

class InteractiveSession final : public HostWindowEvents {
 public:
  // Loads and opens the plug-in. Null with a message when it cannot be loaded.
  static std::unique_ptr<InteractiveSession> create(const SessionSettings& settings, std::string& problem);
  ~InteractiveSession();
  InteractiveSession(const InteractiveSession&) = delete;
  InteractiveSession& operator=(const InteractiveSession&) = delete;

  // Reads the WAV file into the host's list. False with a reason.
  bool openFile(const std::string& path, std::string& problem);
  // The window, titled with the file's name, and the plug-in's editor in it.
  // A plug-in without an editor window still gets the host's window.
  bool openWindow(std::string& problem);
  bool editorOpen() const { return editorOpen_; }
  bool windowOpen() const { return window_ && window_->created(); }

  // The file list as the plug-in first hears of it.
  void tellFiles();

  // Handles window messages until done answers true (true), the window
  // closes or the time runs out (false).
  bool pumpUntil(const std::function<bool()>& done, unsigned milliseconds);
  // The interactive loop, until the user closes the window.
  void runUntilClosed();

  // HostWindowEvents
  void processPressed() override;
  void closeRequested() override;
  void idleTick() override;
  void requestsWaiting() override;

  OfflineHost& host() { return host_; }
  DeferredRequests& requests() { return requests_; }
  HostWindow* window() { return window_.get(); }
  const std::string& status() const { return status_; }
  const std::vector<std::string>& savedFiles() const { return saved_; }
  // Outcomes of the processes run since the session began, in order.
  const std::vector<ProcessOutcome>& outcomes() const { return outcomes_; }
  int idleCalls() const { return idleCalls_; }

 private:
  explicit InteractiveSession(const SessionSettings& settings);
  void processDone(const ProcessOutcome& outcome);
  void saveNewFiles(const ProcessOutcome& outcome);
  void showProgress(const ProgressEvent& event);
  void setStatus(const std::string& text);
  void closeEditor();
  void tell(const std::string& title, const std::string& text);

  SessionSettings settings_;
  OfflineHost host_;
  DeferredRequests requests_;
  std::unique_ptr<PluginInstance> plugin_;
  std::unique_ptr<HostWindow> window_;
  std::string input_;
  bool editorOpen_ = false;
  std::string status_;
  std::vector<std::string> saved_;
  std::vector<ProcessOutcome> outcomes_;
  int idleCalls_ = 0;
  DWORD lastProgressPaint_ = 0;
};

}  // namespace host
