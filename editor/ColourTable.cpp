#include "editor/ColourTable.h"

#include <cmath>

namespace {

constexpr int kFloor = 75;
constexpr double kStep = (255.0 - 75.0) / 25.0;  // 7.2 per level

// x + 0.5 truncated.
int nearest(double x) { return static_cast<int>(x + 0.5); }

std::uint8_t byte(int v) { return static_cast<std::uint8_t>(v); }

}  // namespace

Rgb ColourTable::levelColour(int level) {
  const int L = level < 0 ? 0 : (level > 100 ? 100 : level);
  if (L < 25) return {byte(kFloor), byte(255 - nearest((25 - L) * kStep)), 255};
  if (L < 50) return {byte(kFloor), 255, byte(kFloor + nearest((50 - L) * kStep))};
  if (L < 75) return {byte(255 - nearest((75 - L) * kStep)), 255, byte(kFloor)};
  if (L < 100) return {255, byte(kFloor + nearest((100 - L) * kStep)), byte(kFloor)};
  return {255, byte(kFloor), byte(kFloor)};
}

int ColourTable::levelOf(Rgb colour) {
  const int red = colour.red, green = colour.green, blue = colour.blue;
  auto steps = [](int distance) { return static_cast<int>(std::lround(distance / kStep)); };
  if (red == kFloor && blue == 255) return 25 - steps(255 - green);
  if (red == kFloor && green == 255) return 50 - steps(blue - kFloor);
  if (blue == kFloor && green == 255) return 75 - steps(255 - red);
  if (red == 255 && blue == kFloor) return 100 - steps(green - kFloor);
  return -1;
}

ColourTable::ColourTable() {
  for (int L = 0; L < kLevels; ++L) colours_[static_cast<std::size_t>(L)] = levelColour(L);
}

int ColourTable::indexOf(float level) {
  if (std::isnan(level) || level < 0.0f) return 0;
  if (level >= static_cast<float>(kLevels - 1)) return kLevels - 1;
  return static_cast<int>(level);
}

Rgb ColourTable::operator[](int level) const {
  const int L = level < 0 ? 0 : (level >= kLevels ? kLevels - 1 : level);
  return colours_[static_cast<std::size_t>(L)];
}

Rgb ColourTable::colourOf(float level) const { return colours_[static_cast<std::size_t>(indexOf(level))]; }

namespace {
std::uint32_t packed(Rgb c) {
  return static_cast<std::uint32_t>(c.red) | (static_cast<std::uint32_t>(c.green) << 8) |
         (static_cast<std::uint32_t>(c.blue) << 16);
}
}  // namespace

std::uint32_t ColourTable::colorRef(int level) const { return packed((*this)[level]); }
std::uint32_t ColourTable::colorRefOf(float level) const { return packed(colourOf(level)); }
