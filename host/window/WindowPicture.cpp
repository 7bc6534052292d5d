#include "host/window/WindowPicture.h"

namespace host {

namespace {

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK matchId(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}

// Releases what a capture took, on every way out.
struct CaptureObjects {
  HWND window = nullptr;
  HDC source = nullptr;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  ~CaptureObjects() {
    if (memory && previous) SelectObject(memory, previous);
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    if (source) ReleaseDC(window, source);
  }
};

}  // namespace

HWND findControl(HWND parent, int id) {
  Search search{id, nullptr};
  if (parent) EnumChildWindows(parent, &matchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string windowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string windowClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool captureWindow(HWND window, RgbImage& image, std::string& problem) {
  RECT area{};
  if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &area)) {
    problem = "the window to picture is not shown";
    return false;
  }
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
    problem = "the window to picture has no usable size";
    return false;
  }
  CaptureObjects objects;
  objects.window = window;
  objects.source = GetWindowDC(window);
  objects.memory = objects.source ? CreateCompatibleDC(objects.source) : nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  objects.bitmap = objects.memory ? CreateDIBSection(objects.memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!objects.bitmap || !bits) {
    problem = "cannot make a bitmap for the picture";
    return false;
  }
  objects.previous = SelectObject(objects.memory, objects.bitmap);
  if (!BitBlt(objects.memory, 0, 0, width, height, objects.source, 0, 0, SRCCOPY | CAPTUREBLT)) {
    problem = "cannot copy the window's picture";
    return false;
  }
  GdiFlush();
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  image = RgbImage::filled(width, height, 0, 0, 0);
  const auto* rows = static_cast<const std::uint8_t*>(bits);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = rows + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x, in += 3) {
      std::uint8_t* p = image.at(x, y);
      p[0] = in[2];
      p[1] = in[1];
      p[2] = in[0];
    }
  }
  return true;
}

}  // namespace host
