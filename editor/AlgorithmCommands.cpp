// Choosing an algorithm: the checks and messages of each, leaving the one
// before, the linear and logarithmic scale, and the detector panes' bars.
#include <windows.h>

#include <cstdio>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlTable.h"
#include "editor/HumBars.h"
#include "editor/OfflineEditor.h"
#include "plugin/OfflineEffect.h"

namespace {

using editor::ControlTable;

constexpr int kMessageArea = 75;
constexpr int kZoomButton = 96;
constexpr int kZoomHint = 106;
constexpr int kAlgorithmList = 72;
constexpr int kLowerFrequency = 20;
constexpr int kSpectralLevelBar = 88;
constexpr int kZoomButtons[] = {96, 97, 98, 99};
constexpr int kViewBarsAndButtons[] = {12, 13, 14, 15, 16, 17};

void drawZoomPressed(bool pressed) {
  SendMessageA(ControlTable::get(kZoomButton), BM_SETSTATE, pressed ? TRUE : FALSE, 0);
}

// 1.0 with the thumb at the top.
float barValue(int id) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_POS;
  if (!GetScrollInfo(ControlTable::get(id), SB_CTL, &info) || info.nMax == 0) return 0.0f;
  return static_cast<float>(info.nMax - info.nPos) / static_cast<float>(info.nMax);
}

void placeBar(int id, float v) {
  HWND bar = ControlTable::get(id);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE;
  if (!GetScrollInfo(bar, SB_CTL, &info)) return;
  info.fMask = SIF_POS;
  info.nPos = static_cast<int>(static_cast<float>(info.nMax) - v * static_cast<float>(info.nMax));
  SetScrollInfo(bar, SB_CTL, &info, TRUE);
}

void setNumber(int id, const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  editor::setControlText(id, text);
}

// The hum engine's parameters through the plug-in's engine slot.
class EngineHumParameters : public editor::HumParameters {
 public:
  explicit EngineHumParameters(detect::DetectorEngines& engines) : engines_(engines) {}
  float value(int index) override { return engines_.engineValue(index); }
  void setValue(int index, float v) override { engines_.setEngineValue(index, v); }
  float display(int index) override { return engines_.engineDisplayValue(index); }

 private:
  detect::DetectorEngines& engines_;
};

}  // namespace

void OfflineEditor::hideZoomHint() {
  if (rememberedAlgorithm_ != kZoomAlgorithm) return;
  editor::showControl(kZoomHint, false);
  drawZoomPressed(false);
}

// Hum-only display ends when another algorithm takes over; the analyser
// goes back to the chosen resolution.
void OfflineEditor::leaveHumOnlyDisplay(bool askForPass) {
  detect::DetectorEngines& engines = effect_.engines();
  if (algorithm_ != detect::kAlgorithmHum || !engines.useSorvanite()) return;
  engines.setUseSorvanite(false);
  if (effect_.analyser().fftLength() == view().fftLength) return;
  effect_.analysisChanged = true;
  needsRedraw_ = true;
  if (!askForPass) return;
  setOperationMode(0, kModeZoom);
  askForNotification();
}

void OfflineEditor::settleView() {
  setTimeScrollRange();
  leaveHumOnlyDisplay(true);
}

bool OfflineEditor::leaveAlgorithm(int algorithm) {
  editor::setControlText(kMessageArea, "");
  editor::showControl(kMessageArea, false);
  detect::DetectorEngines& engines = effect_.engines();
  switch (algorithm) {
    case detect::kAlgorithmHum:
    case detect::kAlgorithmPilotTone:
    case detect::kAlgorithmSpectral:
      showPane(algorithm, false);
      return engines.release(algorithm);
    case detect::kAlgorithmManual:
    case kZoomAlgorithm:
      showPane(algorithm, false);
      return true;
    default:
      return true;
  }
}

