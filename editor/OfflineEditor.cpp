#include "editor/OfflineEditor.h"

#include <commctrl.h>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlTable.h"
#include "editor/EditorWindowProcs.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace {

constexpr int kSplashBitmap = 102;
constexpr int kDisplayId = 10;
constexpr int kMessageArea = 75;
constexpr int kProgressBar = 77;
constexpr int kUndoButton = 78;
constexpr int kRedoButton = 79;
constexpr int kResolutionList = 59;
constexpr int kWindowList = 60;
// The controls that need a host file: the algorithm list and the curve files.
constexpr int kFileControls[] = {72, 73, 74};

// Editors with an open window; the window class lives while there are any.
int openEditors = 0;

bool registerWindowClass(HINSTANCE module) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = editor::mainWindowProcedure;
  windowClass.hInstance = module;
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = OfflineEditor::kWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

// The list item of an FFT length 64..4096, or -1.
int resolutionItem(int fftLength) {
  int item = 0;
  for (int n = 64; n <= 4096; n *= 2, ++item)
    if (n == fftLength) return item;
  return -1;
}

}  // namespace

OfflineEditor::OfflineEditor(OfflineEffect& effect, HINSTANCE module)
    : effect_(effect), module_(module), headless_(effect) {}

OfflineEditor::~OfflineEditor() {
  if (isOpen()) close();
}

int OfflineEditor::openInstances() { return openEditors; }

bool OfflineEditor::getRect(ERect** rect) {
  *rect = &rect_;
  return true;
}

bool OfflineEditor::open(void* parentWindow) {
  if (isOpen()) close();  // a second open without a close starts afresh
  systemWindow_ = parentWindow;
  if (openEditors == 0) registerWindowClass(module_);
  ++openEditors;
  splash_ = LoadBitmapA(module_, MAKEINTRESOURCEA(kSplashBitmap));

  mainWindow_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                static_cast<HWND>(parentWindow), nullptr, module_, nullptr);
  if (!mainWindow_) {
    // No window (no parent, say): nothing is open, and the count stays true.
    if (splash_) DeleteObject(splash_);
    splash_ = nullptr;
    if (--openEditors == 0) UnregisterClassA(kWindowClass, module_);
    AEffEditor::close();
    return false;
  }
  editor::attachEditor(mainWindow_, this);

  for (const editor::ControlRecord& record : editor::editorControls()) {
    HWND control = editor::createControl(record, mainWindow_, module_, editor::scrollBarProcedure);
    if (record.id != kDisplayId || !control) continue;
    // The display: its size drives the layers and the analyser's grid.
    displayWindow_ = control;
    RECT r{};
    GetWindowRect(control, &r);
    displayHeight_ = r.bottom - r.top;
    displayWidth_ = r.right - r.left;
    layers_.makeLayers(control);
    resetState();
    editor::setDisplayPrevious(reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editor::displayProcedure))));
    editor::attachEditor(control, this);
  }

  // The analysis settings lists show the analyser's current settings.
  const SpectrogramAnalyser& analyser = effect_.analyser();
  view().fftLength = analyser.fftLength();
  view().window = analyser.windowType();
  SendMessageA(editor::ControlTable::get(kResolutionList), CB_SETCURSEL,
               static_cast<WPARAM>(resolutionItem(view().fftLength)), 0);
  SendMessageA(editor::ControlTable::get(kWindowList), CB_SETCURSEL, static_cast<WPARAM>(view().window), 0);

  showPane(detect::kAlgorithmPilotTone, false);
  showPane(detect::kAlgorithmHum, false);
  showPane(detect::kAlgorithmSpectral, false);
  algorithm_ = kZoomAlgorithm;
  rememberedAlgorithm_ = kZoomAlgorithm;
  histories_.clear();
  displayState_ = kDisplayEmpty;
  return true;
}

// What the layer set-up leaves: no file, the splash tool, and the analyser
// laid out for the display's grid.
void OfflineEditor::resetState() {
  view().toolId = kToolSplash;
  buttonDown_ = 0;
  zoomTime_ = true;
  zoomFrequency_ = true;
  movePointsMode_ = false;
  timeHalfSpan_ = 0;
  view().centre = 0;
  editCursor_ = 0.0;
  hostSelectionStart_ = 0.0;
  hostSelectionEnd_ = 0.0;
  fileName_.clear();
  readStarted_ = false;
  needsRedraw_ = false;
  view().drawingWidth = displayWidth_ - 2;
  view().drawingHeight = displayHeight_ - 1;
  effect_.reconfigureAnalyser();
}

