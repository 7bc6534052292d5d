// Where the controls end: one command for every button, list and scroll bar
// of the window, and the right button's return from the zoom tool.
#include <iterator>

#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "plugin/OfflineEffect.h"

namespace {

constexpr int kAdvancedButton = 64;
constexpr int kZoomHint = 106;
constexpr int kZoomButton = 96;
constexpr int kAlgorithmList = 72;
// The algorithm of each item of the list; item 0 ("Zoom") chooses none.
constexpr int kAlgorithmOfItem[] = {0, 6, 7, 3, 4, 5};

bool checked(int id) { return SendMessageA(editor::ControlTable::get(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

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
    case 30:
    case 31:
    case 32:
    case 33:
    case 34:
    case 104:
      movePilotBar(id);
      return;
    case 40:
      createPvc();
      return;
    case 46:
    case 47:
    case 48:
    case 49:
    case 50:
      moveHumBar(id);
      return;
    case 56:
      showHum();
      return;
    case 57:
      zoomFrequency_ = checked(57);
      return;
    case 58:
      zoomTime_ = checked(58);
      return;
    case 61:
      updateAnalysisSettings();
      return;
    case kAdvancedButton:
      editor::setControlText(kAdvancedButton, advanced_ ? "Advanced >" : "< Basic");
      layOutHumPane(!advanced_);
      return;
    case 65:
      setShowPoints(checked(65));
      return;
    case 66:
      setMoveMode(checked(66));
      return;
    case 67:
      chooseEditTool(kToolInsert);
      return;
    case 68:
      chooseEditTool(kToolChart);
      return;
    case 69:
      chooseEditTool(kToolDelete);
      return;
    case kAlgorithmList: {
      const auto item = SendMessageA(editor::ControlTable::get(kAlgorithmList), CB_GETCURSEL, 0, 0);
      if (item >= 1 && item < static_cast<LRESULT>(std::size(kAlgorithmOfItem)))
        selectAlgorithm(kAlgorithmOfItem[item]);
      return;
    }
    case 73:
      importCurve();
      return;
    case 74:
      exportCurve();
      return;
    case 78:
      undoEdit();
      return;
    case 79:
      redoEdit();
      return;
    case 80:
      preview();
      return;
    case 86:
    case 87:
    case 88:
      moveSpectralBar(id);
      return;
    case kZoomButton:
      SendMessageA(editor::ControlTable::get(kZoomButton), BM_SETSTATE, TRUE, 0);
      if (lastAlgorithm_ != 0) {
        selectAlgorithm(kZoomAlgorithm);
        editor::showControl(kZoomHint, true);
      }
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
    case 100:
      selectLinearScale();
      return;
    case 101:
      selectLogScale();
      return;
    default:
      // "Offset PVC Points", "Smoothing PVC" and "PLAY?" do nothing.
      return;
  }
}

void OfflineEditor::rightButton(bool down, int /*x*/, int /*y*/) {
  buttonDown_ = down ? 1 : 0;
  if (view().toolId == kToolZoom && lastAlgorithm_ != 0) {
    editor::showControl(kZoomHint, false);
    selectAlgorithm(lastAlgorithm_);
  }
}

