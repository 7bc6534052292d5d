// Showing and hiding the parameter pane of an algorithm, with the names,
// values and bar positions of its detector's parameters.
#include <cstdio>
#include <cstring>
#include <span>

#include "detect/DetectorEngines.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace {

using editor::ControlTable;

constexpr int kCreatePvc = 40;
constexpr int kShowHum = 56;
constexpr int kAdvanced = 64;
constexpr int kMovePoint = 66;
constexpr int kPreview = 80;
constexpr int kSpectralLevelBar = 88;
constexpr int kViewControls[] = {11, 12, 13, 14, 15, 16, 17};
constexpr int kViewControlsButReference[] = {12, 13, 14, 15, 16, 17};

// Texts are built in a buffer of this size; longer ones are cut.
constexpr int kTextSize = 100;

void setNameAndLabel(int id, const char* name, const char* label) {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%s\n[%s]", name, label);
  editor::setControlText(id, text);
}

void setValueText(int id, const char* format, float value) {
  char text[kTextSize];
  std::snprintf(text, sizeof text, format, static_cast<double>(value));
  editor::setControlText(id, text);
}

// Value 1 puts the thumb at the top.
void setBarValue(int id, float value) {
  HWND bar = ControlTable::get(id);
  if (!bar) return;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE;
  GetScrollInfo(bar, SB_CTL, &info);
  info.fMask = SIF_POS;
  info.nPos = static_cast<int>(static_cast<float>(info.nMax) - value * static_cast<float>(info.nMax));
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

struct HumParameters : ParameterSource {
  explicit HumParameters(detect::DetectorEngines& e) : engines(e) {}
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

void OfflineEditor::showPane(int algorithm, bool show) {
  detect::DetectorEngines& engines = effect_.engines();
  switch (algorithm) {
    case detect::kAlgorithmHum: {
      if (show) {
        editor::enableControls(kViewControls, false);
        layOutHumPane(false);
      }
      editor::showControls(editor::kHumPaneIds, show);
      editor::showControl(kShowHum, show);
      editor::showControl(kCreatePvc, show);
      editor::showControl(kAdvanced, show);
      if (show) {
        editor::enableControl(kCreatePvc, true);
        editor::setControlText(kAdvanced, "Advanced >");
        advanced_ = false;
      }
      return;
    }
    case detect::kAlgorithmPilotTone: {
      if (show) {
        editor::enableControl(11, true);
        editor::enableControls(kViewControlsButReference, false);
        DetectorParameters<detect::PilotToneTracker> source(engines.trackerEngine());
        const editor::PaneLayout& pane = editor::pilotTonePane();
        for (int k = 0; k < pane.count; ++k) {
          const auto i = static_cast<size_t>(k);
          showParameterName(source, k, pane.nameIds[i]);
          setValueText(pane.readoutIds[i], "%.1f", source.display(k));
          setBarValue(pane.barIds[i], source.value(k));
        }
      }
      editor::showControls(editor::kPilotPaneIds, show);
      editor::showControl(kCreatePvc, show);
      if (show) editor::enableControl(kCreatePvc, true);
      return;
    }
    case detect::kAlgorithmCentreOfGravity:
      editor::enableControl(11, true);
      editor::enableControls(kViewControlsButReference, false);
      return;
    case detect::kAlgorithmManual:
      // Back in the pane, the tools are as its controls show them.
      if (show) setMoveMode(SendMessageA(ControlTable::get(kMovePoint), BM_GETCHECK, 0, 0) == BST_CHECKED);
      if (!show) movePointsMode_ = false;
      editor::showControls(editor::kManualPaneIds, show);
      return;
    case detect::kAlgorithmSpectral: {
      editor::enableControl(kSpectralLevelBar, false);
      if (show) {
        editor::enableControls(kViewControlsButReference, false);
        editor::showControl(kPreview, true);
        editor::showControl(kCreatePvc, true);
        editor::enableControl(kCreatePvc, false);
        DetectorParameters<detect::SpectralPvcDetector> source(engines.spectralEngine());
        const editor::PaneLayout& pane = editor::spectralPane();
        for (int k = 0; k < 3; ++k) {
          const auto i = static_cast<size_t>(k);
          showParameterName(source, k, pane.nameIds[i]);
          setValueText(pane.readoutIds[i], "%.1f", source.display(k));
        }
        for (int k = 0; k < pane.count; ++k) setBarValue(pane.barIds[static_cast<size_t>(k)], source.value(k));
      } else {
        editor::showControl(kPreview, false);
        editor::showControl(kCreatePvc, false);
      }
      editor::showControls(editor::kSpectralPaneIds, show);
      return;
    }
    case kZoomAlgorithm:
      editor::enableControls(kViewControls, true);
      editor::showControls(editor::kZoomSettingsIds, show);
      return;
    default:
      return;
  }
}

// The hum pane in its basic or advanced form: other parameters, other name
// widths, whole-number values in the advanced one.
void OfflineEditor::layOutHumPane(bool advanced) {
  HumParameters source(effect_.engines());
  const int sign = advanced ? 1 : -1;
  if (advanced != advanced_) {
    moveBy(41, 10 * sign, -20 * sign);
    moveBy(42, 20 * sign, -40 * sign);
    moveBy(44, -10 * sign, 20 * sign);
  }
  advanced_ = advanced;
  struct Slot {
    int parameter;
    const char* fixedLabel;
  };
  const Slot basic[] = {{1, nullptr}, {2, nullptr}, {3, nullptr}, {4, nullptr}, {10, nullptr}};
  const Slot detailed[] = {{5, "smpl"}, {6, "smpl"}, {7, "order"}, {9, nullptr}, {11, "order"}};
  const std::span<const Slot> slots = advanced ? std::span<const Slot>(detailed) : std::span<const Slot>(basic);
  const editor::PaneLayout& pane = editor::humPane();
  for (size_t i = 0; i < slots.size(); ++i) {
    const int p = slots[i].parameter;
    showParameterName(source, p, pane.nameIds[i], slots[i].fixedLabel);
    setValueText(pane.readoutIds[i], advanced ? "%.0f" : "%.1f", source.display(p));
    setBarValue(pane.barIds[i], source.value(p));
  }
}
