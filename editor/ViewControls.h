// The editor's view on its controls: the time and frequency read-outs, the
// three view scroll bars, scrolling, the zoom buttons and the zoom boxes.
// The arithmetic is view::'s (editor/ViewWindow); here it meets the
// analyser, the curve and the controls.
#pragma once

#include <cstdint>

class OfflineEditor;
class SpectrogramAnalyser;
namespace view {
struct TimeWindow;
struct FrequencyZoom;
}  // namespace view

namespace editor {

class ViewControls {
 public:
  explicit ViewControls(OfflineEditor& editor) : editor_(editor) {}

  // What the layer set-up leaves: both zoom boxes on, no time window.
  void reset();
  // The display's size in pixels, read back when it is made.
  void setDisplaySize(int width, int height);
  int displayWidth() const { return displayWidth_; }
  int displayHeight() const { return displayHeight_; }

  // Read-outs and bars.
  void setTimeLabels(double start, double end);
  void setFrequencyLabels(double lower, double upper);
  void setReferenceRange(int minimum, int maximum, int position);
  void setTimeScrollRange();
  void setFrequencyScrollRange();

  // Scroll bars moved; a commit (the thumb let go) redraws.
  void scrollTime(bool commit);
  void scrollFrequency(bool commit);
  void setReferenceFrequency();

  // The zoom buttons.
  void zoomFrequencyIn();
  void zoomFrequencyOut();
  void zoomTimeIn();
  void zoomTimeOut();
  void zoomInBoth();
  void zoomOutBoth();
  void zoomAll();
  // "Zoom All" and a zoom drag released leftwards: the whole file, and the
  // whole band when zoom frequency is on.
  void zoomOutToEverything();

  // The passes changed the analyser's band or the visible time.
  void updateAxes(const SpectrogramAnalyser& analyser);
  // Centre and span taken from the analyser's band, its bar and read-outs.
  void takeAnalyserBand();
  // The selection kept as absolute samples in the view the passes read.
  void applyTimeWindow(std::int32_t offset, std::int32_t selectionStart, std::int32_t selectionEnd,
                       std::int32_t centre, std::int32_t halfSpan);
  void resetTimeView();

  // The zoom boxes.
  bool zoomTime() const { return zoomTime_; }
  bool zoomFrequency() const { return zoomFrequency_; }
  void setZoomTime(bool on) { zoomTime_ = on; }
  void setZoomFrequency(bool on) { zoomFrequency_ = on; }

 private:
  void applyTimeWindow(const view::TimeWindow& w);
  void applyFrequencyZoom(const view::FrequencyZoom& z);
  void updateFrequencyView();
  void requestRedrawPass();
  double sampleRate() const;

  OfflineEditor& editor_;
  std::int32_t timeHalfSpan_ = 0;
  int frequencyCentre_ = 0;
  int frequencyHalfSpan_ = 0;
  bool zoomTime_ = true;
  bool zoomFrequency_ = true;
  int displayHeight_ = 260;
  int displayWidth_ = 670;
};

}  // namespace editor
