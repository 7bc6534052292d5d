// The editor's commands and mouse tools, driven by the window messages a
// person's clicks, drags and list choices produce, and read back through
// Win32 and the plug-in's curve.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlIds.h"
#include "editor/OfflineEditor.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/PluginEntry.h"
#include "tests/editor/BoxAnswerer.h"
#include "tests/editor/CommandFixture.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/EditorHost.h"
#include "tests/editor/ExhaustibleHeap.h"
#include "tests/editor/WindowCapture.h"

HINSTANCE pelmoraInstance = GetModuleHandleA(nullptr);  // the splash bitmap is in this test

namespace {

using namespace editor_test;

// Choosing from the list on the linear scale enters each algorithm with its
// pane and tool; on the logarithmic scale every one says it needs the
// linear scale and shows no pane.
TEST_F(EditorCommands, AlgorithmListOnBothScales) {
  openAndRead();
  chooseItem(3);
  EXPECT_EQ(editor->algorithm(), 3);
  EXPECT_EQ(editor->activeTool(), kToolNone);
  EXPECT_TRUE(shown(control(editor::kHumPaneIds.bars[0])));
  EXPECT_TRUE(shown(control(editor::kCreatePvc)));
  EXPECT_EQ(editor->algorithms().lastAlgorithm(), 3);

  chooseItem(4);
  EXPECT_EQ(editor->algorithm(), 4);
  EXPECT_FALSE(shown(control(editor::kHumPaneIds.bars[0])));
  EXPECT_TRUE(shown(control(editor::kPilotPaneIds.bars[0])));
  EXPECT_TRUE(plugin->engines().hasEngine(4));
  EXPECT_EQ(plugin->engines().engineHandle(), 0) << "the hum engine is released on leaving";

  chooseItem(2);
  EXPECT_EQ(editor->algorithm(), 7);
  EXPECT_EQ(editor->activeTool(), kToolRange);
  EXPECT_TRUE(shown(control(editor::kPreview)));
  EXPECT_FALSE(shown(control(editor::kPilotPaneIds.bars[0])));

  chooseItem(5);
  EXPECT_EQ(editor->algorithm(), 5);
  EXPECT_EQ(editor->activeTool(), kToolGravity);
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
  EXPECT_EQ(text(editor::kMessageArea).rfind("The Centre of Gravity method is active.", 0), 0u);

  chooseItem(1);
  EXPECT_EQ(editor->algorithm(), 6);
  EXPECT_FALSE(shown(control(editor::kMessageArea))) << "leaving empties and hides the message area";
  EXPECT_TRUE(shown(control(editor::kInsertPoints)));

  // "Log": the list goes, the manual pane with it.
  press(editor::kLogScale);
  EXPECT_FALSE(editor->algorithms().linearScale());
  EXPECT_FALSE(shown(control(editor::kAlgorithmList)));
  EXPECT_FALSE(shown(control(editor::kInsertPoints)));
  EXPECT_EQ(editor->algorithm(), 0);
  const struct {
    int item;
    const char* name;
  } cases[] = {{3, "HUM"}, {4, "HFB"}, {5, "COG"}, {1, "ACD"}, {2, "SDPVC"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    chooseItem(c.item);
    EXPECT_EQ(text(editor::kMessageArea), std::string(c.name) + kLinearOnly);
    EXPECT_TRUE(shown(control(editor::kMessageArea)));
    EXPECT_EQ(editor->algorithm(), 0);
    EXPECT_FALSE(shown(control(editor::kHumPaneIds.bars[0])));
    EXPECT_FALSE(shown(control(editor::kPilotPaneIds.bars[0])));
    EXPECT_FALSE(shown(control(editor::kPreview)));
  }

  // "Lin" brings back the algorithm chosen before "Log", and its pane.
  press(editor::kLinearScale);
  EXPECT_TRUE(editor->algorithms().linearScale());
  EXPECT_TRUE(shown(control(editor::kAlgorithmList)));
  EXPECT_EQ(editor->algorithm(), 6);
  EXPECT_TRUE(shown(control(editor::kInsertPoints)));
}

TEST_F(EditorCommands, PilotToneBelowItsRateIsRefused) {
  TearDown();
  host.effect = nullptr;
  make(22050.0);
  openAndRead();
  chooseItem(4);
  EXPECT_EQ(editor->algorithm(), 0);
  EXPECT_EQ(editor->activeTool(), kToolNone);
  EXPECT_EQ(text(editor::kMessageArea), "Sampling frequency is too low! Please, select another algorithm.");
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
  EXPECT_FALSE(shown(control(editor::kPilotPaneIds.bars[0])));
}

// The same algorithm twice: the second choice leaves the first one's state
// alone (a marked range stays marked).
TEST_F(EditorCommands, SameAlgorithmTwiceDoesNothing) {
  openAndRead();
  chooseItem(2);
  drag(100, 200, 300, 150);
  ASSERT_TRUE(editor->tools().rangeSelected());
  chooseItem(2);
  EXPECT_TRUE(editor->tools().rangeSelected());
  EXPECT_EQ(editor->activeTool(), kToolRange);
}

// Values set on a pane's bars survive leaving the algorithm and coming back.
TEST_F(EditorCommands, DetectorParametersSurviveReselection) {
  openAndRead();
  chooseItem(4);
  const int before = barPosition(editor::kPilotPaneIds.bars[0]);
  scrollBar(editor::kPilotPaneIds.bars[0], SB_PAGEDOWN, 2);
  const int moved = barPosition(editor::kPilotPaneIds.bars[0]);
  ASSERT_NE(moved, before);
  const float value = plugin->engines().trackerEngine()->getParamValue(0);
  EXPECT_NEAR(value, barValue(editor::kPilotPaneIds.bars[0]), 1e-6f);
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.0f",
                static_cast<double>(plugin->engines().trackerEngine()->getParamValueDisp(0)));
  EXPECT_EQ(text(editor::kPilotPaneIds.readouts[0]), expected);

  chooseItem(1);
  EXPECT_FALSE(plugin->engines().hasEngine(4));
  chooseItem(4);
  EXPECT_EQ(barPosition(editor::kPilotPaneIds.bars[0]), moved);
  EXPECT_NEAR(plugin->engines().trackerEngine()->getParamValue(0), value, 1e-6f);
}

// Hum bars: in the basic set the lower bound (the third bar) cannot pass
// the upper one (the fourth); in the advanced set the third bar below 2
// goes to 0.025.
TEST_F(EditorCommands, HumBarsKeepTheirBounds) {
  openAndRead();
  chooseItem(3);
  ASSERT_EQ(editor->algorithm(), 3);
  detect::DetectorEngines& engines = plugin->engines();
  scrollBar(editor::kHumPaneIds.bars[3], SB_PAGEDOWN, 3);
  const float upper = barValue(editor::kHumPaneIds.bars[3]);
  scrollBar(editor::kHumPaneIds.bars[2], SB_PAGEUP, 20);
  EXPECT_NEAR(engines.engineValue(3), upper, 0.01f) << "the engine keeps its own steps";
  EXPECT_NEAR(barValue(editor::kHumPaneIds.bars[2]), upper, 0.02f) << "the lower bound's bar is put back at the upper one's";
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.1f", static_cast<double>(engines.engineDisplayValue(3)));
  EXPECT_EQ(text(editor::kHumPaneIds.readouts[2]), expected);

  press(editor::kAdvanced);
  EXPECT_EQ(text(editor::kAdvanced), "< Basic");
  // Down a page at a time until the order would fall below 2: there the bar
  // is put back at 0.025, whatever the first value was.
  bool snapped = false;
  for (int page = 0; page < 200 && !snapped; ++page) {
    const int before = barPosition(editor::kHumPaneIds.bars[2]);
    scrollBar(editor::kHumPaneIds.bars[2], SB_PAGEDOWN);
    snapped = barPosition(editor::kHumPaneIds.bars[2]) < before;
  }
  ASSERT_TRUE(snapped);
  EXPECT_NEAR(engines.engineValue(7), 0.025f, 1e-4f);
  EXPECT_EQ(barPosition(editor::kHumPaneIds.bars[2]), static_cast<int>(barMaximum(editor::kHumPaneIds.bars[2]) - 0.025f * barMaximum(editor::kHumPaneIds.bars[2])));
}

// "Zoom" with an algorithm before: the zoom tool, the hint, and a right
// click returning to the algorithm.
TEST_F(EditorCommands, ZoomButtonAndRightClickReturn) {
  openAndRead();
  // No algorithm chosen yet: the button is only drawn pressed.
  press(editor::kZoom);
  EXPECT_EQ(editor->algorithm(), 8);
  EXPECT_EQ(editor->algorithms().lastAlgorithm(), 0);

  chooseItem(3);
  EXPECT_FALSE(SendMessageA(control(editor::kZoom), BM_GETSTATE, 0, 0) & BST_PUSHED);
  command(editor::kZoom);
  EXPECT_EQ(editor->algorithm(), 8);
  EXPECT_EQ(editor->activeTool(), kToolZoom);
  EXPECT_TRUE(shown(control(editor::kZoomHint)));
  EXPECT_FALSE(shown(control(editor::kHumPaneIds.bars[0])));
  mouse(WM_RBUTTONDOWN, 100, 100, MK_RBUTTON);
  mouse(WM_RBUTTONUP, 100, 100);
  EXPECT_EQ(editor->algorithm(), 3);
  EXPECT_FALSE(shown(control(editor::kZoomHint)));
  EXPECT_TRUE(shown(control(editor::kHumPaneIds.bars[0])));
}

// The passes the commands ask for: the host is asked for its file list and
// the notification that answers starts the pass.
TEST_F(EditorCommands, CreateShowHumPreviewAndUpdateRequests) {
  openAndRead();
  chooseItem(3);
  press(editor::kCreatePvc);
  EXPECT_EQ(host.startsInMode(kModeHum), 1);
  EXPECT_FALSE(plugin->engines().useSorvanite());
  press(editor::kShowHum);
  EXPECT_EQ(host.startsInMode(kModeHum), 2);
  EXPECT_TRUE(plugin->engines().useSorvanite());

  chooseItem(2);
  {
    BoxAnswerer answer;
    press(editor::kPreview);
    ASSERT_EQ(BoxAnswerer::boxes.size(), 1u);
    EXPECT_EQ(BoxAnswerer::boxes[0].first, "Info");
    EXPECT_EQ(BoxAnswerer::boxes[0].second, "Please select processing range");
  }
  EXPECT_EQ(host.startsInMode(kModeSpectral), 0);
  drag(100, 220, 500, 200);
  press(editor::kPreview);
  EXPECT_EQ(host.startsInMode(kModeSpectral), 1);
  EXPECT_TRUE(IsWindowEnabled(control(editor::kSpectralPaneIds.bars[2])));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kCreatePvc)));

  // The spectral bars and their read-outs.
  detect::SpectralPvcDetector* detector = plugin->engines().spectralEngine();
  ASSERT_NE(detector, nullptr);
  scrollBar(editor::kSpectralPaneIds.bars[0], SB_PAGEDOWN);
  EXPECT_NEAR(detector->getParamValue(0), barValue(editor::kSpectralPaneIds.bars[0]), 1e-6f);
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.0f", static_cast<double>(detector->getParamValueDisp(0)));
  EXPECT_EQ(text(editor::kSpectralPaneIds.readouts[0]), expected);
  scrollBar(editor::kSpectralPaneIds.bars[2], SB_PAGEUP);
  std::snprintf(expected, sizeof expected, "%g", static_cast<double>(detector->getParamValueDisp(2)));
  EXPECT_EQ(text(editor::kSpectralPaneIds.readouts[2]), expected);

  // "Create PVC" builds the curve from the detector's results at once: one
  // undo step, and the whole file redrawn.
  const int steps = stepOfHistory();
  press(editor::kCreatePvc);
  EXPECT_EQ(stepOfHistory(), steps + 1);
  EXPECT_EQ(host.startsInMode(kModeSpectral), 1) << "no second detection pass";
  EXPECT_EQ(curve().positionOf(0), 0);
  EXPECT_FALSE(shown(control(editor::kProgressBar))) << "the progress bar goes";

  // "Update" with nothing changed asks for nothing.
  const int queries = host.queries;
  press(editor::kUpdate);
  EXPECT_EQ(host.queries, queries);
  EXPECT_FALSE(plugin->analysisChanged);
  SendMessageA(control(editor::kResolutionList), CB_SETCURSEL, 6, 0);
  press(editor::kUpdate);
  EXPECT_GT(host.queries, queries);
  EXPECT_EQ(analyser().fftLength(), 4096) << "the redraw pass applied the new resolution";
}

