// The analyser maps the mouse to samples (relative to the view offset) and
// frequencies.
#include "editor/MouseTools.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "analysis/CentreOfGravity.h"
#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/CurveTools.h"
#include "editor/OfflineEditor.h"
#include "editor/ViewWindow.h"
#include "editor/ZoomDrag.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

// Undo tags of the tools' edits.
enum ToolTag : int {
  kTagGravity = 5,
  kTagMove = 6,
  kTagInsert = 7,
  kTagChart = 8,
  kTagDelete = 9,
};

// The smallest zoom: four analysis bins in frequency, one sample for every
// analysis column in time.
float minimumFrequencySpan(const SpectrogramAnalyser& analyser) {
  return analyser.sampleRate() * 4.0f / static_cast<float>(analyser.fftLength());
}
std::int32_t minimumTimeSpan(const SpectrogramAnalyser& analyser) { return analyser.columns(); }

std::int32_t pinnedSum(std::int32_t a, std::int64_t b) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{a} + b,
                                                            std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void MouseTools::reset() {
  buttonDown_ = 0;
  movePointsMode_ = false;
}

void MouseTools::recordPress(int x, int y) {
  leftPressX_ = x;
  leftPressY_ = y;
}

void MouseTools::rightButton(bool down, int /*x*/, int /*y*/) {
  buttonDown_ = down ? 1 : 0;
  AlgorithmCommands& algorithms = editor_.algorithms();
  if (editor_.view().toolId == kToolZoom && algorithms.lastAlgorithm() != 0) {
    showControl(kZoomHint, false);
    algorithms.selectAlgorithm(algorithms.lastAlgorithm());
  }
}

void MouseTools::endDrag() {
  if (!buttonHeld()) return;
  setButtonDown(false);
  runTool(kPhaseRelease, lastToolX_, lastToolY_);
}

void MouseTools::runTool(int phase, int x, int y) {
  lastToolX_ = x;
  lastToolY_ = y;
  switch (editor_.view().toolId) {
    case kToolSplash:
      if (phase != kPhaseRelease) return;
      editor_.files().splashReleased();
      editor_.askForNotification();
      return;
    case kToolZoom:
      zoomTool(phase, x, y);
      // The redraw the release marks runs on the notification asked for
      // here; asked for first, a host answering at once would miss it.
      if (phase == kPhaseRelease) editor_.askForNotification();
      return;
    case kToolMovePoint:
      moveTool(phase, x, y);
      return;
    case kToolRange:
      rangeTool(phase, x, y);
      return;
    case kToolDelete:
      deleteTool(phase, x, y);
      return;
    case kToolGravity:
      gravityTool(phase, x, y);
      return;
    case kToolInsert:
      insertTool(phase, x);
      return;
    case kToolChart:
      chartTool(phase, x, y);
      return;
    default:
      return;
  }
}

std::int32_t MouseTools::sampleOfX(int x) const { return editor_.effect().analyser().sampleOfColumn(x); }

void MouseTools::zoomTool(int phase, int x, int y) {
  if (movePointsMode_) return;
  if (phase == kPhasePress) {
    zoomPress(x, y);
  } else if (phase == kPhaseDrag) {
    zoomDrag(x, y);
  } else {
    zoomRelease(x, y);
  }
}

void MouseTools::zoomPress(int x, int y) {
  const SpectrogramAnalyser& analyser = editor_.effect().analyser();
  ViewControls& axes = editor_.viewControls();
  const std::int32_t offset = editor_.view().viewStart;
  editor_.layers().composeLayers();
  selectionStart_ = sampleOfX(x);
  zoomStartY_ = y;
  if (axes.zoomTime())
    axes.setTimeLabels(static_cast<double>(selectionStart_) + offset,
                       static_cast<double>(editor_.view().viewLength) + offset);
  if (axes.zoomFrequency()) axes.setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
}

