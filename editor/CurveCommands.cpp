#include "editor/CurveCommands.h"

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
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "platform/Platform.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

constexpr int kPathSize = 260;

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

// Undo history of the file shown.

PvcHistory& CurveCommands::currentHistory() { return historyOf(editor_.effect().currentFileId); }

void CurveCommands::updateUndoButtons() {
  enableControl(kUndo, currentHistory().canUndo());
  enableControl(kRedo, false);
}

void CurveCommands::record(int tag) {
  PvcHistory& history = currentHistory();
  if (!history.record(tag) && history.currentStep() == PvcHistory::kCapacity) {
    // A full history keeps the newest curve as its last step, so that
    // "Redo" after "Undo" comes back to it: what is given up is the steps
    // between, never the work. The last step's file is replaced by the
    // newest curve first; only then does the snapshot past it go.
    PvcCurve& curve = editor_.effect().curve();
    const int past = curve.snapshotIndex();
    if (curve.writeFile(curve.snapshotName(PvcHistory::kCapacity), true)) {
      history.replaceLast(tag);
    } else {
      editor_.showMessage(kSnapshotNotStored);
    }
    if (past > PvcHistory::kCapacity) platform::deleteFile(curve.snapshotName(past));
    curve.setSnapshotState(PvcHistory::kCapacity);
  }
  updateUndoButtons();
}

void CurveCommands::snapshot(int tag) {
  switch (editor_.effect().curve().storeSnapshot()) {
    case 2:
      record(tag);
      return;
    case 0:
      editor_.showMessage(kSnapshotNotStored);
      return;
    default:
      return;
  }
}

void CurveCommands::undoEdit() {
  PvcHistory& history = currentHistory();
  if (history.currentStep() > 0) {
    editor_.effect().curve().loadSnapshot(history.currentStep() - 1);
    editor_.relayoutCurve();
  }
  history.undo();
  updateUndoButtons();
  // Nothing to redo after an undo at the first step.
  enableControl(kRedo, history.currentStep() < history.topStep());
}

void CurveCommands::redoEdit() {
  PvcHistory& history = currentHistory();
  if (history.currentStep() < history.topStep()) {
    editor_.effect().curve().loadSnapshot(history.currentStep() + 1);
    editor_.relayoutCurve();
  }
  history.redo();
  updateUndoButtons();
  enableControl(kRedo, history.currentStep() < history.topStep());
}

// Manual correction's switches.

void CurveCommands::chooseEditTool(int tool) {
  editor_.view().toolId = tool;
  editor_.effect().curve().markPending();
}

void CurveCommands::setShowPoints(bool on) {
  MouseTools& tools = editor_.tools();
  if (on) {
    showPoints_ = true;
    enableControl(kMovePoint, true);
  } else {
    showPoints_ = false;
    if (tools.movePointsMode()) {
      tools.setMovePointsMode(false);
      SendMessageA(ControlTable::get(kMovePoint), BM_SETCHECK, BST_UNCHECKED, 0);
      enableControls(kEditToolIds, true);
    }
    enableControl(kMovePoint, false);
  }
  editor_.drawCurrentCurve();
  editor_.presentDisplay();
}

void CurveCommands::setMoveMode(bool on) {
  MouseTools& tools = editor_.tools();
  if (on) {
    editor_.view().toolId = kToolMovePoint;
    editor_.effect().curve().markPending();
    tools.setMovePointsMode(true);
    enableControls(kEditToolIds, false);
    return;
  }
  tools.setMovePointsMode(false);
  enableControls(kEditToolIds, true);
  constexpr int kToolOfRadio[] = {kToolInsert, kToolChart, kToolDelete};
  for (int i = 0; i < 3; ++i) {
    if (!checked(kEditToolIds[i])) continue;
    chooseEditTool(kToolOfRadio[i]);
    return;
  }
}

// Curve files.

