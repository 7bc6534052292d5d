// The mouse on the spectrogram display: the active tool's press, drag and
// release, the right button's return from the zoom tool, and the tools'
// own state (press point, button, zoom rectangle, grabbed point, chart
// stroke, chosen range). What a tool does to the curve is decided in
// editor/CurveTools and editor/ZoomDrag; here it meets the display.
#pragma once

#include <cstdint>
#include <optional>

#include "editor/CurveTools.h"

class OfflineEditor;

namespace editor {

class MouseTools {
 public:
  explicit MouseTools(OfflineEditor& editor) : editor_(editor) {}

  // What the layer set-up leaves: no button held, not moving points.
  void reset();

  // The display's mouse messages. Mouse x is an analysis column and mouse
  // y a display row.
  void runTool(int phase, int x, int y);
  void recordPress(int x, int y);
  void setButtonDown(bool down) { buttonDown_ = down ? 1 : 0; }
  bool buttonHeld() const { return buttonDown_ != 0; }
  // Ends a drag that lost the mouse: the release where the tool last saw it.
  void endDrag();
  // Where the right button went down is not used; the window procedure
  // hands it over as with the left one.
  void rightButton(bool down, int x, int y);

  // "Move PVC point" makes the move tool the only one.
  bool movePointsMode() const { return movePointsMode_; }
  void setMovePointsMode(bool on) { movePointsMode_ = on; }
  // The spectral detector's range, chosen with the range tool.
  bool rangeSelected() const { return rangeSelected_; }
  void setRangeSelected(bool on) { rangeSelected_ = on; }

 private:
  void zoomTool(int phase, int x, int y);
  void zoomPress(int x, int y);
  void zoomDrag(int x, int y);
  void zoomRelease(int x, int y);
  void moveTool(int phase, int x, int y);
  void insertTool(int phase, int x);
  void deleteTool(int phase, int x, int y);
  void chartTool(int phase, int x, int y);
  void rangeTool(int phase, int x, int y);
  void gravityTool(int phase, int x, int y);
  std::int32_t sampleOfX(int x) const;
  int traceColumns(int x) const;

  OfflineEditor& editor_;
  int leftPressX_ = 0, leftPressY_ = 0, buttonDown_ = 0;
  int lastToolX_ = 0, lastToolY_ = 0;
  bool movePointsMode_ = false;
  bool rangeSelected_ = false;
  // Zoom rectangle: press sample (relative to the view) and row.
  std::int32_t selectionStart_ = 0;
  int zoomStartY_ = 0;
  // Move tool.
  bool pointHit_ = false;
  bool pointGrabbed_ = false;
  bool dragging_ = false;
  // Chart tool.
  std::optional<ChartBuffer> chart_;
};

}  // namespace editor
