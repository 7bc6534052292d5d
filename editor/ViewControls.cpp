#include "editor/ViewControls.h"

#include <cstdio>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "editor/TimeFormat.h"
#include "editor/ViewWindow.h"
#include "plugin/OfflineEffect.h"

namespace editor {

namespace {

void setBar(int id, const view::ScrollSetting& s) {
  HWND bar = ControlTable::get(id);
  if (!bar) return;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = s.minimum;
  info.nMax = s.maximum;
  info.nPage = static_cast<UINT>(s.page);
  info.nPos = s.position;
  SetScrollInfo(bar, SB_CTL, &info, TRUE);
}

SCROLLINFO barInfo(int id) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  if (HWND bar = ControlTable::get(id)) GetScrollInfo(bar, SB_CTL, &info);
  return info;
}

// Truncated toward zero; values no int holds are pinned, NaN is 0.
int whole(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(value);
}

std::int32_t pinnedSum(std::int32_t a, std::int32_t b) {
  return whole(static_cast<double>(a) + static_cast<double>(b));
}

// The smallest frequency window: four analysis bins.
float minimumFrequencySpan(const SpectrogramAnalyser& analyser) {
  return analyser.sampleRate() * 4.0f / static_cast<float>(analyser.fftLength());
}

// The smallest time window: one sample for every analysis column.
std::int32_t minimumTimeSpan(const SpectrogramAnalyser& analyser) { return analyser.columns(); }

}  // namespace

double ViewControls::sampleRate() const { return editor_.effect().analyser().sampleRate(); }

void ViewControls::reset() {
  zoomTime_ = true;
  zoomFrequency_ = true;
  timeHalfSpan_ = 0;
}

void ViewControls::setDisplaySize(int width, int height) {
  displayWidth_ = width;
  displayHeight_ = height;
}

void ViewControls::setTimeLabels(double start, double end) {
  setControlText(kStartTime, formatTime(start, sampleRate()).c_str());
  setControlText(kEndTime, formatTime(end, sampleRate()).c_str());
}

void ViewControls::setFrequencyLabels(double lower, double upper) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", whole(lower));
  setControlText(kLowerFrequency, text);
  std::snprintf(text, sizeof text, "%d", whole(upper));
  setControlText(kUpperFrequency, text);
}

void ViewControls::setReferenceRange(int minimum, int maximum, int position) {
  setBar(kReferenceBar, {minimum, maximum, 2, position});
}

void ViewControls::setTimeScrollRange() {
  setBar(kTimeBar, view::timeScrollRange(editor_.view().centre, timeHalfSpan_, editor_.view().fileLength));
}

void ViewControls::setFrequencyScrollRange() {
  setBar(kFrequencyBar,
         view::frequencyScrollRange(frequencyCentre_, frequencyHalfSpan_, editor_.effect().analyser().maxFrequency()));
}

// The selection is kept as absolute samples in the view the passes read.
void ViewControls::applyTimeWindow(std::int32_t offset, std::int32_t selectionStart, std::int32_t selectionEnd,
                                    std::int32_t centre, std::int32_t halfSpan) {
  EditorView& v = editor_.view();
  v.viewStart = offset;
  v.zoomStart = pinnedSum(offset, selectionStart);
  v.zoomEnd = pinnedSum(offset, selectionEnd);
  v.centre = centre;
  timeHalfSpan_ = halfSpan;
}

void ViewControls::applyTimeWindow(const view::TimeWindow& w) {
  applyTimeWindow(w.offset, w.selectionStart, w.selectionEnd, w.centre, w.halfSpan);
}

// The centre and span the scroll bar and the zoom buttons work from, and
// the band the analyser draws.
void ViewControls::applyFrequencyZoom(const view::FrequencyZoom& z) {
  frequencyCentre_ = z.centre;
  frequencyHalfSpan_ = z.halfSpan;
  editor_.effect().analyser().setFrequencyRange(z.window.lower, z.window.upper);
}

