#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "host/window/BmpImage.h"
#include "tests/host/TempPath.h"
#include "tools/eval/bmp2png/PngFile.h"

namespace {

TEST(Bmp2Png, ThePngHoldsEveryPixelOfTheBmp) {
  host::RgbImage image = host::RgbImage::filled(781, 3, 75, 75, 255);
  image.at(780, 2)[0] = 255;
  image.at(0, 1)[1] = 219;
  const std::string bmp = tempPath("window.bmp");
  const std::string png = tempPath("window.png");
  std::string problem;
  ASSERT_TRUE(host::writeBmp(bmp, image, problem)) << problem;
  host::RgbImage read;
  ASSERT_TRUE(host::readBmp(bmp, read, problem)) << problem;
  ASSERT_TRUE(tools::writePng(png, read, problem)) << problem;
  host::RgbImage back;
  ASSERT_TRUE(tools::readPng(png, back, problem)) << problem;
  EXPECT_EQ(back.width, 781);
  EXPECT_EQ(back.height, 3);
  EXPECT_EQ(back.pixels, image.pixels);
  std::remove(bmp.c_str());
  std::remove(png.c_str());
}

TEST(Bmp2Png, SaysWhyWhenItCannotWriteOrRead) {
  std::string problem;
  EXPECT_FALSE(tools::writePng(tempPath("none.png"), host::RgbImage{}, problem));
  EXPECT_FALSE(tools::writePng(tempPath("no-folder") + "/x.png", host::RgbImage::filled(2, 2, 0, 0, 0), problem));
  EXPECT_FALSE(problem.empty());
  const std::string notPng = tempPath("not.png");
  std::ofstream(notPng) << "not a picture";
  host::RgbImage image;
  EXPECT_FALSE(tools::readPng(notPng, image, problem));
  std::remove(notPng.c_str());
}

}  // namespace
