#include "editor/DetectionCommands.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

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

}  // namespace

void DetectionCommands::createPvc() {
  showControl(kProgressBar, true);
  const int algorithm = editor_.algorithms().algorithm();
  if (algorithm == detect::kAlgorithmSpectral) {
    createSpectralPvc();
    return;
  }
  OfflineEffect& effect = editor_.effect();
  detect::DetectorEngines& engines = effect.engines();
  SpectrogramAnalyser& analyser = effect.analyser();
  if (!engines.prepare(algorithm, analyser.sampleRate())) {
    showControl(kProgressBar, false);
    return;
  }
  editor_.setOperationMode(0, algorithm);
  engines.setUseSorvanite(false);
  if (analyser.fftLength() != editor_.view().fftLength) {
    effect.analysisChanged = true;
    enableControl(kReferenceBar, true);
  }
  editor_.viewControls().resetTimeView();
  editor_.viewControls().setTimeLabels(0, editor_.view().fileLength);
  editor_.askForNotification();
}

void DetectionCommands::createSpectralPvc() {
  OfflineEffect& effect = editor_.effect();
  const ViewControls& axes = editor_.viewControls();
  const EditorView& v = editor_.view();
  detect::SpectralPvcDetector* detector = effect.engines().spectralEngine();
  PvcCurve& curve = effect.curve();
  const std::int32_t length = v.fileLength;
  const std::int32_t first = v.analysisStart;
  if (detector) detector->buildCurve();
  curve.resetFlat(length);
  curve.insertPoint(first, 1.0f, false);
  for (int k = 0; detector && k < detector->pointCount(); ++k) {
    const std::int64_t at = std::int64_t{first} + detector->position(k);
    if (at >= length) break;
    curve.insertPoint(static_cast<std::int32_t>(at), detector->value(k), false);
  }
  curve.setView(axes.displayWidth() - 2, axes.displayHeight() - 1, v.viewStart, length - v.viewStart);
  curve.layout(effect.analyser());
  editor_.setOperationMode(0, kModeZoom);
  editor_.files().markForRedraw();
  editor_.askForNotification();
  if (curve.pushSnapshot()) {
    editor_.curves().record(kTagSpectral);
  } else {
    editor_.showMessage(kSnapshotNotStored);
  }
  if (detector) editor_.drawDetectorOverlay(*detector);
  // A flat curve from the detector is not a finding: say why, as the
  // other detectors do ("Undo" brings back the curve before); a later
  // finding takes the words back.
  if (detector && detector->familyCount() == 0) {
    editor_.showMessage(kNothingToFollow);
  } else if (messageShown() == kNothingToFollow) {
    setControlText(kMessageArea, "");
    showControl(kMessageArea, false);
  }
  showControl(kProgressBar, false);
}

void DetectionCommands::showHum() {
  showControl(kProgressBar, true);
  detect::DetectorEngines& engines = editor_.effect().engines();
  if (!engines.prepare(editor_.algorithms().algorithm(), editor_.effect().analyser().sampleRate())) {
    showControl(kProgressBar, false);
    return;
  }
  enableControl(kReferenceBar, false);
  editor_.setOperationMode(0, editor_.algorithms().algorithm());
  engines.setUseSorvanite(true);
  editor_.viewControls().setFrequencyLabels(0, static_cast<int>(engines.engineDisplayValue(2) / 2.0f));
  editor_.viewControls().resetTimeView();
  editor_.viewControls().setTimeLabels(editor_.view().zoomStart, editor_.view().zoomEnd);
  editor_.askForNotification();
}

void DetectionCommands::preview() {
  showControl(kProgressBar, true);
  if (!editor_.tools().rangeSelected()) {
    showControl(kProgressBar, false);
    MessageBoxA(editor_.mainWindow(), "Please select processing range", "Info", MB_ICONERROR);
    return;
  }
  // No tool while the pass runs; the pass gives the range tool back.
  editor_.view().toolId = kToolNone;
  detect::DetectorEngines& engines = editor_.effect().engines();
  if (!engines.prepare(editor_.algorithms().algorithm(), editor_.effect().analyser().sampleRate())) {
    editor_.view().toolId = kToolRange;
    showControl(kProgressBar, false);
    return;
  }
  if (detect::SpectralPvcDetector* detector = engines.spectralEngine()) detector->setParamValue(2, 0.0f);
  editor_.setOperationMode(0, editor_.algorithms().algorithm());
  editor_.askForNotification();
  // The pane disables the level bar as it shows; the preview's tracks are
  // what the bar acts on, so it is enabled after.
  editor_.panes().showPane(detect::kAlgorithmSpectral, true);
  enableControl(kSpectralLevelBar, true);
  enableControl(kCreatePvc, true);
}

void DetectionCommands::updateAnalysisSettings() {
  const auto resolutionItem = SendMessageA(ControlTable::get(kResolutionList), CB_GETCURSEL, 0, 0);
  const auto windowItem = SendMessageA(ControlTable::get(kWindowList), CB_GETCURSEL, 0, 0);
  const int resolution = resolutionItem >= 0 && resolutionItem <= 6 ? 64 << resolutionItem : editor_.view().fftLength;
  const int window = windowItem >= 0 ? static_cast<int>(windowItem) : editor_.view().window;
  if (resolution == editor_.view().fftLength && window == editor_.view().window) return;
  editor_.view().fftLength = resolution;
  editor_.view().window = window;
  editor_.effect().analysisChanged = true;
  editor_.files().markForRedraw();
  editor_.askForNotification();
}


}  // namespace editor