void ViewControls::scrollTime(bool commit) {
  const int position = barInfo(kTimeBar).nPos;
  const view::TimeWindow w = view::scrollTime(position, timeHalfSpan_, editor_.view().fileLength);
  setTimeLabels(w.offset, static_cast<double>(w.offset) + w.selectionEnd);
  EditorView& v = editor_.view();
  v.viewStart = w.offset;
  v.zoomStart = w.offset;
  v.zoomEnd = pinnedSum(w.offset, w.selectionEnd);
  if (!commit) return;
  v.centre = position;
  // Marked before asking: a host that answers at once runs the redraw pass
  // inside the request.
  editor_.files().markForRedraw();
  editor_.askForNotification();
}

void ViewControls::scrollFrequency(bool commit) {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const SCROLLINFO info = barInfo(kFrequencyBar);
  const view::FrequencyScroll r =
      view::scrollFrequency(info.nPos, info.nMax, frequencyHalfSpan_, analyser.minFrequency(),
                            analyser.maxFrequency(), minimumFrequencySpan(analyser));
  if (r.apply)
    analyser.setFrequencyRange(r.window.lower, r.window.upper);
  else
    analyser.setFrequencyRange(analyser.bottomFrequency(), analyser.topFrequency());
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  if (!commit) return;
  const view::FrequencyCentre c = view::frequencyCentre(analyser.bottomFrequency(), analyser.topFrequency());
  frequencyCentre_ = c.centre;
  frequencyHalfSpan_ = c.halfSpan;
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  editor_.effect().curve().layout(analyser);
  editor_.drawCurrentCurve();
  editor_.redrawSpectrogram();
  editor_.presentDisplay();
  setReferenceRange(whole(analyser.bottomFrequency()), whole(analyser.topFrequency()),
                    whole(analyser.refFrequency()));
}

void ViewControls::setReferenceFrequency() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const SCROLLINFO info = barInfo(kReferenceBar);
  analyser.setReferenceFrequency(static_cast<float>(info.nMax + info.nMin - info.nPos));
  editor_.effect().curve().layout(analyser);
  editor_.drawCurrentCurve();
  editor_.presentDisplay();
}

// The passes changed the analyser's band or the visible time: the axes,
// bars and read-outs follow.
void ViewControls::updateAxes(const SpectrogramAnalyser& analyser) {
  const view::FrequencyCentre c = view::frequencyCentre(analyser.bottomFrequency(), analyser.topFrequency());
  frequencyCentre_ = c.centre;
  frequencyHalfSpan_ = c.halfSpan;
  setFrequencyScrollRange();
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  setReferenceRange(whole(analyser.bottomFrequency()), whole(analyser.topFrequency()),
                    whole(analyser.refFrequency()));
  EditorView& v = editor_.view();
  timeHalfSpan_ = v.viewLength / 2;
  setTimeScrollRange();
  setTimeLabels(v.viewStart, static_cast<double>(v.viewStart) + v.viewLength);
}

void ViewControls::takeAnalyserBand() {
  const SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const view::FrequencyCentre c = view::frequencyCentre(analyser.bottomFrequency(), analyser.topFrequency());
  frequencyCentre_ = c.centre;
  frequencyHalfSpan_ = c.halfSpan;
  setFrequencyScrollRange();
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
}

void ViewControls::resetTimeView() {
  const std::int32_t length = editor_.view().fileLength;
  applyTimeWindow(0, 0, length, length / 2, length / 2);
}

void ViewControls::updateFrequencyView() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  editor_.effect().curve().layout(analyser);
  editor_.drawCurrentCurve();
  editor_.redrawSpectrogram();
  editor_.presentDisplay();
  setReferenceRange(whole(analyser.bottomFrequency()), whole(analyser.topFrequency()),
                    whole(analyser.refFrequency()));
  setFrequencyScrollRange();
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
}

