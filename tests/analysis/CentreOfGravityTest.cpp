#include "analysis/CentreOfGravity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kBins = 256;
constexpr float kUnwritten = -7.0f;

// Synthetic power rows, one per column, stored one after the other.
struct Rows {
  explicit Rows(int columns) : columns(columns), data(static_cast<std::size_t>(columns) * kBins, 0.0f) {}
  std::span<float> row(int c) { return std::span<float>(data).subspan(static_cast<std::size_t>(c) * kBins, kBins); }
  PowerRows view() const { return PowerRows(data, columns, kBins); }
  // A narrow tonal peak centred on a fractional bin.
  void peak(int c, double centre) {
    for (int k = 0; k < kBins; ++k) row(c)[static_cast<std::size_t>(k)] = static_cast<float>(std::exp(-(k - centre) * (k - centre)));
  }
  void noise(int c, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(0.5f, 1.0f);
    for (float& v : row(c)) v = dist(gen);
  }
  int columns;
  std::vector<float> data;
};

// A tone gliding up by 10 % over 50 columns.
double glide(int c) { return 100.0 * (1.0 + 0.002 * c); }

TEST(CentreOfGravity, PureBinIsItsOwnCentre) {
  std::vector<float> row(kBins, 0.0f);
  row[37] = 5.0f;
  EXPECT_EQ(bandCentroid(row, 30, 45), 37.0f);
  EXPECT_EQ(bandCentroid(row, 45, 30), 37.0f);  // bounds in either order
}

TEST(CentreOfGravity, FlatBandCentresOnTheGeometricMean) {
  std::vector<float> row(kBins, 1.0f);
  const std::optional<float> c = bandCentroid(row, 40, 90);
  ASSERT_TRUE(c);
  // sqrt(40 * 90) = 60; the arithmetic mean is 65. Bins lie denser at the
  // top on a log scale, which pulls the centre slightly upward.
  EXPECT_NEAR(*c, 60.0f, 2.0f);
  EXPECT_LT(std::fabs(*c - 60.0f), std::fabs(*c - 65.0f) / 2.0f);
  // The lower bound is raised to 2: bins 0 and 1 carry no weight.
  std::vector<float> low(kBins, 0.0f);
  low[0] = low[1] = 100.0f;
  low[3] = 1.0f;
  EXPECT_EQ(bandCentroid(low, 0, 6), 3.0f);
}

TEST(CentreOfGravity, SilentOrSingleBinBandsHaveNoCentre) {
  std::vector<float> row(kBins, 0.0f);
  EXPECT_FALSE(bandCentroid(row, 10, 20));
  row[15] = 1.0f;
  EXPECT_FALSE(bandCentroid(row, 15, 15));
  EXPECT_FALSE(bandCentroid(row, 0, 1));  // nothing left above bin 2
  EXPECT_FALSE(bandSpread(row, 15.0f, 15, 15));
  EXPECT_FALSE(bandSpread(std::vector<float>(kBins, 0.0f), 15.0f, 10, 20));
  row[15] = NAN;
  EXPECT_FALSE(bandCentroid(row, 10, 20));
}

TEST(CentreOfGravity, SpreadWeighsEachBinByThePowerAboveIt) {
  std::vector<float> row(kBins, 0.0f);
  row[51] = 1.0f;  // weights bin 50
  EXPECT_EQ(bandSpread(row, 50.0f, 40, 60), 0.0f);
  EXPECT_NEAR(*bandSpread(row, 48.0f, 40, 60), 4.0f, 1e-5f);
  // Two equal bins one apart either side of the centre: variance 1.
  std::vector<float> two(kBins, 0.0f);
  two[50] = two[52] = 2.0f;  // weight bins 49 and 51
  EXPECT_NEAR(*bandSpread(two, 50.0f, 40, 60), 1.0f, 1e-5f);
}

TEST(CentreOfGravity, BinsBeyondTheRowAreSilent) {
  std::vector<float> row(kBins, 0.0f);
  row[kBins - 2] = 1.0f;
  EXPECT_EQ(bandCentroid(row, kBins - 10, kBins + 10), static_cast<float>(kBins - 2));
  EXPECT_TRUE(bandSpread(row, kBins - 3.0f, kBins - 10, kBins + 10));
}

TEST(CentreOfGravity, CountsOfOneOrLessTrackNothing) {
  Rows rows(10);
  for (int c = 0; c < 10; ++c) rows.peak(c, 80.0);
  std::vector<float> out(10, kUnwritten);
  for (int count : {-1, 0, 1}) EXPECT_EQ(trackCentroid(rows.view(), 3, count, 80, 1.0f, out, 10), 0);
  for (float v : out) EXPECT_EQ(v, kUnwritten);
}

