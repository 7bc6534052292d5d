// The per-file table of undo steps that survives switching between files.
#include <gtest/gtest.h>

#include "plugin/FileTable.h"

namespace {

FileTable tableWith(std::initializer_list<std::int32_t> ids) {
  FileTable table;
  table.setFileCount(static_cast<int>(ids.size()));
  int i = 0;
  for (std::int32_t id : ids) table.setFileId(i++, id);
  table.rebuildFileSteps();
  return table;
}

TEST(FileTable, FirstListTakesEveryIdWithStepZero) {
  FileTable table = tableWith({7, 9, 11});
  ASSERT_EQ(table.knownFileCount(), 3);
  EXPECT_EQ(table.fileSteps()[0].uniqueId, 7);
  EXPECT_EQ(table.fileSteps()[2].uniqueId, 11);
  for (const auto& entry : table.fileSteps()) EXPECT_EQ(entry.step, 0);
}

TEST(FileTable, StepsAreStoredPerIdAndNeverNegative) {
  FileTable table = tableWith({7, 9});
  table.setStepOfFile(9, 5);
  EXPECT_EQ(table.stepOfFile(9), 5);
  EXPECT_EQ(table.stepOfFile(7), 0);
  EXPECT_EQ(table.stepOfFile(1234), 0);  // never seen
  table.setStepOfFile(7, -4);
  EXPECT_EQ(table.stepOfFile(7), 0);
  table.setStepOfFile(1234, 3);  // unknown id: nothing stored
  EXPECT_EQ(table.stepOfFile(1234), 0);
}

TEST(FileTable, SetFileIdOutsideTheListIsIgnored) {
  FileTable table;
  table.setFileCount(2);
  table.setFileId(2, 5);
  table.setFileId(-1, 5);
  EXPECT_EQ(table.fileIds(), (std::vector<std::int32_t>{0, 0}));
}

TEST(FileTable, SameCountKeepsTheIdList) {
  FileTable table;
  table.setFileCount(2);
  table.setFileId(0, 3);
  table.setFileCount(2);
  EXPECT_EQ(table.fileIds()[0], 3);
  table.setFileCount(3);
  EXPECT_EQ(table.fileIds(), (std::vector<std::int32_t>{0, 0, 0}));
}

TEST(FileTable, RebuildKeepsStepsOfKnownFilesInTheirNewPlaces) {
  FileTable table = tableWith({1, 2});
  table.setStepOfFile(1, 4);
  table.setStepOfFile(2, 8);
  table.setFileId(0, 2);
  table.setFileId(1, 1);
  table.rebuildFileSteps();
  EXPECT_EQ(table.fileSteps()[0].uniqueId, 2);
  EXPECT_EQ(table.fileSteps()[0].step, 8);
  EXPECT_EQ(table.stepOfFile(1), 4);
}

TEST(FileTable, GrowingListTakesOnlyTheFirstNewId) {
  FileTable table = tableWith({1, 2});
  table.setStepOfFile(2, 6);
  table.setFileCount(4);
  for (int i = 0; i < 4; ++i) table.setFileId(i, 10 + i);
  table.rebuildFileSteps();
  ASSERT_EQ(table.knownFileCount(), 4);
  EXPECT_EQ(table.fileSteps()[0].uniqueId, 10);
  EXPECT_EQ(table.fileSteps()[1].uniqueId, 0);
  EXPECT_EQ(table.fileSteps()[2].uniqueId, 0);
  EXPECT_EQ(table.fileSteps()[3].uniqueId, 0);
  EXPECT_EQ(table.stepOfFile(2), 0);  // the old file left the list
}

TEST(FileTable, GrowingByOneAddsTheNewFileBesideKnownOnes) {
  FileTable table = tableWith({1, 2});
  table.setStepOfFile(1, 3);
  table.setFileCount(3);
  table.setFileId(0, 1);
  table.setFileId(1, 2);
  table.setFileId(2, 5);
  table.rebuildFileSteps();
  EXPECT_EQ(table.stepOfFile(1), 3);
  EXPECT_EQ(table.fileSteps()[2].uniqueId, 5);
  EXPECT_EQ(table.fileSteps()[2].step, 0);
}

TEST(FileTable, ForgetEmptiesBoth) {
  FileTable table = tableWith({1, 2});
  table.forget();
  EXPECT_EQ(table.fileIdCapacity(), 0);
  EXPECT_EQ(table.knownFileCount(), 0);
  EXPECT_EQ(table.stepOfFile(1), 0);
}

}  // namespace
