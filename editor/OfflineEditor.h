// The plug-in's own editor window: the controls, the spectrogram display and
// what the host's file notifications do to them. The offline passes reach it
// through EditorLink. While no window is open (a host that never opens the
// editor) it behaves as the headless editor: the host's file list still
// starts the reading pass, and a detection mode the host sets still runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "curve/PvcHistory.h"
#include "editor/CurveTools.h"
#include "editor/DisplayLayers.h"
#include "plugin/AEffEditor.h"
#include "plugin/EditorLink.h"
#include "plugin/HeadlessEditor.h"

class OfflineEffect;
namespace view {
struct TimeWindow;
struct FrequencyZoom;
}  // namespace view

// The active mouse tool.
enum ToolId : int {
  kToolNone = -1,
  kToolZoom = 0,
  kToolMovePoint = 1,
  kToolRange = 2,
  kToolDelete = 3,
  kToolGravity = 4,
  kToolInsert = 5,
  kToolChart = 6,
  kToolSplash = 8,
};

// What the display shows.
enum DisplayState : int { kDisplayEmpty = 0, kDisplaySplash = 1, kDisplaySpectrogram = 2 };

// Phases of a mouse tool.
enum ToolPhase : int { kPhasePress = 0, kPhaseDrag = 1, kPhaseRelease = 2 };

class OfflineEditor : public AEffEditor, public EditorLink {
 public:
  static constexpr int kWidth = 780;
  static constexpr int kHeight = 470;
  static constexpr int kZoomAlgorithm = 8;
  static constexpr const char* kWindowClass = "OfflineWindowClass";

  OfflineEditor(OfflineEffect& effect, HINSTANCE module);
  ~OfflineEditor() override;
  OfflineEditor(const OfflineEditor&) = delete;
  OfflineEditor& operator=(const OfflineEditor&) = delete;

  // AEffEditor.
  bool getRect(ERect** rect) override;
  bool open(void* parentWindow) override;
  void close() override;
  void idle() override;
  void update() {}
  // Sets the plug-in's operation mode; the first argument is not used.
  void setOperationMode(int unused, int mode);

  // EditorLink.
  EditorView& view() override { return headless_.view(); }
  int displayState() const override;
  void notifyFiles(VstAudioFile* files, VstInt32 count) override;
  void enableFileControls() override;
  void setProgress(double fraction) override;
  void updateAxes(const SpectrogramAnalyser& analyser) override;
  void drawSpectrogramColumn(int column, const SpectrogramAnalyser& analyser) override;
  void drawCurve(const PvcCurve& curve) override;
  void drawCurveWithBounds(const PvcCurve& curve, int upperRow, int lowerRow) override;
  void drawDetectorOverlay(const detect::SpectralPvcDetector& detector) override;
  void recordUndoStep(int algorithm) override;
  void showMessage(const std::string& text) override;

  // Entry points of the window procedures.
  void handleCommand(int id);
  void runTool(int phase, int x, int y);
  // Where the right button went down is not used; the window procedure
  // hands it over as with the left one.
  void rightButton(bool down, int x, int y);
  void paint(HDC target);
  void selectAlgorithm(int algorithm);
  bool leaveAlgorithm(int algorithm);
  void selectRememberedAlgorithm() { selectAlgorithm(rememberedAlgorithm_); }
  void showPane(int algorithm, bool show);
  void layOutHumPane(bool advanced);
  void timeScrollCommitted() { scrollTime(true); }
  void frequencyScrollCommitted() { scrollFrequency(true); }
  void recordPress(int x, int y);
  void setButtonDown(bool down) { buttonDown_ = down ? 1 : 0; }
  bool buttonHeld() const { return buttonDown_ != 0; }
  // Ends a drag that lost the mouse: the release where the tool last saw it.
  void endDrag();

  // The view operations the zoom and scroll controls lead to.
  void setTimeLabels(double start, double end);
  void setFrequencyLabels(double lower, double upper);
  void setReferenceRange(int minimum, int maximum, int position);
  void setTimeScrollRange();
  void setFrequencyScrollRange();
  void scrollTime(bool commit);
  void scrollFrequency(bool commit);
  void setReferenceFrequency();
  void zoomFrequencyIn();
  void zoomFrequencyOut();
  void zoomTimeIn();
  void zoomTimeOut();
  void zoomInBoth();
  void zoomOutBoth();
  void zoomAll();
  void redrawSpectrogram();
  void presentDisplay() { layers_.presentDisplay(); }
  void drawCurrentCurve();

