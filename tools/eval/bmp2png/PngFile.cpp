#include "tools/eval/bmp2png/PngFile.h"

#include <png.h>

#include <cstring>

namespace tools {

bool writePng(const std::string& path, const host::RgbImage& image, std::string& problem) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
    problem = "no picture to write";
    return false;
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
    problem = path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

bool readPng(const std::string& path, host::RgbImage& image, std::string& problem) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    problem = path + ": " + png.message;
    return false;
  }
  if (png.width == 0 || png.height == 0 || png.width > host::kMaxPictureSide || png.height > host::kMaxPictureSide) {
    problem = path + ": a PNG picture of unusable size";
    png_image_free(&png);
    return false;
  }
  png.format = PNG_FORMAT_RGB;
  image = host::RgbImage::filled(static_cast<int>(png.width), static_cast<int>(png.height), 0, 0, 0);
  if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
    problem = path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace tools
