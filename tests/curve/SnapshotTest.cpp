#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "CurveTestFolder.h"
#include "curve/PvcCurve.h"
#include "curve/PvcHistory.h"
#include "curve/SnapshotDirectory.h"
#include "platform/Platform.h"

namespace {

class Snapshots : public ::testing::Test {
 protected:
  void SetUp() override {
    curve.fileId = 3;
    curve.resetFlat(1000);
    curve.setLength(1000);
  }
  // Makes the curve recognisable by the ratio of its middle point.
  void mark(float ratio) {
    curve.deleteRange(1, 998);
    curve.insertPoint(500, ratio, false);
  }
  float markOf(const std::string& name) {
    PvcCurve reader{folder.dir()};
    reader.setLength(1000);
    return reader.readFile(folder.file(name), true) ? reader.ratioAt(500) : -1.0f;
  }

  CurveTestFolder folder;
  PvcCurve curve{folder.dir()};
};

TEST_F(Snapshots, AreNamedAfterTheFileIdAndStep) {
  EXPECT_EQ(curve.snapshotName(0), folder.dir() + "3~undopvc_0.dwt");
  curve.fileId = -2;
  EXPECT_EQ(curve.snapshotName(-1), folder.dir() + "-2~undopvc_-1.dwt");
}

TEST_F(Snapshots, TheFirstPushWritesStepZero) {
  mark(1.1f);
  EXPECT_TRUE(curve.pushSnapshot());
  EXPECT_EQ(curve.snapshotCount(), 1);
  EXPECT_EQ(curve.snapshotIndex(), 0);
  EXPECT_EQ(markOf("3~undopvc_0.dwt"), 1.1f);
}

TEST_F(Snapshots, APushAfterUndoOverwritesTheStepAboveAndForgetsTheRest) {
  mark(1.1f);
  curve.pushSnapshot();
  mark(1.2f);
  curve.pushSnapshot();
  mark(1.3f);
  curve.pushSnapshot();
  ASSERT_EQ(curve.snapshotCount(), 3);
  ASSERT_TRUE(curve.loadSnapshot(0));
  EXPECT_EQ(curve.ratioAt(500), 1.1f);
  EXPECT_EQ(curve.snapshotIndex(), 0);
  mark(1.4f);
  EXPECT_TRUE(curve.pushSnapshot());
  EXPECT_EQ(curve.snapshotIndex(), 1);
  EXPECT_EQ(curve.snapshotCount(), 2);
  EXPECT_EQ(markOf("3~undopvc_1.dwt"), 1.4f);
  EXPECT_EQ(markOf("3~undopvc_0.dwt"), 1.1f);
}

TEST_F(Snapshots, StoreAfterLoadOverwritesTheShownStep) {
  mark(1.1f);
  curve.pushSnapshot();
  mark(1.2f);
  curve.pushSnapshot();
  ASSERT_TRUE(curve.loadSnapshot(1));
  mark(1.5f);
  EXPECT_EQ(curve.storeSnapshot(), 1);
  EXPECT_EQ(curve.snapshotCount(), 2);
  EXPECT_EQ(markOf("3~undopvc_1.dwt"), 1.5f);
  EXPECT_EQ(markOf("3~undopvc_0.dwt"), 1.1f);
}

TEST_F(Snapshots, APendingStoreStartsANewStep) {
  mark(1.1f);
  curve.pushSnapshot();
  curve.markPending();
  mark(1.2f);
  EXPECT_EQ(curve.storeSnapshot(), 2);
  EXPECT_FALSE(curve.snapshotPending());
  EXPECT_EQ(curve.snapshotCount(), 2);
  mark(1.3f);
  EXPECT_EQ(curve.storeSnapshot(), 1);  // same tool, same step
  EXPECT_EQ(curve.snapshotCount(), 2);
  EXPECT_EQ(markOf("3~undopvc_1.dwt"), 1.3f);
}

TEST_F(Snapshots, StoreBeforeAnyPushWritesStepMinusOne) {
  EXPECT_EQ(curve.storeSnapshot(), 1);
  EXPECT_TRUE(folder.exists("3~undopvc_-1.dwt"));
}

// A step that cannot be written is not reported as one, changes no
// counter, and leaves the next store to try a new step again.
TEST_F(Snapshots, AnUnwritableFolderLeavesTheCountersAlone) {
  PvcCurve lost{folder.file("gone")};
  std::filesystem::remove_all(folder.file("gone"));
  lost.resetFlat(1000);
  EXPECT_FALSE(lost.pushSnapshot());
  EXPECT_EQ(lost.snapshotCount(), 0);
  EXPECT_EQ(lost.snapshotIndex(), -1);
  EXPECT_TRUE(lost.snapshotPending());
  EXPECT_EQ(lost.storeSnapshot(), 0);
  EXPECT_EQ(lost.snapshotCount(), 0);
  std::filesystem::create_directory(folder.file("gone"));
  EXPECT_EQ(lost.storeSnapshot(), 2);
  EXPECT_EQ(lost.snapshotIndex(), 0);
  EXPECT_EQ(lost.snapshotCount(), 1);
}

// Undone steps are forgotten only once the step that replaces them is written.
TEST_F(Snapshots, AFailedPushAfterUndoKeepsTheStepsAbove) {
  for (float r : {1.1f, 1.2f, 1.3f}) {
    mark(r);
    curve.pushSnapshot();
  }
  ASSERT_TRUE(curve.loadSnapshot(0));
  const std::string base = folder.dir().substr(0, folder.dir().size() - 1);
  std::filesystem::rename(base, base + "-away");
  mark(1.4f);
  EXPECT_FALSE(curve.pushSnapshot());
  std::filesystem::rename(base + "-away", base);
  EXPECT_EQ(curve.snapshotCount(), 3);
  EXPECT_EQ(curve.snapshotIndex(), 0);
  EXPECT_EQ(markOf("3~undopvc_2.dwt"), 1.3f);
}

// A write that fails leaves the file there before as it was and nothing
// beside it.
TEST_F(Snapshots, AFailedWriteKeepsTheOldFile) {
  folder.write("held.pvc", "0 1.000000\r\n");
  std::filesystem::create_directory(folder.file("held.pvc.partial~"));  // the working name is taken
  mark(1.2f);
  EXPECT_FALSE(curve.writeFile(folder.file("held.pvc"), false));
  EXPECT_EQ(markOf("held.pvc"), 1.0f);
  EXPECT_TRUE(curve.writeFile(folder.file("fresh.pvc"), false));
  EXPECT_EQ(markOf("fresh.pvc"), 1.2f);
  EXPECT_FALSE(folder.exists("fresh.pvc.partial~"));
}

TEST_F(Snapshots, AMissingSnapshotLoadsNothing) {
  mark(1.1f);
  EXPECT_FALSE(curve.loadSnapshot(7));
  EXPECT_EQ(curve.snapshotIndex(), 7);
  EXPECT_EQ(curve.ratioAt(500), 1.1f);
}

TEST_F(Snapshots, ClearingRemovesEveryFilesSnapshotsAndNothingElse) {
  curve.pushSnapshot();
  curve.pushSnapshot();
  curve.fileId = 9;
  curve.pushSnapshot();
  folder.write("12~undopvc_4.dwt", "0 1.0\r\n");
  folder.write("keep.pvc", "0 1.0\r\n");
  folder.write("keep.dwt.txt", "0 1.0\r\n");
  curve.clearSnapshots();
  EXPECT_EQ(curve.snapshotIndex(), -1);
  EXPECT_EQ(curve.snapshotCount(), 0);
  EXPECT_TRUE(platform::listFiles(folder.dir(), ".dwt").empty());
  EXPECT_TRUE(folder.exists("keep.pvc"));
  EXPECT_TRUE(folder.exists("keep.dwt.txt"));
}

TEST(SnapshotDirectory, TheDefaultFolderIsThereAndWritable) {
  PvcCurve curve;
  const std::string dir = curve.handoffDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), platform::pathSeparator());
  EXPECT_TRUE(directoryWritable(dir));
  const std::string expectedEnd = std::string("TempPVC") + platform::pathSeparator();
  EXPECT_EQ(dir.substr(dir.size() - expectedEnd.size()), expectedEnd);