// Undo after three moves of a point restores the curve from before the
// first move; redo brings the moves back.
TEST_F(EditorCommands, UndoAndRedoOfPointMoves) {
  openAndRead();
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));
  const std::vector<Point> untouched = pointsOf(curve());
  command(editor::kUndo);  // undo at the first step
  EXPECT_TRUE(sameCurve(pointsOf(curve()), untouched));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));

  manualWithThreePoints();
  EXPECT_EQ(stepOfHistory(), 1) << "inserts with one tool are one step";
  const std::vector<Point> inserted = pointsOf(curve());
  press(editor::kShowPoints);
  EXPECT_TRUE(editor->curves().showsPoints());
  press(editor::kMovePoint);
  EXPECT_TRUE(editor->tools().movePointsMode());
  EXPECT_EQ(editor->activeTool(), kToolMovePoint);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kInsertPoints)));

  for (int k = 0; k < 3; ++k) {
    const int x = curve().columnOf(2);
    const int y = curve().rowOf(2);
    drag(x, y, x + 5, y - 10);
  }
  const std::vector<Point> moved = pointsOf(curve());
  ASSERT_NE(moved, inserted);
  EXPECT_LT(moved[2].position, moved[3].position);
  EXPECT_GT(moved[2].position, moved[1].position);
  EXPECT_GT(moved[2].ratio, 1.0f);
  EXPECT_EQ(stepOfHistory(), 2);

  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), inserted));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kRedo)));
  command(editor::kRedo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), moved));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));
  command(editor::kUndo);
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), untouched));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));

  // Points hidden: moving is switched off and the tools come back.
  press(editor::kShowPoints);
  EXPECT_FALSE(editor->tools().movePointsMode());
  EXPECT_FALSE(IsWindowEnabled(control(editor::kMovePoint)));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kInsertPoints)));
}

