// Reads back what a window shows: its client area copied into a DIB, pixel
// by pixel, and saved as a 24-bit BMP for a person to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

struct Pixel {
  int red = 0, green = 0, blue = 0;
  bool operator==(const Pixel&) const = default;
};

class WindowCapture {
 public:
  explicit WindowCapture(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
    GdiFlush();
    if (bits) {
      const auto* p = static_cast<const std::uint32_t*>(bits);
      pixels_.assign(p, p + pixels_.size());
    }
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, source);
  }

  int width() const { return width_; }
  int height() const { return height_; }
  Pixel at(int x, int y) const {
    const std::uint32_t v = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    return {static_cast<int>((v >> 16) & 0xff), static_cast<int>((v >> 8) & 0xff), static_cast<int>(v & 0xff)};
  }

  bool saveBmp(const char* path) const {
    const int rowBytes = (width_ * 3 + 3) / 4 * 4;
    const auto imageBytes = static_cast<std::uint32_t>(rowBytes * height_);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4d42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width_;
    header.biHeight = height_;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = imageBytes;
    std::vector<unsigned char> rows(imageBytes, 0);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const Pixel p = at(x, y);
        unsigned char* out = &rows[static_cast<size_t>((height_ - 1 - y) * rowBytes + x * 3)];
        out[0] = static_cast<unsigned char>(p.blue);
        out[1] = static_cast<unsigned char>(p.green);
        out[2] = static_cast<unsigned char>(p.red);
      }
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&header, sizeof header, 1, f) == 1 &&
              std::fwrite(rows.data(), 1, rows.size(), f) == rows.size();
    return std::fclose(f) == 0 && ok;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};
