// The arithmetic of the editor's view window: scroll bar settings from the
// visible time and frequency spans, scrolling, and the zoom buttons. Plain
// numbers in and out; the editor applies them to its controls and to the
// analyser. Sample counts may come near 2^31: sums and differences are
// taken in 64 bits and results pinned to the int range.
#pragma once

#include <cstdint>

class SpectrogramAnalyser;

namespace view {

// What SetScrollInfo gets for one bar.
struct ScrollSetting {
  int minimum = 0;
  int maximum = 0;
  int page = 0;
  int position = 0;
};

// Visible time window as the editor keeps it: offset of the first visible
// sample, the selection relative to it, and centre and half width.
struct TimeWindow {
  std::int32_t offset = 0;
  std::int32_t selectionStart = 0;
  std::int32_t selectionEnd = 0;
  std::int32_t centre = 0;
  std::int32_t halfSpan = 0;
};

// A frequency window to give the analyser (setFrequencyRange).
struct FrequencyWindow {
  float lower = 0.0f;
  float upper = 0.0f;
};

// The editor's frequency centre and half-span.
struct FrequencyCentre {
  int centre = 0;
  int halfSpan = 0;
};

// Time scroll bar (kTimeBar): range half-span..sample count, thumb at the centre.
ScrollSetting timeScrollRange(std::int32_t centre, std::int32_t halfSpan, std::int32_t sampleCount);

// Frequency scroll bar (kFrequencyBar), inverted so that the top is the highest
// frequency: range half-span..maximum frequency, thumb at maximum - centre.
ScrollSetting frequencyScrollRange(int centre, int halfSpan, float maxFrequency);

// Scrolling the time bar to `position` with the current half-span: the
// window centred there, kept inside 0..sample count. The selection covers
// the whole window; centre and half-span are those of the result.
TimeWindow scrollTime(int position, std::int32_t halfSpan, std::int32_t sampleCount);

// Scrolling the frequency bar: the window centred at barMaximum - position,
// kept inside minFrequency..maxFrequency. `apply` tells whether the window
// is wider than the minimum zoom span; when it is not, the analyser keeps
// its current window.
struct FrequencyScroll {
  FrequencyWindow window;
  bool apply = false;
};
FrequencyScroll scrollFrequency(int position, int barMaximum, int halfSpan, float minFrequency, float maxFrequency,
                                float minimumSpan);

// Centre and half-span of a window lower..upper (truncated).
FrequencyCentre frequencyCentre(float lower, float upper);

// "+" of the frequency axis: half the span, but not below the minimum zoom
// span; `atMinimum` disables the button.
struct FrequencyZoom {
  int centre = 0;
  int halfSpan = 0;
  FrequencyWindow window;
  bool atMinimum = false;  // zoom in: "+" is disabled
  bool atMaximum = false;  // zoom out: "-" is disabled
};
FrequencyZoom zoomFrequencyIn(int centre, int halfSpan, float minimumSpan);
// "-" of the frequency axis: twice the span, kept inside 0..maxFrequency;
// `atMaximum` disables the button once the whole band is shown.
FrequencyZoom zoomFrequencyOut(int centre, int halfSpan, float maxFrequency);

// "+" and "-" of the time axis. minimumSpan is the smallest time window the
// analyser resolves (minimumTimeSpan). Results stay inside 0..sample count.
TimeWindow zoomTimeIn(std::int32_t centre, std::int32_t halfSpan, std::int32_t minimumSpan,
                      std::int32_t sampleCount);
TimeWindow zoomTimeOut(std::int32_t centre, std::int32_t halfSpan, std::int32_t sampleCount);

// "Zoom All" and a zoom drag released leftwards: selection start at the
// span and end 0, which the redraw pass reads as the whole file.
struct ZoomAllSelection {
  std::int32_t selectionStart = 0;
  std::int32_t selectionEnd = 0;
};
ZoomAllSelection zoomOutToEverything(double timeSpan);

// Minimum zoom spans: 4 analysis bins in frequency; in time one sample per
// spectrogram column (at least one FFT frame).
float minimumFrequencySpan(const SpectrogramAnalyser& analyser);
std::int32_t minimumTimeSpan(const SpectrogramAnalyser& analyser);

// Screen column of a sample (relative to the view offset) on a display of
// `width` pixels showing `timeSpan` samples: truncate(s x (float)(width /
// span) + 1). A span of 0 maps to column 1.
int columnOfSample(double sample, double timeSpan, int width);
// 0 <= sample < span, with a span that is not 0.
bool insideTimeWindow(double sample, double timeSpan);

}  // namespace view
