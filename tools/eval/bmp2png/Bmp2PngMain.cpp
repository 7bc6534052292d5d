// bmp2png IN.bmp OUT.png: an uncompressed 24- or 32-bit BMP as an RGB PNG.
#include <iostream>
#include <string>

#include "host/window/BmpImage.h"
#include "tools/eval/bmp2png/PngFile.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: bmp2png IN.bmp OUT.png\n";
    return 2;
  }
  host::RgbImage image;
  std::string problem;
  if (!host::readBmp(argv[1], image, problem) || !tools::writePng(argv[2], image, problem)) {
    std::cerr << "bmp2png: " << problem << '\n';
    return 1;
  }
  std::cout << argv[2] << ": " << image.width << " x " << image.height << '\n';
  return 0;
}
