#include "plugin/HeadlessEditor.h"

#include <optional>
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/NotifiedFiles.h"
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
      notified::forgetFiles(effect_);
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
  if (notified::isNewFile(effect_, first)) {
    notified::takeUpNewFile(effect_, files, count, std::nullopt);
    notified::startReadingPass(effect_, files, count);
    editCursor_ = first.editCursorPosition;
    return;
  }

  notified::noteSameFile(effect_, first);
  editCursor_ = first.editCursorPosition;
  const int mode = effect_.operationMode();
  if (notified::isDetectionMode(mode)) {
    if (!selectAlgorithm(mode)) {
      effect_.setOperationMode(kModeCorrect);
      return;
    }
    if (mode == kModeSpectral) markWholeFileUnlessMarked();
  }
  notified::startRequestedPass(effect_, files, count, mode);
}
