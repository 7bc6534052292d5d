// What a window shows, read back from the screen as a person sees it.
#pragma once

#include <windows.h>

#include <string>

#include "host/window/BmpImage.h"

namespace host {

// The window's whole area, children included. The window must be visible
// and not covered.
bool captureWindow(HWND window, RgbImage& image, std::string& problem);

// The descendant of parent with this control id; null when there is none.
HWND findControl(HWND parent, int id);

// A window's text (its first 1023 bytes) and its window class name.
std::string windowText(HWND window);
std::string windowClass(HWND window);

}  // namespace host
