#include "editor/ZoomDrag.h"

#include <gtest/gtest.h>

namespace {

using editor::OutlineKind;
using editor::ZoomRelease;
using editor::ZoomSettings;

constexpr ZoomSettings kBoth{true, true, 668, 172.0f};
constexpr ZoomSettings kTimeOnly{true, false, 668, 172.0f};
constexpr ZoomSettings kFrequencyOnly{false, true, 668, 172.0f};

// The outline's shape follows the boxes; each edge is red only beyond the
// smallest span, which is itself still too small.
TEST(ZoomDrag, OutlineShapeAndColour) {
  EXPECT_EQ(editor::zoomOutline(1000, 500, kBoth).kind, OutlineKind::Rectangle);
  EXPECT_EQ(editor::zoomOutline(1000, 500, kTimeOnly).kind, OutlineKind::Vertical);
  EXPECT_EQ(editor::zoomOutline(1000, 500, kFrequencyOnly).kind, OutlineKind::Horizontal);
  EXPECT_EQ(editor::zoomOutline(1000, 500, {false, false, 668, 172.0f}).kind, OutlineKind::None);

  const editor::ZoomOutline wide = editor::zoomOutline(669, 173, kBoth);
  EXPECT_TRUE(wide.timeValid);
  EXPECT_TRUE(wide.frequencyValid);
  const editor::ZoomOutline atMinimum = editor::zoomOutline(668, 172, kBoth);
  EXPECT_FALSE(atMinimum.timeValid);
  EXPECT_FALSE(atMinimum.frequencyValid);
  // An axis whose box is off never promises a zoom.
  EXPECT_FALSE(editor::zoomOutline(100000, 5000, kTimeOnly).frequencyValid);
  EXPECT_FALSE(editor::zoomOutline(100000, 5000, kFrequencyOnly).timeValid);
}

TEST(ZoomDrag, LeftwardDragPreviewsAndZoomsOut) {
  EXPECT_EQ(editor::zoomOutline(-1, 5000, kBoth).kind, OutlineKind::ZoomOutPreview);
  EXPECT_EQ(editor::zoomRelease(-1, 0.0f, kBoth).what, ZoomRelease::ZoomOutToEverything);
  EXPECT_EQ(editor::zoomRelease(-100000, 5000.0f, kTimeOnly).what, ZoomRelease::ZoomOutToEverything);
}

TEST(ZoomDrag, ReleaseZoomsOnlyBeyondTheSmallestSpans) {
  EXPECT_EQ(editor::zoomRelease(0, 5000.0f, kBoth).what, ZoomRelease::Nothing);

  const editor::ZoomReleaseResult both = editor::zoomRelease(669, -173.0f, kBoth);
  EXPECT_EQ(both.what, ZoomRelease::TimeZoomed);
  EXPECT_TRUE(both.frequencyToo) << "the span counts whichever way the drag went";

  const editor::ZoomReleaseResult timeOnly = editor::zoomRelease(669, 100.0f, kBoth);
  EXPECT_EQ(timeOnly.what, ZoomRelease::TimeZoomed);
  EXPECT_FALSE(timeOnly.frequencyToo);

  EXPECT_EQ(editor::zoomRelease(668, 5000.0f, kBoth).what, ZoomRelease::FrequencyZoomed);
  EXPECT_EQ(editor::zoomRelease(668, 172.0f, kBoth).what, ZoomRelease::Unchanged);
  EXPECT_EQ(editor::zoomRelease(100000, 5000.0f, kFrequencyOnly).what, ZoomRelease::FrequencyZoomed);
  const editor::ZoomReleaseResult noFrequencyBox = editor::zoomRelease(100000, 5000.0f, kTimeOnly);
  EXPECT_EQ(noFrequencyBox.what, ZoomRelease::TimeZoomed);
  EXPECT_FALSE(noFrequencyBox.frequencyToo);
  EXPECT_EQ(editor::zoomRelease(100000, 5000.0f, {false, false, 668, 172.0f}).what, ZoomRelease::Unchanged);
}

}  // namespace
