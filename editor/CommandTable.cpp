#include "editor/CommandTable.h"

#include <windows.h>

#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"

namespace editor {

namespace {

bool checked(int id) { return SendMessageA(ControlTable::get(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

using E = OfflineEditor;

void referenceMoved(E& e, int) { e.viewControls().setReferenceFrequency(); }
void frequencyScrolled(E& e, int) { e.viewControls().scrollFrequency(false); }
void frequencyScrollEnded(E& e) { e.viewControls().scrollFrequency(true); }
void timeScrolled(E& e, int) { e.viewControls().scrollTime(false); }
void timeScrollEnded(E& e) { e.viewControls().scrollTime(true); }
void frequencyIn(E& e, int) { e.viewControls().zoomFrequencyIn(); }
void frequencyOut(E& e, int) { e.viewControls().zoomFrequencyOut(); }
void timeOut(E& e, int) { e.viewControls().zoomTimeOut(); }
void timeIn(E& e, int) { e.viewControls().zoomTimeIn(); }
void zoomFrequencyBox(E& e, int id) { e.viewControls().setZoomFrequency(checked(id)); }
void zoomTimeBox(E& e, int id) { e.viewControls().setZoomTime(checked(id)); }
void zoomAll(E& e, int) { e.viewControls().zoomAll(); }
void zoomInBoth(E& e, int) { e.viewControls().zoomInBoth(); }
void zoomOutBoth(E& e, int) { e.viewControls().zoomOutBoth(); }

void pilotBarMoved(E& e, int id) { e.panes().movePilotBar(id); }
void humBarMoved(E& e, int id) { e.panes().moveHumBar(id); }
void spectralBarMoved(E& e, int id) { e.panes().moveSpectralBar(id); }
// The spectral pane's last two bars are never shown.
void hiddenBarMoved(E&, int) {}
void advancedToggled(E& e, int) { e.panes().toggleAdvanced(); }

void createPvc(E& e, int) { e.detection().createPvc(); }
void showHum(E& e, int) { e.detection().showHum(); }
void preview(E& e, int) { e.detection().preview(); }
void update(E& e, int) { e.detection().updateAnalysisSettings(); }

void showPoints(E& e, int id) { e.curves().setShowPoints(checked(id)); }
void movePoint(E& e, int id) { e.curves().setMoveMode(checked(id)); }
void insertPoints(E& e, int) { e.curves().chooseEditTool(kToolInsert); }
void chartPvc(E& e, int) { e.curves().chooseEditTool(kToolChart); }
void deletePoints(E& e, int) { e.curves().chooseEditTool(kToolDelete); }
void importPvc(E& e, int) { e.curves().importCurve(); }
void exportPvc(E& e, int) { e.curves().exportCurve(); }
void undo(E& e, int) { e.curves().undoEdit(); }
void redo(E& e, int) { e.curves().redoEdit(); }

void algorithmChosen(E& e, int id) {
  const auto item = SendMessageA(ControlTable::get(id), CB_GETCURSEL, 0, 0);
  e.algorithms().chooseListedAlgorithm(static_cast<int>(item));
}
void zoomPressed(E& e, int) { e.algorithms().zoomPressed(); }
void linearScale(E& e, int) { e.algorithms().selectLinearScale(); }
void logScale(E& e, int) { e.algorithms().selectLogScale(); }

constexpr unsigned V = kVerticalScroll;
constexpr unsigned H = kHorizontalScroll;

const CommandRow kRows[] = {
    {kReferenceBar, referenceMoved, V},
    {kFrequencyBar, frequencyScrolled, V, frequencyScrollEnded, V},
    {kTimeBar, timeScrolled, H | V, timeScrollEnded, H},
    {kFrequencyIn, frequencyIn},
    {kFrequencyOut, frequencyOut},
    {kTimeOut, timeOut},
    {kTimeIn, timeIn},
    {kPilotPaneIds.bars[0], pilotBarMoved, V},
    {kPilotPaneIds.bars[1], pilotBarMoved, V},
    {kPilotPaneIds.bars[2], pilotBarMoved, V},
    {kPilotPaneIds.bars[3], pilotBarMoved, V},
    {kPilotPaneIds.bars[4], pilotBarMoved, V},
    {kPilotPaneIds.bars[5], pilotBarMoved, V},
    {kCreatePvc, createPvc},
    {kHumPaneIds.bars[0], humBarMoved, V},
    {kHumPaneIds.bars[1], humBarMoved, V},
    {kHumPaneIds.bars[2], humBarMoved, V},
    {kHumPaneIds.bars[3], humBarMoved, V},
    {kHumPaneIds.bars[4], humBarMoved, V},
    {kShowHum, showHum},
    {kZoomFrequency, zoomFrequencyBox},
    {kZoomTime, zoomTimeBox},
    {kUpdate, update},
    {kAdvanced, advancedToggled},
    {kShowPoints, showPoints},
    {kMovePoint, movePoint},
    {kInsertPoints, insertPoints},
    {kChartPvc, chartPvc},
    {kDeletePoints, deletePoints},
    {kAlgorithmList, algorithmChosen},
    {kImportPvc, importPvc},
    {kExportPvc, exportPvc},
    {kUndo, undo},
    {kRedo, redo},
    {kPreview, preview},
    {kSpectralPaneIds.bars[0], spectralBarMoved, V},
    {kSpectralPaneIds.bars[1], spectralBarMoved, V},
    {kSpectralPaneIds.bars[2], spectralBarMoved, V},
    {kSpectralPaneIds.bars[3], hiddenBarMoved, V},
    {kSpectralPaneIds.bars[4], hiddenBarMoved, V},
    {kZoom, zoomPressed},
    {kZoomAll, zoomAll},
    {kZoomTwice, zoomInBoth},
    {kZoomHalf, zoomOutBoth},
    {kLinearScale, linearScale},
    {kLogScale, logScale},
};

}  // namespace

std::span<const CommandRow> commandTable() { return kRows; }

const CommandRow* commandRow(int id) {
  for (const CommandRow& row : kRows)
    if (row.id == id) return &row;
  return nullptr;
}

}  // namespace editor
