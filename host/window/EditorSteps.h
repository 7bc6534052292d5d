// The steps every batch command that works the plug-in's editor shares: the
// click on its picture, "Import PVC" and "Export PVC" through their file
// dialogs, a picture of the editor, and the host's "Process". Each step
// waits for the passes it starts and fails with what went wrong, in words.
#pragma once

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "host/commands/InteractiveSession.h"
#include "host/window/DialogWatcher.h"
#include "host/window/EditorDriver.h"

namespace host {

class InteractiveSession;

class EditorSteps {
 public:
  EditorSteps(InteractiveSession& session, std::ostream& out, unsigned passTimeoutMs);

  // Each step returns false with problem() saying which step failed and why.
  bool clickSplash();
  bool importCurve(const std::string& file);
  bool exportCurve(const std::string& file);
  bool picture(const std::string& file);
  bool process();

  const std::string& problem() const { return problem_; }

 protected:
  bool fail(const std::string& step, const std::string& what) {
    problem_ = step + ": " + what;
    return false;
  }
  // False, naming the step, when the editor showed a box since the last look.
  bool noBoxes(const std::string& step);
  void report(const std::string& step, double seconds);
  unsigned passTimeoutMs() const { return passTimeoutMs_; }

  InteractiveSession& session_;
  std::ostream& out_;
  DialogWatcher watcher_;
  EditorDriver driver_;
  std::string problem_;

 private:
  // Presses the button and answers the file dialog it opens with the name.
  bool answerFileDialog(const std::string& step, int button, const char* title, const std::string& file);

  unsigned passTimeoutMs_;
};

// Seconds since a GetTickCount64 reading.
double secondsSince(ULONGLONG start);

// Files a batch command writes under working names, each taking its own
// name only when everything has succeeded; whatever is left when the object
// goes is removed, so nothing that looks finished stays after a failure.
class WorkingFiles {
 public:
  WorkingFiles() = default;
  ~WorkingFiles();
  WorkingFiles(const WorkingFiles&) = delete;
  WorkingFiles& operator=(const WorkingFiles&) = delete;

  // The working name for a file to end up as path; an old one is removed.
  std::string add(const std::string& path, const char* extension);
  // Moves every working file to its name. False with a message when one
  // cannot be moved; the files already moved are removed then.
  bool place(std::string& problem);
  // The names the files end up with, in the order they were added.
  std::vector<std::string> names() const;

 private:
  std::vector<std::pair<std::string, std::string>> files_;  // working name, final name
  bool placed_ = false;
};

// A file of the command's own beside another, removed when the object goes.
class ScratchFile {
 public:
  ScratchFile(const std::string& beside, const char* extension);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// What a batch command asks of the editor, run on the open session; false
// with problem set when a step failed.
using EditorWork = std::function<bool(InteractiveSession& session, std::string& problem)>;

// Opens the input in a session with the plug-in's editor in the host's
// window (no message boxes: the batch says what failed), does the work,
// closes the session and puts the working files in place, naming each on
// out. An exit code; what failed goes to err as "COMMAND stopped at ...".
int runEditorBatch(const char* command, SessionSettings settings, const std::string& input, WorkingFiles& files,
                   const EditorWork& work, std::ostream& out, std::ostream& err);

}  // namespace host
