#include "editor/EditorPanes.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <span>

#include "analysis/SpectrogramAnalyser.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/HumBars.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

// Texts are built in a buffer of this size; longer ones are cut.
constexpr int kTextSize = 100;

void setNameAndLabel(int id, const char* name, const char* label) {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%s\n[%s]", name, label);
  setControlText(id, text);
}

void setNumber(int id, const char* format, double value) {
  char text[kTextSize];
  std::snprintf(text, sizeof text, format, value);
  setControlText(id, text);
}

// 1.0 with the thumb at the top.
float barValue(int id) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_POS;
  if (!GetScrollInfo(ControlTable::get(id), SB_CTL, &info) || info.nMax == 0) return 0.0f;
  return static_cast<float>(info.nMax - info.nPos) / static_cast<float>(info.nMax);
}

// Value 1 puts the thumb at the top.
void placeBar(int id, float v) {
  HWND bar = ControlTable::get(id);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE;
  if (!bar || !GetScrollInfo(bar, SB_CTL, &info)) return;
  info.fMask = SIF_POS;
  info.nPos = static_cast<int>(static_cast<float>(info.nMax) - v * static_cast<float>(info.nMax));
  SetScrollInfo(bar, SB_CTL, &info, TRUE);
}

void moveBy(int id, int dx, int dWidth) {
  HWND control = ControlTable::get(id);
  HWND parent = control ? GetParent(control) : nullptr;
  if (!parent) return;
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  MoveWindow(control, r.left + dx, r.top, r.right - r.left + dWidth, r.bottom - r.top, TRUE);
}

// One parameter of any detector: name, label, display and normalised value.
struct ParameterSource {
  virtual ~ParameterSource() = default;
  virtual bool name(int index, char* text) = 0;
  virtual bool label(int index, char* text) = 0;
  virtual float display(int index) = 0;
  virtual float value(int index) = 0;
};

// The hum engine's parameters through the plug-in's engine slot.
struct EngineParameters : ParameterSource {
  explicit EngineParameters(detect::DetectorEngines& e) : engines(e) {}
  bool name(int i, char* t) override { return engines.engineName(i, t); }
  bool label(int i, char* t) override { return engines.engineLabel(i, t); }
  float display(int i) override { return engines.engineDisplayValue(i); }
  float value(int i) override { return engines.engineValue(i); }
  detect::DetectorEngines& engines;
};

template <typename Detector>
struct DetectorParameters : ParameterSource {
  explicit DetectorParameters(Detector* d) : detector(d) {}
  bool name(int i, char* t) override { return detector && detector->getParamName(i, t); }
  bool label(int i, char* t) override { return detector && detector->getParamLabel(i, t); }
  float display(int i) override { return detector ? detector->getParamValueDisp(i) : 0.0f; }
  float value(int i) override { return detector ? detector->getParamValue(i) : 0.0f; }
  Detector* detector;
};

// The hum bars' rules see the engine through this.
class EngineHumParameters : public HumParameters {
 public:
  explicit EngineHumParameters(detect::DetectorEngines& engines) : engines_(engines) {}
  float value(int index) override { return engines_.engineValue(index); }
  void setValue(int index, float v) override { engines_.setEngineValue(index, v); }
  float display(int index) override { return engines_.engineDisplayValue(index); }

 private:
  detect::DetectorEngines& engines_;
};

void showParameterName(ParameterSource& source, int index, int id, const char* fixedLabel = nullptr) {
  // The detectors copy only as far as the buffer holds non-zero bytes: the
  // name may take 98 characters, the label 18.
  char name[kTextSize] = {};
  char label[20] = {};
  std::memset(name, 1, 98);
  std::memset(label, 1, 18);
  source.name(index, name);
  if (name[0] == 1) name[0] = 0;  // nothing written: no engine
  if (fixedLabel) {
    std::snprintf(label, sizeof label, "%s", fixedLabel);
  } else {
    source.label(index, label);
    if (label[0] == 1) label[0] = 0;
  }
  setNameAndLabel(id, name, label);
}

}  // namespace

void EditorPanes::showPane(int algorithm, bool show) {
  switch (algorithm) {
    case detect::kAlgorithmHum:
      showHumPane(show);
      return;
    case detect::kAlgorithmPilotTone:
      showPilotTonePane(show);
      return;
    case detect::kAlgorithmCentreOfGravity:
      // No pane: the reference bar only.
      enableControl(kReferenceBar, true);
      enableControls(kViewNavigationButReference, false);
      return;
    case detect::kAlgorithmManual:
      showManualPane(show);
      return;
    case detect::kAlgorithmSpectral:
      showSpectralPane(show);
      return;
    case kZoomAlgorithm:
      enableControls(kViewNavigationIds, true);
      showControls(kZoomSettingsIds, show);
      return;
    default:
      return;
  }
}

void EditorPanes::showHumPane(bool show) {
  if (show) {
    enableControls(kViewNavigationIds, false);
    layOutHumPane(false);
  }
  showControls(kHumPaneShown, show);
  showControl(kShowHum, show);
  showControl(kCreatePvc, show);
  showControl(kAdvanced, show);
  if (show) {
    enableControl(kCreatePvc, true);
    setControlText(kAdvanced, "Advanced >");
    advanced_ = false;
  }
}

void EditorPanes::showPilotTonePane(bool show) {
  if (show) {
    enableControl(kReferenceBar, true);
    enableControls(kViewNavigationButReference, false);
    DetectorParameters<detect::PilotToneTracker> source(editor_.effect().engines().trackerEngine());
    const PaneLayout& pane = pilotTonePane();
    for (int k = 0; k < pane.count; ++k) {
      const auto i = static_cast<size_t>(k);
      showParameterName(source, k, pane.nameIds[i]);
      setNumber(pane.readoutIds[i], "%.1f", source.display(k));
      placeBar(pane.barIds[i], source.value(k));
    }
  }
  showControls(kPilotPaneShown, show);
  showControl(kCreatePvc, show);
  if (show) enableControl(kCreatePvc, true);
}

