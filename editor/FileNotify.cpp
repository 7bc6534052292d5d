// What the host's file list does to the editor: the splash picture before
// the first look at a file, taking up a newly chosen file (its curve, its
// undo steps, its first reading pass), the redraw pass after a change, the
// pass a command asked for, and the blank display when no file is left.
#include <cmath>
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/NotifiedFiles.h"
#include "plugin/OfflineEffect.h"

namespace {

constexpr int kAlgorithmList = 72;
constexpr int kZoomButton = 96;
constexpr int kRedoButton = 79;

int truncatedRate(double rate) {
  return std::isfinite(rate) && rate > 0.0 && rate < 2147483647.0 ? static_cast<int>(rate) : 0;
}

// The modes whose pass a notification starts.
bool isPassMode(int mode) { return notified::isDetectionMode(mode) || mode == kModeSelection; }

}  // namespace

void OfflineEditor::notifyFiles(VstAudioFile* files, VstInt32 count) {
  if (!isOpen()) {
    headless_.notifyFiles(files, count);
    return;
  }
  if (count > 0 && !files) return;
  if (count <= 0) {
    if (effect_.fileTable().fileIdCapacity() > 0) blankDisplay();
    return;
  }
  if (displayState_ < kDisplaySpectrogram) {
    showSplashPicture();
    return;
  }

  VstAudioFile& first = files[0];
  if (view().toolId == kToolSplash) view().toolId = kToolZoom;
  if (notified::isNewFile(effect_, first)) {
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

  // A command may ask for a pass and a redraw at once ("Lin" does); the
  // redraw leaves the mode at correction, so the pass asked for is put back
  // afterwards to run below.
  const int requested = effect_.operationMode();
  // The redraw pass asks for the file list again; a notification that
  // arrives inside that request leaves the redraw to a later one instead of
  // starting passes without end.
  if (needsRedraw_ && !requestingRedraw_) {
    first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineWantMoveCursor |
                   kVstOfflineNoChannelChange | kVstOfflineWantSelect;
    needsRedraw_ = false;
    requestingRedraw_ = true;
    setOperationMode(0, kModeZoom);
    effect_.offlineStart(files, count, 0);
    setOperationMode(0, kModeCorrect);
    askForNotification();
    requestingRedraw_ = false;
    if (isPassMode(requested)) setOperationMode(0, requested);
  }
  if (first.editCursorPosition != editCursor_) {
    editCursor_ = first.editCursorPosition;
    layers_.drawCursorLine(editCursor_, view().viewStart, view().viewLength);
  }
  startRequestedPass(files, count);
}

// The first list with files shows the splash picture and hides the view
// controls until the user clicks it.
void OfflineEditor::showSplashPicture() {
  layers_.selectSplash(splash_);
  if (displayState_ == kDisplayEmpty) {
    view().toolId = kToolSplash;
    layers_.showSplash();
  }
  displayState_ = kDisplaySplash;
  editor::showControls(editor::kViewControlIds, false);
}

void OfflineEditor::splashReleased() {
  editor::showControls(editor::kViewControlsShownAgain, true);
  displayState_ = kDisplaySpectrogram;
}

void OfflineEditor::takeUpOtherFile(VstAudioFile* files, VstInt32 count) {
  const VstAudioFile& first = files[0];
  PvcHistory& history = historyOf(first.uniqueId);
  curveFilePath_ = notified::takeUpNewFile(effect_, files, count, history.currentStep());
  fileName_ = notified::fileNameOf(first);
  updateUndoButtons();
  if (history.currentStep() < history.topStep()) editor::enableControl(kRedoButton, true);

  readStarted_ = false;
  if (algorithm_ != kZoomAlgorithm) {
    selectAlgorithm(kZoomAlgorithm);
    SendMessageA(editor::ControlTable::get(kAlgorithmList), CB_SETCURSEL, 0, 0);
    SendMessageA(editor::ControlTable::get(kZoomButton), BM_SETSTATE, TRUE, 0);
  }
  if (!readStarted_) startReadingPass(files, count);
}

void OfflineEditor::startReadingPass(VstAudioFile* files, VstInt32 count) {
  notified::startReadingPass(effect_, files, count);
  readStarted_ = true;
  editCursor_ = files[0].editCursorPosition;
}

void OfflineEditor::noteSameFile(const VstAudioFile& first) {
  fileName_ = notified::fileNameOf(first);
  if (notified::noteSameFile(effect_, first)) needsRedraw_ = true;
  // The passes give the analyser the truncated rate; a fractional rate
  // compared as it is would ask for a redraw on every notification.
  if (effect_.analyser().sampleRate() != static_cast<float>(truncatedRate(first.sampleRate))) {
    needsRedraw_ = true;
    effect_.rateChanged = true;
  }
}

// The pass a command asked for by setting the mode before its query; any
// other mode leaves the host's selection to be shown.
void OfflineEditor::startRequestedPass(VstAudioFile* files, VstInt32 count) {
  VstAudioFile& first = files[0];
  const int mode = effect_.operationMode();
  if (isPassMode(mode)) {
    setOperationMode(0, mode);
    notified::startRequestedPass(effect_, files, count, mode);
    askForNotification();
    return;
  }
  hostSelectionStart_ = first.selectionStart;
  hostSelectionEnd_ = first.selectionStart + first.selectionSize;
  layers_.drawHostSelection(hostSelectionStart_, hostSelectionEnd_, view().viewStart, view().viewLength);
}

// No file left: a white picture, no tool, the view controls hidden, and the
// plug-in forgets the files and their snapshots.
void OfflineEditor::blankDisplay() {
  layers_.selectSplash(splash_);
  layers_.blankSplash();
  view().toolId = kToolNone;
  displayState_ = kDisplayEmpty;
  editor::showControls(editor::kViewControlIds, false);
  layers_.restoreSpectrogramBitmap();
  notified::forgetFiles(effect_);
  // The steps' files are gone: so are the histories that stood for them.
  histories_.clear();
  updateUndoButtons();
}
