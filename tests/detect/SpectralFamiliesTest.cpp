#include <gtest/gtest.h>

#include <vector>

#include "detect/SpectralFamilies.h"
#include "detect/SpectralTrackTable.h"

using detect::SpectralFamilies;
using detect::SpectralTrack;
using detect::SpectralTrackTable;
using detect::TrackPoint;

namespace {
SpectralTrack makeTrack(int first, const std::vector<float>& frequencies) {
  SpectralTrack t;
  t.first = first;
  t.last = first + static_cast<int>(frequencies.size()) - 1;
  t.frequencies = frequencies;
  return t;
}
std::vector<const SpectralTrack*> pointers(const std::vector<SpectralTrack>& tracks) {
  std::vector<const SpectralTrack*> p;
  for (const SpectralTrack& t : tracks) p.push_back(&t);
  return p;
}
}  // namespace

TEST(SpectralTrackTable, GrowingLetsGoOfShortStoppedTracksAndKeepsOrder) {
  SpectralTrackTable table;
  table.reset();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(table.start(0, {i, 100.0f * i, 0.0f}));
  for (int frame = 1; frame < 12; ++frame) {
    table.extend(0, frame, {0, 0.0f, 0.0f});  // track 0 lasts 12 frames
    if (frame < 4) table.extend(2, frame, {2, 200.0f, 0.0f});
  }
  table.stop(1);  // 1 frame: goes at the next growth
  table.stop(2);  // 4 frames: goes too
  table.settleAlive();
  EXPECT_EQ(table.aliveCount(), 1);
  EXPECT_EQ(table.used(), 3);
  table.stop(0);  // 12 frames: kept
  table.settleAlive();
  table.grow(2);
  EXPECT_EQ(table.capacity(), 22);
  EXPECT_EQ(table.used(), 1);
  EXPECT_EQ(table.freeSlots(), 21);
  ASSERT_TRUE(table.start(12, {5, 50.0f, 0.0f}));
  const auto held = table.tracks();
  ASSERT_EQ(held.size(), 2u);
  EXPECT_EQ(held[0]->length(), 12);
  EXPECT_EQ(held[1]->first, 12);
}

TEST(SpectralFamilies, TracksInTheSameRangeFormOneFamilyOthersTheirOwn) {
  std::vector<SpectralTrack> tracks;
  tracks.push_back(makeTrack(0, std::vector<float>(50, 1000.0f)));
  tracks.push_back(makeTrack(60, std::vector<float>(40, 1005.0f)));  // same class region
  tracks.push_back(makeTrack(0, std::vector<float>(100, 2000.0f)));
  tracks.push_back(makeTrack(10, std::vector<float>(3, 1500.0f)));   // 3 % of the run: set aside
  SpectralFamilies families;
  families.collect(pointers(tracks), 100, 3000.0f);
  ASSERT_EQ(families.count(), 2);
  // The longest track opens the first family.
  EXPECT_FLOAT_EQ(families.smoothed(0, 50), 2000.0f);
  EXPECT_FLOAT_EQ(families.weight(0, 50), 1.0f);
  EXPECT_FLOAT_EQ(families.smoothed(1, 10), 1000.0f);
  EXPECT_FLOAT_EQ(families.smoothed(1, 70), 1005.0f);
  EXPECT_FLOAT_EQ(families.weight(1, 70), 0.4f);
  EXPECT_FLOAT_EQ(families.smoothed(1, 55), -1.0f);  // between the two tracks
  EXPECT_FLOAT_EQ(families.relative(1, 55), 1.0f);
}

TEST(SpectralFamilies, RunsAreSmoothedAndTakenRelativeToTheirMedian) {
  std::vector<SpectralTrack> tracks = {makeTrack(0, {1000, 1010, 990, 1020, 1000, 980, 1010})};
  SpectralFamilies families;
  families.collect(pointers(tracks), 7, 3000.0f);
  ASSERT_EQ(families.count(), 1);
  const float expected[7] = {1000.0f, 1000.0f, 1004.0f, 1000.0f, 1000.0f, 996.66669f, 1010.0f};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(families.smoothed(0, i), expected[i], 1e-3f) << i;
  // Median of the smoothed run: 1000.
  EXPECT_FLOAT_EQ(families.relative(0, 2), 1.004f);
  EXPECT_FLOAT_EQ(families.relative(0, 6), 1.01f);
}

TEST(SpectralFamilies, RunsShorterThanThreeFramesAreKeptAsTheyAre) {
  std::vector<SpectralTrack> tracks = {makeTrack(0, {1000.0f, 1010.0f}), makeTrack(5, {3000.0f})};
  SpectralFamilies families;
  families.collect(pointers(tracks), 10, 3000.0f);
  ASSERT_EQ(families.count(), 2);
  EXPECT_FLOAT_EQ(families.smoothed(0, 0), 1000.0f);
  EXPECT_FLOAT_EQ(families.smoothed(0, 1), 1010.0f);
  EXPECT_FLOAT_EQ(families.relative(0, 0), 1000.0f / 1010.0f);
  EXPECT_FLOAT_EQ(families.relative(0, 1), 1.0f);
  EXPECT_FLOAT_EQ(families.relative(1, 5), 1.0f);
}

TEST(SpectralFamilies, CurveTakesTheHeaviestEnabledFamily) {
  std::vector<SpectralTrack> tracks = {makeTrack(0, std::vector<float>(20, 1000.0f)),
                                       makeTrack(0, {2000, 2000, 2100, 2000, 2000, 2000, 2000, 2000, 2000, 2000})};
  SpectralFamilies families;
  families.collect(pointers(tracks), 20, 3000.0f);
  ASSERT_EQ(families.count(), 2);
  std::vector<float> curve = families.curve();
  for (float v : curve) EXPECT_FLOAT_EQ(v, 1.0f);  // the 20-frame family, flat, wins everywhere
  families.setConfidence(0.6f);                     // the 20-frame family (1.0) stays, the other (0.5) goes
  EXPECT_TRUE(families.enabled(0, 3));
  EXPECT_FALSE(families.enabled(1, 3));
  families.setConfidence(1.5f);  // ignored
  EXPECT_FALSE(families.enabled(1, 3));
  families.setConfidence(0.0f);
  for (int f = 0; f < 2; ++f) {
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(families.enabled(f, i));
  }
}

TEST(SpectralFamilies, NoTracksNoFamilies) {
  SpectralFamilies families;
  families.collect({}, 10, 3000.0f);
  EXPECT_EQ(families.count(), 0);
  const std::vector<float> curve = families.curve();
  ASSERT_EQ(curve.size(), 10u);
  for (float v : curve) EXPECT_EQ(v, 1.0f);
}