// The move tool never grabs the first or last point, and a grabbed point
// stays between its neighbours.
TEST_F(EditorCommands, MoveToolKeepsEndsAndNeighbours) {
  openAndRead();
  manualWithThreePoints();
  press(editor::kShowPoints);
  press(editor::kMovePoint);
  const std::vector<Point> before = pointsOf(curve());
  drag(curve().columnOf(0), curve().rowOf(0), 100, 40);
  drag(curve().columnOf(4), curve().rowOf(4), 500, 40);
  EXPECT_EQ(pointsOf(curve()), before);

  // Dragged past the next point: the point stops where the move left it.
  const int x = curve().columnOf(1);
  const int y = curve().rowOf(1);
  drag(x, y, curve().columnOf(2) + 20, y - 10);
  EXPECT_LT(curve().positionOf(1), curve().positionOf(2));
}

// Insert keeps the shape, delete spares the ends, the chart stroke replaces
// its range and every stroke is an undo step.
TEST_F(EditorCommands, InsertDeleteAndChartTools) {
  openAndRead();
  manualWithThreePoints();
  for (const Point& p : pointsOf(curve())) EXPECT_FLOAT_EQ(p.ratio, 1.0f) << "inserting keeps the shape";

  press(editor::kDeletePoints);
  EXPECT_EQ(editor->activeTool(), kToolDelete);
  drag(0, 100, 667, 100);
  EXPECT_EQ(curve().pointCount(), 2) << "the first and the last point stay";
  EXPECT_EQ(stepOfHistory(), 2);

  press(editor::kChartPvc);
  EXPECT_EQ(editor->activeTool(), kToolChart);
  const int high = rowOfRatio(1.2f);
  drag(100, high, 300, high);
  const int afterFirst = stepOfHistory();
  EXPECT_EQ(afterFirst, 3);
  const std::int32_t middle = analyser().sampleOfColumn(200);
  EXPECT_NEAR(curve().ratioAt(middle), 1.2f, 0.03f);
  EXPECT_FLOAT_EQ(curve().ratioAt(analyser().sampleOfColumn(50)), 1.0f);
  drag(400, high, 450, high);
  EXPECT_EQ(stepOfHistory(), 4) << "each stroke is an undo step";
  host.repaint();
  EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-chart.bmp"));

  // A press right of the last column writes nothing outside the stroke.
  const std::vector<Point> before = pointsOf(curve());
  click(669, high);
  for (const Point& p : pointsOf(curve()))
    EXPECT_TRUE(p.ratio == 1.0f || std::fabs(p.ratio - 1.2f) < 0.03f) << p.position;
  EXPECT_GE(curve().pointCount(), static_cast<int>(before.size()) - 1);
}