void MouseTools::zoomDrag(int x, int y) {
  if (!buttonDown_) return;
  const SpectrogramAnalyser& analyser = editor_.effect().analyser();
  ViewControls& axes = editor_.viewControls();
  const std::int32_t offset = editor_.view().viewStart;
  const float f1 = analyser.frequencyOfRow(zoomStartY_);
  const float f2 = analyser.frequencyOfRow(y);
  const ZoomSettings settings{axes.zoomTime(), axes.zoomFrequency(), minimumTimeSpan(analyser),
                              minimumFrequencySpan(analyser)};
  const std::int64_t d = std::int64_t{sampleOfX(x)} - sampleOfX(leftPressX_);
  const ZoomOutline outline = zoomOutline(d, static_cast<int>(std::fabs(f1 - f2)), settings);
  const double a = static_cast<double>(std::min(sampleOfX(leftPressX_), sampleOfX(x))) + offset;
  const double b = static_cast<double>(std::max(sampleOfX(leftPressX_), sampleOfX(x))) + offset;
  auto band = [&](RubberBand kind) {
    editor_.layers().drawRubberBand(leftPressX_, leftPressY_, x, y, outline.timeValid, outline.frequencyValid, kind);
  };
  switch (outline.kind) {
    case OutlineKind::ZoomOutPreview:
      // Released here, the drag zooms out to everything.
      if (axes.zoomTime()) axes.setTimeLabels(0, editor_.view().fileLength);
      if (axes.zoomFrequency()) axes.setFrequencyLabels(0, analyser.maxFrequency());
      return;
    case OutlineKind::Horizontal:
      band(RubberBand::Horizontal);
      axes.setFrequencyLabels(std::min(f1, f2), std::max(f1, f2));
      return;
    case OutlineKind::Vertical:
      band(RubberBand::Vertical);
      axes.setTimeLabels(a, b);
      return;
    case OutlineKind::Rectangle:
      band(RubberBand::Rectangle);
      axes.setFrequencyLabels(std::min(f1, f2), std::max(f1, f2));
      axes.setTimeLabels(a, b);
      return;
    default:
      return;
  }
}

void MouseTools::zoomRelease(int x, int y) {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  ViewControls& axes = editor_.viewControls();
  EditorView& v = editor_.view();
  const std::int32_t offset = v.viewStart;
  const float f1 = analyser.frequencyOfRow(zoomStartY_);
  const float f2 = analyser.frequencyOfRow(y);
  const ZoomSettings settings{axes.zoomTime(), axes.zoomFrequency(), minimumTimeSpan(analyser),
                              minimumFrequencySpan(analyser)};
  const std::int32_t selectionEnd = sampleOfX(x);
  const std::int64_t d = std::int64_t{selectionEnd} - selectionStart_;
  auto referenceRange = [&] {
    axes.setReferenceRange(static_cast<int>(analyser.bottomFrequency()), static_cast<int>(analyser.topFrequency()),
                           static_cast<int>(analyser.refFrequency()));
  };
  // The press showed the labels of a zoom to come; a release that leaves
  // the view as it was puts the view's own back.
  auto timeLabelsOfTheView = [&] {
    if (axes.zoomTime()) axes.setTimeLabels(offset, static_cast<double>(offset) + v.viewLength);
  };
  auto frequencyLabelsOfTheView = [&] {
    if (axes.zoomFrequency()) axes.setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  };
  const ZoomReleaseResult release = editor::zoomRelease(d, f2 - f1, settings);
  const bool frequencyZoomed = release.what == ZoomRelease::FrequencyZoomed || release.frequencyToo;
  if (frequencyZoomed) analyser.setFrequencyRange(std::min(f1, f2), std::max(f1, f2));
  switch (release.what) {
    case ZoomRelease::TimeZoomed: {
      const auto half = static_cast<std::int32_t>(d / 2);
      axes.applyTimeWindow(offset, selectionStart_, selectionEnd,
                           pinnedSum(offset, std::int64_t{selectionStart_} + half), half);
      axes.setTimeScrollRange();
      axes.setTimeLabels(static_cast<double>(offset) + selectionStart_, static_cast<double>(offset) + selectionEnd);
      if (axes.zoomFrequency()) {
        referenceRange();
        axes.takeAnalyserBand();
      }
      editor_.files().markForRedraw();
      return;
    }
    case ZoomRelease::FrequencyZoomed:
    case ZoomRelease::Unchanged:
      // Too short to zoom in time: the selection is the whole view again.
      if (axes.zoomTime()) {
        v.zoomStart = offset;
        v.zoomEnd = pinnedSum(offset, v.viewLength);
      }
      timeLabelsOfTheView();
      if (!frequencyZoomed) {
        frequencyLabelsOfTheView();
        editor_.presentDisplay();
        return;
      }
      axes.takeAnalyserBand();
      editor_.effect().curve().layout(analyser);
      editor_.drawCurrentCurve();
      editor_.redrawSpectrogram();
      editor_.presentDisplay();
      referenceRange();
      return;
    case ZoomRelease::ZoomOutToEverything:
      axes.zoomOutToEverything();
      return;
    case ZoomRelease::Nothing:
      timeLabelsOfTheView();
      frequencyLabelsOfTheView();
      return;
    default:
      return;
  }
}

