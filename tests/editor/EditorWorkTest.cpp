// The user's work through the editor: tools that stay usable after a pass,
// panes that come back as their controls show, drags that always end, and
// every failure to store an edit or a file said in the message area with
// nothing recorded that was not stored.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlIds.h"
#include "editor/OfflineEditor.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "tests/editor/CommandFixture.h"
#include "tests/editor/ExhaustibleHeap.h"

namespace {

using namespace editor_test;

class EditorWork : public EditorCommands {
 protected:
  std::string message() const { return text(editor::kMessageArea); }
  bool messageShown(const std::string& words) const { return shown(control(editor::kMessageArea)) && message() == words; }

  // The snapshot folder moved away with what it holds: the next snapshot
  // cannot be written until it is back.
  std::string snapshotFolder() const { return plugin->curve().tempDir().substr(0, plugin->curve().tempDir().size() - 1); }
  void takeSnapshotFolderAway() {
    ASSERT_TRUE(MoveFileA(snapshotFolder().c_str(), (snapshotFolder() + "-away").c_str()));
  }
  void bringSnapshotFolderBack() {
    ASSERT_TRUE(MoveFileA((snapshotFolder() + "-away").c_str(), snapshotFolder().c_str()));
  }

  static std::string temporaryName(const std::string& stem) {
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + stem + "-" + std::to_string(GetCurrentProcessId());
  }
  static std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }
};

// After "Preview" the range tool is back: a second range can be chosen,
// and the pass can be run over it.
TEST_F(EditorWork, PreviewLeavesTheRangeTool) {
  openAndRead();
  chooseItem(2);
  drag(100, 220, 500, 200);
  press(editor::kPreview);
  ASSERT_EQ(host.startsInMode(kModeSpectral), 1);
  EXPECT_EQ(editor->activeTool(), kToolRange);
  const std::int32_t firstStart = editor->view().analysisStart;
  drag(200, 230, 400, 210);
  EXPECT_NE(editor->view().analysisStart, firstStart) << "the second range was taken";
  EXPECT_EQ(editor->view().analysisStart, analyser().sampleOfColumn(200));
  press(editor::kPreview);
  EXPECT_EQ(host.startsInMode(kModeSpectral), 2);
  EXPECT_EQ(editor->activeTool(), kToolRange);
}

// Coming back to manual correction applies what its controls show: "Move
// PVC point" checked moves points, the other tools disabled; unchecked, the
// checked tool works again.
TEST_F(EditorWork, ManualPaneComesBackAsItsControlsShow) {
  openAndRead();
  manualWithThreePoints();
  press(editor::kShowPoints);
  press(editor::kMovePoint);
  ASSERT_TRUE(editor->tools().movePointsMode());
  chooseItem(4);
  ASSERT_EQ(editor->algorithm(), 4);
  EXPECT_FALSE(editor->tools().movePointsMode());
  chooseItem(1);
  EXPECT_TRUE(editor->tools().movePointsMode());
  EXPECT_EQ(editor->activeTool(), kToolMovePoint);
  for (int id : {editor::kInsertPoints, editor::kChartPvc, editor::kDeletePoints}) EXPECT_FALSE(IsWindowEnabled(control(id))) << id;
  const int x = curve().columnOf(2);
  const int y = curve().rowOf(2);
  const int steps = stepOfHistory();
  drag(x, y, x + 4, y - 12);
  EXPECT_GT(curve().ratioOf(2), 1.0f) << "the point moves";
  EXPECT_EQ(stepOfHistory(), steps + 1);

  press(editor::kMovePoint);  // moving off: the insert tool, still checked, is back
  ASSERT_FALSE(editor->tools().movePointsMode());
  chooseItem(4);
  chooseItem(1);
  EXPECT_FALSE(editor->tools().movePointsMode());
  EXPECT_EQ(editor->activeTool(), kToolInsert);
  for (int id : {editor::kInsertPoints, editor::kChartPvc, editor::kDeletePoints}) EXPECT_TRUE(IsWindowEnabled(control(id))) << id;
}