  // State a host test or the commands read.
  bool isOpen() const { return mainWindow_ != nullptr; }
  HWND mainWindow() const { return mainWindow_; }
  HWND displayWindow() const { return displayWindow_; }
  int activeTool() const { return headless_.view().toolId; }
  int algorithm() const { return algorithm_; }
  bool needsRedraw() const { return needsRedraw_; }
  bool readStarted() const { return readStarted_; }
  const std::string& fileName() const { return fileName_; }
  const std::string& curveFilePath() const { return curveFilePath_; }
  // The undo history of a host file id, made on first use.
  PvcHistory& historyOf(std::int32_t fileId) { return histories_[fileId]; }
  std::size_t historyCount() const { return histories_.size(); }
  void updateUndoButtons();
  void undoEdit();
  void redoEdit();
  void setShowPoints(bool on);
  void setMoveMode(bool on);
  bool importCurve();
  bool exportCurve();
  int lastAlgorithm() const { return lastAlgorithm_; }
  bool linearScale() const { return linearScale_; }
  bool rangeSelected() const { return rangeSelected_; }
  bool movePointsMode() const { return movePointsMode_; }
  bool showsPoints() const { return showPoints_; }
  // Number of instances with an open window, for the class registration.
  static int openInstances();

 private:
  void resetState();
  void showSplashPicture();
  void splashReleased();
  void blankDisplay();
  void takeUpOtherFile(VstAudioFile* files, VstInt32 count);
  void noteSameFile(const VstAudioFile& first);
  void startReadingPass(VstAudioFile* files, VstInt32 count);
  void startRequestedPass(VstAudioFile* files, VstInt32 count);
  void askForNotification();
  void updateFrequencyView();
  void requestRedrawPass();
  void applyTimeWindow(std::int32_t offset, std::int32_t selectionStart, std::int32_t selectionEnd,
                       std::int32_t centre, std::int32_t halfSpan);
  void applyTimeWindow(const view::TimeWindow& w);
  void applyFrequencyZoom(const view::FrequencyZoom& z);
  double sampleRate() const;

  // Commands.
  void hideZoomHint();
  void settleView();
  void leaveHumOnlyDisplay(bool askForPass);
  void selectLinearScale();
  void selectLogScale();
  void moveHumBar(int bar);
  void movePilotBar(int bar);
  void moveSpectralBar(int bar);
  void createPvc();
  void showHum();
  void preview();
  void updateAnalysisSettings();
  void chooseEditTool(int tool);
  void snapshot(int tag);
  void record(int tag);
  void resetTimeView();

  // Tools.
  void zoomTool(int phase, int x, int y);
  void moveTool(int phase, int x, int y);
  void insertTool(int phase, int x);
  void deleteTool(int phase, int x, int y);
  void chartTool(int phase, int x, int y);
  void rangeTool(int phase, int x, int y);
  void gravityTool(int phase, int x, int y);
  std::int32_t sampleOfX(int x) const;
  int traceColumns(int x) const;
  void relayoutCurve();

  OfflineEffect& effect_;
  HINSTANCE module_;
  HeadlessEditor headless_;  // serves a host that never opens the window
  ERect rect_{0, 0, kHeight, kWidth};

  std::map<std::int32_t, PvcHistory> histories_;
  std::string curveFilePath_;
  bool readStarted_ = false;
  std::int32_t timeHalfSpan_ = 0;
  int frequencyCentre_ = 0;
  int frequencyHalfSpan_ = 0;
  double editCursor_ = 0.0;
  double hostSelectionStart_ = 0.0;
  double hostSelectionEnd_ = 0.0;
  int displayState_ = kDisplayEmpty;
  int rememberedAlgorithm_ = kZoomAlgorithm;
  bool linearScale_ = true;
  HWND displayWindow_ = nullptr;
  DisplayLayers layers_;
  bool showPoints_ = false;
  int displayHeight_ = 260;
  int displayWidth_ = 670;
  std::string fileName_;
  HWND mainWindow_ = nullptr;
  int leftPressX_ = 0, leftPressY_ = 0, buttonDown_ = 0;
  int lastToolX_ = 0, lastToolY_ = 0;
  bool zoomTime_ = true;
  bool zoomFrequency_ = true;
  bool movePointsMode_ = false;
  bool needsRedraw_ = false;
  bool requestingRedraw_ = false;
  int algorithm_ = kZoomAlgorithm;
  bool advanced_ = false;
  HBITMAP splash_ = nullptr;
  int lastAlgorithm_ = 0;

  int savedTool_ = kToolNone;
  bool rangeSelected_ = false;
  // Zoom rectangle: press sample (relative to the view) and row.
  std::int32_t selectionStart_ = 0;
  int zoomStartY_ = 0;
  // Move tool.
  bool pointHit_ = false;
  bool pointGrabbed_ = false;
  bool dragging_ = false;
  // Chart tool.
  std::optional<editor::ChartBuffer> chart_;
  // Curve file dialogs: the chosen path is proposed again next time.
  std::string importPath_;
  std::string importDirectory_;
  std::string exportDirectory_;
};
