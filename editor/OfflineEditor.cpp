#include "editor/OfflineEditor.h"

#include <commctrl.h>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/CommandTable.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/EditorWindowProcs.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace {

// The splash picture's resource (a bitmap, not a control).
constexpr int kSplashBitmap = 102;

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
    if (record.id != editor::kDisplay || !control) continue;
    // The display: its size drives the layers and the analyser's grid.
    displayWindow_ = control;
    RECT r{};
    GetWindowRect(control, &r);
    viewControls_.setDisplaySize(r.right - r.left, r.bottom - r.top);
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
  SendMessageA(editor::ControlTable::get(editor::kResolutionList), CB_SETCURSEL,
               static_cast<WPARAM>(resolutionItem(view().fftLength)), 0);
  SendMessageA(editor::ControlTable::get(editor::kWindowList), CB_SETCURSEL, static_cast<WPARAM>(view().window), 0);

  panes_.showPane(detect::kAlgorithmPilotTone, false);
  panes_.showPane(detect::kAlgorithmHum, false);
  panes_.showPane(detect::kAlgorithmSpectral, false);
  algorithms_.reset();
  curves_.forgetHistories();
  files_.setDisplayState(kDisplayEmpty);
  return true;
}

// What the layer set-up leaves: no file, the splash tool, and the analyser
// laid out for the display's grid.
void OfflineEditor::resetState() {
  view().toolId = kToolSplash;
  tools_.reset();
  viewControls_.reset();
  view().centre = 0;
  files_.reset();
  view().drawingWidth = viewControls_.displayWidth() - 2;
  view().drawingHeight = viewControls_.displayHeight() - 1;
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
  const bool ownsTable = editor::ControlTable::get(editor::kDisplay) == displayWindow_;
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

int OfflineEditor::displayState() const { return isOpen() ? files_.displayState() : headless_.displayState(); }

void OfflineEditor::notifyFiles(VstAudioFile* files, VstInt32 count) {
  if (!isOpen()) {
    headless_.notifyFiles(files, count);
    return;
  }
  files_.notifyFiles(files, count);
}

// The passes changed the analyser's band or the visible time.
void OfflineEditor::updateAxes(const SpectrogramAnalyser& analyser) {
  if (!isOpen()) {
    headless_.updateAxes(analyser);
    return;
  }
  viewControls_.updateAxes(analyser);
}

void OfflineEditor::enableFileControls() {
  headless_.enableFileControls();
  if (isOpen()) editor::enableControls(editor::kFileControls, true);
}

void OfflineEditor::setProgress(double fraction) {
  headless_.setProgress(fraction);
  if (!isOpen()) return;
  HWND bar = editor::ControlTable::get(editor::kProgressBar);
  if (fraction < 0.0) {
    editor::showControl(editor::kProgressBar, false);
    return;
  }
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(fraction * 100.0), 0);
}

void OfflineEditor::drawSpectrogramColumn(int column, const SpectrogramAnalyser& analyser) {
  if (!isOpen()) {
    headless_.drawSpectrogramColumn(column, analyser);
    return;
  }
  layers_.drawSpectrogramColumn(column, effect_.analyser(), algorithms_.linearScale());
}

void OfflineEditor::redrawSpectrogram() { layers_.redrawSpectrogram(effect_.analyser(), algorithms_.linearScale()); }

void OfflineEditor::drawCurve(const PvcCurve& curve) {
  if (!isOpen()) {
    headless_.drawCurve(curve);
    return;
  }
  layers_.drawCurve(&curve, curves_.showsPoints());
  layers_.presentDisplay();
}

void OfflineEditor::drawCurrentCurve() { layers_.drawCurve(&effect_.curve(), curves_.showsPoints()); }

void OfflineEditor::drawCurveWithBounds(const PvcCurve& curve, int upperRow, int lowerRow) {
  if (!isOpen()) {
    headless_.drawCurveWithBounds(curve, upperRow, lowerRow);
    return;
  }
  layers_.drawCurveWithBounds(curve, lowerRow, upperRow, curves_.showsPoints());
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

void OfflineEditor::recordUndoStep(int algorithm) {
  headless_.recordUndoStep(algorithm);
  if (isOpen()) curves_.record(algorithm);
}

void OfflineEditor::showMessage(const std::string& text) {
  headless_.showMessage(text);
  if (!isOpen()) return;
  editor::setControlText(editor::kMessageArea, text.c_str());
  editor::showControl(editor::kMessageArea, true);
}

void OfflineEditor::relayoutCurve() {
  effect_.curve().layout(effect_.analyser());
  drawCurrentCurve();
  presentDisplay();
}

void OfflineEditor::handleCommand(int id) {
  if (const editor::CommandRow* row = editor::commandRow(id)) row->run(*this, id);
}

void OfflineEditor::askForNotification() { effect_.offlineRead(nullptr, kVstOfflineQueryFiles, true); }
