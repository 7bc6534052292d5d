#include "editor/TimeFormat.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(TimeFormat, MinutesAndZeroPaddedSeconds) {
  EXPECT_EQ(formatTime(0, 44100), "0:00.000");
  EXPECT_EQ(formatTime(61.5 * 44100, 44100), "1:01.500");
  EXPECT_EQ(formatTime(75 * 44100, 44100), "1:15.000");
  EXPECT_EQ(formatTime(9.999 * 48000, 48000), "0:09.999");
  EXPECT_EQ(formatTime(10 * 48000, 48000), "0:10.000");
  EXPECT_EQ(formatTime(3600.0 * 8000, 8000), "60:00.000");
}

TEST(TimeFormat, MillisecondsAreCutNotRounded) {
  EXPECT_EQ(formatTime(44099, 44100), "0:00.999");
  EXPECT_EQ(formatTime(119.9999 * 1000, 1000), "1:59.999");
}

TEST(TimeFormat, ExtremesStayInsideTheBuffer) {
  char buffer[kTimeTextSize];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(formatTime(2147483647.0, 1.0, buffer));
  EXPECT_STREQ(buffer, "35791394:07.000");
  EXPECT_EQ(formatTime(1000, 0), "0:00.000");
  EXPECT_EQ(formatTime(1000, -44100), "0:00.000");
}