void MouseTools::moveTool(int phase, int x, int y) {
  PvcCurve& curve = editor_.effect().curve();
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  if (phase == kPhasePress) {
    // The window reports moves only with the button held, so the hit test
    // of the hovering mouse is made at the press.
    if (!pointGrabbed_) pointHit_ = curve.pointNear(x, y);
    if (!pointHit_) return;
    pointGrabbed_ = true;
    dragging_ = curve.selectNear(x, y);
    if (!dragging_) return;
    curve.layout(analyser);
    editor_.drawCurrentCurve();
    editor_.presentDisplay();
    return;
  }
  if (phase == kPhaseDrag) {
    if (!dragging_) {
      pointHit_ = curve.pointNear(x, y);
      return;
    }
    const int p = curve.selectedPoint();
    if (p <= 0 || p + 1 >= curve.pointCount()) return;
    const auto i = static_cast<unsigned>(p);
    // The point moves in time only between its neighbours.
    if (!(curve.columnOf(i - 1) < x && x < curve.columnOf(i + 1))) return;
    curve.setScreen(i, x, y);
    if (!curve.moveSelected(curveValueOfRow(analyser, y))) return;
    curve.layout(analyser);
    editor_.drawCurrentCurve();
    editor_.presentDisplay();
    return;
  }
  if (!dragging_) {
    pointHit_ = false;
    pointGrabbed_ = false;
    return;
  }
  if (pointHit_ && pointGrabbed_) {
    pointGrabbed_ = false;
    const int p = curve.selectedPoint();
    const auto i = static_cast<unsigned>(p);
    if (p > 0 && p + 1 < curve.pointCount() && curve.columnOf(i - 1) < x && x < curve.columnOf(i + 1)) {
      curve.setScreen(i, x, y);
      curve.moveSelected(curveValueOfRow(analyser, y));
    }
    curve.deselect();
    curve.layout(analyser);
    editor_.drawCurrentCurve();
    editor_.presentDisplay();
    editor_.curves().snapshot(kTagMove);
  }
  dragging_ = false;
  pointHit_ = false;
}

void MouseTools::insertTool(int phase, int x) {
  if (phase != kPhasePress) return;
  PvcCurve& curve = editor_.effect().curve();
  insertPointKeepingShape(curve, sampleOfX(x) + editor_.view().viewStart);
  curve.layout(editor_.effect().analyser());
  editor_.drawCurrentCurve();
  editor_.presentDisplay();
  editor_.curves().snapshot(kTagInsert);
}

void MouseTools::deleteTool(int phase, int x, int y) {
  if (phase == kPhasePress) {
    editor_.layers().composeLayers();
    return;
  }
  if (phase == kPhaseDrag) {
    if (buttonDown_) editor_.layers().drawRubberBand(leftPressX_, leftPressY_, x, y, false, false, RubberBand::Vertical);
    return;
  }
  PvcCurve& curve = editor_.effect().curve();
  const std::int32_t offset = editor_.view().viewStart;
  deletePointsBetween(curve, sampleOfX(leftPressX_) + offset, sampleOfX(x) + offset);
  curve.layout(editor_.effect().analyser());
  editor_.drawCurrentCurve();
  editor_.presentDisplay();
  editor_.curves().snapshot(kTagDelete);
}

