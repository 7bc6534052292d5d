#include "editor/ViewWindow.h"

#include <gtest/gtest.h>

#include <limits>

#include "analysis/SpectrogramAnalyser.h"

using namespace view;

namespace {
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

void expectBar(const ScrollSetting& s, int minimum, int maximum, int page, int position) {
  EXPECT_EQ(s.minimum, minimum);
  EXPECT_EQ(s.maximum, maximum);
  EXPECT_EQ(s.page, page);
  EXPECT_EQ(s.position, position);
}

void expectTime(const TimeWindow& w, std::int32_t offset, std::int32_t end, std::int32_t centre, std::int32_t half) {
  EXPECT_EQ(w.offset, offset);
  EXPECT_EQ(w.selectionStart, 0);
  EXPECT_EQ(w.selectionEnd, end);
  EXPECT_EQ(w.centre, centre);
  EXPECT_EQ(w.halfSpan, half);
}
}  // namespace

TEST(ScrollRanges, TimeBar) {
  expectBar(timeScrollRange(500, 250, 1000), 250, 1000, 250, 500);
  // Thumb exactly a half-span from the end: one less.
  expectBar(timeScrollRange(750, 250, 1000), 250, 1000, 249, 750);
  // Closer than that: never more than the distance allows.
  EXPECT_LE(timeScrollRange(900, 250, 1000).page, 100);
  // The whole file shown.
  expectBar(timeScrollRange(500, 1000, 1000), 1000, 1001, 1, 1000);
  expectBar(timeScrollRange(0, 0, 0), 0, 1, 1, 0);
  // Near 2^31 nothing wraps.
  expectBar(timeScrollRange(kMax, kMax, kMax), kMax, kMax, 1, kMax);
  const ScrollSetting far = timeScrollRange(-kMax, 1000, kMax);
  EXPECT_EQ(far.page, 1000);
}

TEST(ScrollRanges, FrequencyBarIsInverted) {
  expectBar(frequencyScrollRange(11025, 5512, 22050.0f), 5512, 22050, 5512, 11025);
  expectBar(frequencyScrollRange(16538, 5512, 22050.0f), 5512, 22050, 5511, 5512);
  expectBar(frequencyScrollRange(20000, 100, 22050.0f), 100, 22050, 100, 2050);
  expectBar(frequencyScrollRange(11025, 22050, 22050.0f), 22050, 22051, 1, 1);
  expectBar(frequencyScrollRange(0, kMax, 22050.0f), kMax, kMax, 1, 1);
}

TEST(Scrolling, TimeWindowStaysInsideTheFile) {
  expectTime(scrollTime(5000, 1000, 10000), 4000, 2000, 5000, 1000);
  expectTime(scrollTime(500, 1000, 10000), 0, 2000, 500, 1000);
  expectTime(scrollTime(9800, 1000, 10000), 8000, 2000, 9800, 1000);
  // Wider than the file: both ends pinned, the start not below 0.
  expectTime(scrollTime(9000, 6000, 10000), 0, 10000, 9000, 6000);
  expectTime(scrollTime(kMax, 1000, kMax), kMax - 2000, 2000, kMax, 1000);
}

