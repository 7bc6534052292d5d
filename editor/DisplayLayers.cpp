#include "editor/DisplayLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/SpectralPvcDetector.h"
#include "editor/GdiHandles.h"
#include "editor/ViewWindow.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kSelectionGrey = RGB(160, 160, 160);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kTrackGrey = RGB(119, 119, 119);

// GDI takes coordinates far beyond the layer and clips them, but not any
// int: keep lines that leave the layer within a range it handles.
constexpr int kFar = 1 << 24;
int onLayer(long long v) { return static_cast<int>(std::clamp<long long>(v, -kFar, kFar)); }

int truncated(double v) {
  if (std::isnan(v)) return 0;
  return onLayer(static_cast<long long>(std::clamp(v, -2.0 * kFar, 2.0 * kFar)));
}

void moveTo(HDC dc, long long x, long long y) { MoveToEx(dc, onLayer(x), onLayer(y), nullptr); }
void lineTo(HDC dc, long long x, long long y) { LineTo(dc, onLayer(x), onLayer(y)); }

// A layer made for one drawing call and deleted with it.
class TemporaryLayer {
 public:
  TemporaryLayer(HDC reference, int width, int height) { layer_.create(reference, width, height); }
  HDC dc() const { return layer_.dc(); }

 private:
  Layer layer_;
};

}  // namespace

// ---- Layer ----

bool Layer::create(HDC reference, int width, int height) {
  reset();
  bitmap_ = CreateCompatibleBitmap(reference, width, height);
  dc_ = CreateCompatibleDC(reference);
  if (!bitmap_ || !dc_) {
    reset();
    return false;
  }
  original_ = SelectObject(dc_, bitmap_);
  return true;
}