// Range selection marks the band and the samples in order, whichever way
// the drag went.
TEST_F(EditorCommands, RangeSelection) {
  openAndRead();
  chooseItem(2);
  drag(400, 120, 150, 200);
  EXPECT_TRUE(editor->tools().rangeSelected());
  const EditorView& v = editor->view();
  EXPECT_FLOAT_EQ(v.analysisLow, analyser().frequencyOfRow(200));
  EXPECT_FLOAT_EQ(v.analysisHigh, analyser().frequencyOfRow(120));
  EXPECT_EQ(v.analysisStart, analyser().sampleOfColumn(150));
  EXPECT_EQ(v.analysisEnd, analyser().sampleOfColumn(400));
}

// Zoom rectangle: a wide drag zooms time and frequency; a drag to the left
// zooms out to everything; a tiny one changes nothing.
TEST_F(EditorCommands, ZoomRectangle) {
  openAndRead();
  ASSERT_EQ(editor->activeTool(), kToolZoom);
  const std::int32_t whole = editor->view().viewLength;
  const float top = analyser().topFrequency();
  drag(200, 50, 202, 51);
  EXPECT_EQ(editor->view().viewLength, whole);
  EXPECT_FLOAT_EQ(analyser().topFrequency(), top);

  drag(100, 150, 400, 250);
  EXPECT_LT(editor->view().viewLength, whole);
  EXPECT_LT(analyser().topFrequency(), top);
  EXPECT_GT(editor->view().viewStart, 0);

  drag(400, 100, 100, 120);
  EXPECT_EQ(editor->view().viewStart, 0);
  EXPECT_EQ(editor->view().viewLength, whole);
  EXPECT_FLOAT_EQ(analyser().topFrequency(), top);
}

int redPixels(const WindowCapture& picture) {
  int n = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const Pixel p = picture.at(x, y);
      n += p.red > 200 && p.green < 60 && p.blue < 60;
    }
  return n;
}

