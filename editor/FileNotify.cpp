// What the host's file list does to the editor: the splash picture before
// the first look at a file, taking up a newly chosen file (its curve, its
// undo steps, its first reading pass), the redraw pass after a change, the
// pass a command asked for, and the blank display when no file is left.
#include <cmath>
#include <cstring>
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace {

constexpr int kAlgorithmList = 72;
constexpr int kZoomButton = 96;
constexpr int kRedoButton = 79;

int truncatedRate(double rate) {
  return std::isfinite(rate) && rate > 0.0 && rate < 2147483647.0 ? static_cast<int>(rate) : 0;
}

std::string nameOf(const VstAudioFile& file) { return std::string(file.name, strnlen(file.name, sizeof file.name)); }

// The modes whose pass a notification starts.
bool isPassMode(int mode) {
  return mode == kModeHum || mode == kModePilotTone || mode == kModeNone || mode == kModeSpectral ||
         mode == kModeSelection;
}

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
  if (activeTool_ == kToolSplash) activeTool_ = kToolZoom;
  // With no file held yet, the first one is new whatever its id (an id of 0
  // would otherwise pass for the plug-in's empty current id).
  if (effect_.isOtherFile(first.uniqueId) || effect_.fileTable().fileIdCapacity() == 0) {
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
    activeTool_ = kToolSplash;
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
  VstAudioFile& first = files[0];
  PvcCurve& curve = effect_.curve();
  const bool heldFiles = effect_.fileTable().fileIdCapacity() > 0;
  effect_.setFileCount(count);
  for (int i = 0; i < count; ++i) effect_.setFileId(i, files[i].uniqueId);
  if (heldFiles) {
    const int shown = curve.snapshotCount();
    effect_.setStepOfFile(effect_.currentFileId, shown < 0 ? 0 : shown);
  } else {
    effect_.currentFileId = first.uniqueId;
  }
  effect_.rebuildFileSteps();
  effect_.currentFileId = first.uniqueId;
  const int step = effect_.stepOfFile(first.uniqueId);
  effect_.channelCount = first.numChannels;
  curve.channelCount = first.numChannels;
  fileName_ = nameOf(first);

  PvcHistory& history = historyOf(first.uniqueId);
  if (step != 0) {
    curveFilePath_ = curve.tempDir() + std::to_string(first.uniqueId) + "~undopvc_" +
                     std::to_string(history.currentStep()) + ".dwt";
    curve.setSnapshotState(step);
    effect_.undoAfterDraw = false;
  } else {
    curveFilePath_ = curve.tempDir() + fileName_ + ".pvc";
    curve.setSnapshotState(0);
  }
  effect_.setCurveFileName(curveFilePath_);
  curve.fileId = first.uniqueId;
  updateUndoButtons();
  if (history.currentStep() < history.topStep()) editor::enableControl(kRedoButton, true);

  readStarted_ = false;
  effect_.rateChanged = true;
  if (algorithm_ != kZoomAlgorithm) {
    selectAlgorithm(kZoomAlgorithm);
    SendMessageA(editor::ControlTable::get(kAlgorithmList), CB_SETCURSEL, 0, 0);
    SendMessageA(editor::ControlTable::get(kZoomButton), BM_SETSTATE, TRUE, 0);
  }
  if (!readStarted_) startReadingPass(files, count);
}

void OfflineEditor::startReadingPass(VstAudioFile* files, VstInt32 count) {
  VstAudioFile& first = files[0];
  setOperationMode(0, kModeRead);
  first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineNoChannelChange;
  effect_.offlineStart(files, count, 0);
  readStarted_ = true;
  setOperationMode(0, kModeCorrect);
  editCursor_ = first.editCursorPosition;
}

void OfflineEditor::noteSameFile(const VstAudioFile& first) {
  fileName_ = nameOf(first);
  effect_.rateChanged = false;
  if (first.numChannels != effect_.channelCount) {
    effect_.channelCount = first.numChannels;
    effect_.curve().channelCount = first.numChannels;
    needsRedraw_ = true;
  }
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
  switch (mode) {
    case kModeHum:
    case kModePilotTone:
    case kModeNone:
    case kModeSpectral:
      setOperationMode(0, mode);
      first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead;
      effect_.offlineStart(files, count, 0);
      setOperationMode(0, kModeCorrect);
      askForNotification();
      return;
    case kModeSelection:
      setOperationMode(0, kModeSelection);
      first.flags |= kVstOfflineWantWriteMarker | kVstOfflineWantMoveCursor | kVstOfflineWantSelect;
      effect_.offlineStart(files, count, 0);
      setOperationMode(0, kModeRead);
      askForNotification();
      return;
    default:
      hostSelectionStart_ = first.selectionStart;
      hostSelectionEnd_ = first.selectionStart + first.selectionSize;
      layers_.drawHostSelection(hostSelectionStart_, hostSelectionEnd_, view().viewStart, view().viewLength);
      return;
  }
}

// No file left: a white picture, no tool, the view controls hidden, and the
// plug-in forgets the files and their snapshots.
void OfflineEditor::blankDisplay() {
  layers_.selectSplash(splash_);
  layers_.blankSplash();
  activeTool_ = kToolNone;
  displayState_ = kDisplayEmpty;
  editor::showControls(editor::kViewControlIds, false);
  layers_.restoreSpectrogramBitmap();
  effect_.forgetFiles();
  effect_.curve().resetSnapshots();
  effect_.curve().clearSnapshots();
}
