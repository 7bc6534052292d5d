#include <gtest/gtest.h>

#include <array>

#include "editor/ControlIds.h"
#include "editor/HumBars.h"

namespace {

// Parameters 1..11 with display value = value x 100, like a 0..100 setting.
class FakeHumParameters : public editor::HumParameters {
 public:
  float value(int i) override { return values[static_cast<std::size_t>(i)]; }
  void setValue(int i, float v) override { values[static_cast<std::size_t>(i)] = v; }
  float display(int i) override { return values[static_cast<std::size_t>(i)] * 100.0f; }
  std::array<float, 12> values{};
};

TEST(HumBars, BasicBoundsKeepLowerBelowUpperAndTheBandWide) {
  FakeHumParameters p;
  // Lower bound moved above the upper bound's bar: clamped to that bar.
  editor::HumBarMove m = editor::moveHumBar(editor::kHumPaneIds.bars[2], 0.7f, false, 0.4f, p);
  EXPECT_FLOAT_EQ(p.values[3], 0.4f);
  ASSERT_TRUE(m.placeBarAt);
  EXPECT_FLOAT_EQ(*m.placeBarAt, 0.4f);
  EXPECT_EQ(m.readout, "40.0");
  // Below it, taken as it is.
  m = editor::moveHumBar(editor::kHumPaneIds.bars[2], 0.3f, false, 0.4f, p);
  EXPECT_FLOAT_EQ(p.values[3], 0.3f);
  EXPECT_FALSE(m.placeBarAt);
  // Upper bound at or below the lower bar: raised to it.
  m = editor::moveHumBar(editor::kHumPaneIds.bars[3], 0.2f, false, 0.3f, p);
  EXPECT_FLOAT_EQ(p.values[4], 0.3f);
  ASSERT_TRUE(m.placeBarAt);
  EXPECT_FLOAT_EQ(*m.placeBarAt, 0.3f);

  // The first bar sets half its value; the second keeps at least twice it.
  editor::moveHumBar(editor::kHumPaneIds.bars[0], 0.5f, false, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[1], 0.25f);
  m = editor::moveHumBar(editor::kHumPaneIds.bars[1], 0.4f, false, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[2], 0.5f);
  ASSERT_TRUE(m.placeBarAt);
  EXPECT_FLOAT_EQ(*m.placeBarAt, 0.5f);
  EXPECT_EQ(m.readout, "50.0");
  m = editor::moveHumBar(editor::kHumPaneIds.bars[4], 0.125f, false, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[10], 0.125f);
  EXPECT_EQ(m.readout, "12.5");
}

TEST(HumBars, AdvancedOrderBelowTwoGoesToTheSmallestFilter) {
  FakeHumParameters p;
  p.values[5] = 0.9f;
  // Display 1 (below 2): the bar and the parameter go to 0.025.
  editor::HumBarMove m = editor::moveHumBar(editor::kHumPaneIds.bars[2], 0.01f, true, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[7], 0.025f);
  ASSERT_TRUE(m.placeBarAt);
  EXPECT_FLOAT_EQ(*m.placeBarAt, 0.025f);
  // Not above parameter 5: held at it.
  m = editor::moveHumBar(editor::kHumPaneIds.bars[2], 0.95f, true, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[7], 0.9f);
  ASSERT_TRUE(m.placeBarAt);
  EXPECT_FLOAT_EQ(*m.placeBarAt, 0.9f);
  // Parameter 5 must stay above twice parameter 7's display, or it is taken
  // back to parameter 7's value.
  p.values[7] = 0.3f;
  m = editor::moveHumBar(editor::kHumPaneIds.bars[0], 0.5f, true, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[5], 0.3f);
  m = editor::moveHumBar(editor::kHumPaneIds.bars[0], 0.8f, true, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[5], 0.8f);
  EXPECT_FALSE(m.placeBarAt);
  EXPECT_EQ(m.readout, "80");
  // Parameter 6 never above 5.
  m = editor::moveHumBar(editor::kHumPaneIds.bars[1], 0.9f, true, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[6], 0.8f);
  EXPECT_TRUE(m.placeBarAt);
  editor::moveHumBar(editor::kHumPaneIds.bars[3], 0.6f, true, 0.0f, p);
  editor::moveHumBar(editor::kHumPaneIds.bars[4], 0.7f, true, 0.0f, p);
  EXPECT_FLOAT_EQ(p.values[9], 0.6f);
  EXPECT_FLOAT_EQ(p.values[11], 0.7f);
  EXPECT_EQ(editor::humParameterOfBar(editor::kHumPaneIds.bars[3], true), 9);
  EXPECT_EQ(editor::humParameterOfBar(editor::kHumPaneIds.bars[4], false), 10);
}

}  // namespace
