// The commands that make the host run a detection pass ("Create PVC",
// "Show Hum", "Preview", "Update"), the undo history, the manual tools'
// switches and the curve file dialogs. No command processes audio: it sets
// the operation mode and asks for the file list, and the notification that
// answers starts the pass.
#include <windows.h>

#include <commdlg.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/CurveCheck.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "platform/Platform.h"
#include "plugin/OfflineEffect.h"

namespace {

using editor::ControlTable;

constexpr int kReferenceBar = 11;
constexpr int kCreatePvc = 40;
constexpr int kResolutionList = 59;
constexpr int kWindowList = 60;
constexpr int kMovePoint = 66;
constexpr int kEditToolIds[] = {67, 68, 69};
constexpr int kProgressBar = 77;
constexpr int kRedoButton = 79;
constexpr int kSpectralLevelBar = 88;
constexpr int kMessageArea = 75;
constexpr int kPathSize = 260;
constexpr const char* kNothingToFollow =
    "No track to follow: nothing in the chosen range and band lasted long enough. The curve is flat.";

// Tags of the undo steps: what made them.
enum UndoTag : int {
  kTagSpectral = 2,
};

std::string messageShown() {
  std::array<char, 256> text{};
  GetWindowTextA(ControlTable::get(kMessageArea), text.data(), static_cast<int>(text.size()));
  return text.data();
}

bool checked(int id) { return SendMessageA(ControlTable::get(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string currentDirectory() {
  std::array<char, kPathSize> path{};
  GetCurrentDirectoryA(kPathSize, path.data());
  return path.data();
}

// Copies text into a dialog buffer, cut to fit.
void fill(std::array<char, kPathSize>& buffer, const std::string& text) {
  buffer.fill(0);
  std::strncpy(buffer.data(), text.c_str(), kPathSize - 1);
}

// The curve file dialogs' common set-up: the name and folder buffers, the
// filter, the title and the default extension.
OPENFILENAMEA curveFileDialog(HWND owner, const char* filter, std::array<char, kPathSize>& path,
                              std::array<char, kPathSize>& directory, const char* title, DWORD flags) {
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = kPathSize;
  dialog.lpstrInitialDir = directory.data();
  dialog.lpstrTitle = title;
  dialog.Flags = flags;
  dialog.lpstrDefExt = "pvc";
  return dialog;
}

// Larger than any curve of a recording: not read whole to be checked.
constexpr std::uintmax_t kLargestCurveFile = 256u << 20;

bool readWhole(const std::string& path, std::string& text) {
  std::error_code failed;
  const std::uintmax_t size = std::filesystem::file_size(path, failed);
  if (failed || size > kLargestCurveFile) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

// "3 lines of the PVC file could not be used and were left out (line 2: ...)".
std::string unusableLinesMessage(const curvecheck::CurveCheck& check) {
  std::string text = std::to_string(check.unusableLines) + (check.unusableLines == 1 ? " line" : " lines") +
                     " of the PVC file could not be used and were left out";
  for (std::size_t i = 0; i < check.firstReasons.size(); ++i) text += (i == 0 ? " (" : "; ") + check.firstReasons[i];
  return text + (check.unusableLines > check.firstReasons.size() ? "; ...)." : ").");
}

}  // namespace

void OfflineEditor::resetTimeView() {
  const std::int32_t length = view().fileLength;
  applyTimeWindow(0, 0, length, length / 2, length / 2);
}

void OfflineEditor::createPvc() {
  editor::showControl(kProgressBar, true);
  detect::DetectorEngines& engines = effect_.engines();
  SpectrogramAnalyser& analyser = effect_.analyser();
  if (algorithm_ == detect::kAlgorithmSpectral) {
    detect::SpectralPvcDetector* detector = engines.spectralEngine();
    PvcCurve& curve = effect_.curve();
    const std::int32_t length = view().fileLength;
    const std::int32_t first = view().analysisStart;
    if (detector) detector->buildCurve();
    curve.resetFlat(length);
    curve.insertPoint(first, 1.0f, false);
    for (int k = 0; detector && k < detector->pointCount(); ++k) {
      const std::int64_t at = std::int64_t{first} + detector->position(k);
      if (at >= length) break;
      curve.insertPoint(static_cast<std::int32_t>(at), detector->value(k), false);
    }
    curve.setView(displayWidth_ - 2, displayHeight_ - 1, view().viewStart, length - view().viewStart);
    curve.layout(analyser);
    setOperationMode(0, kModeZoom);
    needsRedraw_ = true;
    askForNotification();
    if (curve.pushSnapshot()) {
      record(kTagSpectral);
    } else {
      showMessage(kSnapshotNotStored);
    }
    if (detector) drawDetectorOverlay(*detector);
    // A flat curve from the detector is not a finding: say why, as the
    // other detectors do ("Undo" brings back the curve before); a later
    // finding takes the words back.
    if (detector && detector->familyCount() == 0) {
      showMessage(kNothingToFollow);
    } else if (messageShown() == kNothingToFollow) {
      editor::setControlText(kMessageArea, "");
      editor::showControl(kMessageArea, false);
    }
    editor::showControl(kProgressBar, false);
    return;
  }
  if (!engines.prepare(algorithm_, analyser.sampleRate())) {
    editor::showControl(kProgressBar, false);
    return;
  }
  setOperationMode(0, algorithm_);
  engines.setUseSorvanite(false);
  if (analyser.fftLength() != view().fftLength) {
    effect_.analysisChanged = true;
    editor::enableControl(kReferenceBar, true);
  }
  resetTimeView();
  setTimeLabels(0, view().fileLength);
  askForNotification();
}

void OfflineEditor::showHum() {
  editor::showControl(kProgressBar, true);
  detect::DetectorEngines& engines = effect_.engines();
  if (!engines.prepare(algorithm_, effect_.analyser().sampleRate())) {
    editor::showControl(kProgressBar, false);
    return;
  }
  editor::enableControl(kReferenceBar, false);
  setOperationMode(0, algorithm_);
  engines.setUseSorvanite(true);
  setFrequencyLabels(0, static_cast<int>(engines.engineDisplayValue(2) / 2.0f));
  resetTimeView();
  setTimeLabels(view().zoomStart, view().zoomEnd);
  askForNotification();
}

void OfflineEditor::preview() {
  editor::showControl(kProgressBar, true);
  if (!rangeSelected_) {
    editor::showControl(kProgressBar, false);
    MessageBoxA(mainWindow_, "Please select processing range", "Info", MB_ICONERROR);
    return;
  }
  // No tool while the pass runs; the pass gives the range tool back.
  view().toolId = kToolNone;
  detect::DetectorEngines& engines = effect_.engines();
  if (!engines.prepare(algorithm_, effect_.analyser().sampleRate())) {
    view().toolId = kToolRange;
    editor::showControl(kProgressBar, false);
    return;
  }
  if (detect::SpectralPvcDetector* detector = engines.spectralEngine()) detector->setParamValue(2, 0.0f);
  setOperationMode(0, algorithm_);
  askForNotification();
  // The pane disables the level bar as it shows; the preview's tracks are
  // what the bar acts on, so it is enabled after.
  showPane(detect::kAlgorithmSpectral, true);
  editor::enableControl(kSpectralLevelBar, true);
  editor::enableControl(kCreatePvc, true);
}

void OfflineEditor::updateAnalysisSettings() {
  const auto resolutionItem = SendMessageA(ControlTable::get(kResolutionList), CB_GETCURSEL, 0, 0);
  const auto windowItem = SendMessageA(ControlTable::get(kWindowList), CB_GETCURSEL, 0, 0);
  const int resolution = resolutionItem >= 0 && resolutionItem <= 6 ? 64 << resolutionItem : view().fftLength;
  const int window = windowItem >= 0 ? static_cast<int>(windowItem) : view().window;
  if (resolution == view().fftLength && window == view().window) return;
  view().fftLength = resolution;
  view().window = window;
  effect_.analysisChanged = true;
  needsRedraw_ = true;
  askForNotification();
}

// Undo history of the file shown.

void OfflineEditor::record(int tag) {
  PvcHistory& history = historyOf(effect_.currentFileId);
  if (!history.record(tag) && history.currentStep() == PvcHistory::kCapacity) {
    // A full history keeps the newest curve as its last step, so that
    // "Redo" after "Undo" comes back to it: what is given up is the steps
    // between, never the work. The last step's file is replaced by the
    // newest curve first; only then does the snapshot past it go.
    PvcCurve& curve = effect_.curve();
    const int past = curve.snapshotIndex();
    if (curve.writeFile(curve.snapshotName(PvcHistory::kCapacity), true)) {
      history.replaceLast(tag);
    } else {
      showMessage(kSnapshotNotStored);
    }
    if (past > PvcHistory::kCapacity) platform::deleteFile(curve.snapshotName(past));
    curve.setSnapshotState(PvcHistory::kCapacity);
  }
  updateUndoButtons();
}

void OfflineEditor::snapshot(int tag) {
  switch (effect_.curve().storeSnapshot()) {
    case 2:
      record(tag);
      return;
    case 0:
      showMessage(kSnapshotNotStored);
      return;
    default:
      return;
  }
}

void OfflineEditor::relayoutCurve() {
  effect_.curve().layout(effect_.analyser());
  drawCurrentCurve();
  presentDisplay();
}

void OfflineEditor::undoEdit() {
  PvcHistory& history = historyOf(effect_.currentFileId);
  if (history.currentStep() > 0) {
    effect_.curve().loadSnapshot(history.currentStep() - 1);
    relayoutCurve();
  }
  history.undo();
  updateUndoButtons();
  // Nothing to redo after an undo at the first step.
  editor::enableControl(kRedoButton, history.currentStep() < history.topStep());
}

void OfflineEditor::redoEdit() {
  PvcHistory& history = historyOf(effect_.currentFileId);
  if (history.currentStep() < history.topStep()) {
    effect_.curve().loadSnapshot(history.currentStep() + 1);
    relayoutCurve();
  }
  history.redo();
  updateUndoButtons();
  editor::enableControl(kRedoButton, history.currentStep() < history.topStep());
}

// Manual correction's switches.

void OfflineEditor::chooseEditTool(int tool) {
  view().toolId = tool;
  effect_.curve().markPending();
}

void OfflineEditor::setShowPoints(bool on) {
  if (on) {
    showPoints_ = true;
    editor::enableControl(kMovePoint, true);
  } else {
    showPoints_ = false;
    if (movePointsMode_) {
      movePointsMode_ = false;
      SendMessageA(ControlTable::get(kMovePoint), BM_SETCHECK, BST_UNCHECKED, 0);
      editor::enableControls(kEditToolIds, true);
    }
    editor::enableControl(kMovePoint, false);
  }
  drawCurrentCurve();
  presentDisplay();
}

void OfflineEditor::setMoveMode(bool on) {
  if (on) {
    view().toolId = kToolMovePoint;
    effect_.curve().markPending();
    movePointsMode_ = true;
    editor::enableControls(kEditToolIds, false);
    return;
  }
  movePointsMode_ = false;
  editor::enableControls(kEditToolIds, true);
  constexpr int kToolOfRadio[] = {kToolInsert, kToolChart, kToolDelete};
  for (int i = 0; i < 3; ++i) {
    if (!checked(kEditToolIds[i])) continue;
    chooseEditTool(kToolOfRadio[i]);
    return;
  }
}

// Curve files.

bool OfflineEditor::importCurve() {
  static constexpr char kFilter[] = "PVC Files\0*.pvc\0All Files\0*.*\0";
  std::array<char, kPathSize> path{};
  std::array<char, kPathSize> directory{};
  if (importDirectory_.empty()) importDirectory_ = currentDirectory();
  fill(path, importPath_);
  fill(directory, importDirectory_);
  OPENFILENAMEA dialog = curveFileDialog(mainWindow_, kFilter, path, directory, "Open PVC File",
                                         OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
  if (!GetOpenFileNameA(&dialog)) return false;
  importPath_ = path.data();

  // The file is checked as a person's file: a file without a single point
  // would leave nothing to correct with, and a speed beyond 0.25 to 4 is no
  // wow; either way the curve stays as it was.
  std::string text;
  if (!readWhole(importPath_, text)) {
    showMessage("The PVC file could not be read: " + importPath_ + ". The curve is unchanged.");
    return true;
  }
  const curvecheck::CurveCheck check = curvecheck::checkCurveText(text);
  if (check.points.empty()) {
    showMessage("No PVC points could be read from this file. The curve is unchanged.");
    return true;
  }
  if (!check.refusal.empty()) {
    showMessage("The PVC file was not imported: " + check.refusal + ". The curve is unchanged.");
    return true;
  }
  // Lines the check left out must not reach the curve store, whose own
  // reading of them may differ: it reads the usable points from a copy.
  std::string source = importPath_;
  if (check.unusableLines > 0) {
    source = effect_.curve().tempDir() + "import~checked.dwt";
    std::ofstream copy(source, std::ios::binary | std::ios::trunc);
    copy << check.text();
    copy.close();
    if (!copy) {
      platform::deleteFile(source);
      showMessage("The usable points could not be written to the snapshot folder. The curve is unchanged.");
      return true;
    }
  }
  curveFilePath_ = importPath_;
  effect_.setCurveFileName(source);
  // Said first: a failure of the pass below has the last word.
  if (check.unusableLines > 0) showMessage(unusableLinesMessage(check));
  effect_.undoAfterZoom = true;
  const int tool = view().toolId;
  const int algorithm = algorithm_;
  const std::int32_t offset = view().viewStart;
  algorithm_ = kZoomAlgorithm;
  if (effect_.analyser().fftLength() != view().fftLength) {
    effect_.analysisChanged = true;
    needsRedraw_ = true;
  }
  setOperationMode(0, kModeZoom);
  needsRedraw_ = true;
  askForNotification();
  algorithm_ = algorithm;
  view().toolId = tool;
  view().viewStart = offset;
  // The pass that reads the file records the undo step once its snapshot is
  // written, or says why there is none.
  return true;
}

bool OfflineEditor::exportCurve() {
  static constexpr char kFilter[] = "PVC Files\0*.pvc\0";
  std::array<char, kPathSize> path{};
  std::array<char, kPathSize> directory{};
  if (exportDirectory_.empty()) exportDirectory_ = currentDirectory();
  // The curve is offered under the audio's name with the curve's extension,
  // never under the audio file's own name.
  if (!fileName_.empty()) fill(path, std::filesystem::path(fileName_).replace_extension(".pvc").string());
  fill(directory, exportDirectory_);
  // A new file must be choosable; an existing one is overwritten only when
  // the user agrees.
  OPENFILENAMEA dialog = curveFileDialog(mainWindow_, kFilter, path, directory, "Save PVC File",
                                         OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
  if (!GetSaveFileNameA(&dialog)) return false;
  if (effect_.curve().writeFile(path.data(), false)) return true;
  showMessage("The PVC file could not be written: " + std::string(path.data()));
  return false;
}
