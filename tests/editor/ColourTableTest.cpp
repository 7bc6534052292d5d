#include "editor/ColourTable.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ColourTable, BandEdgesAndTheDocumentedLevels) {
  const ColourTable table;
  EXPECT_EQ(table[0], (Rgb{75, 75, 255}));
  EXPECT_EQ(table[25], (Rgb{75, 255, 255}));
  EXPECT_EQ(table[50], (Rgb{75, 255, 75}));
  EXPECT_EQ(table[75], (Rgb{255, 255, 75}));
  EXPECT_EQ(table[80], (Rgb{255, 219, 75}));
  EXPECT_EQ(table[100], (Rgb{255, 75, 75}));
}

TEST(ColourTable, LevelsInsideTheBandsRoundToNearest) {
  const ColourTable table;
  EXPECT_EQ(table[10], (Rgb{75, 147, 255}));  // 255 - round(15 x 7.2)
  EXPECT_EQ(table[24], (Rgb{75, 248, 255}));  // 7.2 rounds down
  EXPECT_EQ(table[26], (Rgb{75, 255, 248}));  // 75 + round(172.8)
  EXPECT_EQ(table[49], (Rgb{75, 255, 82}));
  EXPECT_EQ(table[51], (Rgb{82, 255, 75}));   // 255 - round(172.8)
  EXPECT_EQ(table[99], (Rgb{255, 82, 75}));
}

TEST(ColourTable, StrayLevelsStayInsideTheTable) {
  const ColourTable table;
  EXPECT_EQ(table[-1], table[0]);
  EXPECT_EQ(table[101], table[100]);
  EXPECT_EQ(table[1 << 30], table[100]);
  EXPECT_EQ(table.colourOf(24.99f), table[24]);  // truncated, not rounded
  EXPECT_EQ(table.colourOf(-0.5f), table[0]);
  EXPECT_EQ(table.colourOf(100.0f), table[100]);
  EXPECT_EQ(table.colourOf(1e30f), table[100]);
  EXPECT_EQ(table.colourOf(std::nanf("")), table[0]);
  EXPECT_EQ(ColourTable::indexOf(-1e30f), 0);
}

TEST(ColourTable, ColorRefPacksRedInTheLowByte) {
  const ColourTable table;
  EXPECT_EQ(table.colorRef(80), 0x4BDBFFu);  // blue 75, green 219, red 255
  EXPECT_EQ(table.colorRefOf(0.7f), 0xFF4B4Bu);
}

TEST(ColourTable, ReadsEveryLevelBackFromItsColour) {
  for (int level = 0; level <= 100; ++level) EXPECT_EQ(ColourTable::levelOf(ColourTable::levelColour(level)), level);
  EXPECT_EQ(ColourTable::levelOf({0, 0, 0}), -1);
  EXPECT_EQ(ColourTable::levelOf({255, 255, 255}), -1);
}
