// PNG files through libpng's simplified interface: 8-bit RGB, no alpha.
#pragma once

#include <string>

#include "host/window/BmpImage.h"

namespace tools {

bool writePng(const std::string& path, const host::RgbImage& image, std::string& problem);
bool readPng(const std::string& path, host::RgbImage& image, std::string& problem);

}  // namespace tools