// The progress bar goes when a command that showed it is refused.
TEST_F(EditorWork, RefusedPassesTakeTheProgressBarAway) {
  openAndRead();
  chooseItem(2);
  {
    BoxAnswerer answer;
    press(editor::kPreview);  // no range
    EXPECT_EQ(BoxAnswerer::boxes.size(), 1u);
  }
  EXPECT_FALSE(shown(control(editor::kProgressBar)));
  drag(100, 220, 500, 200);
  {
    editor_test::HeapExhaustion noMemory(256);
    press(editor::kPreview);  // no memory for the detector
  }
  EXPECT_EQ(host.startsInMode(kModeSpectral), 0);
  EXPECT_FALSE(shown(control(editor::kProgressBar)));
  EXPECT_EQ(editor->activeTool(), kToolRange) << "a refused preview keeps the range tool";

  chooseItem(4);
  ASSERT_EQ(editor->algorithm(), 4);
  analyser().setSampleRate(16000);  // too low for the pilot tone
  press(editor::kCreatePvc);
  EXPECT_EQ(host.startsInMode(kModePilotTone), 0);
  EXPECT_FALSE(shown(control(editor::kProgressBar)));
}

// A press on the display takes the mouse until the release; a drag that
// loses the mouse to another window ends there: the grabbed point is let
// go and the move is an undo step.
TEST_F(EditorWork, DragsAlwaysEnd) {
  openAndRead();
  manualWithThreePoints();
  press(editor::kShowPoints);
  press(editor::kMovePoint);
  const int x = curve().columnOf(2);
  const int y = curve().rowOf(2);
  const int steps = stepOfHistory();
  mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
  EXPECT_EQ(GetCapture(), control(editor::kDisplay));
  mouse(WM_MOUSEMOVE, x + 3, y - 10, MK_LBUTTON);
  mouse(WM_LBUTTONUP, x + 3, y - 10);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(curve().selectedPoint(), -1);
  EXPECT_EQ(stepOfHistory(), steps + 1);

  const std::vector<Point> before = pointsOf(curve());
  mouse(WM_LBUTTONDOWN, curve().columnOf(3), curve().rowOf(3), MK_LBUTTON);
  mouse(WM_MOUSEMOVE, curve().columnOf(3) + 2, curve().rowOf(3) - 15, MK_LBUTTON);
  ASSERT_NE(curve().selectedPoint(), -1);
  SetCapture(host.frame);  // the mouse goes elsewhere with the button held
  ReleaseCapture();
  EXPECT_EQ(curve().selectedPoint(), -1) << "the point was let go";
  const std::vector<Point> moved = pointsOf(curve());
  EXPECT_NE(moved, before);
  PvcCurve stored(curve().tempDir());
  stored.setLength(kFrames);
  ASSERT_TRUE(stored.readFile(curve().snapshotName(stepOfHistory()), true));
  EXPECT_TRUE(sameCurve(pointsOf(stored), moved)) << "the move was stored in its step";
  mouse(WM_LBUTTONUP, 600, 10);  // the late release ends nothing more
  EXPECT_EQ(pointsOf(curve()), moved);
  EXPECT_EQ(stepOfHistory(), steps + 1);
}

// The curve is offered under the audio's name with the curve's extension.
TEST_F(EditorWork, ExportOffersTheCurvesName) {
  std::strcpy(host.file.name, "take.wav");
  openAndRead();
  {
    FileDialogAnswerer answer("Save PVC File", "");
    press(editor::kExportPvc);
  }
  EXPECT_EQ(FileDialogAnswerer::offered, "take.pvc");
}

// A curve file that cannot be written is said, and the file there before
// stays whole.
TEST_F(EditorWork, ExportThatCannotWriteSaysSo) {
  openAndRead();
  const std::string target = temporaryName("pelmora-locked") + ".pvc";
  std::ofstream(target, std::ios::binary) << "0 1.000000\r\n";
  {
    LockedFile lock(target);
    ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
    FileDialogAnswerer answer("Save PVC File", target);
    press(editor::kExportPvc);
    EXPECT_TRUE(FileDialogAnswerer::typed);
  }
  EXPECT_TRUE(messageShown("The PVC file could not be written: " + target)) << message();
  EXPECT_EQ(contentsOf(target), "0 1.000000\r\n");
  EXPECT_EQ(GetFileAttributesA((target + ".partial~").c_str()), INVALID_FILE_ATTRIBUTES) << "no cut-short file left";
  DeleteFileA(target.c_str());
}

