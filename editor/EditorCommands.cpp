// Where the controls and the mouse end: the command handler and the tool
// dispatcher. The view controls (scroll bars, zoom buttons, the hum pane's
// basic/advanced toggle) and the splash click act; the algorithm commands
// and the curve tools are entry points that act on nothing yet.
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace {

constexpr int kAdvancedButton = 64;
constexpr int kZoomHint = 106;
constexpr int kZoomButton = 96;

}  // namespace

void OfflineEditor::handleCommand(int id) {
  switch (id) {
    case 11:
      setReferenceFrequency();
      return;
    case 12:
      scrollFrequency(false);
      return;
    case 13:
      scrollTime(false);
      return;
    case 14:
      zoomFrequencyIn();
      return;
    case 15:
      zoomFrequencyOut();
      return;
    case 16:
      zoomTimeOut();
      return;
    case 17:
      zoomTimeIn();
      return;
    case 57:
      zoomFrequency_ = SendMessageA(editor::ControlTable::get(57), BM_GETCHECK, 0, 0) == BST_CHECKED;
      return;
    case 58:
      zoomTime_ = SendMessageA(editor::ControlTable::get(58), BM_GETCHECK, 0, 0) == BST_CHECKED;
      return;
    case kAdvancedButton:
      editor::setControlText(kAdvancedButton, advanced_ ? "Advanced >" : "< Basic");
      layOutHumPane(!advanced_);
      return;
    case 97:
      zoomAll();
      return;
    case 98:
      zoomInBoth();
      return;
    case 99:
      zoomOutBoth();
      return;
    default:
      // Algorithm list, detector parameters, curve files, undo and the
      // scale buttons: not handled yet.
      return;
  }
}

void OfflineEditor::runTool(int phase, int /*x*/, int /*y*/) {
  if (activeTool_ == kToolSplash) {
    if (phase != kPhaseRelease) return;
    splashReleased();
    askForNotification();
    return;
  }
  // The curve and zoom tools (0 to 6) do nothing yet.
}

void OfflineEditor::rightButton(bool down, int x, int y) {
  if (down) {
    rightPressX_ = x;
    rightPressY_ = y;
  }
  buttonDown_ = down ? 1 : 0;
  if (activeTool_ == kToolZoom && lastAlgorithm_ != 0) {
    editor::showControl(kZoomHint, false);
    selectAlgorithm(lastAlgorithm_);
  }
}

// Only the zoom tool can be chosen so far; the detectors' selection follows
// with the algorithm commands.
void OfflineEditor::selectAlgorithm(int algorithm) {
  if (algorithm != kZoomAlgorithm) {
    SendMessageA(editor::ControlTable::get(kZoomButton), BM_SETSTATE, FALSE, 0);
    return;
  }
  if (algorithm_ == kZoomAlgorithm) return;
  showPane(algorithm_, false);
  setTimeScrollRange();
  activeTool_ = kToolZoom;
  showPane(kZoomAlgorithm, true);
  algorithm_ = kZoomAlgorithm;
  setOperationMode(0, kModeZoom);
  rememberedAlgorithm_ = kZoomAlgorithm;
  askForNotification();
}