bool CurveCommands::importCurve() {
  static constexpr char kFilter[] = "PVC Files\0*.pvc\0All Files\0*.*\0";
  std::array<char, kPathSize> path{};
  std::array<char, kPathSize> directory{};
  if (importDirectory_.empty()) importDirectory_ = currentDirectory();
  fill(path, importPath_);
  fill(directory, importDirectory_);
  OPENFILENAMEA dialog = curveFileDialog(editor_.mainWindow(), kFilter, path, directory, "Open PVC File",
                                         OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
  if (!GetOpenFileNameA(&dialog)) return false;
  importPath_ = path.data();

  // The file is checked as a person's file: a file without a single point
  // would leave nothing to correct with, and a speed beyond 0.25 to 4 is no
  // wow; either way the curve stays as it was.
  std::string text;
  if (!readWhole(importPath_, text)) {
    editor_.showMessage("The PVC file could not be read: " + importPath_ + ". The curve is unchanged.");
    return true;
  }
  const curvecheck::CurveCheck check = curvecheck::checkCurveText(text);
  if (check.points.empty()) {
    editor_.showMessage("No PVC points could be read from this file. The curve is unchanged.");
    return true;
  }
  if (!check.refusal.empty()) {
    editor_.showMessage("The PVC file was not imported: " + check.refusal + ". The curve is unchanged.");
    return true;
  }
  // Lines the check left out must not reach the curve store, whose own
  // reading of them may differ: it reads the usable points from a copy.
  std::string source = importPath_;
  if (check.unusableLines > 0) {
    source = editor_.effect().curve().tempDir() + "import~checked.dwt";
    std::ofstream copy(source, std::ios::binary | std::ios::trunc);
    copy << check.text();
    copy.close();
    if (!copy) {
      platform::deleteFile(source);
      editor_.showMessage("The usable points could not be written to the snapshot folder. The curve is unchanged.");
      return true;
    }
  }
  curveFilePath_ = importPath_;
  editor_.effect().setCurveFileName(source);
  // Said first: a failure of the pass below has the last word.
  if (check.unusableLines > 0) editor_.showMessage(unusableLinesMessage(check));
  editor_.effect().undoAfterZoom = true;
  const int tool = editor_.view().toolId;
  const int algorithm = editor_.algorithms().algorithm();
  const std::int32_t offset = editor_.view().viewStart;
  editor_.algorithms().setAlgorithm(kZoomAlgorithm);
  if (editor_.effect().analyser().fftLength() != editor_.view().fftLength) {
    editor_.effect().analysisChanged = true;
    editor_.files().markForRedraw();
  }
  editor_.setOperationMode(0, kModeZoom);
  editor_.files().markForRedraw();
  editor_.askForNotification();
  editor_.algorithms().setAlgorithm(algorithm);
  editor_.view().toolId = tool;
  editor_.view().viewStart = offset;
  // The pass that reads the file records the undo step once its snapshot is
  // written, or says why there is none.
  return true;
}

bool CurveCommands::exportCurve() {
  static constexpr char kFilter[] = "PVC Files\0*.pvc\0";
  std::array<char, kPathSize> path{};
  std::array<char, kPathSize> directory{};
  if (exportDirectory_.empty()) exportDirectory_ = currentDirectory();
  // The curve is offered under the audio's name with the curve's extension,
  // never under the audio file's own name.
  if (!editor_.files().fileName().empty()) fill(path, std::filesystem::path(editor_.files().fileName()).replace_extension(".pvc").string());
  fill(directory, exportDirectory_);
  // A new file must be choosable; an existing one is overwritten only when
  // the user agrees.
  OPENFILENAMEA dialog = curveFileDialog(editor_.mainWindow(), kFilter, path, directory, "Save PVC File",
                                         OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
  if (!GetSaveFileNameA(&dialog)) return false;
  if (editor_.effect().curve().writeFile(path.data(), false)) return true;
  editor_.showMessage("The PVC file could not be written: " + std::string(path.data()));
  return false;
}

}  // namespace editor
