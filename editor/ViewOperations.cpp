// The view window on the controls: time and frequency read-outs, the three
// view scroll bars, scrolling and the zoom buttons. The arithmetic is
// view::'s; here it meets the analyser, the curve and the controls.
#include <cstdio>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/TimeFormat.h"
#include "editor/ViewWindow.h"
#include "plugin/OfflineEffect.h"

namespace {

using editor::ControlTable;

constexpr int kReferenceBar = 11;
constexpr int kFrequencyBar = 12;
constexpr int kTimeBar = 13;
constexpr int kFrequencyIn = 14;
constexpr int kFrequencyOut = 15;
constexpr int kUpperFrequency = 19;
constexpr int kLowerFrequency = 20;
constexpr int kStartTime = 21;
constexpr int kEndTime = 22;

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

void OfflineEditor::setTimeLabels(double start, double end) {
  editor::setControlText(kStartTime, formatTime(start, sampleRate()).c_str());
  editor::setControlText(kEndTime, formatTime(end, sampleRate()).c_str());
}

void OfflineEditor::setFrequencyLabels(double lower, double upper) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", whole(lower));
  editor::setControlText(kLowerFrequency, text);
  std::snprintf(text, sizeof text, "%d", whole(upper));
  editor::setControlText(kUpperFrequency, text);
}

void OfflineEditor::setReferenceRange(int minimum, int maximum, int position) {
  setBar(kReferenceBar, {minimum, maximum, 2, position});
}

void OfflineEditor::setTimeScrollRange() {
  setBar(kTimeBar, view::timeScrollRange(view().centre, timeHalfSpan_, view().fileLength));
}

void OfflineEditor::setFrequencyScrollRange() {
  setBar(kFrequencyBar,
         view::frequencyScrollRange(frequencyCentre_, frequencyHalfSpan_, effect_.analyser().maxFrequency()));
}

// The selection is kept as absolute samples in the view the passes read.
void OfflineEditor::applyTimeWindow(std::int32_t offset, std::int32_t selectionStart, std::int32_t selectionEnd,
                                    std::int32_t centre, std::int32_t halfSpan) {
  EditorView& v = view();
  v.viewStart = offset;
  v.zoomStart = pinnedSum(offset, selectionStart);
  v.zoomEnd = pinnedSum(offset, selectionEnd);
  v.centre = centre;
  timeHalfSpan_ = halfSpan;
}

void OfflineEditor::applyTimeWindow(const view::TimeWindow& w) {
  applyTimeWindow(w.offset, w.selectionStart, w.selectionEnd, w.centre, w.halfSpan);
}

// The centre and span the scroll bar and the zoom buttons work from, and
// the band the analyser draws.
void OfflineEditor::applyFrequencyZoom(const view::FrequencyZoom& z) {
  frequencyCentre_ = z.centre;
  frequencyHalfSpan_ = z.halfSpan;
  effect_.analyser().setFrequencyRange(z.window.lower, z.window.upper);
}

void OfflineEditor::scrollTime(bool commit) {
  const int position = barInfo(kTimeBar).nPos;
  const view::TimeWindow w = view::scrollTime(position, timeHalfSpan_, view().fileLength);
  setTimeLabels(w.offset, static_cast<double>(w.offset) + w.selectionEnd);
  EditorView& v = view();
  v.viewStart = w.offset;
  v.zoomStart = w.offset;
  v.zoomEnd = pinnedSum(w.offset, w.selectionEnd);
  if (!commit) return;
  v.centre = position;
  // Marked before asking: a host that answers at once runs the redraw pass
  // inside the request.
  needsRedraw_ = true;
  askForNotification();
}

void OfflineEditor::scrollFrequency(bool commit) {
  SpectrogramAnalyser& analyser = effect_.analyser();
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
  effect_.curve().layout(analyser);
  drawCurrentCurve();
  redrawSpectrogram();
  presentDisplay();
  setReferenceRange(whole(analyser.bottomFrequency()), whole(analyser.topFrequency()),
                    whole(analyser.refFrequency()));
}

void OfflineEditor::setReferenceFrequency() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  const SCROLLINFO info = barInfo(kReferenceBar);
  analyser.setReferenceFrequency(static_cast<float>(info.nMax + info.nMin - info.nPos));
  effect_.curve().layout(analyser);
  drawCurrentCurve();
  presentDisplay();
}