void EditorPanes::showManualPane(bool show) {
  // Back in the pane, the tools are as its controls show them.
  if (show)
    editor_.curves().setMoveMode(SendMessageA(ControlTable::get(kMovePoint), BM_GETCHECK, 0, 0) == BST_CHECKED);
  if (!show) editor_.tools().setMovePointsMode(false);
  showControls(kManualPaneIds, show);
}

void EditorPanes::showSpectralPane(bool show) {
  enableControl(kSpectralLevelBar, false);
  if (show) {
    enableControls(kViewNavigationButReference, false);
    showControl(kPreview, true);
    showControl(kCreatePvc, true);
    enableControl(kCreatePvc, false);
    DetectorParameters<detect::SpectralPvcDetector> source(editor_.effect().engines().spectralEngine());
    const PaneLayout& pane = spectralPane();
    for (int k = 0; k < 3; ++k) {
      const auto i = static_cast<size_t>(k);
      showParameterName(source, k, pane.nameIds[i]);
      setNumber(pane.readoutIds[i], "%.1f", source.display(k));
    }
    for (int k = 0; k < pane.count; ++k) placeBar(pane.barIds[static_cast<size_t>(k)], source.value(k));
  } else {
    showControl(kPreview, false);
    showControl(kCreatePvc, false);
  }
  showControls(kSpectralPaneShown, show);
}

void EditorPanes::toggleAdvanced() {
  setControlText(kAdvanced, advanced_ ? "Advanced >" : "< Basic");
  layOutHumPane(!advanced_);
}

// The hum pane in its basic or advanced form: other parameters, other name
// widths, whole-number values in the advanced one.
void EditorPanes::layOutHumPane(bool advanced) {
  EngineParameters source(editor_.effect().engines());
  const int sign = advanced ? 1 : -1;
  if (advanced != advanced_) {
    moveBy(kHumPaneIds.names[0], 10 * sign, -20 * sign);
    moveBy(kHumPaneIds.names[1], 20 * sign, -40 * sign);
    moveBy(kHumPaneIds.names[3], -10 * sign, 20 * sign);
  }
  advanced_ = advanced;
  struct Slot {
    int parameter;
    const char* fixedLabel;
  };
  const Slot basic[] = {{1, nullptr}, {2, nullptr}, {3, nullptr}, {4, nullptr}, {10, nullptr}};
  const Slot detailed[] = {{5, "smpl"}, {6, "smpl"}, {7, "order"}, {9, nullptr}, {11, "order"}};
  const std::span<const Slot> slots = advanced ? std::span<const Slot>(detailed) : std::span<const Slot>(basic);
  const PaneLayout& pane = humPane();
  for (size_t i = 0; i < slots.size(); ++i) {
    const int p = slots[i].parameter;
    showParameterName(source, p, pane.nameIds[i], slots[i].fixedLabel);
    setNumber(pane.readoutIds[i], advanced ? "%.0f" : "%.1f", source.display(p));
    placeBar(pane.barIds[i], source.value(p));
  }
}

// The lower and upper bound bars of the basic set keep each other in order.
void EditorPanes::moveHumBar(int bar) {
  EngineHumParameters parameters(editor_.effect().engines());
  const int lower = kHumPaneIds.bars[2];
  const int upper = kHumPaneIds.bars[3];
  const int other = bar == lower ? upper : bar == upper ? lower : bar;
  const HumBarMove move = editor::moveHumBar(bar, barValue(bar), advanced_, barValue(other), parameters);
  if (move.placeBarAt) placeBar(bar, *move.placeBarAt);
  setControlText(bar - kFirstHumBar + kFirstHumReadout, move.readout.c_str());
}

namespace {

// The column of a bar in its pane, or -1.
template <int Count>
int columnOf(const PaneIds<Count>& pane, int bar) {
  for (int k = 0; k < Count; ++k)
    if (pane.bars[static_cast<size_t>(k)] == bar) return k;
  return -1;
}

}  // namespace

void EditorPanes::movePilotBar(int bar) {
  detect::PilotToneTracker* tracker = editor_.effect().engines().trackerEngine();
  const int k = columnOf(kPilotPaneIds, bar);
  if (!tracker || k < 0) return;
  tracker->setParamValue(k, barValue(bar));
  const float shown = tracker->getParamValueDisp(k) - (k == 1 ? 0.5f : 0.0f);
  setNumber(kPilotPaneIds.readouts[static_cast<size_t>(k)], "%.0f", shown);
}

void EditorPanes::moveSpectralBar(int bar) {
  detect::SpectralPvcDetector* detector = editor_.effect().engines().spectralEngine();
  const int k = columnOf(kSpectralPaneIds, bar);
  if (!detector || k < 0) return;
  const float v = barValue(bar);
  detector->setParamValue(k, v);
  if (k < 2) {
    setNumber(kSpectralPaneIds.readouts[static_cast<size_t>(k)], "%.0f", detector->getParamValueDisp(k));
    return;
  }
  // The level bar: the preview's tracks are drawn again at the new level.
  editor_.presentDisplay();
  detector->setConfidence(v);
  const EditorView& view = editor_.view();
  editor_.layers().drawTrackOverlay(editor_.effect().analyser(), *detector, view.analysisStart, view.viewStart,
                                    view.viewLength);
  setNumber(kSpectralPaneIds.readouts[2], "%g", detector->getParamValueDisp(2));
}

}  // namespace editor
