#include "plugin/HeadlessEditor.h"

#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

HeadlessEditor::HeadlessEditor(OfflineEffect& effect) : effect_(effect) {}

// The editor's snapshots serve only its own undo steps, which end with it.
HeadlessEditor::~HeadlessEditor() {
  effect_.engines().release(algorithm_);
  effect_.curve().clearSnapshots();
}

// With no algorithm list to choose from, a host picks a detector by setting
// the mode; the engine is prepared as the editor's list would prepare it.
bool HeadlessEditor::selectAlgorithm(int algorithm) {
  detect::DetectorEngines& engines = effect_.engines();
  if (algorithm == algorithm_ && engines.hasEngine(algorithm)) return true;
  if (algorithm != algorithm_ && !engines.release(algorithm_)) return false;
  message_.clear();
  if (!engines.prepare(algorithm, static_cast<float>(effect_.analyser().sampleRate()))) {
    if (algorithm == detect::kAlgorithmHum) {
      message_ = "Wybrano k_ofl_hum.";
    } else if (algorithm == detect::kAlgorithmPilotTone) {
      message_ = "Sampling frequency is too low! Please, select another algorithm.";
      effect_.notePassMessage(pilotRateTooLow(effect_.analyser().sampleRate()));
    } else {
      message_ = "Could not init SDPvc! Please, select another algorithm.";
    }
    algorithm_ = 0;
    return false;
  }
  algorithm_ = algorithm;
  return true;
}

// Without a range drawn with the mouse, the spectral detector looks at the
// whole file and its whole band.
void HeadlessEditor::markWholeFileUnlessMarked() {
  if (view_.analysisEnd <= view_.analysisStart) {
    view_.analysisStart = 0;
    view_.analysisEnd = view_.fileLength;
  }
  if (!(view_.analysisHigh > view_.analysisLow)) {
    view_.analysisLow = 0.0f;
    view_.analysisHigh = static_cast<float>(effect_.analyser().sampleRate()) / 2.0f;
  }
}

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

void HeadlessEditor::drawDetectorOverlay(const detect::SpectralPvcDetector& /*detector*/) {}

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
    if (!selectAlgorithm(mode)) {
      effect_.setOperationMode(kModeCorrect);
      return;
    }
    if (mode == kModeSpectral) markWholeFileUnlessMarked();
    first.flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead;
    effect_.offlineStart(files, count, 0);
    effect_.setOperationMode(kModeCorrect);
  } else if (mode == kModeSelection) {
    first.flags |= kVstOfflineWantWriteMarker | kVstOfflineWantMoveCursor | kVstOfflineWantSelect;
    effect_.offlineStart(files, count, 0);
    effect_.setOperationMode(kModeRead);
  }
}