// The passes changed the analyser's band or the visible time: the axes,
// bars and read-outs follow.
void OfflineEditor::updateAxes(const SpectrogramAnalyser& analyser) {
  if (!isOpen()) {
    headless_.updateAxes(analyser);
    return;
  }
  const view::FrequencyCentre c = view::frequencyCentre(analyser.bottomFrequency(), analyser.topFrequency());
  frequencyCentre_ = c.centre;
  frequencyHalfSpan_ = c.halfSpan;
  setFrequencyScrollRange();
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
  setReferenceRange(whole(analyser.bottomFrequency()), whole(analyser.topFrequency()),
                    whole(analyser.refFrequency()));
  timeHalfSpan_ = view().viewLength / 2;
  setTimeScrollRange();
  setTimeLabels(view().viewStart, static_cast<double>(view().viewStart) + view().viewLength);
}

void OfflineEditor::updateFrequencyView() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  effect_.curve().layout(analyser);
  drawCurrentCurve();
  redrawSpectrogram();
  presentDisplay();
  setReferenceRange(whole(analyser.bottomFrequency()), whole(analyser.topFrequency()),
                    whole(analyser.refFrequency()));
  setFrequencyScrollRange();
  setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
}

void OfflineEditor::requestRedrawPass() {
  needsRedraw_ = true;  // before the request, see scrollTime
  askForNotification();
  setTimeScrollRange();
  setTimeLabels(view().zoomStart, view().zoomEnd);
}

void OfflineEditor::zoomFrequencyIn() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  const view::FrequencyZoom z =
      view::zoomFrequencyIn(frequencyCentre_, frequencyHalfSpan_, minimumFrequencySpan(analyser));
  applyFrequencyZoom(z);
  if (z.atMinimum) editor::enableControl(kFrequencyIn, false);
  updateFrequencyView();
  editor::enableControl(kFrequencyOut, true);
}

void OfflineEditor::zoomFrequencyOut() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  const view::FrequencyZoom z = view::zoomFrequencyOut(frequencyCentre_, frequencyHalfSpan_, analyser.maxFrequency());
  applyFrequencyZoom(z);
  if (z.atMaximum) editor::enableControl(kFrequencyOut, false);
  updateFrequencyView();
  editor::enableControl(kFrequencyIn, true);
}

void OfflineEditor::zoomTimeIn() {
  const view::TimeWindow w =
      view::zoomTimeIn(view().centre, timeHalfSpan_, minimumTimeSpan(effect_.analyser()), view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void OfflineEditor::zoomTimeOut() {
  const view::TimeWindow w = view::zoomTimeOut(view().centre, timeHalfSpan_, view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void OfflineEditor::zoomInBoth() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  applyFrequencyZoom(view::zoomFrequencyIn(frequencyCentre_, frequencyHalfSpan_, minimumFrequencySpan(analyser)));
  effect_.curve().layout(analyser);
  drawCurrentCurve();
  const view::TimeWindow w =
      view::zoomTimeIn(view().centre, timeHalfSpan_, minimumTimeSpan(analyser), view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void OfflineEditor::zoomOutBoth() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  applyFrequencyZoom(view::zoomFrequencyOut(frequencyCentre_, frequencyHalfSpan_, analyser.maxFrequency()));
  effect_.curve().layout(analyser);
  drawCurrentCurve();
  const view::TimeWindow w = view::zoomTimeOut(view().centre, timeHalfSpan_, view().fileLength);
  applyTimeWindow(w);
  requestRedrawPass();
}

void OfflineEditor::zoomAll() {
  SpectrogramAnalyser& analyser = effect_.analyser();
  editor::enableControl(kFrequencyIn, true);
  if (!movePointsMode_) {
    detect::DetectorEngines& engines = effect_.engines();
    if (algorithm_ == detect::kAlgorithmHum && engines.useSorvanite()) {
      engines.setUseSorvanite(false);
      if (analyser.fftLength() != view().fftLength) {
        effect_.analysisChanged = true;
        needsRedraw_ = true;
      }
    }
    const view::ZoomAllSelection all = view::zoomOutToEverything(view().viewLength);
    view().zoomStart = pinnedSum(view().viewStart, all.selectionStart);
    view().zoomEnd = pinnedSum(view().viewStart, all.selectionEnd);
    if (zoomFrequency_) analyser.setZoom(1.0f);
    if (zoomFrequency_ || zoomTime_) {
      const view::FrequencyCentre c = view::frequencyCentre(analyser.bottomFrequency(), analyser.topFrequency());
      frequencyCentre_ = c.centre;
      frequencyHalfSpan_ = c.halfSpan;
      setFrequencyScrollRange();
      setFrequencyLabels(analyser.bottomFrequency(), analyser.topFrequency());
      needsRedraw_ = true;
    }
  }
  const int kept = algorithm_;
  algorithm_ = kZoomAlgorithm;
  setOperationMode(0, kModeZoom);
  askForNotification();
  algorithm_ = kept;
}