// While dragging, the outline is red when the release will zoom and black
// when the extent is below the smallest zoom.
TEST_F(EditorCommands, ZoomOutlineColours) {
  openAndRead();
  host.repaint();
  const int before = redPixels(WindowCapture(control(editor::kDisplay)));
  mouse(WM_LBUTTONDOWN, 100, 150, MK_LBUTTON);
  // Outlines are drawn on the window itself, not in the layers a repaint
  // copies: read it back before anything repaints.
  mouse(WM_MOUSEMOVE, 400, 250, MK_LBUTTON);
  const WindowCapture wide(control(editor::kDisplay));
  EXPECT_GT(redPixels(wide), before + 300);
  EXPECT_TRUE(wide.saveBmp("editor-zoom-outline.bmp"));
  mouse(WM_LBUTTONUP, 100, 150);  // back at the press: nothing zoomed

  mouse(WM_LBUTTONDOWN, 200, 50, MK_LBUTTON);
  mouse(WM_MOUSEMOVE, 202, 51, MK_LBUTTON);
  EXPECT_LE(redPixels(WindowCapture(control(editor::kDisplay))), before);
  mouse(WM_LBUTTONUP, 202, 51);
}

// The centre-of-gravity drag along the tone traces it into the curve as one
// undo step; the tone is steady, so the traced speed is 1.
TEST_F(EditorCommands, CentreOfGravityDrag) {
  openAndRead();
  chooseItem(5);
  // The reference bar put at the tone, so the traced line reads as speed 1.
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(control(editor::kReferenceBar), SB_CTL, &info);
  info.fMask = SIF_POS;
  info.nPos = info.nMax + info.nMin - static_cast<int>(kToneHz);
  SetScrollInfo(control(editor::kReferenceBar), SB_CTL, &info, TRUE);
  scrollBar(editor::kReferenceBar, SB_ENDSCROLL);
  ASSERT_NEAR(analyser().refFrequency(), kToneHz, 1.0);
  const int toneRow = analyser().rowForFrequency(static_cast<float>(kToneHz), 1.0f);
  drag(100, toneRow, 400, toneRow + 12);
  EXPECT_GT(curve().pointCount(), 4) << "the traced line went in";
  EXPECT_EQ(stepOfHistory(), 1);
  // The row's frequency starts the trace, so the speed is 1 to a row's width.
  const float rowShare = analyser().frequencyOfRow(toneRow) / static_cast<float>(kToneHz);
  for (int x = 150; x < 350; x += 50) {
    const std::int32_t s = analyser().sampleOfColumn(x);
    EXPECT_NEAR(curve().ratioAt(s), 1.0f, std::fabs(1.0f - rowShare) + 0.01f) << "column " << x;
  }
  EXPECT_FLOAT_EQ(curve().ratioAt(analyser().sampleOfColumn(50)), 1.0f) << "outside the drag";

  // Backward from the right, over a part not traced yet.
  drag(600, toneRow, 450, toneRow);
  EXPECT_EQ(stepOfHistory(), 1) << "later traces with the same tool overwrite the step";
  EXPECT_NEAR(curve().ratioAt(analyser().sampleOfColumn(500)), 1.0f, std::fabs(1.0f - rowShare) + 0.01f);

  // While dragging, the trace is drawn.
  mouse(WM_LBUTTONDOWN, 200, toneRow, MK_LBUTTON);
  mouse(WM_MOUSEMOVE, 300, toneRow + 40, MK_LBUTTON);
  EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-gravity-trace.bmp"));
  mouse(WM_LBUTTONUP, 300, toneRow + 40);
}

// Export writes the curve through the save dialog; import reads it back
// through the open dialog; a file without points leaves the curve alone.
TEST_F(EditorCommands, ExportAndImportThroughTheDialogs) {
  openAndRead();
  manualWithThreePoints();
  press(editor::kChartPvc);
  const int high = rowOfRatio(1.1f);
  drag(100, high, 300, high);
  const std::vector<Point> drawn = pointsOf(curve());

  char directory[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, directory);
  const std::string saved = std::string(directory) + "pelmora-export-" + std::to_string(GetCurrentProcessId());
  DeleteFileA((saved + ".pvc").c_str());
  {
    FileDialogAnswerer answer("Save PVC File", saved);
    press(editor::kExportPvc);
    EXPECT_TRUE(FileDialogAnswerer::typed);
  }
  std::ifstream written(saved + ".pvc");
  ASSERT_TRUE(written.good()) << "the default extension is added";
  written.close();
  EXPECT_FALSE(FileDialogAnswerer::asked);
  {
    // The same name again: replaced only after asking.
    FileDialogAnswerer answer("Save PVC File", saved + ".pvc");
    press(editor::kExportPvc);
    EXPECT_TRUE(FileDialogAnswerer::asked);
  }

  press(editor::kDeletePoints);
  drag(0, 100, 667, 100);
  ASSERT_EQ(curve().pointCount(), 2);
  const int steps = stepOfHistory();
  {
    FileDialogAnswerer answer("Open PVC File", saved + ".pvc");
    press(editor::kImportPvc);
    EXPECT_TRUE(FileDialogAnswerer::typed);
  }
  EXPECT_EQ(stepOfHistory(), steps + 1);
  const std::vector<Point> read = pointsOf(curve());
  ASSERT_EQ(read.size(), drawn.size());
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].position, drawn[i].position);
    EXPECT_NEAR(read[i].ratio, drawn[i].ratio, 1e-5f);
  }

  const std::string empty = std::string(directory) + "pelmora-empty-" + std::to_string(GetCurrentProcessId()) + ".pvc";
  std::ofstream(empty) << "no points here\n";
  {
    FileDialogAnswerer answer("Open PVC File", empty);
    press(editor::kImportPvc);
  }
  EXPECT_TRUE(sameCurve(pointsOf(curve()), read));
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
  EXPECT_EQ(text(editor::kMessageArea), "No PVC points could be read from this file. The curve is unchanged.");
  EXPECT_EQ(stepOfHistory(), steps + 1);

  // Cancelled dialogs change nothing.
  const int queries = host.queries;
  {
    FileDialogAnswerer answer("Open PVC File", "");
    press(editor::kImportPvc);
  }
  {
    FileDialogAnswerer answer("Save PVC File", "");
    press(editor::kExportPvc);
  }
  EXPECT_TRUE(sameCurve(pointsOf(curve()), read));
  EXPECT_EQ(stepOfHistory(), steps + 1);
  EXPECT_EQ(host.queries, queries);
  DeleteFileA((saved + ".pvc").c_str());
  DeleteFileA(empty.c_str());
}

