#include "host/window/BmpImage.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace host {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFFu);
  put16(out, v >> 16);
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at) {
  return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
         static_cast<std::uint32_t>(in[at + 2]) << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
}

std::uint32_t get16(const std::vector<std::uint8_t>& in, std::size_t at) {
  return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8;
}

std::size_t rowBytes(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel / 8) + 3) / 4 * 4;
}

}  // namespace

RgbImage RgbImage::filled(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  RgbImage image;
  image.width = width > 0 ? width : 0;
  image.height = height > 0 ? height : 0;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  for (std::size_t i = 0; i < image.pixels.size(); i += 3) {
    image.pixels[i] = r;
    image.pixels[i + 1] = g;
    image.pixels[i + 2] = b;
  }
  return image;
}

std::vector<std::uint8_t> encodeBmp(const RgbImage& image) {
  const std::size_t stride = rowBytes(image.width, 24);
  const std::size_t data = stride * static_cast<std::size_t>(image.height);
  std::vector<std::uint8_t> out;
  out.reserve(kFileHeader + kInfoHeader + data);
  out.push_back('B');
  out.push_back('M');
  put32(out, static_cast<std::uint32_t>(kFileHeader + kInfoHeader + data));
  put32(out, 0);
  put32(out, static_cast<std::uint32_t>(kFileHeader + kInfoHeader));
  put32(out, kInfoHeader);
  put32(out, static_cast<std::uint32_t>(image.width));
  put32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
  put16(out, 1);
  put16(out, 24);
  put32(out, kUncompressed);
  put32(out, static_cast<std::uint32_t>(data));
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.at(x, y);
      out.push_back(p[2]);
      out.push_back(p[1]);
      out.push_back(p[0]);
    }
    for (std::size_t pad = static_cast<std::size_t>(image.width) * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

bool decodeBmp(const std::vector<std::uint8_t>& bytes, RgbImage& image, std::string& problem) {
  if (bytes.size() < kFileHeader + kInfoHeader || bytes[0] != 'B' || bytes[1] != 'M') {
    problem = "not a BMP picture";
    return false;
  }
  const std::uint32_t offset = get32(bytes, 10);
  const std::uint32_t headerSize = get32(bytes, 14);
  if (headerSize < kInfoHeader || kFileHeader + headerSize > bytes.size()) {
    problem = "a BMP header this reader does not know";
    return false;
  }
  const auto width = static_cast<std::int32_t>(get32(bytes, 18));
  const auto rawHeight = static_cast<std::int32_t>(get32(bytes, 22));
  const std::uint32_t bits = get16(bytes, 28);
  const std::uint32_t compression = get32(bytes, 30);
  const bool topDown = rawHeight < 0;
  const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
    problem = "a BMP picture of unusable size";
    return false;
  }
  if (!(bits == 24 && compression == kUncompressed) &&
      !(bits == 32 && (compression == kUncompressed || compression == kBitFields))) {
    problem = "only uncompressed 24- and 32-bit BMP pictures are read";
    return false;
  }
  if (compression == kBitFields) {
    // The masks follow a 40-byte header, or sit inside a longer one.
    if (kFileHeader + kInfoHeader + 12 > bytes.size() || get32(bytes, 54) != 0x00FF0000u ||
        get32(bytes, 58) != 0x0000FF00u || get32(bytes, 62) != 0x000000FFu) {
      problem = "a 32-bit BMP picture with a colour layout this reader does not know";
      return false;
    }
  }
  const std::size_t stride = rowBytes(width, static_cast<int>(bits));
  const std::size_t bytesPerPixel = bits / 8;
  if (offset > bytes.size() || (bytes.size() - offset) / stride < static_cast<std::size_t>(height)) {
    problem = "the BMP picture is cut short";
    return false;
  }
  image.width = width;
  image.height = static_cast<int>(height);
  image.pixels.assign(static_cast<std::size_t>(width) * image.height * 3, 0);
  for (int row = 0; row < image.height; ++row) {
    const int y = topDown ? row : image.height - 1 - row;
    const std::uint8_t* in = &bytes[offset + static_cast<std::size_t>(row) * stride];
    for (int x = 0; x < width; ++x, in += bytesPerPixel) {
      std::uint8_t* p = image.at(x, y);
      p[0] = in[2];
      p[1] = in[1];
      p[2] = in[0];
    }
  }
  return true;
}

namespace {

// Names are UTF-8, whatever the script they are in.
std::filesystem::path fromUtf8(const std::string& path) { return std::u8string(path.begin(), path.end()); }

}  // namespace

bool writeBmp(const std::string& path, const RgbImage& image, std::string& problem) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
    problem = "no picture to save";
    return false;
  }
  const std::vector<std::uint8_t> bytes = encodeBmp(image);
  std::ofstream out(fromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    problem = "cannot write " + path;
    return false;
  }
  return true;
}

bool readBmp(const std::string& path, RgbImage& image, std::string& problem) {
  std::ifstream in(fromUtf8(path), std::ios::binary);
  if (!in) {
    problem = "cannot read " + path;
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!decodeBmp(bytes, image, problem)) {
    problem = path + ": " + problem;
    return false;
  }
  return true;
}

}  // namespace host
