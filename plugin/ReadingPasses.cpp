// The passes that read the host's audio to draw it: the reading pass over the
// whole file, the zoom pass over the editor's chosen range, and the pass that
// sets the host's selection.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "plugin/BlockReader.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

std::int32_t framesToPosition(double frames) {
  if (!(frames > 0.0)) return 0;
  if (frames >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(frames);
}

void feedAnalyser(OfflineEffect& effect, float sample) {
  SpectrogramAnalyser& analyser = effect.analyser();
  while (analyser.feed(sample)) effect.editorLink().drawSpectrogramColumn(analyser.lastColumn(), analyser);
}

void setUpCurve(OfflineEffect& effect, std::int32_t length, std::int32_t from, std::int32_t to, bool fromZoom) {
  PvcCurve& curve = effect.curve();
  const EditorView& view = effect.editorLink().view();
  if (!effect.curveReady) {
    if (!curve.readFile(effect.curveFileName(), false)) curve.resetFlat(length);
    if (!fromZoom || !effect.undoAfterZoom) curve.setLength(length);
    curve.setView(view.drawingWidth, view.drawingHeight, from, to);
    curve.layout(effect.analyser());
    effect.editorLink().drawCurve(curve);
    effect.curveReady = true;
    if (fromZoom) {
      // An imported curve is an undo step once its snapshot is written.
      if (effect.undoAfterZoom) {
        if (curve.pushSnapshot()) {
          effect.editorLink().recordUndoStep(kImportedCurveTag);
        } else {
          effect.editorLink().showMessage(kSnapshotNotStored);
        }
        effect.undoAfterZoom = false;
      }
    } else if (effect.undoAfterDraw) {
      if (!curve.pushSnapshot()) effect.editorLink().showMessage(kSnapshotNotStored);
    } else {
      effect.undoAfterDraw = true;
    }
    return;
  }
  curve.setView(view.drawingWidth, view.drawingHeight, from, to);
  curve.layout(effect.analyser());
  effect.editorLink().drawCurve(curve);
}

bool runReadingPass(OfflineEffect& effect, VstOfflineTask& task) {
  SpectrogramAnalyser& analyser = effect.analyser();
  EditorLink& editor = effect.editorLink();
  std::strcpy(task.progressText, "Drawing...");
  analyser.setSampleRate(framesToPosition(task.sourceSampleRate));
  analyser.setZoom(1.0f);

  task.readPosition = 0;
  task.writePosition = 0;
  task.positionToProcessFrom = 0;
  task.numFramesToProcess = task.numFramesInSourceFile;
  const std::int32_t n = framesToPosition(task.numFramesToProcess);

  EditorView& view = editor.view();
  view.viewStart = 0;
  view.viewLength = n;
  view.zoomStart = 0;
  view.zoomEnd = n;
  view.centre = n / 2;
  view.fileLength = n;
  editor.updateAxes(analyser);
  analyser.prepare(0, n, n);

  BlockReader reader(effect, task, false);
  if (!reader.read(task.numFramesToProcess, [&](float sample) { feedAnalyser(effect, sample); })) return false;

  setUpCurve(effect, n, 0, n, false);
  return true;
}

bool runZoomPass(OfflineEffect& effect, VstOfflineTask& task) {
  SpectrogramAnalyser& analyser = effect.analyser();
  EditorLink& editor = effect.editorLink();
  EditorView& view = editor.view();
  const double fileFrames = task.numFramesInSourceFile;

  double s = 0.0;
  double e = 0.0;
  if (effect.offlineRead(&task, kVstOfflineCursor, true)) {
    s = view.zoomStart;
    e = view.zoomEnd;
    if (e <= s) {
      s = 0.0;
      e = fileFrames;
      view.zoomStart = 0;
      view.zoomEnd = framesToPosition(e);
      view.centre = view.zoomEnd / 2;
      view.viewStart = 0;
      view.viewLength = view.zoomEnd;
    }
    task.readPosition = s;
    task.writePosition = s >= fileFrames ? 0.0 : s;
    task.positionToProcessFrom = s;
    task.index = -1;
    effect.offlineWrite(&task, kVstOfflineCursor);
  }
  if (effect.offlineRead(&task, kVstOfflineSelection, true)) {
    task.positionToProcessFrom = s;
    task.numFramesToProcess = e - s;
    task.index = -1;
    effect.offlineWrite(&task, kVstOfflineSelection);
  }

  std::strcpy(task.progressText, "Drawing...");
  if (effect.rateChanged) {
    analyser.setSampleRate(framesToPosition(task.sourceSampleRate));
    analyser.setZoom(1.0f);
  }
  if (effect.analysisChanged) {
    const float low = analyser.bottomFrequency();
    const float high = analyser.topFrequency();
    analyser.freeColumns();
    analyser.setFftLength(view.fftLength);
    analyser.setWindow(view.window);
    analyser.allocateColumns();
    analyser.setFrequencyRange(low, high);
    editor.updateAxes(analyser);
    effect.analysisChanged = false;
  }

  const std::int32_t from = framesToPosition(s);
  const std::int32_t length = framesToPosition(e - s);
  view.viewStart = from;
  view.viewLength = length;
  const bool showsSpectrogram = editor.displayState() >= 2;
  if (showsSpectrogram) {
    analyser.prepare(0, length, length);
    editor.updateAxes(analyser);
  }

  task.readPosition = task.positionToProcessFrom;
  BlockReader reader(effect, task, false);
  if (!reader.read(task.numFramesToProcess, [&](float sample) { feedAnalyser(effect, sample); })) return false;

  if (showsSpectrogram) setUpCurve(effect, length, from, framesToPosition(e), true);
  return true;
}

bool runSelectionPass(OfflineEffect& effect, VstOfflineTask& task) {
  if (!effect.offlineRead(&task, kVstOfflineSelection, true)) return true;
  const EditorView& view = effect.editorLink().view();
  task.positionToProcessFrom = view.markStart;
  task.numFramesToProcess = view.markEnd - view.markStart;
  if (task.positionToProcessFrom + task.numFramesToProcess >= task.numFramesInSourceFile)
    task.positionToProcessFrom = 0;
  task.index = -1;
  effect.offlineWrite(&task, kVstOfflineSelection);
  return true;
}