// An edit whose snapshot cannot be written is said, records no step, and
// the next edit once the folder is back is a step of its own.
TEST_F(EditorWork, EditThatCannotBeStoredRecordsNothing) {
  openAndRead();
  chooseItem(1);
  press(editor::kInsertPoints);
  takeSnapshotFolderAway();
  click(300, 50);
  EXPECT_EQ(curve().pointCount(), 3) << "the edit stays in memory";
  EXPECT_TRUE(messageShown(kSnapshotNotStored)) << message();
  EXPECT_EQ(stepOfHistory(), 0);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));

  bringSnapshotFolderBack();
  click(400, 50);
  EXPECT_EQ(stepOfHistory(), 1);
  const std::vector<Point> both = pointsOf(curve());
  ASSERT_EQ(both.size(), 4u);
  command(editor::kUndo);
  EXPECT_EQ(curve().pointCount(), 2) << "back to the curve before either insert";
  command(editor::kRedo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), both)) << "the step holds the curve shown";
}

// An imported curve is an undo step only when its snapshot was written.
TEST_F(EditorWork, ImportThatCannotBeStoredRecordsNothing) {
  openAndRead();
  const std::string file = temporaryName("pelmora-import") + ".pvc";
  std::ofstream(file, std::ios::binary) << "0 1.000000\r\n40000 1.050000\r\n88199 1.000000\r\n";
  takeSnapshotFolderAway();
  {
    FileDialogAnswerer answer("Open PVC File", file);
    press(editor::kImportPvc);
    EXPECT_TRUE(FileDialogAnswerer::typed);
  }
  EXPECT_NEAR(curve().ratioAt(40000), 1.05f, 1e-5f) << "the curve is imported";
  EXPECT_TRUE(messageShown(kSnapshotNotStored)) << message();
  EXPECT_EQ(stepOfHistory(), 0);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));

  bringSnapshotFolderBack();
  {
    FileDialogAnswerer answer("Open PVC File", file);
    press(editor::kImportPvc);
  }
  EXPECT_EQ(stepOfHistory(), 1);
  DeleteFileA(file.c_str());
}

// Two takes open in the host: the chosen one and one more.
class EditorWorkTwoFiles : public EditorWork {
 protected:
  void SetUp() override {
    EditorWork::SetUp();
    VstAudioFile other = host.file;
    other.uniqueId = 8;
    std::strcpy(other.name, "second-take");
    host.others = {other};
  }
  // The user chooses the other take in the host.
  void switchFile() {
    std::swap(host.file, host.others[0]);
    ASSERT_TRUE(host.notify());
  }
  void insertAt(int x) {
    chooseItem(1);
    press(editor::kInsertPoints);
    click(x, 50);
  }
};

// Undo, another file, back: the step the user was on is the one shown,
// and the next edit, Undo and Redo go on from it.
TEST_F(EditorWorkTwoFiles, SwitchingBackReturnsToTheStepShown) {
  openAndRead();
  manualWithThreePoints();
  const std::vector<Point> inserted = pointsOf(curve());
  press(editor::kChartPvc);
  const int high = rowOfRatio(1.1f);
  drag(100, high, 300, high);
  ASSERT_EQ(stepOfHistory(), 2);
  command(editor::kUndo);
  ASSERT_TRUE(sameCurve(pointsOf(curve()), inserted));

  switchFile();
  ASSERT_EQ(plugin->currentFileId, 8);
  switchFile();
  ASSERT_EQ(plugin->currentFileId, 7);
  EXPECT_EQ(stepOfHistory(), 1);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), inserted));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kRedo))) << "the chart stroke can still be redone";

  insertAt(550);
  EXPECT_EQ(stepOfHistory(), 2);
  const std::vector<Point> edited = pointsOf(curve());
  ASSERT_EQ(edited.size(), inserted.size() + 1);
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), inserted));
  command(editor::kRedo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), edited)) << "redo brings the new edit, not the abandoned stroke";
}

// All takes closed, one opened again: its old steps are gone with their
// files, and so are Undo and Redo.
TEST_F(EditorWork, AllFilesClosedThenOneReopened) {
  openAndRead();
  manualWithThreePoints();
  ASSERT_EQ(stepOfHistory(), 1);
  host.fileCount = 0;
  host.notify();
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));
  host.fileCount = 1;
  host.notify();
  click(300, 100);  // the splash picture
  ASSERT_EQ(host.startsInMode(kModeRead), 2);
  EXPECT_EQ(stepOfHistory(), 0);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));
  EXPECT_FALSE(IsWindowEnabled(control(editor::kRedo)));
  const std::vector<Point> fresh = pointsOf(curve());
  command(editor::kUndo);
  EXPECT_EQ(stepOfHistory(), 0);
  chooseItem(1);
  press(editor::kInsertPoints);
  click(300, 50);
  EXPECT_EQ(stepOfHistory(), 1);
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), fresh)) << "undo goes to the curve the take opened with";
}