void OfflineEditor::close() {
  if (!isOpen()) return;
  PvcCurve& curve = effect_.curve();
  curve.clearSnapshots();
  // No file stands for any step now and the next window's histories start
  // empty: every file's count goes to 0, and the curve shown becomes the
  // current file's first step again, so that switching back to it finds it.
  effect_.zeroFileSteps();
  if (effect_.fileTable().fileIdCapacity() > 0 && curve.pointCount() > 0) curve.pushSnapshot();
  layers_.deleteLayers();
  // The window goes with the editor: nothing may call into a closed editor,
  // and the class can only be unregistered once its windows are gone.
  editor::attachEditor(displayWindow_, nullptr);
  editor::attachEditor(mainWindow_, nullptr);
  // A second editor opened since owns the shared table now.
  const bool ownsTable = editor::ControlTable::get(kDisplayId) == displayWindow_;
  DestroyWindow(mainWindow_);
  mainWindow_ = nullptr;
  displayWindow_ = nullptr;
  if (ownsTable) editor::ControlTable::clear();
  if (splash_) DeleteObject(splash_);
  splash_ = nullptr;
  if (--openEditors == 0) UnregisterClassA(kWindowClass, module_);
  AEffEditor::close();
}

void OfflineEditor::idle() { updatePending_ = false; }

void OfflineEditor::setOperationMode(int /*unused*/, int mode) {
  effect_.setParameter(0, static_cast<float>(mode));
}

int OfflineEditor::displayState() const { return isOpen() ? displayState_ : headless_.displayState(); }

void OfflineEditor::enableFileControls() {
  headless_.enableFileControls();
  if (isOpen()) editor::enableControls(kFileControls, true);
}

void OfflineEditor::setProgress(double fraction) {
  headless_.setProgress(fraction);
  if (!isOpen()) return;
  HWND bar = editor::ControlTable::get(kProgressBar);
  if (fraction < 0.0) {
    editor::showControl(kProgressBar, false);
    return;
  }
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(fraction * 100.0), 0);
}

void OfflineEditor::drawSpectrogramColumn(int column, const SpectrogramAnalyser& analyser) {
  if (!isOpen()) {
    headless_.drawSpectrogramColumn(column, analyser);
    return;
  }
  layers_.drawSpectrogramColumn(column, effect_.analyser(), linearScale_);
}

void OfflineEditor::redrawSpectrogram() { layers_.redrawSpectrogram(effect_.analyser(), linearScale_); }

void OfflineEditor::drawCurve(const PvcCurve& curve) {
  if (!isOpen()) {
    headless_.drawCurve(curve);
    return;
  }
  layers_.drawCurve(&curve, showPoints_);
  layers_.presentDisplay();
}

void OfflineEditor::drawCurrentCurve() { layers_.drawCurve(&effect_.curve(), showPoints_); }

void OfflineEditor::drawCurveWithBounds(const PvcCurve& curve, int upperRow, int lowerRow) {
  if (!isOpen()) {
    headless_.drawCurveWithBounds(curve, upperRow, lowerRow);
    return;
  }
  layers_.drawCurveWithBounds(curve, lowerRow, upperRow, showPoints_);
  layers_.presentDisplay();
}

void OfflineEditor::drawDetectorOverlay(const detect::SpectralPvcDetector& detector) {
  if (!isOpen()) {
    headless_.drawDetectorOverlay(detector);
    return;
  }
  layers_.drawTrackOverlay(effect_.analyser(), detector, view().analysisStart, view().viewStart,
                           view().viewLength);
}

void OfflineEditor::paint(HDC target) { layers_.paint(target); }

void OfflineEditor::recordUndoStep(int algorithm) {
  headless_.recordUndoStep(algorithm);
  if (isOpen()) record(algorithm);
}

void OfflineEditor::showMessage(const std::string& text) {
  headless_.showMessage(text);
  if (!isOpen()) return;
  editor::setControlText(kMessageArea, text.c_str());
  editor::showControl(kMessageArea, true);
}

void OfflineEditor::updateUndoButtons() {
  editor::enableControl(kUndoButton, historyOf(effect_.currentFileId).canUndo());
  editor::enableControl(kRedoButton, false);
}

void OfflineEditor::recordPress(int x, int y) {
  leftPressX_ = x;
  leftPressY_ = y;
}

void OfflineEditor::askForNotification() { effect_.offlineRead(nullptr, kVstOfflineQueryFiles, true); }

double OfflineEditor::sampleRate() const { return effect_.analyser().sampleRate(); }
