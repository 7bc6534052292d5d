// What the offline passes need from the editor: the view state it holds,
// progress, the drawing entry points and undo recording. The Win32 editor
// implements it; the headless editor keeps the state and draws nothing.
#pragma once

#include <cstdint>
#include <string>

#include "vst/VstAbi.h"

class SpectrogramAnalyser;
class PvcCurve;
namespace detect {
class SpectralPvcDetector;
}

// The editor's view of the current file, read and written by the passes.
struct EditorView {
  int drawingWidth = 670;   // spectrogram area in pixels
  int drawingHeight = 260;
  std::int32_t viewStart = 0;   // first frame shown
  std::int32_t viewLength = 0;  // frames shown
  std::int32_t zoomStart = 0;   // range the zoom pass draws
  std::int32_t zoomEnd = 0;
  std::int32_t centre = 0;
  std::int32_t fileLength = 0;  // frames of the file, set by the reading pass
  int fftLength = 1024;         // analysis settings the editor's controls choose
  int window = 2;
  double markStart = 0.0;  // range marked with the selection tool
  double markEnd = 0.0;
  std::int32_t analysisStart = 0;  // range the spectral detector analyses
  std::int32_t analysisEnd = 0;
  float analysisLow = 0.0f;  // its band, Hz
  float analysisHigh = 0.0f;
  // The active mouse tool; the spectral pass gives the range tool back.
  int toolId = 0;
};

// Said when an undo snapshot could not be written (a full disk, a folder
// gone): the edit stays in memory but no undo step stands for it.
// The undo tag of a curve file read by "Import PVC".
inline constexpr int kImportedCurveTag = 0;

inline constexpr const char* kSnapshotNotStored =
    "The undo step could not be written to the snapshot folder: the change is kept, but Undo cannot come back "
    "to it.";

class EditorLink {
 public:
  virtual ~EditorLink() = default;

  virtual EditorView& view() = 0;
  // 0 empty, 1 splash picture, 2 spectrogram.
  virtual int displayState() const = 0;

  // The host's file list (offlineNotify with start false).
  virtual void notifyFiles(VstAudioFile* files, VstInt32 count) = 0;
  // The three controls that need a file.
  virtual void enableFileControls() = 0;

  // Fraction done, 0 to 1; a negative value hides the progress bar.
  virtual void setProgress(double fraction) = 0;

  // The analyser's displayed band changed: axes and scroll ranges follow it.
  virtual void updateAxes(const SpectrogramAnalyser& analyser) = 0;
  virtual void drawSpectrogramColumn(int column, const SpectrogramAnalyser& analyser) = 0;
  virtual void drawCurve(const PvcCurve& curve) = 0;
  virtual void drawCurveWithBounds(const PvcCurve& curve, int upperRow, int lowerRow) = 0;
  virtual void drawDetectorOverlay(const detect::SpectralPvcDetector& detector) = 0;

  // A pass explains an outcome the user would not otherwise see (a
  // detection that found nothing, a pass that cannot run): the text goes to
  // the message area.
  virtual void showMessage(const std::string& text) = 0;

  // A detection pass stored a snapshot: one more undo step of the current
  // file, tagged with the algorithm that made it.
  virtual void recordUndoStep(int algorithm) = 0;
};
