// The parameter panes of the detectors as tables: where each pane's
// names, scroll bars and read-outs sit, and the ids each pane shows.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "editor/ControlIds.h"
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

// The first `used` columns of a pane: names, then bars, then read-outs.
template <std::size_t Used, int Count>
constexpr std::array<int, 3 * Used> paneColumns(const PaneIds<Count>& pane) {
  static_assert(Used <= static_cast<std::size_t>(Count));
  std::array<int, 3 * Used> ids{};
  for (std::size_t i = 0; i < Used; ++i) {
    ids[i] = pane.names[i];
    ids[Used + i] = pane.bars[i];
    ids[2 * Used + i] = pane.readouts[i];
  }
  return ids;
}

// Ids that the panes show and hide; the spectral pane shows only its first
// three parameters.
inline constexpr auto kHumPaneShown = paneColumns<5>(kHumPaneIds);
inline constexpr auto kPilotPaneShown = paneColumns<6>(kPilotPaneIds);
inline constexpr auto kSpectralPaneShown = paneColumns<3>(kSpectralPaneIds);
inline constexpr int kManualPaneIds[] = {kShowPoints,   kMovePoint,    kInsertPoints, kChartPvc,
                                         kDeletePoints, kOffsetPoints, kSmoothingPvc};
inline constexpr int kZoomSettingsIds[] = {kZoomFrequency, kZoomTime,        kResolutionList, kWindowList,
                                           kUpdate,        kResolutionLabel, kWindowLabel};

// The view bars and the zoom "+" and "-" buttons of both axes.
inline constexpr int kViewNavigationIds[] = {kReferenceBar, kFrequencyBar, kTimeBar, kFrequencyIn,
                                             kFrequencyOut, kTimeOut,      kTimeIn};
inline constexpr int kViewNavigationButReference[] = {kFrequencyBar, kTimeBar, kFrequencyIn,
                                                      kFrequencyOut, kTimeOut, kTimeIn};
inline constexpr int kZoomButtons[] = {kZoom, kZoomAll, kZoomTwice, kZoomHalf};
// The manual tools' radio buttons that choose a tool.
inline constexpr int kEditToolIds[] = {kInsertPoints, kChartPvc, kDeletePoints};
// The controls that need a host file: the algorithm list and the curve files.
inline constexpr int kFileControls[] = {kAlgorithmList, kImportPvc, kExportPvc};

// The view controls the click on the splash picture shows again, and the
// ones hidden while no spectrogram is shown (the zoom hint as well).
inline constexpr int kViewControlsShownAgain[] = {
    kReferenceBar,   kFrequencyBar,    kTimeBar,       kFrequencyIn,   kFrequencyOut, kTimeOut,
    kTimeIn,         kSpectrogramLabel, kUpperFrequency, kLowerFrequency, kStartTime,  kEndTime,
    kFrequencyUnit,  kTimeLabel,       kZoomFrequency, kZoomTime,      kResolutionList, kWindowList,
    kUpdate,         kResolutionLabel, kWindowLabel,   kAlgorithmList, kImportPvc,    kExportPvc,
    kMessageArea,    kUndo,            kRedo,          kZoom,          kZoomAll,      kZoomTwice,
    kZoomHalf,       kLinearScale,     kLogScale};
inline constexpr auto kViewControlIds = [] {
  std::array<int, std::size(kViewControlsShownAgain) + 1> ids{};
  for (std::size_t i = 0; i < std::size(kViewControlsShownAgain); ++i) ids[i] = kViewControlsShownAgain[i];
  ids.back() = kZoomHint;
  return ids;
}();

}  // namespace editor
