#include "plugin/HeadlessEditor.h"

#include <string>

#include "curve/PvcCurve.h"
#include "plugin/EditorFactory.h"
#include "plugin/OfflineEffect.h"

EditorParts createEditor(OfflineEffect& effect) {
  auto editor = std::make_unique<HeadlessEditor>(effect);
  EditorLink* link = editor.get();
  return {std::move(editor), link};
}

HeadlessEditor::HeadlessEditor(OfflineEffect& effect) : effect_(effect) {}

bool HeadlessEditor::getRect(ERect** rect) {
  *rect = &rect_;
  return true;
}

void HeadlessEditor::updateAxes(const SpectrogramAnalyser& /*analyser*/) {}

void HeadlessEditor::drawSpectrogramColumn(int /*column*/, const SpectrogramAnalyser& /*analyser*/) {
  ++columnsDrawn_;
}

void HeadlessEditor::drawCurve(const PvcCurve& /*curve*/) { ++curveDrawings_; }

void HeadlessEditor::drawCurveWithBounds(const PvcCurve& /*curve*/, int /*upperRow*/, int /*lowerRow*/) {
  ++curveDrawings_;
}

void HeadlessEditor::drawDetectorOverlay(const SpectralPvcDetector& /*detector*/) {}

void HeadlessEditor::recordUndoStep(int algorithm) {
  ++undoSteps_;
  lastUndoAlgorithm_ = algorithm;
}

void HeadlessEditor::notifyFiles(VstAudioFile* files, VstInt32 count) {
  if (count <= 0) {
    if (effect_.fileTable().fileIdCapacity() > 0 || displayState_ != 0) {
      displayState_ = 0;
      effect_.forgetFiles();
      effect_.curve().resetSnapshots();
      effect_.curve().clearSnapshots();
    }
    return;
  }
  // With no window there is no splash picture to click: the first file list
  // goes straight to showing the file.
  displayState_ = 2;
  takeUpFile(files, count);
}

void HeadlessEditor::takeUpFile(VstAudioFile* files, VstInt32 count) {
  VstAudioFile& first = files[0];
  PvcCurve& curve = effect_.curve();
  if (effect_.isOtherFile(first.uniqueId)) {
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
    std::string path;
    if (step != 0) {
      path = curve.tempDir() + std::to_string(first.uniqueId) + "~undopvc_" + std::to_string(step - 1) + ".dwt";
      curve.setSnapshotState(step);
      effect_.undoAfterDraw = false;
    } else {
      path = curve.tempDir() + first.name + ".pvc";
      curve.setSnapshotState(0);
    }
    effect_.setCurveFileName(path);
    curve.fileId = first.uniqueId;
    effect_.rateChanged = true;

    effect_.setOperationMode(kModeRead);
    first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineNoChannelChange;
    effect_.offlineStart(files, count, 0);
    effect_.setOperationMode(kModeCorrect);
    editCursor_ = first.editCursorPosition;
    return;
  }

  effect_.rateChanged = false;
  if (first.numChannels != effect_.channelCount) {
    effect_.channelCount = first.numChannels;
    curve.channelCount = first.numChannels;
  }
  editCursor_ = first.editCursorPosition;
  const int mode = effect_.operationMode();
  if (mode == kModeHum || mode == kModePilotTone || mode == kModeNone || mode == kModeSpectral) {
    first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead;
    effect_.offlineStart(files, count, 0);
    effect_.setOperationMode(kModeCorrect);
  } else if (mode == kModeSelection) {
    first.flags |= kVstOfflineWantWriteMarker | kVstOfflineWantMoveCursor | kVstOfflineWantSelect;
    effect_.offlineStart(files, count, 0);
    effect_.setOperationMode(kModeRead);
  }
}
