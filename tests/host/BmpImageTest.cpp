#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "host/window/BmpImage.h"
#include "tests/host/TempPath.h"

using host::RgbImage;

namespace {

RgbImage gradient(int width, int height) {
  RgbImage image = RgbImage::filled(width, height, 0, 0, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.at(x, y);
      p[0] = static_cast<std::uint8_t>(x * 7);
      p[1] = static_cast<std::uint8_t>(y * 11);
      p[2] = static_cast<std::uint8_t>(x + y);
    }
  return image;
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(BmpImage, WritesBottomUpBlueGreenRedRowsPaddedToFourBytes) {
  RgbImage image = RgbImage::filled(1, 2, 0, 0, 0);
  image.at(0, 0)[0] = 10;  // top row, red
  image.at(0, 1)[2] = 30;  // bottom row, blue
  const std::vector<std::uint8_t> bytes = host::encodeBmp(image);
  ASSERT_EQ(bytes.size(), 54u + 2 * 4);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[28], 24);  // bits per pixel
  // The bottom row comes first: blue 30, then the padding.
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end())),
            (std::vector<std::uint8_t>{30, 0, 0, 0, 0, 0, 10, 0}));
}

TEST(BmpImage, ReadsBackWhatItWroteForWidthsOfEveryPadding) {
  for (int width : {1, 2, 3, 4, 5, 780}) {
    const RgbImage image = gradient(width, 3);
    RgbImage back;
    std::string problem;
    ASSERT_TRUE(host::decodeBmp(host::encodeBmp(image), back, problem)) << problem;
    EXPECT_EQ(back.width, width);
    EXPECT_EQ(back.height, 3);
    EXPECT_EQ(back.pixels, image.pixels) << "width " << width;
  }
}

TEST(BmpImage, ReadsTopDownThirtyTwoBitPictures) {
  // 2 x 2, rows from the top, BGRA.
  std::vector<std::uint8_t> bytes(54 + 16, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(bytes, 10, 54);
  put32(bytes, 14, 40);
  put32(bytes, 18, 2);
  put32(bytes, 22, static_cast<std::uint32_t>(-2));
  bytes[26] = 1;
  bytes[28] = 32;
  const std::uint8_t pixels[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
  std::copy(pixels, pixels + 16, bytes.begin() + 54);
  RgbImage image;
  std::string problem;
  ASSERT_TRUE(host::decodeBmp(bytes, image, problem)) << problem;
  EXPECT_EQ(image.at(0, 0)[0], 3);
  EXPECT_EQ(image.at(1, 0)[2], 4);
  EXPECT_EQ(image.at(0, 1)[1], 8);
}

TEST(BmpImage, RefusesPicturesItCannotReadWithoutTouchingMemoryBeyondThem) {
  const std::vector<std::uint8_t> good = host::encodeBmp(gradient(5, 4));
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"cut in the header", std::vector<std::uint8_t>(good.begin(), good.begin() + 30)});
  cases.push_back({"cut in the pixels", std::vector<std::uint8_t>(good.begin(), good.end() - 1)});
  auto changed = [&](std::size_t at, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = good;
    put32(bytes, at, value);
    return bytes;
  };
  cases.push_back({"zero width", changed(18, 0)});
  cases.push_back({"huge width", changed(18, 1u << 30)});
  cases.push_back({"huge height", changed(22, 0x7FFFFFFF)});
  cases.push_back({"run-length compressed", changed(30, 1)});
  cases.push_back({"pixels past the end", changed(10, 0xFFFFFFF0u)});
  cases.push_back({"unknown header", changed(14, 12)});
  std::vector<std::uint8_t> eightBit = good;
  eightBit[28] = 8;
  cases.push_back({"palette", eightBit});
  for (const Case& c : cases) {
    RgbImage image;
    std::string problem;
    EXPECT_FALSE(host::decodeBmp(c.bytes, image, problem)) << c.what;
    EXPECT_FALSE(problem.empty()) << c.what;
  }
}

TEST(BmpImage, SavesAndReadsFilesAndSaysWhyItCannot) {
  const std::string path = tempPath("picture.bmp");
  const RgbImage image = gradient(7, 5);
  std::string problem;
  ASSERT_TRUE(host::writeBmp(path, image, problem)) << problem;
  RgbImage back;
  ASSERT_TRUE(host::readBmp(path, back, problem)) << problem;
  EXPECT_EQ(back.pixels, image.pixels);
  std::remove(path.c_str());
  EXPECT_FALSE(host::readBmp(path, back, problem));
  EXPECT_FALSE(host::writeBmp(path, RgbImage{}, problem));
  EXPECT_FALSE(host::writeBmp(tempPath("no-such-folder") + "/x.bmp", image, problem));
}

}  // namespace
