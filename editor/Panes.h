// The parameter panes of the detectors as tables: where each pane's
// names, scroll bars and read-outs sit, and the ids each pane shows.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "editor/ControlTable.h"

namespace editor {

struct PaneLayout {
  int count = 0;  // parameter columns
  std::array<int, 6> nameIds{};
  std::array<int, 6> barIds{};
  std::array<int, 6> readoutIds{};
  std::array<int, 6> nameX{};
  std::array<int, 6> barX{};
  std::array<int, 6> readoutX{};
  int nameY = 0, nameHeight = 0, nameWidth = 70;
  int wideNameId = 0, wideNameWidth = 0;  // the one name box of another width
  int barY = 0;
  int readoutY = 0;
  ScrollSetup scroll{};
  int pagedBarId = 0, pagedBarPage = 0;  // the one bar with another page
};

const PaneLayout& humPane();
const PaneLayout& pilotTonePane();
const PaneLayout& spectralPane();

// The controls of a pane in creation order: names, then bars, then read-outs.
std::vector<ControlRecord> paneControls(const PaneLayout& pane);

// Ids that the panes show and hide.
inline constexpr int kHumPaneIds[] = {41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55};
inline constexpr int kPilotPaneIds[] = {25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 103, 104, 105};
inline constexpr int kSpectralPaneIds[] = {81, 82, 83, 86, 87, 88, 91, 92, 93};
inline constexpr int kManualPaneIds[] = {65, 66, 67, 68, 69, 70, 71};
inline constexpr int kZoomSettingsIds[] = {57, 58, 59, 60, 61, 62, 63};

// The view controls hidden while no spectrogram is shown, and the ones the
// click on the splash picture shows again (the zoom hint stays hidden).
inline constexpr int kViewControlIds[] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 57, 58, 59,
                                          60, 61, 62, 63, 72, 73, 74, 75, 78, 79, 96, 97, 98, 99, 100, 101, 106};
inline constexpr int kViewControlsShownAgain[] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 57, 58,
                                                  59, 60, 61, 62, 63, 72, 73, 74, 75, 78, 79, 96, 97, 98, 99, 100, 101};

}  // namespace editor