TEST(Scrolling, FrequencyWindowAndMinimumSpan) {
  FrequencyScroll s = scrollFrequency(11025, 22050, 2000, 0.0f, 22050.0f, 172.3f);
  EXPECT_FLOAT_EQ(s.window.lower, 9025.0f);
  EXPECT_FLOAT_EQ(s.window.upper, 13025.0f);
  EXPECT_TRUE(s.apply);
  // Bar at the bottom: the window sits on the lowest frequency.
  s = scrollFrequency(22000, 22050, 2000, 0.0f, 22050.0f, 172.3f);
  EXPECT_FLOAT_EQ(s.window.lower, 0.0f);
  EXPECT_FLOAT_EQ(s.window.upper, 4000.0f);
  // At the top: on the highest.
  s = scrollFrequency(0, 22050, 2000, 0.0f, 22050.0f, 172.3f);
  EXPECT_FLOAT_EQ(s.window.lower, 18050.0f);
  EXPECT_FLOAT_EQ(s.window.upper, 22050.0f);
  // Wider than the band: the lower end does not go below the minimum.
  s = scrollFrequency(0, 22050, 20000, 0.0f, 22050.0f, 172.3f);
  EXPECT_FLOAT_EQ(s.window.lower, 0.0f);
  EXPECT_FLOAT_EQ(s.window.upper, 22050.0f);
  // The window must exceed the minimum span, not only reach it.
  EXPECT_FALSE(scrollFrequency(11025, 22050, 50, 0.0f, 22050.0f, 100.0f).apply);
  EXPECT_TRUE(scrollFrequency(11025, 22050, 51, 0.0f, 22050.0f, 100.0f).apply);
  EXPECT_FALSE(scrollFrequency(11025, 22050, 0, 0.0f, 22050.0f, 100.0f).apply);
}

TEST(Scrolling, CentreOfAWindowIsTruncated) {
  const FrequencyCentre c = frequencyCentre(1000.0f, 2001.0f);
  EXPECT_EQ(c.centre, 1500);
  EXPECT_EQ(c.halfSpan, 500);
}

TEST(Zoom, FrequencyInHalvesDownToTheMinimumSpan) {
  FrequencyZoom z = zoomFrequencyIn(11025, 11025, 172.265625f);
  EXPECT_EQ(z.halfSpan, 5512);
  EXPECT_FLOAT_EQ(z.window.lower, 5513.0f);
  EXPECT_FLOAT_EQ(z.window.upper, 16537.0f);
  EXPECT_FALSE(z.atMinimum);
  // Half of 150 is below the minimum span: the window is +-m, "+" disabled.
  z = zoomFrequencyIn(1000, 150, 172.265625f);
  EXPECT_EQ(z.halfSpan, 172);
  EXPECT_FLOAT_EQ(z.window.lower, 1000.0f - 172.265625f);
  EXPECT_FLOAT_EQ(z.window.upper, 1000.0f + 172.265625f);
  EXPECT_TRUE(z.atMinimum);
  // Twice the new half-span equal to the minimum is not enough either.
  EXPECT_TRUE(zoomFrequencyIn(1000, 100, 100.0f).atMinimum);
  EXPECT_FALSE(zoomFrequencyIn(1000, 102, 100.0f).atMinimum);
}

TEST(Zoom, FrequencyOutDoublesInsideTheBand) {
  FrequencyZoom z = zoomFrequencyOut(11025, 5512, 22050.0f);
  EXPECT_EQ(z.centre, 11025);
  EXPECT_EQ(z.halfSpan, 11024);
  EXPECT_FLOAT_EQ(z.window.lower, 1.0f);
  EXPECT_FLOAT_EQ(z.window.upper, 22049.0f);
  EXPECT_FALSE(z.atMaximum);
  // Clamped on both sides to the whole band: "-" is disabled.
  z = zoomFrequencyOut(3000, 11025, 22050.0f);
  EXPECT_FLOAT_EQ(z.window.lower, 0.0f);
  EXPECT_FLOAT_EQ(z.window.upper, 22050.0f);
  EXPECT_EQ(z.centre, 11025);
  EXPECT_EQ(z.halfSpan, 11025);
  EXPECT_TRUE(z.atMaximum);
  // A band with a half-hertz top (11025 Hz audio) is still recognised.
  z = zoomFrequencyOut(2756, 2756, 5512.5f);
  EXPECT_FLOAT_EQ(z.window.upper, 5512.0f);
  EXPECT_TRUE(z.atMaximum);
  // Clamped at the bottom only.
  z = zoomFrequencyOut(1000, 1000, 22050.0f);
  EXPECT_FLOAT_EQ(z.window.lower, 0.0f);
  EXPECT_FLOAT_EQ(z.window.upper, 3000.0f);
  EXPECT_EQ(z.centre, 1500);
  EXPECT_FALSE(z.atMaximum);
  // Huge values do not overflow.
  z = zoomFrequencyOut(kMax, kMax, 22050.0f);
  EXPECT_FLOAT_EQ(z.window.upper, 22050.0f);
}

