// The off-screen layers of the spectrogram display and every drawing onto
// it: the spectrogram (one pixel per analysis cell), the curve layer (white
// with the curve in black, ANDed over the spectrogram), the composite used
// behind rubber bands, and overlays made and dropped inside one call.
//
// All drawing goes straight to the display window's device context; nothing
// is invalidated. Coordinates outside a layer or the chart buffer are
// bounded before use.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "editor/ColourTable.h"

class PvcCurve;
class SpectrogramAnalyser;
namespace detect {
class SpectralPvcDetector;
}

// A bitmap with its own memory device context; owns both.
class Layer {
 public:
  Layer() = default;
  ~Layer() { reset(); }
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  // A bitmap of width x height compatible with `reference`, selected into a
  // compatible memory context.
  bool create(HDC reference, int width, int height);
  void reset();
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  // Puts another bitmap into the context (e.g. the splash picture); the
  // layer's own bitmap is put back by restoreBitmap or reset. False, and no
  // change, when the bitmap cannot be selected.
  bool selectForeign(HBITMAP other);
  void restoreBitmap();
  bool showsForeign() const { return foreign_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ original_ = nullptr;  // the context's bitmap before ours
  bool foreign_ = false;
};

// Which edges of a zoom or range drag are drawn (drawRubberBand).
enum class RubberBand { Horizontal = 0, Vertical = 1, Rectangle = 2 };

class DisplayLayers {
 public:
  DisplayLayers() = default;
  ~DisplayLayers() = default;
  DisplayLayers(const DisplayLayers&) = delete;
  DisplayLayers& operator=(const DisplayLayers&) = delete;

  // Creates the three layers at the size of the display window (its window
  // rectangle), clears them and fills the colour table. Layers made before
  // are deleted first.
  bool makeLayers(HWND display);
  // Deletes the layers and their contexts; the spectrogram layer gets its
  // own bitmap back first, so a selected splash bitmap survives.
  void deleteLayers();
  bool ready() const { return spectrogram_.dc() != nullptr; }

  HWND display() const { return display_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const ColourTable& colours() const { return colours_; }
  HDC spectrogramDc() const { return spectrogram_.dc(); }
  HDC curveDc() const { return curve_.dc(); }
  HDC compositeDc() const { return composite_.dc(); }
  // The curve layer holds a curve (drawCurve found one).
  bool curveDrawn() const { return curveDrawn_; }

  // Spectrogram. Column c of the analyser goes to pixel column c + 1, rows
  // 1..height - 2; linear chooses levelAt over levelAtLog. The new column is
  // shown at once.
  void drawSpectrogramColumn(int column, SpectrogramAnalyser& analyser, bool linear);
  // Every column of the analyser again (after a frequency zoom or scale
  // change), from its stored levels.
  void redrawSpectrogram(SpectrogramAnalyser& analyser, bool linear);

  // Curve layer, from the curve's last layout. Without a curve (nullptr) the
  // layer is only cleared. Where points lie beyond the view the line starts
  // and ends at the curve's values at the view's edges.
  // showPoints draws a square around each point: grey for the curve's first
  // and last point, black for the grabbed one, white otherwise.
  void drawCurve(const PvcCurve* curve, bool showPoints);
  // The curve with two dotted, labelled filter bounds at rows yLower and
  // yUpper; point squares, when shown, are all white.
  void drawCurveWithBounds(const PvcCurve& curve, int yLower, int yUpper, bool showPoints);

  // Spectrogram copied, curve layer ANDed over it, onto the display.
  void presentDisplay();
  // The same into another context (a WM_PAINT's).
  void paint(HDC target);
  // A WM_PAINT of the display: into the context the message carries, or
  // between BeginPaint and EndPaint when it carries none. Returns 0.
  LRESULT paintMessage(HWND window, WPARAM wParam);
  // composite := spectrogram AND curve (before a rubber-band drag).
  void composeLayers();

  // Splash picture: selectSplash puts the bitmap into the spectrogram layer
  // (the layer keeps showing it, painted over by the analysis);
  // showSplash copies the spectrogram layer to the display; blankSplash
  // fills the selected picture with white and shows it;
  // restoreSpectrogramBitmap puts the layer's own bitmap back.
  bool selectSplash(HBITMAP splash);
  void showSplash();
  void blankSplash();
  void restoreSpectrogramBitmap();

  // Host cursor: a vertical line at editCursor (absolute samples) when it
  // lies in the visible window; true when drawn.
  bool drawCursorLine(double editCursor, double viewOffset, double timeSpan);
  // Host selection start..end (absolute samples) as a grey band; drawn only
  // when both ends lie in the visible window. True when drawn.
  bool drawHostSelection(double selectionStart, double selectionEnd, double viewOffset, double timeSpan);

  // Drag outlines over the composite. A valid axis is drawn with a dotted
  // red pen, an invalid one dotted black.
  void drawRubberBand(int x1, int y1, int x2, int y2, bool timeValid, bool frequencyValid, RubberBand kind);
  // Centre-of-gravity drag: two dotted black lines at x1 and x2, the trace
  // (one row per column from min(x1, x2)) in red, and "DSC Level: %i".
  void drawGravityTrace(int x1, int x2, int y, int level, std::span<const int> rows);
  // Chart tool: the drawn rows between x1 and x2 in red. Entries of `rows`
  // outside min(x1, x2)..max(x1, x2) are set to 0 (the tool relies on it).
  void drawChartTrace(int x1, int x2, std::span<int> rows);
  // The spectral detector's smoothed family frequencies over the
  // spectrogram; rangeFirst is the absolute sample where its run started.
  void drawTrackOverlay(const SpectrogramAnalyser& analyser, const detect::SpectralPvcDetector& detector,
                        std::int32_t rangeFirst, double viewOffset, double timeSpan);

 private:
  // The curve's polyline and point squares, with the pens and brushes
  // already selected into the curve layer.
  void traceCurve(const PvcCurve& curve, bool showPoints, bool colouredMarkers);
  void clearLayer(HDC dc) const;
  void copyLayers(HDC target) const;
  // A drag outline's frame: the composite copied onto the display, then
  // draw(dc, pens) with the dotted drag pens; nothing before the layers exist.
  template <typename Draw>
  void drawOverComposite(Draw draw);

  HWND display_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  Layer spectrogram_;
  Layer curve_;
  Layer composite_;
  ColourTable colours_;
  bool curveDrawn_ = false;
};
