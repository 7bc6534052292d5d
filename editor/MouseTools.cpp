// What the mouse does on the spectrogram display with each tool: press,
// drag with the left button held, and release. Mouse x is an analysis
// column and mouse y a display row; the analyser maps them to samples
// (relative to the view offset) and frequencies.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "analysis/CentreOfGravity.h"
#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "editor/CurveTools.h"
#include "editor/OfflineEditor.h"
#include "editor/ViewWindow.h"
#include "editor/ZoomDrag.h"
#include "plugin/OfflineEffect.h"

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

void OfflineEditor::endDrag() {
  if (!buttonHeld()) return;
  setButtonDown(false);
  runTool(kPhaseRelease, lastToolX_, lastToolY_);
}

void OfflineEditor::runTool(int phase, int x, int y) {
  lastToolX_ = x;
  lastToolY_ = y;
  switch (view().toolId) {
    case kToolSplash:
      if (phase != kPhaseRelease) return;
      splashReleased();
      askForNotification();
      return;
    case kToolZoom:
      zoomTool(phase, x, y);
      // The redraw the release marks runs on the notification asked for
      // here; asked for first, a host answering at once would miss it.
      if (phase == kPhaseRelease) askForNotification();
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

std::int32_t OfflineEditor::sampleOfX(int x) const { return effect_.analyser().sampleOfColumn(x); }

void OfflineEditor::zoomTool(int phase, int x, int y) {
  if (movePointsMode_) return;
  SpectrogramAnalyser& analyser = effect_.analyser();
  const std::int32_t offset = view().viewStart;
  if (phase == kPhasePress) {
    layers_.composeLayers();
    selectionStart_ = sampleOfX(x);
    zoomStartY_ = y;
    if (zoomTime_)
      setTimeLabels(static_cast<double>(selectionStart_) + offset, static_cast<double>(view().viewLength) + offset);
    if (zoomFrequency_) setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
    return;
  }

  const float f1 = analyser.frequencyOfRow(zoomStartY_);
  const float f2 = analyser.frequencyOfRow(y);
  const editor::ZoomSettings settings{zoomTime_, zoomFrequency_, minimumTimeSpan(analyser),
                                      minimumFrequencySpan(analyser)};
  if (phase == kPhaseDrag) {
    if (!buttonDown_) return;
    const std::int64_t d = std::int64_t{sampleOfX(x)} - sampleOfX(leftPressX_);
    const editor::ZoomOutline outline = editor::zoomOutline(d, static_cast<int>(std::fabs(f1 - f2)), settings);
    const double a = static_cast<double>(std::min(sampleOfX(leftPressX_), sampleOfX(x))) + offset;
    const double b = static_cast<double>(std::max(sampleOfX(leftPressX_), sampleOfX(x))) + offset;
    auto band = [&](RubberBand kind) {
      layers_.drawRubberBand(leftPressX_, leftPressY_, x, y, outline.timeValid, outline.frequencyValid, kind);
    };
    switch (outline.kind) {
      case editor::OutlineKind::ZoomOutPreview:
        // Released here, the drag zooms out to everything.
        if (zoomTime_) setTimeLabels(0, view().fileLength);
        if (zoomFrequency_) setFrequencyLabels(0, analyser.maxFrequency());
        return;
      case editor::OutlineKind::Horizontal:
        band(RubberBand::Horizontal);
        setFrequencyLabels(std::min(f1, f2), std::max(f1, f2));
        return;
      case editor::OutlineKind::Vertical:
        band(RubberBand::Vertical);
        setTimeLabels(a, b);
        return;
      case editor::OutlineKind::Rectangle:
        band(RubberBand::Rectangle);
        setFrequencyLabels(std::min(f1, f2), std::max(f1, f2));
        setTimeLabels(a, b);
        return;
      default:
        return;
    }
  }

  const std::int32_t selectionEnd = sampleOfX(x);
  const std::int64_t d = std::int64_t{selectionEnd} - selectionStart_;
  auto frequencyFromAnalyser = [&] {
    const view::FrequencyCentre c = view::frequencyCentre(analyser.bottomFrequency(), analyser.topFrequency());
    frequencyCentre_ = c.centre;
    frequencyHalfSpan_ = c.halfSpan;
    setFrequencyScrollRange();
    setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  };
  auto referenceRange = [&] {
    setReferenceRange(static_cast<int>(analyser.bottomFrequency()), static_cast<int>(analyser.topFrequency()),
                      static_cast<int>(analyser.refFrequency()));
  };
  // The press showed the labels of a zoom to come; a release that leaves
  // the view as it was puts the view's own back.
  auto timeLabelsOfTheView = [&] {
    if (zoomTime_) setTimeLabels(offset, static_cast<double>(offset) + view().viewLength);
  };
  auto frequencyLabelsOfTheView = [&] {
    if (zoomFrequency_) setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  };
  const editor::ZoomReleaseResult release = editor::zoomRelease(d, f2 - f1, settings);
  const bool frequencyZoomed = release.what == editor::ZoomRelease::FrequencyZoomed || release.frequencyToo;
  if (frequencyZoomed) analyser.setFrequencyRange(std::min(f1, f2), std::max(f1, f2));
  switch (release.what) {
    case editor::ZoomRelease::TimeZoomed: {
      const auto half = static_cast<std::int32_t>(d / 2);
      applyTimeWindow(offset, selectionStart_, selectionEnd, pinnedSum(offset, std::int64_t{selectionStart_} + half),
                      half);
      setTimeScrollRange();
      setTimeLabels(static_cast<double>(offset) + selectionStart_, static_cast<double>(offset) + selectionEnd);
      if (zoomFrequency_) {
        referenceRange();
        frequencyFromAnalyser();
      }
      needsRedraw_ = true;
      return;
    }
    case editor::ZoomRelease::FrequencyZoomed:
    case editor::ZoomRelease::Unchanged:
      // Too short to zoom in time: the selection is the whole view again.
      if (zoomTime_) {
        view().zoomStart = offset;
        view().zoomEnd = pinnedSum(offset, view().viewLength);
      }
      timeLabelsOfTheView();
      if (!frequencyZoomed) {
        frequencyLabelsOfTheView();
        presentDisplay();
        return;
      }
      frequencyFromAnalyser();
      effect_.curve().layout(analyser);
      drawCurrentCurve();
      redrawSpectrogram();
      presentDisplay();
      referenceRange();
      return;
    case editor::ZoomRelease::ZoomOutToEverything: {
      const view::ZoomAllSelection all = view::zoomOutToEverything(view().viewLength);
      view().zoomStart = pinnedSum(offset, all.selectionStart);
      view().zoomEnd = pinnedSum(offset, all.selectionEnd);
      if (zoomFrequency_) analyser.setZoom(1.0f);
      if (zoomFrequency_ || zoomTime_) {
        frequencyFromAnalyser();
        needsRedraw_ = true;
      }
      return;
    }
    case editor::ZoomRelease::Nothing:
      timeLabelsOfTheView();
      frequencyLabelsOfTheView();
      return;
    default:
      return;
  }
}

void OfflineEditor::moveTool(int phase, int x, int y) {
  PvcCurve& curve = effect_.curve();
  SpectrogramAnalyser& analyser = effect_.analyser();
  if (phase == kPhasePress) {
    // The window reports moves only with the button held, so the hit test
    // of the hovering mouse is made at the press.
    if (!pointGrabbed_) pointHit_ = curve.pointNear(x, y);
    if (!pointHit_) return;
    pointGrabbed_ = true;
    dragging_ = curve.selectNear(x, y);
    if (!dragging_) return;
    curve.layout(analyser);
    drawCurrentCurve();
    presentDisplay();
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
    if (!curve.moveSelected(editor::curveValueOfRow(analyser, y))) return;
    curve.layout(analyser);
    drawCurrentCurve();
    presentDisplay();
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
      curve.moveSelected(editor::curveValueOfRow(analyser, y));
    }
    curve.deselect();
    curve.layout(analyser);
    drawCurrentCurve();
    presentDisplay();
    snapshot(kTagMove);
  }
  dragging_ = false;
  pointHit_ = false;
}

void OfflineEditor::insertTool(int phase, int x) {
  if (phase != kPhasePress) return;
  PvcCurve& curve = effect_.curve();
  editor::insertPointKeepingShape(curve, sampleOfX(x) + view().viewStart);
  curve.layout(effect_.analyser());
  drawCurrentCurve();
  presentDisplay();
  snapshot(kTagInsert);
}

void OfflineEditor::deleteTool(int phase, int x, int y) {
  if (phase == kPhasePress) {
    layers_.composeLayers();
    return;
  }
  if (phase == kPhaseDrag) {
    if (buttonDown_) layers_.drawRubberBand(leftPressX_, leftPressY_, x, y, false, false, RubberBand::Vertical);
    return;
  }
  PvcCurve& curve = effect_.curve();
  const std::int32_t offset = view().viewStart;
  editor::deletePointsBetween(curve, sampleOfX(leftPressX_) + offset, sampleOfX(x) + offset);
  curve.layout(effect_.analyser());
  drawCurrentCurve();
  presentDisplay();
  snapshot(kTagDelete);
}

void OfflineEditor::chartTool(int phase, int x, int y) {
  if (phase == kPhasePress) {
    layers_.composeLayers();
    if (!buttonDown_) return;
    // A press on the two rightmost pixels has no column: the buffer keeps
    // nothing for it.
    chart_.emplace(effect_.analyser().columns());
    chart_->mark(x, y);
    return;
  }
  if (!chart_) return;
  if (phase == kPhaseDrag) {
    if (!buttonDown_) return;
    chart_->mark(x, y);
    layers_.drawChartTrace(leftPressX_, x, chart_->rows());
    return;
  }
  PvcCurve& curve = effect_.curve();
  chart_->keepOnly(leftPressX_, x);
  editor::applyChartStroke(curve, effect_.analyser(), view().viewStart, leftPressX_, x, *chart_);
  curve.layout(effect_.analyser());
  drawCurrentCurve();
  presentDisplay();
  chart_.reset();
  // Every stroke is an undo step of its own.
  curve.markPending();
  snapshot(kTagChart);
}

void OfflineEditor::rangeTool(int phase, int x, int y) {
  if (phase == kPhasePress) {
    layers_.composeLayers();
    return;
  }
  if (phase == kPhaseDrag) {
    if (buttonDown_) layers_.drawRubberBand(leftPressX_, leftPressY_, x, y, false, false, RubberBand::Rectangle);
    return;
  }
  const SpectrogramAnalyser& analyser = effect_.analyser();
  const float f1 = analyser.frequencyOfRow(leftPressY_);
  const float f2 = analyser.frequencyOfRow(y);
  EditorView& v = view();
  v.analysisLow = std::min(f1, f2);
  v.analysisHigh = std::max(f1, f2);
  v.analysisStart = sampleOfX(std::min(leftPressX_, x)) + v.viewStart;
  v.analysisEnd = sampleOfX(std::max(leftPressX_, x)) + v.viewStart;
  rangeSelected_ = true;
}

// Signed count of columns from the press column to x, kept inside the
// analyser's columns.
int OfflineEditor::traceColumns(int x) const {
  const SpectrogramAnalyser& analyser = effect_.analyser();
  const int n = analyser.columnSpan(std::min(leftPressX_, x), std::max(leftPressX_, x));
  return x < leftPressX_ ? -n : n;
}

void OfflineEditor::gravityTool(int phase, int x, int y) {
  SpectrogramAnalyser& analyser = effect_.analyser();
  const std::int32_t offset = view().viewStart;
  if (phase == kPhasePress) {
    layers_.composeLayers();
    return;
  }
  const int level = editor::gravityLevel(leftPressY_, y);
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
    layers_.drawGravityTrace(leftPressX_, x, leftPressY_, level, rows);
    return;
  }

  PvcCurve& curve = effect_.curve();
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
    editor::applyTrace(curve, analyser, offset, leftPressX_, n < 0 ? -got : got, line);
  }
  curve.layout(analyser);
  drawCurrentCurve();
  presentDisplay();
  snapshot(kTagGravity);
}
