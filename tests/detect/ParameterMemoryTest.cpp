#include <gtest/gtest.h>

#include <cstring>

#include "detect/BoundedCopy.h"
#include "detect/ParameterMemory.h"

using detect::ParameterMemory;

TEST(ParameterMemory, RowsStartEmptyAndLoadZero) {
  ParameterMemory memory;
  for (int row = -1; row <= ParameterMemory::kRows; ++row) {
    EXPECT_FALSE(memory.hasValues(row)) << row;
    EXPECT_EQ(memory.load(row, 0), 0.0f) << row;
  }
}

TEST(ParameterMemory, AllocatesZeroedValuesOnceAndNeverResizes) {
  ParameterMemory memory;
  ASSERT_TRUE(memory.allocate(4, 6));
  EXPECT_TRUE(memory.hasValues(4));
  EXPECT_EQ(memory.count(4), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(memory.load(4, i), 0.0f);
  memory.store(4, 5, 0.25f);
  EXPECT_FALSE(memory.allocate(4, 12));
  EXPECT_EQ(memory.count(4), 6);
  EXPECT_EQ(memory.load(4, 5), 0.25f);
}

TEST(ParameterMemory, RefusesRowsOutsideTheTable) {
  ParameterMemory memory;
  EXPECT_FALSE(memory.allocate(7, 3));
  EXPECT_FALSE(memory.allocate(-1, 3));
  EXPECT_FALSE(memory.allocate(2, -1));
  memory.store(7, 0, 1.0f);
  EXPECT_EQ(memory.load(7, 0), 0.0f);
  EXPECT_TRUE(memory.allocate(6, 1));
}

TEST(ParameterMemory, StoreAndLoadKeepToTheRowsCount) {
  ParameterMemory memory;
  memory.store(3, 0, 0.5f);  // not yet allocated: ignored
  ASSERT_TRUE(memory.allocate(3, 2));
  EXPECT_EQ(memory.load(3, 0), 0.0f);
  memory.store(3, 0, 0.5f);
  memory.store(3, 1, 0.75f);
  memory.store(3, 2, 0.9f);
  memory.store(3, -1, 0.9f);
  EXPECT_EQ(memory.load(3, 0), 0.5f);
  EXPECT_EQ(memory.load(3, 1), 0.75f);
  EXPECT_EQ(memory.load(3, 2), 0.0f);
  EXPECT_EQ(memory.load(3, -1), 0.0f);
  EXPECT_EQ(memory.load(5, 0), 0.0f);
  EXPECT_EQ(memory.load(2, 0), 0.0f);
}

TEST(BoundedCopy, CutsTheTextToTheBuffersFilledLength) {
  char buffer[8];
  std::memset(buffer, 1, 4);
  std::memset(buffer + 4, 0, 4);
  detect::copyBounded("Bottom margin", buffer);
  EXPECT_STREQ(buffer, "Bott");
}

TEST(BoundedCopy, CopiesAShortTextWithItsTerminator) {
  char buffer[20];
  std::memset(buffer, 1, 18);
  buffer[18] = 'x';
  buffer[19] = 0;
  detect::copyBounded("smpl", buffer);
  EXPECT_STREQ(buffer, "smpl");
  EXPECT_EQ(buffer[5], 1);  // the rest of the buffer is left as it was
}
