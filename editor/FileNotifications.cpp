#include "editor/FileNotifications.h"

#include <cmath>
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/NotifiedFiles.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

int truncatedRate(double rate) {
  return std::isfinite(rate) && rate > 0.0 && rate < 2147483647.0 ? static_cast<int>(rate) : 0;
}

// The modes whose pass a notification starts.
bool isPassMode(int mode) { return notified::isDetectionMode(mode) || mode == kModeSelection; }

}  // namespace

void FileNotifications::reset() {
  editCursor_ = 0.0;
  hostSelectionStart_ = 0.0;
  hostSelectionEnd_ = 0.0;
  fileName_.clear();
  readStarted_ = false;
  needsRedraw_ = false;
}

void FileNotifications::notifyFiles(VstAudioFile* files, VstInt32 count) {
  if (count > 0 && !files) return;
  if (count <= 0) {
    if (editor_.effect().fileTable().fileIdCapacity() > 0) blankDisplay();
    return;
  }
  if (displayState_ < kDisplaySpectrogram) {
    showSplashPicture();
    return;
  }

  VstAudioFile& first = files[0];
  if (editor_.view().toolId == kToolSplash) editor_.view().toolId = kToolZoom;
  if (notified::isNewFile(editor_.effect(), first)) {
    takeUpOtherFile(files, count);
  } else {
    noteSameFile(first);
    // The file was taken up before this window opened (by a host that
    // notified first): this window has not drawn it yet.
    if (!readStarted_) {
      needsRedraw_ = false;
      startReadingPass(files, count);
    }
  }

  runRedrawPass(files, count);
  if (first.editCursorPosition != editCursor_) {
    editCursor_ = first.editCursorPosition;
    editor_.layers().drawCursorLine(editCursor_, editor_.view().viewStart, editor_.view().viewLength);
  }
  startRequestedPass(files, count);
}

void FileNotifications::runRedrawPass(VstAudioFile* files, VstInt32 count) {
  VstAudioFile& first = files[0];
  // A command may ask for a pass and a redraw at once ("Lin" does); the
  // redraw leaves the mode at correction, so the pass asked for is put back
  // afterwards for the requested pass to run.
  const int requested = editor_.effect().operationMode();
  // The redraw pass asks for the file list again; a notification that
  // arrives inside that request leaves the redraw to a later one instead of
  // starting passes without end.
  if (!needsRedraw_ || requestingRedraw_) return;
  first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineWantMoveCursor |
                 kVstOfflineNoChannelChange | kVstOfflineWantSelect;
  needsRedraw_ = false;
  requestingRedraw_ = true;
  editor_.setOperationMode(0, kModeZoom);
  editor_.effect().offlineStart(files, count, 0);
  editor_.setOperationMode(0, kModeCorrect);
  editor_.askForNotification();
  requestingRedraw_ = false;
  if (isPassMode(requested)) editor_.setOperationMode(0, requested);
}

// The first list with files shows the splash picture and hides the view
// controls until the user clicks it.
void FileNotifications::showSplashPicture() {
  editor_.layers().selectSplash(editor_.splash());
  if (displayState_ == kDisplayEmpty) {
    editor_.view().toolId = kToolSplash;
    editor_.layers().showSplash();
  }
  displayState_ = kDisplaySplash;
  showControls(kViewControlIds, false);
}

void FileNotifications::splashReleased() {
  showControls(kViewControlsShownAgain, true);
  displayState_ = kDisplaySpectrogram;
}

void FileNotifications::takeUpOtherFile(VstAudioFile* files, VstInt32 count) {
  const VstAudioFile& first = files[0];
  PvcHistory& history = editor_.curves().historyOf(first.uniqueId);
  editor_.curves().setCurveFilePath(notified::takeUpNewFile(editor_.effect(), files, count, history.currentStep()));
  fileName_ = notified::fileNameOf(first);
  editor_.curves().updateUndoButtons();
  if (history.currentStep() < history.topStep()) enableControl(kRedo, true);

  readStarted_ = false;
  if (editor_.algorithms().algorithm() != kZoomAlgorithm) {
    editor_.algorithms().selectAlgorithm(kZoomAlgorithm);
    SendMessageA(ControlTable::get(kAlgorithmList), CB_SETCURSEL, 0, 0);
    SendMessageA(ControlTable::get(kZoom), BM_SETSTATE, TRUE, 0);
  }
  if (!readStarted_) startReadingPass(files, count);
}

void FileNotifications::startReadingPass(VstAudioFile* files, VstInt32 count) {
  notified::startReadingPass(editor_.effect(), files, count);
  readStarted_ = true;
  editCursor_ = files[0].editCursorPosition;
}

void FileNotifications::noteSameFile(const VstAudioFile& first) {
  fileName_ = notified::fileNameOf(first);
  if (notified::noteSameFile(editor_.effect(), first)) needsRedraw_ = true;
  // The passes give the analyser the truncated rate; a fractional rate
  // compared as it is would ask for a redraw on every notification.
  if (editor_.effect().analyser().sampleRate() != static_cast<float>(truncatedRate(first.sampleRate))) {
    needsRedraw_ = true;
    editor_.effect().rateChanged = true;
  }
}

// The pass a command asked for by setting the mode before its query; any
// other mode leaves the host's selection to be shown.
void FileNotifications::startRequestedPass(VstAudioFile* files, VstInt32 count) {
  VstAudioFile& first = files[0];
  const int mode = editor_.effect().operationMode();
  if (isPassMode(mode)) {
    editor_.setOperationMode(0, mode);
    notified::startRequestedPass(editor_.effect(), files, count, mode);
    editor_.askForNotification();
    return;
  }
  hostSelectionStart_ = first.selectionStart;
  hostSelectionEnd_ = first.selectionStart + first.selectionSize;
  editor_.layers().drawHostSelection(hostSelectionStart_, hostSelectionEnd_, editor_.view().viewStart, editor_.view().viewLength);
}

// No file left: a white picture, no tool, the view controls hidden, and the
// plug-in forgets the files and their snapshots.
void FileNotifications::blankDisplay() {
  editor_.layers().selectSplash(editor_.splash());
  editor_.layers().blankSplash();
  editor_.view().toolId = kToolNone;
  displayState_ = kDisplayEmpty;
  showControls(kViewControlIds, false);
  editor_.layers().restoreSpectrogramBitmap();
  notified::forgetFiles(editor_.effect());
  // The steps' files are gone: so are the histories that stood for them.
  editor_.curves().forgetHistories();
  editor_.curves().updateUndoButtons();
}

}  // namespace editor