#ifdef _WIN32
  // Where the fixed folder can be made and written (a Wine prefix can), it is used.
  if (directoryWritable(std::string(kFixedSnapshotDirectory) + "\\"))
    EXPECT_EQ(dir, std::string(kFixedSnapshotDirectory) + "\\");
  else
    EXPECT_EQ(dir, platform::temporaryDirectory() + "TempPVC\\");
#else
  EXPECT_EQ(dir, platform::temporaryDirectory() + "TempPVC/");
#endif
}

#ifndef _WIN32
TEST(SnapshotDirectory, FollowsTmpdirOnPosix) {
  CurveTestFolder folder;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", folder.dir().c_str(), 1);
  PvcCurve curve;
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  EXPECT_EQ(curve.handoffDir(), folder.dir() + "TempPVC/");
  EXPECT_TRUE(folder.exists("TempPVC"));
  EXPECT_FALSE(std::filesystem::exists("C:\\Program Files\\Steinberg\\VstPlugins\\TempPVC"));
}
#endif

// Two plug-ins at once, even for host files with the same id: each writes
// its snapshots into a folder of its own inside the shared one, clears only
// its own, and removes its folder when it goes.
TEST(SnapshotDirectory, EachCurveKeepsItsSnapshotsApart) {
  auto first = std::make_unique<PvcCurve>();
  PvcCurve second;
  ASSERT_NE(first->tempDir(), second.tempDir());
  EXPECT_EQ(first->handoffDir(), second.handoffDir());
  EXPECT_EQ(first->tempDir().rfind(first->handoffDir(), 0), 0u) << "inside the shared folder";
  EXPECT_TRUE(directoryWritable(first->tempDir()));
  for (PvcCurve* c : {first.get(), &second}) {
    c->fileId = 3;
    c->resetFlat(1000);
    c->setLength(1000);
  }
  first->insertPoint(500, 1.1f, false);
  second.insertPoint(500, 1.3f, false);
  ASSERT_TRUE(first->pushSnapshot());
  ASSERT_TRUE(second.pushSnapshot());
  first->clearSnapshots();
  EXPECT_TRUE(std::filesystem::exists(second.snapshotName(0)));
  const std::string firstFolder = first->tempDir();
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(firstFolder)) << "the folder goes with its curve";
  second.resetFlat(1000);
  ASSERT_TRUE(second.loadSnapshot(0));
  EXPECT_FLOAT_EQ(second.ratioAt(500), 1.3f) << "the other curve's step is its own";
}

