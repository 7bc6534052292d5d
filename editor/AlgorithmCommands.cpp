#include "editor/AlgorithmCommands.h"

#include <windows.h>

#include <iterator>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "detect/OperationModes.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

void drawZoomPressed(bool pressed) {
  SendMessageA(ControlTable::get(kZoom), BM_SETSTATE, pressed ? TRUE : FALSE, 0);
}

}  // namespace

void AlgorithmCommands::reset() {
  algorithm_ = kZoomAlgorithm;
  rememberedAlgorithm_ = kZoomAlgorithm;
}

void AlgorithmCommands::chooseListedAlgorithm(int item) {
  // Item 0 ("Zoom") chooses none.
  if (item >= 1 && item < static_cast<int>(detect::kAlgorithmItems.size()))
    selectAlgorithm(detect::kAlgorithmItems[static_cast<std::size_t>(item)].algorithm);
}

void AlgorithmCommands::zoomPressed() {
  drawZoomPressed(true);
  if (lastAlgorithm_ != 0) {
    selectAlgorithm(kZoomAlgorithm);
    showControl(kZoomHint, true);
  }
}

void AlgorithmCommands::hideZoomHint() {
  if (rememberedAlgorithm_ != kZoomAlgorithm) return;
  showControl(kZoomHint, false);
  drawZoomPressed(false);
}

// Hum-only display ends when another algorithm takes over; the analyser
// goes back to the chosen resolution.
void AlgorithmCommands::leaveHumOnlyDisplay(bool askForPass) {
  detect::DetectorEngines& engines = editor_.effect().engines();
  if (algorithm_ != detect::kAlgorithmHum || !engines.useSorvanite()) return;
  engines.setUseSorvanite(false);
  if (editor_.effect().analyser().fftLength() == editor_.view().fftLength) return;
  editor_.effect().analysisChanged = true;
  editor_.files().markForRedraw();
  if (!askForPass) return;
  editor_.setOperationMode(0, kModeZoom);
  editor_.askForNotification();
}

void AlgorithmCommands::settleView() {
  editor_.viewControls().setTimeScrollRange();
  leaveHumOnlyDisplay(true);
}

bool AlgorithmCommands::leaveAlgorithm(int algorithm) {
  setControlText(kMessageArea, "");
  showControl(kMessageArea, false);
  detect::DetectorEngines& engines = editor_.effect().engines();
  switch (algorithm) {
    case detect::kAlgorithmHum:
    case detect::kAlgorithmPilotTone:
    case detect::kAlgorithmSpectral:
      editor_.panes().showPane(algorithm, false);
      return engines.release(algorithm);
    case detect::kAlgorithmManual:
    case kZoomAlgorithm:
      editor_.panes().showPane(algorithm, false);
      return true;
    default:
      return true;
  }
}