// The passes started since the host had started `from` of them.
std::vector<int> startedSince(const EditorHost& host, size_t from) {
  return std::vector<int>(host.startedModes.begin() + static_cast<std::ptrdiff_t>(from), host.startedModes.end());
}

// "Log" only redraws; "Lin" brings back the algorithm chosen before, with
// its tool, and has the host run that algorithm's pass again after the
// redraw pass (manual correction has none).
TEST_F(EditorCommands, LinRunsTheAlgorithmsPassAgain) {
  openAndRead();
  const struct {
    int item;
    int algorithm;
    int tool;
    int pass;  // 0: none
  } cases[] = {{4, 4, kToolNone, kModePilotTone},
               {3, 3, kToolNone, kModeHum},
               {2, 7, kToolRange, kModeSpectral},
               {5, 5, kToolGravity, kModeNone},
               {1, 6, kToolNone, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    chooseItem(c.item);
    ASSERT_EQ(editor->algorithm(), c.algorithm);
    if (c.algorithm == 7) {
      drag(100, 220, 500, 200);
      ASSERT_TRUE(editor->tools().rangeSelected());
    }
    size_t from = host.startedModes.size();
    press(editor::kLogScale);
    EXPECT_EQ(startedSince(host, from), std::vector<int>{kModeZoom});
    EXPECT_EQ(editor->algorithm(), 0);
    EXPECT_EQ(editor->activeTool(), kToolNone);
    EXPECT_EQ(text(editor::kLowerFrequency), "1") << "the lowest frequency reads 1 on the logarithmic scale";
    if (c.item == 4) {
      host.repaint();
      EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-log-scale.bmp"));
    }

    from = host.startedModes.size();
    const int queries = host.queries;
    press(editor::kLinearScale);
    EXPECT_GT(host.queries, queries) << "the host is asked for its file list";
    std::vector<int> expected{kModeZoom};
    if (c.pass != 0) expected.push_back(c.pass);
    EXPECT_EQ(startedSince(host, from), expected);
    EXPECT_EQ(editor->algorithm(), c.algorithm);
    EXPECT_EQ(editor->activeTool(), c.tool);
    EXPECT_EQ(host.effect->getParameter(host.effect, 0), static_cast<float>(kModeCorrect))
        << "the host's own processing corrects again";
  }
}

// A host that keeps the DLL search to the system folder, as hardened hosts
// do: the hum engine's module beside the program is not found.
struct SystemOnlyDllSearch {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  SetDirectories set = reinterpret_cast<SetDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  bool applied = set && set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SystemOnlyDllSearch() = default;
  ~SystemOnlyDllSearch() {
    if (applied) set(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  }
  SystemOnlyDllSearch(const SystemOnlyDllSearch&) = delete;
  SystemOnlyDllSearch& operator=(const SystemOnlyDllSearch&) = delete;
};

// Hum tracking whose engine cannot be loaded says so and leaves the
// algorithm in use as it was; nothing breaks when the scale is switched
// back and forth. Once the module is found it works.
TEST_F(EditorCommands, HumEngineThatCannotBeLoaded) {
  openAndRead();
  chooseItem(4);
  ASSERT_EQ(editor->algorithm(), 4);
  ASSERT_EQ(GetModuleHandleA("Sorvanite.dll"), nullptr) << "the module must not be loaded already";
  {
    SystemOnlyDllSearch hardened;
    ASSERT_TRUE(hardened.applied);
    chooseItem(3);
  }
  EXPECT_EQ(text(editor::kMessageArea), "Wybrano k_ofl_hum.");
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
  host.repaint();
  EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-hum-not-loaded.bmp"));
  EXPECT_EQ(editor->algorithm(), 4);
  EXPECT_EQ(editor->algorithms().lastAlgorithm(), 4);
  EXPECT_EQ(plugin->engines().engineHandle(), 0);
  EXPECT_FALSE(shown(control(editor::kHumPaneIds.bars[0])));
  // The algorithm in use stays whole: its pane, its tracker, its button.
  EXPECT_TRUE(shown(control(editor::kPilotPaneIds.bars[0]))) << "the pilot-tone pane stays";
  EXPECT_TRUE(plugin->engines().hasEngine(4));
  EXPECT_TRUE(shown(control(editor::kCreatePvc)));
  // The tracker searches the tone file and finds no pilot: it says so.
  press(editor::kCreatePvc);
  EXPECT_EQ(host.startsInMode(kModePilotTone), 1);
  EXPECT_EQ(text(editor::kMessageArea).rfind("No pilot tone found", 0), 0u) << text(editor::kMessageArea);

  // Back on the linear scale the pass runs again.
  press(editor::kLogScale);
  press(editor::kLinearScale);
  EXPECT_EQ(host.startsInMode(kModePilotTone), 2);
  EXPECT_EQ(text(editor::kMessageArea).rfind("No pilot tone found", 0), 0u) << text(editor::kMessageArea);
  EXPECT_EQ(editor->algorithm(), 4);

  chooseItem(3);
  EXPECT_EQ(editor->algorithm(), 3);
  EXPECT_NE(plugin->engines().engineHandle(), 0);
  EXPECT_TRUE(shown(control(editor::kHumPaneIds.bars[0])));
  EXPECT_FALSE(shown(control(editor::kMessageArea)));
}

// The spectral-domain detector needs memory for itself: with only scraps
// left (enough for the message, not for the detector) the choice says so
// and leaves no algorithm and no tool; with memory back it works.
TEST_F(EditorCommands, SpectralDetectorWithoutMemory) {
  constexpr std::size_t kScrap = 256;
  static_assert(sizeof(detect::SpectralPvcDetector) > kScrap);
  openAndRead();
  chooseItem(4);
  ASSERT_EQ(editor->algorithm(), 4);
  {
    editor_test::HeapExhaustion noMemory(kScrap);
    chooseItem(2);
    EXPECT_GT(editor_test::HeapExhaustion::refused(), 0);
  }
  EXPECT_EQ(text(editor::kMessageArea), "Could not init SDPvc! Please, select another algorithm.");
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
  EXPECT_EQ(editor->algorithm(), 0);
  EXPECT_EQ(editor->algorithms().lastAlgorithm(), 0);
  EXPECT_EQ(editor->activeTool(), kToolNone);
  EXPECT_EQ(plugin->engines().spectralEngine(), nullptr);
  EXPECT_FALSE(plugin->engines().hasEngine(4)) << "the pilot tone was left";
  EXPECT_FALSE(shown(control(editor::kPreview)));
  EXPECT_FALSE(shown(control(editor::kPilotPaneIds.bars[0])));
  const std::vector<Point> before = pointsOf(curve());
  drag(100, 220, 500, 200);
  EXPECT_FALSE(editor->tools().rangeSelected()) << "no tool is active";
  EXPECT_TRUE(sameCurve(pointsOf(curve()), before));

  chooseItem(2);
  EXPECT_EQ(editor->algorithm(), 7);
  EXPECT_EQ(editor->activeTool(), kToolRange);
  EXPECT_NE(plugin->engines().spectralEngine(), nullptr);
  EXPECT_TRUE(shown(control(editor::kPreview)));
  EXPECT_FALSE(shown(control(editor::kMessageArea)));
}

// The undo history holds 511 steps. Chart strokes, each a step of its own,
// past that: the later ones record nothing, "Undo" goes back through the
// recorded steps to the curve before the first stroke, each step showing
// the curve it recorded, and a stroke after that starts the history anew.
// The spectral detector over silence leaves a flat curve and says so; over
// the band of a tone it finds the tone and says nothing.
TEST_F(EditorCommands, SpectralDetectorThatFindsNothingSaysSo) {
  const auto tone = host.audio;
  for (auto& channel : host.audio) std::fill(channel.begin(), channel.end(), 0.0f);
  openAndRead();
  chooseItem(2);
  const int toneRow = static_cast<int>(258.0 * (1.0 - kToneHz / (kRate / 2.0)));
  drag(100, toneRow - 10, 500, toneRow + 10);
  press(editor::kPreview);
  ASSERT_EQ(host.startsInMode(kModeSpectral), 1);
  press(editor::kCreatePvc);
  EXPECT_EQ(text(editor::kMessageArea), "No track to follow: nothing in the chosen range and band lasted long enough. The curve is flat.");
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
  for (const Point& p : pointsOf(curve())) EXPECT_FLOAT_EQ(p.ratio, 1.0f);

  host.audio = tone;
  drag(100, toneRow - 10, 500, toneRow + 10);
  press(editor::kPreview);
  ASSERT_EQ(host.startsInMode(kModeSpectral), 2);
  press(editor::kCreatePvc);
  EXPECT_GT(plugin->engines().spectralEngine()->familyCount(), 0);
  EXPECT_NE(text(editor::kMessageArea).rfind("No track to follow", 0), 0u) << text(editor::kMessageArea);
}

// With no memory left at all even the message cannot be made: the choice
// fails inside the window procedure, which must not let the failure unwind
// into the system's window code and end the host. Once memory is back the
// editor works.
TEST_F(EditorCommands, NoMemoryAtAllEndsNothing) {
  openAndRead();
  chooseItem(4);
  ASSERT_EQ(editor->algorithm(), 4);
  {
    editor_test::HeapExhaustion noMemory(0);
    chooseItem(2);
    EXPECT_GT(editor_test::HeapExhaustion::refused(), 0);
  }
  EXPECT_TRUE(IsWindow(mainWindow()));
  chooseItem(2);
  EXPECT_EQ(editor->algorithm(), 7);
  EXPECT_NE(plugin->engines().spectralEngine(), nullptr);
}

TEST_F(EditorCommands, UndoHistoryFull) {
  openAndRead();
  chooseItem(1);
  press(editor::kChartPvc);
  ASSERT_EQ(editor->activeTool(), kToolChart);
  const int top = rowOfRatio(1.15f);
  std::vector<std::vector<Point>> shownAt{pointsOf(curve())};  // by step
  constexpr int kStrokes = PvcHistory::kCapacity + 4;
  for (int k = 1; k <= kStrokes; ++k) {
    // Strokes at shifting places and heights, so that every step differs.
    const int x = 60 + (k * 37) % 500;
    const int y = top + (k % 9) * 4;
    // The first stroke past the last step cannot replace that step's file:
    // it says so, and the step keeps the curve it had.
    const bool lastStepLocked = k == PvcHistory::kCapacity + 1;
    std::unique_ptr<LockedFile> lock;
    if (lastStepLocked) lock = std::make_unique<LockedFile>(curve().snapshotName(PvcHistory::kCapacity));
    mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    mouse(WM_MOUSEMOVE, x + 12, y + 2, MK_LBUTTON);
    mouse(WM_LBUTTONUP, x + 24, y + 2);
    if (lastStepLocked) {
      lock.reset();
      EXPECT_TRUE(shown(control(editor::kMessageArea)));
      EXPECT_EQ(text(editor::kMessageArea), kSnapshotNotStored);
      PvcCurve reader(curve().tempDir());
      reader.setLength(kFrames);
      ASSERT_TRUE(reader.readFile(curve().snapshotName(PvcHistory::kCapacity), true));
      EXPECT_TRUE(sameCurve(pointsOf(reader), shownAt[PvcHistory::kCapacity]));
      EXPECT_EQ(GetFileAttributesA(curve().snapshotName(PvcHistory::kCapacity + 1).c_str()), INVALID_FILE_ATTRIBUTES);
    }
    shownAt.push_back(pointsOf(curve()));
    if (k <= PvcHistory::kCapacity) {
      ASSERT_EQ(stepOfHistory(), k);
    }
    ASSERT_NE(shownAt[static_cast<size_t>(k)], shownAt[static_cast<size_t>(k - 1)]) << "stroke " << k;
  }
  const PvcHistory& history = editor->curves().historyOf(plugin->currentFileId);
  EXPECT_EQ(history.currentStep(), PvcHistory::kCapacity);
  EXPECT_EQ(history.topStep(), PvcHistory::kCapacity);
  EXPECT_EQ(history.tagOf(PvcHistory::kCapacity - 1), 8) << "the last recorded step is a chart stroke";
  EXPECT_TRUE(IsWindowEnabled(control(editor::kUndo)));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));

  // The strokes past the last step take that step over, so the newest
  // curve is never out of reach: the first undo goes to the step below it,
  // and redo comes back to the newest stroke.
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), shownAt[PvcHistory::kCapacity - 1]));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kRedo)));
  command(editor::kRedo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), shownAt[kStrokes])) << "the newest stroke was lost";
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));

  for (int step = PvcHistory::kCapacity - 1; step >= 0; --step) {
    command(editor::kUndo);
    ASSERT_EQ(stepOfHistory(), step);
    ASSERT_TRUE(sameCurve(pointsOf(curve()), shownAt[static_cast<size_t>(step)])) << "step " << step;
  }
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), shownAt[0]));
  EXPECT_EQ(stepOfHistory(), 0);

  // A new stroke from the bottom drops everything above it.
  drag(300, top, 340, top);
  EXPECT_EQ(stepOfHistory(), 1);
  EXPECT_EQ(history.topStep(), 1);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));
  const std::vector<Point> redrawn = pointsOf(curve());
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), shownAt[0]));
  command(editor::kRedo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), redrawn));
}

}  // namespace