// A curve's folder left by a process that ended without removing it (a
// killed host) goes when the next curve starts; a running one's stays.
TEST(SnapshotDirectory, FoldersOfEndedProcessesGo) {
  const std::string shared = PvcCurve().handoffDir();
  const std::string abandoned = shared + "pelmora-4294967280-1";  // no process has this id
  const std::string running = shared + "pelmora-" + std::to_string(platform::processId()) + "-1";
  for (const std::string& folder : {abandoned, running}) {
    std::filesystem::create_directory(folder);
    std::ofstream(folder + platform::pathSeparator() + "3~undopvc_0.dwt") << "0 1.000000\r\n";
  }
  PvcCurve next;
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(running));
  std::filesystem::remove_all(running);
}

TEST(SnapshotDirectory, AGivenFolderIsCreatedAndGetsItsSeparator) {
  CurveTestFolder folder;
  PvcCurve curve{folder.file("mine")};
  EXPECT_EQ(curve.tempDir(), folder.file("mine") + platform::pathSeparator());
  EXPECT_TRUE(folder.exists("mine"));
}

TEST(History, RecordsUpTo511Steps) {
  PvcHistory history;
  EXPECT_FALSE(history.canUndo());
  for (int i = 0; i < 511; ++i) ASSERT_TRUE(history.record(i % 8));
  EXPECT_EQ(history.currentStep(), 511);
  EXPECT_EQ(history.topStep(), 511);
  EXPECT_FALSE(history.record(3));
  EXPECT_EQ(history.currentStep(), 511);
  EXPECT_EQ(history.topStep(), 511);
  EXPECT_EQ(history.tagOf(510), 510 % 8);
}

TEST(History, UndoAndRedoStayWithinTheRecordedSteps) {
  PvcHistory history;
  history.undo();
  EXPECT_EQ(history.currentStep(), 0);
  history.record(4);
  history.record(3);
  history.redo();
  EXPECT_EQ(history.currentStep(), 2);
  history.undo();
  history.undo();
  EXPECT_FALSE(history.canUndo());
  history.undo();
  EXPECT_EQ(history.currentStep(), 0);
  history.redo();
  EXPECT_EQ(history.currentStep(), 1);
  EXPECT_EQ(history.topStep(), 2);
}

TEST(History, RecordingAfterUndoDropsTheRedoSteps) {
  PvcHistory history;
  for (int i = 0; i < 5; ++i) history.record(6);
  history.undo();
  history.undo();
  EXPECT_TRUE(history.record(7));
  EXPECT_EQ(history.currentStep(), 4);
  EXPECT_EQ(history.topStep(), 4);
  history.redo();
  EXPECT_EQ(history.currentStep(), 4);
  EXPECT_EQ(history.tagOf(3), 7);
}

}  // namespace