void AlgorithmCommands::selectAlgorithm(int a) {
  if (a != kZoomAlgorithm) drawZoomPressed(false);
  detect::DetectorEngines& engines = editor_.effect().engines();
  const float rate = editor_.effect().analyser().sampleRate();
  auto onLogScale = [&](const char* message) {
    if (algorithm_ != a) leaveAlgorithm(algorithm_);
    editor_.showMessage(message);
  };
  switch (a) {
    case detect::kAlgorithmHum:
      if (!linearScale_) {
        onLogScale("HUM Works only with Linear scale. Plese select linear scale.");
        break;
      }
      if (algorithm_ == a) break;
      // The engine is made before the algorithm in use is left: refused, it
      // leaves that one whole, its pane, its engine and its tool.
      if (!engines.prepare(a, rate)) {
        editor_.showMessage("Wybrano k_ofl_hum.");
        break;
      }
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) {
        engines.release(a);
        break;
      }
      editor_.view().toolId = kToolNone;
      editor_.panes().showPane(a, true);
      algorithm_ = a;
      break;
    case detect::kAlgorithmPilotTone:
      if (!linearScale_) {
        onLogScale("HFB Works only with Linear scale. Plese select linear scale.");
        break;
      }
      editor_.setOperationMode(0, kModeZoom);
      if (algorithm_ == a) break;
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) break;
      settleView();
      if (engines.prepare(a, rate)) {
        editor_.view().toolId = kToolNone;
        editor_.panes().showPane(a, true);
        algorithm_ = a;
      } else {
        algorithm_ = 0;
        editor_.view().toolId = kToolNone;
        editor_.showMessage("Sampling frequency is too low! Please, select another algorithm.");
      }
      break;
    case detect::kAlgorithmCentreOfGravity:
      if (!linearScale_) {
        onLogScale("COG Works only with Linear scale. Plese select linear scale.");
        break;
      }
      if (algorithm_ == a) break;
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) break;
      settleView();
      editor_.showMessage(
          "The Centre of Gravity method is active. Use mouse, dragging it from left to right over the selected "
          "tonal track, to determine the PVC. The DISC Level is set by the vertical mouse position.");
      editor_.view().toolId = kToolGravity;
      editor_.effect().curve().markPending();
      editor_.panes().showPane(a, true);
      algorithm_ = a;
      break;
    case detect::kAlgorithmManual:
      if (!linearScale_) {
        onLogScale("ACD Works only with Linear scale. Plese select linear scale.");
        break;
      }
      if (algorithm_ == a) break;
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) break;
      algorithm_ = a;
      // No tool unless the pane's controls have one chosen.
      editor_.view().toolId = kToolNone;
      editor_.panes().showPane(a, true);
      break;
    case detect::kAlgorithmSpectral:
      if (!linearScale_) {
        onLogScale("SDPVC Works only with Linear scale. Plese select linear scale.");
        break;
      }
      enableControl(kSpectralLevelBar, false);
      if (algorithm_ == a) break;
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) break;
      settleView();
      if (engines.prepare(a, rate)) {
        editor_.tools().setRangeSelected(false);
        editor_.view().toolId = kToolRange;
        editor_.panes().showPane(a, true);
        algorithm_ = a;
      } else {
        algorithm_ = 0;
        editor_.view().toolId = kToolNone;
        editor_.showMessage("Could not init SDPvc! Please, select another algorithm.");
      }
      break;
    case kZoomAlgorithm:
      if (algorithm_ == kZoomAlgorithm) return;
      if (!leaveAlgorithm(algorithm_)) return;
      editor_.viewControls().setTimeScrollRange();
      leaveHumOnlyDisplay(false);
      editor_.view().toolId = kToolZoom;
      editor_.panes().showPane(kZoomAlgorithm, true);
      algorithm_ = kZoomAlgorithm;
      editor_.setOperationMode(0, kModeZoom);
      rememberedAlgorithm_ = kZoomAlgorithm;
      editor_.askForNotification();
      return;
    default:
      return;
  }
  lastAlgorithm_ = algorithm_;
}

void AlgorithmCommands::selectLinearScale() {
  if (linearScale_) return;
  linearScale_ = true;
  showControl(kAlgorithmList, true);
  editor_.view().toolId = savedTool_;
  editor_.files().markForRedraw();
  showControls(kZoomButtons, true);
  algorithm_ = rememberedAlgorithm_;
  editor_.panes().showPane(algorithm_, true);
  editor_.setOperationMode(0, algorithm_);
  editor_.askForNotification();
  const SpectrogramAnalyser& analyser = editor_.effect().analyser();
  editor_.viewControls().setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
}

void AlgorithmCommands::selectLogScale() {
  if (!linearScale_) return;
  linearScale_ = false;
  rememberedAlgorithm_ = algorithm_;
  showControl(kAlgorithmList, false);
  savedTool_ = editor_.view().toolId;
  editor_.view().toolId = kToolNone;
  leaveHumOnlyDisplay(true);
  editor_.files().markForRedraw();
  editor_.panes().showPane(algorithm_, false);
  enableControls(kViewNavigationButReference, false);
  showControls(kZoomButtons, false);
  algorithm_ = 0;
  editor_.setOperationMode(0, 0);
  editor_.askForNotification();
  // The logarithmic scale has no 0 Hz: its lowest row reads 1. (A whole
  // number: "%d" given a double prints garbage.)
  if (editor_.effect().analyser().bottomFrequency() == 0.0f) setControlText(kLowerFrequency, "1");
  editor_.redrawSpectrogram();
}


}  // namespace editor
