// The editor's child control identifiers by name. The editor creates its
// controls under these ids; pelmora-host and the window tests find them by the
// same names. Header only, no Win32: the host shares the names, not the code.
#pragma once

#include <array>

namespace editor {

enum ControlId : int {
  kDisplay = 10,  // the spectrogram
  kReferenceBar = 11,
  kFrequencyBar = 12,
  kTimeBar = 13,
  kFrequencyIn = 14,
  kFrequencyOut = 15,
  kTimeOut = 16,
  kTimeIn = 17,
  kSpectrogramLabel = 18,
  kUpperFrequency = 19,
  kLowerFrequency = 20,
  kStartTime = 21,
  kEndTime = 22,
  kFrequencyUnit = 23,
  kTimeLabel = 24,
  kCreatePvc = 40,
  kShowHum = 56,
  kZoomFrequency = 57,
  kZoomTime = 58,
  kResolutionList = 59,
  kWindowList = 60,
  kUpdate = 61,
  kResolutionLabel = 62,
  kWindowLabel = 63,
  kAdvanced = 64,
  kShowPoints = 65,
  kMovePoint = 66,
  kInsertPoints = 67,
  kChartPvc = 68,
  kDeletePoints = 69,
  kOffsetPoints = 70,
  kSmoothingPvc = 71,
  kAlgorithmList = 72,
  kImportPvc = 73,
  kExportPvc = 74,
  kMessageArea = 75,
  kPositionReadout = 76,
  kProgressBar = 77,
  kUndo = 78,
  kRedo = 79,
  kPreview = 80,
  kZoom = 96,
  kZoomAll = 97,
  kZoomTwice = 98,
  kZoomHalf = 99,
  kLinearScale = 100,
  kLogScale = 101,
  kPlay = 102,
  kZoomHint = 106,
};

// A detector's pane: a row of parameters, each a name, a bar and a read-out.
template <int Count>
struct PaneIds {
  std::array<int, Count> names;
  std::array<int, Count> bars;
  std::array<int, Count> readouts;
};

inline constexpr PaneIds<6> kPilotPaneIds{{25, 26, 27, 28, 29, 103}, {30, 31, 32, 33, 34, 104}, {35, 36, 37, 38, 39, 105}};
inline constexpr PaneIds<5> kHumPaneIds{{41, 42, 43, 44, 45}, {46, 47, 48, 49, 50}, {51, 52, 53, 54, 55}};
inline constexpr PaneIds<5> kSpectralPaneIds{{81, 82, 83, 84, 85}, {86, 87, 88, 89, 90}, {91, 92, 93, 94, 95}};

// The spectral pane's level bar, which the zoom also moves.
inline constexpr int kSpectralLevelBar = kSpectralPaneIds.bars[2];

}  // namespace editor