// The editor closed and opened again: the snapshots went with the window,
// the steps counted for them too; the curve shown stays and is found again
// after another take was looked at.
TEST_F(EditorWorkTwoFiles, CloseAndReopenKeepsCountsAndFilesInStep) {
  openAndRead();
  manualWithThreePoints();
  const std::vector<Point> inserted = pointsOf(curve());
  host.dispatch(effEditClose, 0, 0, nullptr);
  ASSERT_TRUE(host.openEditor());
  ASSERT_TRUE(host.notify());
  click(300, 100);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), inserted));
  EXPECT_EQ(stepOfHistory(), 0);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));

  switchFile();
  switchFile();
  EXPECT_TRUE(sameCurve(pointsOf(curve()), inserted)) << "the curve is found again";
  insertAt(550);
  EXPECT_EQ(stepOfHistory(), 1);
  command(editor::kUndo);
  EXPECT_TRUE(sameCurve(pointsOf(curve()), inserted));
}

// "Import PVC" checks the file as pelmora-host's --curve does: speeds
// beyond 0.25 to 4 refuse it with the line, unusable lines are counted and
// left out, and a file that is no curve at all changes nothing.
TEST_F(EditorWork, ImportChecksTheFile) {
  openAndRead();
  const std::vector<Point> before = pointsOf(curve());
  const std::string file = temporaryName("pelmora-checked") + ".pvc";
  auto import = [&](const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    FileDialogAnswerer answer("Open PVC File", file);
    press(editor::kImportPvc);
    EXPECT_TRUE(FileDialogAnswerer::typed);
  };

  import("0 1.000000\r\n40000 1.050000\r\n50000 0\r\n88199 1.000000\r\n");
  EXPECT_TRUE(messageShown("The PVC file was not imported: line 3: the ratio 0 is outside the plausible range 0.25 "
                           "to 4. The curve is unchanged."))
      << message();
  EXPECT_TRUE(sameCurve(pointsOf(curve()), before));
  EXPECT_EQ(stepOfHistory(), 0);

  std::string wave("RIFF\x24\x08\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0", 24);
  for (int i = 0; i < 2000; ++i) wave += static_cast<char>((i * 37) & 0xFF);
  import(wave);
  EXPECT_TRUE(messageShown("No PVC points could be read from this file. The curve is unchanged.")) << message();
  EXPECT_TRUE(sameCurve(pointsOf(curve()), before));

  import("0 1.000000\n1000\t1.1\n-5 1.0\n40000 1.050000\n30000 1.2\n88199 1.000000\n");
  EXPECT_EQ(message().rfind("3 lines of the PVC file could not be used and were left out (line 2: ", 0), 0u)
      << message();
  EXPECT_NE(message().find("line 5: position 30000 does not come after 40000"), std::string::npos) << message();
  EXPECT_TRUE(sameCurve(pointsOf(curve()), {{0, 1.0f}, {40000, 1.05f}, {88199, 1.0f}}));
  EXPECT_EQ(stepOfHistory(), 1);
  EXPECT_EQ(editor->curves().curveFilePath(), file);
  DeleteFileA(file.c_str());
}

// A plain click with the zoom tool zooms nothing, and the labels show the
// view again, not the zoom the press began.
TEST_F(EditorWork, ZoomClickLeavesTheLabelsOfTheView) {
  openAndRead();
  ASSERT_EQ(editor->activeTool(), kToolZoom);
  const std::string left = text(editor::kStartTime), right = text(editor::kEndTime), top = text(editor::kUpperFrequency), bottom = text(editor::kLowerFrequency);
  const std::int32_t length = editor->view().viewLength;
  click(200, 50);
  EXPECT_EQ(editor->view().viewLength, length);
  EXPECT_EQ(text(editor::kStartTime), left);
  EXPECT_EQ(text(editor::kEndTime), right);
  EXPECT_EQ(text(editor::kUpperFrequency), top);
  EXPECT_EQ(text(editor::kLowerFrequency), bottom);
  drag(200, 50, 202, 51);  // too small to zoom
  EXPECT_EQ(editor->view().viewLength, length);
  EXPECT_EQ(text(editor::kStartTime), left);
  EXPECT_EQ(text(editor::kEndTime), right);
}

}  // namespace
