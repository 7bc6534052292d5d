// The colour scale of the spectrogram: one RGB colour per display level
// 0..100, from blue (quiet) through cyan, green and yellow to red (loud).
#pragma once

#include <array>
#include <cstdint>

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

class ColourTable {
 public:
  static constexpr int kLevels = 101;

  // Fills all 101 entries.
  ColourTable();

  // The colour of a whole level. Levels outside 0..100 take the nearest end
  // of the scale, so a stray level never reads past the table.
  Rgb operator[](int level) const;
  // The colour of an analyser level: truncated toward zero, then bounded as
  // above; NaN shows as level 0.
  Rgb colourOf(float level) const;
  // The same as a Win32 COLORREF (0x00bbggrr), for SetPixel.
  std::uint32_t colorRef(int level) const;
  std::uint32_t colorRefOf(float level) const;

  // The scale itself, for a level 0..100.
  static Rgb levelColour(int level);
  // Truncates and bounds a level to a table index 0..100.
  static int indexOf(float level);
  // The scale read backwards: the level a colour of it stands for, -1 for a
  // colour off the scale (the curve's, a label's).
  static int levelOf(Rgb colour);

 private:
  std::array<Rgb, kLevels> colours_;
};