void Layer::reset() {
  if (dc_) {
    if (original_) SelectObject(dc_, original_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  original_ = nullptr;
  foreign_ = false;
}

bool Layer::selectForeign(HBITMAP other) {
  if (!dc_ || !other) return false;
  if (!SelectObject(dc_, other)) return false;
  foreign_ = other != bitmap_;
  return true;
}

void Layer::restoreBitmap() {
  if (dc_ && foreign_) SelectObject(dc_, bitmap_);
  foreign_ = false;
}

// ---- Layers ----

bool DisplayLayers::makeLayers(HWND display) {
  deleteLayers();
  RECT r{};
  if (!display || !GetWindowRect(display, &r)) return false;
  display_ = display;
  // A layer of no pixels would make every copy and bound below degenerate.
  width_ = std::max<int>(r.right - r.left, 1);
  height_ = std::max<int>(r.bottom - r.top, 1);
  {
    WindowDc window(display_);
    if (!window) return false;
    spectrogram_.create(window.get(), width_, height_);
    curve_.create(window.get(), width_, height_);
    composite_.create(window.get(), width_, height_);
  }
  clearLayer(spectrogram_.dc());
  clearLayer(curve_.dc());
  clearLayer(composite_.dc());
  colours_ = ColourTable();
  curveDrawn_ = false;
  return ready() && curve_.dc() && composite_.dc();
}

void DisplayLayers::deleteLayers() {
  spectrogram_.restoreBitmap();
  spectrogram_.reset();
  curve_.reset();
  composite_.reset();
  curveDrawn_ = false;
}

void DisplayLayers::clearLayer(HDC dc) const {
  if (!dc) return;
  // The context's defaults: a one-pixel black frame around white.
  Selected pen(dc, GetStockObject(BLACK_PEN));
  Selected brush(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, 0, 0, width_, height_);
}

void DisplayLayers::copyLayers(HDC target) const {
  if (!target || !ready()) return;
  BitBlt(target, 0, 0, width_, height_, spectrogram_.dc(), 0, 0, SRCCOPY);
  if (curve_.dc()) BitBlt(target, 0, 0, width_, height_, curve_.dc(), 0, 0, SRCAND);
}

// ---- Spectrogram ----

void DisplayLayers::drawSpectrogramColumn(int column, SpectrogramAnalyser& analyser, bool linear) {
  if (!ready()) return;
  // Column c is pixel c + 1; the frame columns 0 and width - 1 stay.
  const long long x = static_cast<long long>(column) + 1;
  if (x < 1 || x > width_ - 2) return;
  HDC dc = spectrogram_.dc();
  const int px = static_cast<int>(x);
  for (int y = 1; y <= height_ - 2; ++y) {
    const float level = linear ? analyser.levelAt(column, y) : analyser.levelAtLog(column, y);
    SetPixelV(dc, px, y, colours_.colorRefOf(level));
  }
  WindowDc window(display_);
  if (window) BitBlt(window.get(), px - 1, 0, 2, height_, dc, px - 1, 0, SRCCOPY);
}

void DisplayLayers::redrawSpectrogram(SpectrogramAnalyser& analyser, bool linear) {
  const int columns = std::min(analyser.columns(), std::max(width_ - 2, 0));
  for (int c = 0; c < columns; ++c) drawSpectrogramColumn(c, analyser, linear);
}

// ---- Curve layer ----

namespace {

// The pens and brushes of the curve layer.
struct CurveTools {
  Pen black{CreatePen(PS_SOLID, 1, kBlack)};
  Pen grey{CreatePen(PS_SOLID, 1, kGrey)};
  Brush blackFill{CreateSolidBrush(kBlack)};
  Brush greyFill{CreateSolidBrush(kGrey)};
  Brush whiteFill{CreateSolidBrush(kWhite)};
};

void drawMarker(HDC dc, const PvcPoint& p) {
  Rectangle(dc, onLayer(p.column - 3LL), onLayer(p.row - 3LL), onLayer(p.column + 4LL), onLayer(p.row + 4LL));
}

}  // namespace

void DisplayLayers::traceCurve(const PvcCurve& curve, bool showPoints, bool colouredMarkers) {
  HDC dc = curve_.dc();
  const auto& points = curve.points();
  const int count = static_cast<int>(points.size());
  if (count == 0) return;
  const int first = std::clamp(curve.firstVisible(), 0, count);
  const int last = std::clamp(curve.lastVisible(), -1, count - 1);

  // From the curve's value at the view start when a point lies before the
  // view; otherwise from the first visible point.
  if (first > 0 && curve.leftEdgeSynthetic())
    moveTo(dc, curve.leftEdgeColumn(), curve.leftEdgeRow());
  else if (first < count)
    moveTo(dc, points[static_cast<std::size_t>(first)].column, points[static_cast<std::size_t>(first)].row);

  CurveTools tools;
  for (int i = first; i <= last; ++i) {
    const PvcPoint& p = points[static_cast<std::size_t>(i)];
    lineTo(dc, p.column, p.row);
    if (!showPoints) continue;
    if (colouredMarkers && curve.isEndPoint(i)) {
      Selected pen(dc, tools.grey.get());
      Selected brush(dc, tools.greyFill.get());
      drawMarker(dc, p);
    } else if (colouredMarkers && curve.isSelected(i)) {
      Selected brush(dc, tools.blackFill.get());
      drawMarker(dc, p);
    } else {
      drawMarker(dc, p);
    }
    // Rectangle leaves the pen position alone; the line goes on from p.
    moveTo(dc, p.column, p.row);
  }
  // With a point beyond the view the line leaves the drawing at the
  // curve's value at the view end: the point itself is placed on the
  // border by the layout, and a line to it would show a wrong slope.
  if (curve.rightEdgeSynthetic() && last + 1 < count && last + 1 >= first)
    lineTo(dc, curve.rightEdgeColumn(), curve.rightEdgeRow());
}

void DisplayLayers::drawCurve(const PvcCurve* curve, bool showPoints) {
  HDC dc = curve_.dc();
  if (!dc) return;
  CurveTools tools;
  Selected pen(dc, tools.black.get());
  Selected brush(dc, tools.whiteFill.get());
  Rectangle(dc, 0, 0, width_, height_);
  if (!curve || curve->pointCount() == 0) {
    curveDrawn_ = false;
    return;
  }
  traceCurve(*curve, showPoints, true);
  curveDrawn_ = true;
}

void DisplayLayers::drawCurveWithBounds(const PvcCurve& curve, int yLower, int yUpper, bool showPoints) {
  HDC dc = curve_.dc();
  if (!dc) return;
  clearLayer(dc);
  Pen dotted(CreatePen(PS_DOT, 1, kBlack));
  Pen solid(CreatePen(PS_SOLID, 1, kBlack));
  {
    Selected pen(dc, dotted.get());
    static const char kLower[] = "Filter Lower Bound";
    static const char kUpper[] = "Filter Upper Bound";
    TextOutA(dc, 1, onLayer(yLower + 1LL), kLower, 18);
    moveTo(dc, 1, yLower);
    lineTo(dc, width_ - 1, yLower);
    TextOutA(dc, 1, onLayer(yUpper - 15LL), kUpper, 18);
    moveTo(dc, 1, yUpper);
    lineTo(dc, width_ - 1, yUpper);
  }
  Selected pen(dc, solid.get());
  Selected brush(dc, GetStockObject(WHITE_BRUSH));
  traceCurve(curve, showPoints, false);
  curveDrawn_ = curve.pointCount() > 0;
}

// ---- Combining ----

void DisplayLayers::presentDisplay() {
  WindowDc window(display_);
  copyLayers(window.get());
}

void DisplayLayers::paint(HDC target) { copyLayers(target); }

LRESULT DisplayLayers::paintMessage(HWND window, WPARAM wParam) {
  HDC given = reinterpret_cast<HDC>(wParam);
  if (given) {
    paint(given);
    return 0;
  }
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(window, &ps);
  paint(dc);
  EndPaint(window, &ps);
  return 0;
}

void DisplayLayers::composeLayers() {
  if (!composite_.dc()) return;
  copyLayers(composite_.dc());
}

// ---- Splash ----

bool DisplayLayers::selectSplash(HBITMAP splash) { return spectrogram_.selectForeign(splash); }

void DisplayLayers::showSplash() {
  if (!ready()) return;
  WindowDc window(display_);
  if (window) BitBlt(window.get(), 0, 0, width_, height_, spectrogram_.dc(), 0, 0, SRCCOPY);
}

void DisplayLayers::blankSplash() {
  if (!ready()) return;
  RECT all{0, 0, width_, height_};
  FillRect(spectrogram_.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  showSplash();
}

void DisplayLayers::restoreSpectrogramBitmap() { spectrogram_.restoreBitmap(); }

// ---- Host cursor and selection ----

bool DisplayLayers::drawCursorLine(double editCursor, double viewOffset, double timeSpan) {
  const double s = editCursor - viewOffset;
  if (!ready() || !view::insideTimeWindow(s, timeSpan)) return false;
  const int x = std::min(view::columnOfSample(s, timeSpan, width_), width_ - 1);
  WindowDc window(display_);
  if (!window) return false;
  copyLayers(window.get());
  Selected pen(window.get(), GetStockObject(BLACK_PEN));
  moveTo(window.get(), x, 1);
  lineTo(window.get(), x, height_ - 1);
  return true;
}

bool DisplayLayers::drawHostSelection(double selectionStart, double selectionEnd, double viewOffset,
                                      double timeSpan) {
  if (!ready()) return false;
  WindowDc window(display_);
  if (!window) return false;
  TemporaryLayer overlay(window.get(), width_, height_);
  clearLayer(overlay.dc());
  Pen grey(CreatePen(PS_SOLID, 1, kGrey));
  Brush fill(CreateSolidBrush(kSelectionGrey));
  Selected pen(overlay.dc(), grey.get());
  Selected brush(overlay.dc(), fill.get());
  const double left = selectionStart - viewOffset;
  const double right = selectionEnd - viewOffset;
  if (!view::insideTimeWindow(left, timeSpan) || !view::insideTimeWindow(right, timeSpan)) return false;
  copyLayers(window.get());
  const int l = std::min(view::columnOfSample(left, timeSpan, width_), width_ - 1);
  const int r = std::min(view::columnOfSample(right, timeSpan, width_), width_ - 1);
  HDC dc = overlay.dc();
  moveTo(dc, l, 1);
  lineTo(dc, l, height_ - 1);
  moveTo(dc, r, 1);
  lineTo(dc, r, height_ - 1);
  Rectangle(dc, l, 1, r, height_ - 1);
  BitBlt(window.get(), 0, 0, width_, height_, dc, 0, 0, SRCAND);
  return true;
}

// ---- Drag outlines ----

namespace {

struct DragPens {
  Pen red{CreatePen(PS_DOT, 1, kRed)};
  Pen black{CreatePen(PS_DOT, 1, kBlack)};
};

// Lines across the display at x1 and x2, in the selected pen.
void timeEdges(HDC dc, long long x1, long long x2, int height) {
  moveTo(dc, x1, 1);
  lineTo(dc, x1, height - 1);
  moveTo(dc, x2, 1);
  lineTo(dc, x2, height - 1);
}

}  // namespace

template <typename Draw>
void DisplayLayers::drawOverComposite(Draw draw) {
  if (!ready()) return;
  WindowDc window(display_);
  HDC dc = window.get();
  if (!dc) return;
  BitBlt(dc, 0, 0, width_, height_, composite_.dc(), 0, 0, SRCCOPY);
  const DragPens pens;
  draw(dc, pens);
}

void DisplayLayers::drawRubberBand(int x1, int y1, int x2, int y2, bool timeValid, bool frequencyValid,
                                   RubberBand kind) {
  drawOverComposite([&](HDC dc, const DragPens& pens) {
    // A drag may leave the display: its edges stay on the layer's border.
    x1 = std::clamp(x1, 0, width_ - 1);
    x2 = std::clamp(x2, 0, width_ - 1);
    y1 = std::clamp(y1, 0, height_ - 1);
    y2 = std::clamp(y2, 0, height_ - 1);
    HPEN timePen = timeValid ? pens.red.get() : pens.black.get();
    HPEN frequencyPen = frequencyValid ? pens.red.get() : pens.black.get();
    Selected keep(dc, frequencyPen);
    switch (kind) {
      case RubberBand::Horizontal:
        moveTo(dc, 1, y1);
        lineTo(dc, width_ - 1, y1);
        moveTo(dc, 1, y2);
        lineTo(dc, width_ - 1, y2);
        break;
      case RubberBand::Vertical:
        SelectObject(dc, timePen);
        timeEdges(dc, x1, x2, height_);
        break;
      case RubberBand::Rectangle:
        moveTo(dc, x1, y1);
        lineTo(dc, x2, y1);
        moveTo(dc, x1, y2);
        lineTo(dc, x2, y2);
        SelectObject(dc, timePen);
        moveTo(dc, x1, y1);
        lineTo(dc, x1, y2);
        moveTo(dc, x2, y1);
        lineTo(dc, x2, y2);
        break;
    }
  });
}

void DisplayLayers::drawGravityTrace(int x1, int x2, int y, int level, std::span<const int> rows) {
  drawOverComposite([&](HDC dc, const DragPens& pens) {
    Selected keep(dc, pens.black.get());
    timeEdges(dc, x1, x2, height_);
    SelectObject(dc, pens.red.get());
    const long long s = std::min(x1, x2);
    moveTo(dc, s, y);
    for (std::size_t i = 0; i < rows.size(); ++i) lineTo(dc, s + static_cast<long long>(i), rows[i]);
    SelectObject(dc, pens.black.get());
    char text[32];
    const int n = std::snprintf(text, sizeof text, "DSC Level: %i", level);
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x1, 1, text, std::clamp(n, 0, static_cast<int>(sizeof text) - 1));
    SetBkMode(dc, previousMode);
  });
}

void DisplayLayers::drawChartTrace(int x1, int x2, std::span<int> rows) {
  const long long s = std::min(x1, x2);
  const long long e = std::max(x1, x2);
  const long long count = static_cast<long long>(rows.size());
  // The buffer is cleared outside s..e even when nothing can be drawn.
  for (long long i = 0; i < count; ++i)
    if (i < s || i > e) rows[static_cast<std::size_t>(i)] = 0;
  drawOverComposite([&](HDC dc, const DragPens& pens) {
    Selected keep(dc, pens.black.get());
    timeEdges(dc, x1, x2, height_);
    SelectObject(dc, pens.red.get());
    // The start row is read only from inside the buffer.
    const int startRow = count > 0 ? rows[static_cast<std::size_t>(std::clamp<long long>(s, 0, count - 1))] : 0;
    moveTo(dc, s, startRow);
    for (long long i = std::max<long long>(s, 0); i <= std::min(e, count - 1); ++i) {
      const int row = rows[static_cast<std::size_t>(i)];
      if (row != 0) lineTo(dc, i, row);
    }
  });
}

// ---- Detected tracks ----

void DisplayLayers::drawTrackOverlay(const SpectrogramAnalyser& analyser, const detect::SpectralPvcDetector& detector,
                                     std::int32_t rangeFirst, double viewOffset, double timeSpan) {
  if (!ready()) return;
  WindowDc window(display_);
  if (!window) return;
  TemporaryLayer overlay(window.get(), width_, height_);
  HDC dc = overlay.dc();
  if (!dc) return;
  BitBlt(dc, 0, 0, width_, height_, spectrogram_.dc(), 0, 0, SRCCOPY);
  const double span = std::trunc(timeSpan);
  if (span != 0.0 && !std::isnan(span)) {
    const float scale = static_cast<float>(width_ / span);
    Pen pen(CreatePen(PS_DOT, 3, kTrackGrey));
    Selected keep(dc, pen.get());
    for (int i = 0; i < detector.familyCount(); ++i) {
      // Each family is its own line.
      bool lifted = true;
      for (int j = 0; j < detector.frameCount(); ++j) {
        const float f = detector.familyFrequency(i, j);
        if (!(f > 0.0f)) {
          lifted = true;
          continue;
        }
        const double at = static_cast<double>(detector.position(j)) + rangeFirst - viewOffset;
        const int x = truncated(at * scale + 1.0);
        const int y = analyser.rowForRatio(analyser.ratioForFrequency(f));
        if (lifted)
          moveTo(dc, x, y);
        else
          lineTo(dc, x, y);
        lifted = false;
      }
    }
  }
  BitBlt(window.get(), 0, 0, width_, height_, dc, 0, 0, SRCAND);
}
