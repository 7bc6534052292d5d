// Draws the editor's splash picture: the product name over a made-up
// spectrogram with one wavering tonal line, as a 670 x 260, 24-bit BMP.
// The build runs it with the machine's own compiler and puts the picture
// into Pelmora.dll as bitmap 102.
// Usage: splash-generator OUT.bmp
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 670;
constexpr int kHeight = 260;

struct Rgb {
  int r, g, b;
};

class Picture {
 public:
  Picture() : pixels_(static_cast<size_t>(kWidth * kHeight), Rgb{0, 0, 0}) {}
  void set(int x, int y, Rgb c) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels_[static_cast<size_t>(y * kWidth + x)] = c;
  }
  Rgb get(int x, int y) const { return pixels_[static_cast<size_t>(y * kWidth + x)]; }

  bool writeBmp(const char* path) const {
    const int rowBytes = (kWidth * 3 + 3) / 4 * 4;
    const std::uint32_t imageBytes = static_cast<std::uint32_t>(rowBytes * kHeight);
    std::vector<unsigned char> out;
    auto put16 = [&](unsigned v) { out.push_back(v & 0xff); out.push_back((v >> 8) & 0xff); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xffff); put16(v >> 16); };
    out.push_back('B');
    out.push_back('M');
    put32(54 + imageBytes);
    put32(0);
    put32(54);
    put32(40);
    put32(kWidth);
    put32(kHeight);  // positive: rows stored bottom-up
    put16(1);
    put16(24);
    put32(0);
    put32(imageBytes);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = kHeight - 1; y >= 0; --y) {
      for (int x = 0; x < kWidth; ++x) {
        const Rgb c = get(x, y);
        out.push_back(static_cast<unsigned char>(c.b));
        out.push_back(static_cast<unsigned char>(c.g));
        out.push_back(static_cast<unsigned char>(c.r));
      }
      for (int pad = kWidth * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
  }

 private:
  std::vector<Rgb> pixels_;
};

// The display's own colour scale, so the picture looks like what follows it.
Rgb levelColour(int level) {
  auto nearest = [](double x) { return static_cast<int>(x + 0.5); };
  const double step = 7.2;
  if (level < 25) return {75, 255 - nearest((25 - level) * step), 255};
  if (level < 50) return {75, 255, 75 + nearest((50 - level) * step)};
  if (level < 75) return {255 - nearest((75 - level) * step), 255, 75};
  if (level < 100) return {255, 75 + nearest((100 - level) * step), 75};
  return {255, 75, 75};
}

// A small deterministic noise so the background has the grain of a real
// spectrogram without any randomness between builds.
double grain(int x, int y) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<double>((h ^ (h >> 16)) & 0xffff) / 65535.0;
}

void drawSpectrogram(Picture& p) {
  for (int x = 0; x < kWidth; ++x) {
    // The tonal line and two harmonics waver slowly, as wow makes them do.
    const double wow = 1.0 + 0.045 * std::sin(x * 0.028) + 0.015 * std::sin(x * 0.091 + 1.0);
    const double base = 215.0 - 45.0 * wow;  // row of the fundamental
    for (int y = 0; y < kHeight; ++y) {
      double level = 2.0 + 12.0 * grain(x, y) + 8.0 * (static_cast<double>(y) / kHeight);
      for (int harmonic = 1; harmonic <= 3; ++harmonic) {
        const double row = kHeight - (kHeight - base) * harmonic;
        const double d = (y - row) / (1.6 + harmonic * 0.4);
        level = std::max(level, (96.0 - harmonic * 12.0) * std::exp(-d * d));
      }
      p.set(x, y, levelColour(std::clamp(static_cast<int>(level), 0, 100)));
    }
  }
}

// 5 x 7 capitals for the few words on the picture; '#' is a lit cell.
const char* glyph(char c) {
  switch (c) {
    case 'A': return " ### #   ##   #######   ##   ##   #";
    case 'C': return " ### #   ##    #    #    #   # ### ";
    case 'E': return "######    #    #### #    #    #####";
    case 'I': return " ###   #    #    #    #    #   ### ";
    case 'K': return "#   ##  # # #  ##   # #  #  # #   #";
    case 'L': return "#    #    #    #    #    #    #####";
    case 'M': return "#   ### ### # ##   ##   ##   ##   #";
    case 'N': return "#   ###  ## # ##  ###   ##   ##   #";
    case 'O': return " ### #   ##   ##   ##   ##   # ### ";
    case 'P': return "#### #   ##   ##### #    #    #    ";
    case 'R': return "#### #   ##   ##### # #  #  # #   #";
    case 'S': return " #####    #     ###     #    ##### ";
    case 'T': return "#####  #    #    #    #    #    #  ";
    case 'V': return "#   ##   ##   ##   ##   # # #   #  ";
    case 'W': return "#   ##   ##   ## # ## # ### ###   #";
    case 'Y': return "#   ##   # # #   #    #    #    #  ";
    default: return "                                   ";
  }
}

// Writes text with each font cell scale x scale pixels, a dark outline
// first so it reads over any colour.
void drawText(Picture& p, const std::string& text, int left, int top, int scale, Rgb colour) {
  for (int pass = 0; pass < 2; ++pass) {
    const int grow = pass == 0 ? std::max(1, scale / 3) : 0;
    const Rgb c = pass == 0 ? Rgb{20, 20, 60} : colour;
    for (size_t i = 0; i < text.size(); ++i) {
      const char* g = glyph(text[i]);
      const int gx = left + static_cast<int>(i) * 6 * scale;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
          if (g[row * 5 + col] != '#') continue;
          for (int dy = -grow; dy < scale + grow; ++dy)
            for (int dx = -grow; dx < scale + grow; ++dx) p.set(gx + col * scale + dx, top + row * scale + dy, c);
        }
    }
  }
}

int textWidth(const std::string& text, int scale) { return static_cast<int>(text.size()) * 6 * scale - scale; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.bmp\n", argv[0]);
    return 2;
  }
  Picture picture;
  drawSpectrogram(picture);
  const std::string name = "PELMORA";
  drawText(picture, name, (kWidth - textWidth(name, 9)) / 2, 40, 9, {255, 255, 255});
  const std::string line = "WOW REMOVAL";
  drawText(picture, line, (kWidth - textWidth(line, 3)) / 2, 120, 3, {255, 255, 255});
  const std::string hint = "CLICK TO ANALYSE";
  drawText(picture, hint, (kWidth - textWidth(hint, 2)) / 2, 232, 2, {255, 255, 255});
  if (!picture.writeBmp(argv[1])) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
