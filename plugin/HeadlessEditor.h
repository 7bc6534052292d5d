// The editor the plug-in has until its window is built: it answers the
// host's editor requests, keeps the view state the passes use, takes up the
// files the host notifies and starts their reading pass, and draws nothing.
#pragma once

#include <string>

#include "plugin/AEffEditor.h"
#include "plugin/EditorLink.h"

class OfflineEffect;

class HeadlessEditor : public AEffEditor, public EditorLink {
 public:
  explicit HeadlessEditor(OfflineEffect& effect);
  ~HeadlessEditor() override;
  HeadlessEditor(const HeadlessEditor&) = delete;
  HeadlessEditor& operator=(const HeadlessEditor&) = delete;

  bool getRect(ERect** rect) override;

  EditorView& view() override { return view_; }
  const EditorView& view() const { return view_; }
  int displayState() const override { return displayState_; }
  void notifyFiles(VstAudioFile* files, VstInt32 count) override;
  void enableFileControls() override { fileControlsEnabled_ = true; }
  void setProgress(double fraction) override { progress_ = fraction; }
  void updateAxes(const SpectrogramAnalyser& analyser) override;
  void drawSpectrogramColumn(int column, const SpectrogramAnalyser& analyser) override;
  void drawCurve(const PvcCurve& curve) override;
  void drawCurveWithBounds(const PvcCurve& curve, int upperRow, int lowerRow) override;
  void drawDetectorOverlay(const detect::SpectralPvcDetector& detector) override;
  void recordUndoStep(int algorithm) override;
  void showMessage(const std::string& text) override { message_ = text; }

  // What a test or a host log can read back.
  bool fileControlsEnabled() const { return fileControlsEnabled_; }
  double progress() const { return progress_; }
  int columnsDrawn() const { return columnsDrawn_; }
  int curveDrawings() const { return curveDrawings_; }
  int undoSteps() const { return undoSteps_; }
  int lastUndoAlgorithm() const { return lastUndoAlgorithm_; }
  // The detection algorithm whose engine is prepared, 0 for none, and what
  // the message area shows: the last message of a failed selection or a pass.
  int algorithm() const { return algorithm_; }
  const std::string& message() const { return message_; }

 private:
  void takeUpFile(VstAudioFile* files, VstInt32 count);
  bool selectAlgorithm(int algorithm);
  void markWholeFileUnlessMarked();

  OfflineEffect& effect_;
  ERect rect_{0, 0, 470, 780};
  EditorView view_;
  int displayState_ = 0;
  bool fileControlsEnabled_ = false;
  double progress_ = -1.0;
  int columnsDrawn_ = 0;
  int curveDrawings_ = 0;
  int undoSteps_ = 0;
  int lastUndoAlgorithm_ = 0;
  double editCursor_ = -1.0;
  int algorithm_ = 0;
  std::string message_;
};
