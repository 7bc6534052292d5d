// Pictures as uncompressed BMP files: what pelmora-host saves of a window,
// and what tools/eval/bmp2png turns into PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// 8-bit RGB, rows from the top.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3 bytes: R, G, B

  static RgbImage filled(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);
  const std::uint8_t* at(int x, int y) const { return &pixels[(static_cast<std::size_t>(y) * width + x) * 3]; }
  std::uint8_t* at(int x, int y) { return &pixels[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// Larger pictures are refused on reading: no screen is this big.
constexpr int kMaxPictureSide = 16384;

// A 24-bit bottom-up BMP, rows padded to four bytes.
std::vector<std::uint8_t> encodeBmp(const RgbImage& image);
// Uncompressed 24- and 32-bit BMPs, bottom-up or top-down. False with a
// reason for anything else, or a file cut short.
bool decodeBmp(const std::vector<std::uint8_t>& bytes, RgbImage& image, std::string& problem);

bool writeBmp(const std::string& path, const RgbImage& image, std::string& problem);
bool readBmp(const std::string& path, RgbImage& image, std::string& problem);

}  // namespace host