TEST(CentreOfGravity, FollowsAGlidingToneForward) {
  Rows rows(50);
  for (int c = 0; c < 50; ++c) rows.peak(c, glide(c));
  std::vector<float> out(50, kUnwritten);
  ASSERT_EQ(trackCentroid(rows.view(), 0, 50, 100, 1.25f, out, 10), 50);
  EXPECT_FLOAT_EQ(out[0], 1.25f);  // the first column yields the reference
  for (int c = 0; c < 50; ++c)
    EXPECT_NEAR(out[static_cast<std::size_t>(c)], 1.25 * glide(c) / glide(0), 2e-3) << c;
}

TEST(CentreOfGravity, FollowsAGlidingToneBackwardIntoTheEndOfOut) {
  Rows rows(50);
  for (int c = 0; c < 50; ++c) rows.peak(c, glide(c));
  std::vector<float> out(50, kUnwritten);
  ASSERT_EQ(trackCentroid(rows.view(), 49, -50, 110, 1.0f, out, 10), -50);
  // Time order: out[i] belongs to column i.
  for (int c = 0; c < 50; ++c)
    EXPECT_NEAR(out[static_cast<std::size_t>(c)], glide(c) / glide(49), 2e-3) << c;

  // A backward track that stops early fills only the end of out.
  for (int c = 0; c < 30; ++c) rows.noise(c, 100u + static_cast<unsigned>(c));
  std::fill(out.begin(), out.end(), kUnwritten);
  const int tracked = trackCentroid(rows.view(), 49, -50, 110, 1.0f, out, 10);
  EXPECT_EQ(tracked, -20);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(out[static_cast<std::size_t>(i)], kUnwritten) << i;
  for (int i = 30; i < 50; ++i) EXPECT_NE(out[static_cast<std::size_t>(i)], kUnwritten) << i;
}

TEST(CentreOfGravity, BroadbandNoiseStopsTheTrack) {
  Rows rows(40);
  for (int c = 0; c < 20; ++c) rows.peak(c, 120.0);
  for (int c = 20; c < 40; ++c) rows.noise(c, static_cast<unsigned>(c));
  std::vector<float> out(40, kUnwritten);
  EXPECT_EQ(trackCentroid(rows.view(), 0, 40, 120, 1.0f, out, 12), 20);
  for (int i = 0; i < 20; ++i) EXPECT_NEAR(out[static_cast<std::size_t>(i)], 1.0f, 1e-5f);
  for (int i = 20; i < 40; ++i) EXPECT_EQ(out[static_cast<std::size_t>(i)], kUnwritten);
}

TEST(CentreOfGravity, SilenceAndBrokenPowersStopWithoutNaN) {
  Rows rows(20);
  for (int c = 0; c < 20; ++c) rows.peak(c, 60.0);
  std::fill(rows.row(7).begin(), rows.row(7).end(), 0.0f);
  rows.row(3)[60] = NAN;
  std::vector<float> out(20, kUnwritten);
  EXPECT_EQ(trackCentroid(rows.view(), 0, 20, 60, 1.0f, out, 10), 3);
  EXPECT_EQ(trackCentroid(rows.view(), 4, 16, 60, 1.0f, out, 10), 3);
  for (float v : out) EXPECT_FALSE(std::isnan(v));
}

TEST(CentreOfGravity, StopsAtTheEdgesOfRowsAndOut) {
  Rows rows(10);
  for (int c = 0; c < 10; ++c) rows.peak(c, 40.0);
  std::vector<float> out(100, kUnwritten);
  EXPECT_EQ(trackCentroid(rows.view(), 6, 100, 40, 1.0f, out, 10), 4);
  EXPECT_EQ(trackCentroid(rows.view(), 2, -100, 40, 1.0f, out, 10), -3);
  EXPECT_EQ(trackCentroid(rows.view(), 12, 5, 40, 1.0f, out, 10), 0);
  EXPECT_EQ(trackCentroid(PowerRows(), 0, 5, 40, 1.0f, out, 10), 0);
  std::vector<float> small(3, kUnwritten);
  EXPECT_EQ(trackCentroid(rows.view(), 0, 8, 40, 1.0f, small, 10), 3);
  // Width below one bin cannot be judged: nothing is tracked.
  EXPECT_EQ(trackCentroid(rows.view(), 0, 8, 40, 1.0f, out, 0), 0);
}

}  // namespace