void ViewControls::requestRedrawPass() {
  editor_.files().markForRedraw();  // before the request, see scrollTime
  editor_.askForNotification();
  setTimeScrollRange();
  setTimeLabels(editor_.view().zoomStart, editor_.view().zoomEnd);
}

void ViewControls::zoomFrequencyIn() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const view::FrequencyZoom z =
      view::zoomFrequencyIn(frequencyCentre_, frequencyHalfSpan_, minimumFrequencySpan(analyser));
  applyFrequencyZoom(z);
  if (z.atMinimum) enableControl(kFrequencyIn, false);
  updateFrequencyView();
  enableControl(kFrequencyOut, true);
}

void ViewControls::zoomFrequencyOut() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  const view::FrequencyZoom z = view::zoomFrequencyOut(frequencyCentre_, frequencyHalfSpan_, analyser.maxFrequency());
  applyFrequencyZoom(z);
  if (z.atMaximum) enableControl(kFrequencyOut, false);
  updateFrequencyView();
  enableControl(kFrequencyIn, true);
}

void ViewControls::zoomTimeIn() {
  const view::TimeWindow w =
      view::zoomTimeIn(editor_.view().centre, timeHalfSpan_, minimumTimeSpan(editor_.effect().analyser()), editor_.view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void ViewControls::zoomTimeOut() {
  const view::TimeWindow w = view::zoomTimeOut(editor_.view().centre, timeHalfSpan_, editor_.view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void ViewControls::zoomInBoth() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  applyFrequencyZoom(view::zoomFrequencyIn(frequencyCentre_, frequencyHalfSpan_, minimumFrequencySpan(analyser)));
  editor_.effect().curve().layout(analyser);
  editor_.drawCurrentCurve();
  const view::TimeWindow w =
      view::zoomTimeIn(editor_.view().centre, timeHalfSpan_, minimumTimeSpan(analyser), editor_.view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void ViewControls::zoomOutBoth() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  applyFrequencyZoom(view::zoomFrequencyOut(frequencyCentre_, frequencyHalfSpan_, analyser.maxFrequency()));
  editor_.effect().curve().layout(analyser);
  editor_.drawCurrentCurve();
  const view::TimeWindow w = view::zoomTimeOut(editor_.view().centre, timeHalfSpan_, editor_.view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void ViewControls::zoomOutToEverything() {
  SpectrogramAnalyser& analyser = editor_.effect().analyser();
  EditorView& v = editor_.view();
  const view::ZoomAllSelection all = view::zoomOutToEverything(v.viewLength);
  v.zoomStart = pinnedSum(v.viewStart, all.selectionStart);
  v.zoomEnd = pinnedSum(v.viewStart, all.selectionEnd);
  if (zoomFrequency_) analyser.setZoom(1.0f);
  if (zoomFrequency_ || zoomTime_) {
    takeAnalyserBand();
    editor_.files().markForRedraw();
  }
}

void ViewControls::zoomAll() {
  OfflineEffect& effect = editor_.effect();
  enableControl(kFrequencyIn, true);
  if (!editor_.tools().movePointsMode()) {
    detect::DetectorEngines& engines = effect.engines();
    if (editor_.algorithms().algorithm() == detect::kAlgorithmHum && engines.useSorvanite()) {
      engines.setUseSorvanite(false);
      if (effect.analyser().fftLength() != editor_.view().fftLength) {
        effect.analysisChanged = true;
        editor_.files().markForRedraw();
      }
    }
    zoomOutToEverything();
  }
  // The pass runs as the zoom's, whatever algorithm is chosen.
  AlgorithmCommands& algorithms = editor_.algorithms();
  const int kept = algorithms.algorithm();
  algorithms.setAlgorithm(kZoomAlgorithm);
  editor_.setOperationMode(0, kModeZoom);
  editor_.askForNotification();
  algorithms.setAlgorithm(kept);
}

}  // namespace editor