TEST(Zoom, TimeInHalvesDownToTheMinimumSpan) {
  expectTime(zoomTimeIn(5000, 2000, 1024, 10000), 4000, 2000, 5000, 1000);
  // Half of 1000 gives a window below 1024 samples: t / 2 + 1 each side.
  expectTime(zoomTimeIn(5000, 1000, 1024, 10000), 4487, 1026, 5000, 513);
  expectTime(zoomTimeIn(5000, 1001, 1023, 10000), 4488, 1024, 5000, 512);
  // Near the ends of the file the minimum window is moved inside it.
  expectTime(zoomTimeIn(300, 600, 1024, 10000), 0, 1026, 513, 513);
  expectTime(zoomTimeIn(9900, 600, 1024, 10000), 8974, 1026, 9487, 513);
  // A file shorter than the minimum: the whole file.
  expectTime(zoomTimeIn(250, 250, 1024, 500), 0, 500, 250, 250);
  expectTime(zoomTimeIn(kMax - (1 << 30), 1 << 30, 1024, kMax), kMax - (1 << 30) - (1 << 29), 1 << 30,
             kMax - (1 << 30), 1 << 29);
}

TEST(Zoom, TimeOutDoublesInsideTheFile) {
  expectTime(zoomTimeOut(5000, 1000, 10000), 3000, 4000, 5000, 2000);
  expectTime(zoomTimeOut(1000, 1000, 10000), 0, 3000, 1500, 1500);
  expectTime(zoomTimeOut(9500, 1000, 10000), 7500, 2500, 8750, 1250);
  expectTime(zoomTimeOut(5000, 5000, 10000), 0, 10000, 5000, 5000);
  expectTime(zoomTimeOut(kMax / 2, kMax / 2, kMax), 0, kMax, kMax / 2, kMax / 2);
}

TEST(Zoom, EverythingIsAnEmptySelection) {
  const ZoomAllSelection all = zoomOutToEverything(12345.7);
  EXPECT_EQ(all.selectionStart, 12345);
  EXPECT_EQ(all.selectionEnd, 0);
  EXPECT_EQ(zoomOutToEverything(1e20).selectionStart, kMax);
}

TEST(Zoom, MinimumSpansOfTheAnalyser) {
  SpectrogramAnalyser analyser;
  EXPECT_FLOAT_EQ(minimumFrequencySpan(analyser), 44100.0f * 4 / 1024);
  EXPECT_EQ(minimumTimeSpan(analyser), 1024);
  analyser.setColumns(668);
  analyser.setFftLength(256);
  EXPECT_EQ(minimumTimeSpan(analyser), 668);
}

TEST(ScreenColumns, SamplesToColumns) {
  EXPECT_EQ(columnOfSample(0, 1000, 670), 1);
  EXPECT_EQ(columnOfSample(500, 1000, 670), 336);
  EXPECT_EQ(columnOfSample(999, 1000, 670), 670);
  EXPECT_EQ(columnOfSample(5, 0, 670), 1);
  EXPECT_EQ(columnOfSample(1e12, 1, 670), kMax);
  EXPECT_TRUE(insideTimeWindow(0, 10));
  EXPECT_TRUE(insideTimeWindow(9.5, 10));
  EXPECT_FALSE(insideTimeWindow(10, 10));
  EXPECT_FALSE(insideTimeWindow(-0.5, 10));
  EXPECT_FALSE(insideTimeWindow(0, 0));
}