void OfflineEditor::selectAlgorithm(int a) {
  if (a != kZoomAlgorithm) drawZoomPressed(false);
  detect::DetectorEngines& engines = effect_.engines();
  const float rate = effect_.analyser().sampleRate();
  auto onLogScale = [&](const char* message) {
    if (algorithm_ != a) leaveAlgorithm(algorithm_);
    showMessage(message);
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
        showMessage("Wybrano k_ofl_hum.");
        break;
      }
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) {
        engines.release(a);
        break;
      }
      view().toolId = kToolNone;
      showPane(a, true);
      algorithm_ = a;
      break;
    case detect::kAlgorithmPilotTone:
      if (!linearScale_) {
        onLogScale("HFB Works only with Linear scale. Plese select linear scale.");
        break;
      }
      setOperationMode(0, kModeZoom);
      if (algorithm_ == a) break;
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) break;
      settleView();
      if (engines.prepare(a, rate)) {
        view().toolId = kToolNone;
        showPane(a, true);
        algorithm_ = a;
      } else {
        algorithm_ = 0;
        view().toolId = kToolNone;
        showMessage("Sampling frequency is too low! Please, select another algorithm.");
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
      showMessage(
          "The Centre of Gravity method is active. Use mouse, dragging it from left to right over the selected "
          "tonal track, to determine the PVC. The DISC Level is set by the vertical mouse position.");
      view().toolId = kToolGravity;
      effect_.curve().markPending();
      showPane(a, true);
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
      view().toolId = kToolNone;
      showPane(a, true);
      break;
    case detect::kAlgorithmSpectral:
      if (!linearScale_) {
        onLogScale("SDPVC Works only with Linear scale. Plese select linear scale.");
        break;
      }
      editor::enableControl(kSpectralLevelBar, false);
      if (algorithm_ == a) break;
      hideZoomHint();
      if (!leaveAlgorithm(algorithm_)) break;
      settleView();
      if (engines.prepare(a, rate)) {
        rangeSelected_ = false;
        view().toolId = kToolRange;
        showPane(a, true);
        algorithm_ = a;
      } else {
        algorithm_ = 0;
        view().toolId = kToolNone;
        showMessage("Could not init SDPvc! Please, select another algorithm.");
      }
      break;
    case kZoomAlgorithm:
      if (algorithm_ == kZoomAlgorithm) return;
      if (!leaveAlgorithm(algorithm_)) return;
      setTimeScrollRange();
      leaveHumOnlyDisplay(false);
      view().toolId = kToolZoom;
      showPane(kZoomAlgorithm, true);
      algorithm_ = kZoomAlgorithm;
      setOperationMode(0, kModeZoom);
      rememberedAlgorithm_ = kZoomAlgorithm;
      askForNotification();
      return;
    default:
      return;
  }
  lastAlgorithm_ = algorithm_;
}

void OfflineEditor::selectLinearScale() {
  if (linearScale_) return;
  linearScale_ = true;
  editor::showControl(kAlgorithmList, true);
  view().toolId = savedTool_;
  needsRedraw_ = true;
  editor::showControls(kZoomButtons, true);
  algorithm_ = rememberedAlgorithm_;
  showPane(algorithm_, true);
  setOperationMode(0, algorithm_);
  askForNotification();
  const SpectrogramAnalyser& analyser = effect_.analyser();
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
}

void OfflineEditor::selectLogScale() {
  if (!linearScale_) return;
  linearScale_ = false;
  rememberedAlgorithm_ = algorithm_;
  editor::showControl(kAlgorithmList, false);
  savedTool_ = view().toolId;
  view().toolId = kToolNone;
  leaveHumOnlyDisplay(true);
  needsRedraw_ = true;
  showPane(algorithm_, false);
  editor::enableControls(kViewBarsAndButtons, false);
  editor::showControls(kZoomButtons, false);
  algorithm_ = 0;
  setOperationMode(0, 0);
  askForNotification();
  // The logarithmic scale has no 0 Hz: its lowest row reads 1. (A whole
  // number: "%d" given a double prints garbage.)
  if (effect_.analyser().bottomFrequency() == 0.0f) editor::setControlText(kLowerFrequency, "1");
  redrawSpectrogram();
}

void OfflineEditor::moveHumBar(int bar) {
  EngineHumParameters parameters(effect_.engines());
  const int other = bar == 48 ? 49 : bar == 49 ? 48 : bar;
  const editor::HumBarMove move = editor::moveHumBar(bar, barValue(bar), advanced_, barValue(other), parameters);
  if (move.placeBarAt) placeBar(bar, *move.placeBarAt);
  editor::setControlText(bar - editor::kFirstHumBar + editor::kFirstHumReadout, move.readout.c_str());
}

void OfflineEditor::movePilotBar(int bar) {
  detect::PilotToneTracker* tracker = effect_.engines().trackerEngine();
  if (!tracker) return;
  const int k = bar == 104 ? 5 : bar - 30;
  const int readout = bar == 104 ? 105 : bar + 5;
  tracker->setParamValue(k, barValue(bar));
  const float shown = tracker->getParamValueDisp(k) - (k == 1 ? 0.5f : 0.0f);
  setNumber(readout, "%.0f", shown);
}

void OfflineEditor::moveSpectralBar(int bar) {
  detect::SpectralPvcDetector* detector = effect_.engines().spectralEngine();
  if (!detector) return;
  const int k = bar - 86;
  const float v = barValue(bar);
  detector->setParamValue(k, v);
  if (k < 2) {
    setNumber(91 + k, "%.0f", detector->getParamValueDisp(k));
    return;
  }
  presentDisplay();
  detector->setConfidence(v);
  layers_.drawTrackOverlay(effect_.analyser(), *detector, view().analysisStart, view().viewStart, view().viewLength);
  setNumber(93, "%g", detector->getParamValueDisp(2));
}
