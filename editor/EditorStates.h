// The numbers the editor's parts share: the mouse tools, what the display
// shows, a tool's phases, and the zoom's algorithm number.
#pragma once

// The active mouse tool.
enum ToolId : int {
  kToolNone = -1,
  kToolZoom = 0,
  kToolMovePoint = 1,
  kToolRange = 2,
  kToolDelete = 3,
  kToolGravity = 4,
  kToolInsert = 5,
  kToolChart = 6,
  kToolSplash = 8,
};

// What the display shows.
enum DisplayState : int { kDisplayEmpty = 0, kDisplaySplash = 1, kDisplaySpectrogram = 2 };

// Phases of a mouse tool.
enum ToolPhase : int { kPhasePress = 0, kPhaseDrag = 1, kPhaseRelease = 2 };

// The zoom tool and its settings take the place of an algorithm.
inline constexpr int kZoomAlgorithm = 8;