void MouseTools::chartTool(int phase, int x, int y) {
  if (phase == kPhasePress) {
    editor_.layers().composeLayers();
    if (!buttonDown_) return;
    // A press on the two rightmost pixels has no column: the buffer keeps
    // nothing for it.
    chart_.emplace(editor_.effect().analyser().columns());
    chart_->mark(x, y);
    return;
  }
  if (!chart_) return;
  if (phase == kPhaseDrag) {
    if (!buttonDown_) return;
    chart_->mark(x, y);
    editor_.layers().drawChartTrace(leftPressX_, x, chart_->rows());
    return;
  }
  PvcCurve& curve = editor_.effect().curve();
  chart_->keepOnly(leftPressX_, x);
  applyChartStroke(curve, editor_.effect().analyser(), editor_.view().viewStart, leftPressX_, x, *chart_);
  curve.layout(editor_.effect().analyser());
  editor_.drawCurrentCurve();
  editor_.presentDisplay();
  chart_.reset();
  // Every stroke is an undo step of its own.
  curve.markPending();
  editor_.curves().snapshot(kTagChart);
}

void MouseTools::rangeTool(int phase, int x, int y) {
  if (phase == kPhasePress) {
    editor_.layers().composeLayers();
    return;
  }
  if (phase == kPhaseDrag) {
    if (buttonDown_) editor_.layers().drawRubberBand(leftPressX_, leftPressY_, x, y, false, false, RubberBand::Rectangle);
    return;
  }
  const SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const float f1 = analyser.frequencyOfRow(leftPressY_);
  const float f2 = analyser.frequencyOfRow(y);
  EditorView& v = editor_.view();
  v.analysisLow = std::min(f1, f2);
  v.analysisHigh = std::max(f1, f2);
  v.analysisStart = sampleOfX(std::min(leftPressX_, x)) + v.viewStart;
  v.analysisEnd = sampleOfX(std::max(leftPressX_, x)) + v.viewStart;
  rangeSelected_ = true;
}

// Signed count of columns from the press column to x, kept inside the
// analyser's columns.
int MouseTools::traceColumns(int x) const {
  const SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const int n = analyser.columnSpan(std::min(leftPressX_, x), std::max(leftPressX_, x));
  return x < leftPressX_ ? -n : n;
}

void MouseTools::gravityTool(int phase, int x, int y) {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const std::int32_t offset = editor_.view().viewStart;
  if (phase == kPhasePress) {
    editor_.layers().composeLayers();
    return;
  }
  const int level = gravityLevel(leftPressY_, y);
  const int n = traceColumns(x);
  const int count = std::abs(n);
  std::vector<float> ratios(static_cast<std::size_t>(std::max(count, 0)), std::nanf(""));
  // Traced ratios run from the track's left end, whichever way it went.
  auto traced = [&](float reference) {
    const int t = trackCentroid(analyser.powers(), leftPressX_, n, analyser.binOfRow(leftPressY_), reference, ratios,
                                level);
    return t;
  };
  if (phase == kPhaseDrag) {
    if (!buttonDown_ || count < 1) return;
    traced(1.0f);
    const float base = analyser.frequencyOfRow(leftPressY_);
    std::vector<int> rows(ratios.size(), leftPressY_);
    for (std::size_t k = 0; k < ratios.size(); ++k)
      if (std::isfinite(ratios[k])) rows[k] = analyser.rowForFrequency(ratios[k], base);
    editor_.layers().drawGravityTrace(leftPressX_, x, leftPressY_, level, rows);
    return;
  }

  PvcCurve& curve = editor_.effect().curve();
  const int upperBin = analyser.binOfRow(leftPressY_);
  const int lowerBin = analyser.binOfRow(2 * leftPressY_ - y);
  const float reference = analyser.refFrequency() > 0.0f
                              ? analyser.frequencyOfRow(leftPressY_) / analyser.refFrequency()
                              : curve.ratioAt(sampleOfX(std::min(leftPressX_, x)) + offset);
  if (count > 0 && upperBin != lowerBin) {
    const int t = traced(reference);
    const int got = std::min(std::abs(t), count);
    // A backward track fills the end of the array.
    const std::span<const float> line =
        n < 0 ? std::span<const float>(ratios).subspan(static_cast<std::size_t>(count - got))
              : std::span<const float>(ratios).first(static_cast<std::size_t>(got));
    applyTrace(curve, analyser, offset, leftPressX_, n < 0 ? -got : got, line);
  }
  curve.layout(analyser);
  editor_.drawCurrentCurve();
  editor_.presentDisplay();
  editor_.curves().snapshot(kTagGravity);
}

}  // namespace editor
