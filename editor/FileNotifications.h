// What the host's file list does to the open editor: the splash picture
// before the first look at a file, taking up a newly chosen file (its
// curve, its undo steps, its first reading pass), the redraw pass after a
// change, the pass a command asked for, and the blank display when no file
// is left.
#pragma once

#include <string>

#include "editor/EditorStates.h"
#include "vst/VstAbi.h"

class OfflineEditor;

namespace editor {

class FileNotifications {
 public:
  explicit FileNotifications(OfflineEditor& editor) : editor_(editor) {}

  // What the layer set-up leaves: no file, nothing read, no redraw due.
  void reset();
  void notifyFiles(VstAudioFile* files, VstInt32 count);
  // The click on the splash picture shows the view controls again.
  void splashReleased();

  int displayState() const { return displayState_; }
  void setDisplayState(int state) { displayState_ = state; }
  // The redraw pass runs on the next notification.
  void markForRedraw() { needsRedraw_ = true; }
  bool needsRedraw() const { return needsRedraw_; }
  bool readStarted() const { return readStarted_; }
  const std::string& fileName() const { return fileName_; }

 private:
  void showSplashPicture();
  void blankDisplay();
  void takeUpOtherFile(VstAudioFile* files, VstInt32 count);
  void noteSameFile(const VstAudioFile& first);
  void startReadingPass(VstAudioFile* files, VstInt32 count);
  void runRedrawPass(VstAudioFile* files, VstInt32 count);
  void startRequestedPass(VstAudioFile* files, VstInt32 count);

  OfflineEditor& editor_;
  int displayState_ = kDisplayEmpty;
  bool readStarted_ = false;
  bool needsRedraw_ = false;
  bool requestingRedraw_ = false;
  std::string fileName_;
  double editCursor_ = 0.0;
  double hostSelectionStart_ = 0.0;
  double hostSelectionEnd_ = 0.0;
};

}  // namespace editor
