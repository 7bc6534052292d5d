// The spectral-domain detection pass: the range and band the user marked
// are analysed by the spectral detector, whose results replace the curve
// points inside the range. The spectrogram is not redrawn; the detector's
// tracks are drawn over it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/BlockReader.h"
#include "plugin/DetectionFrame.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

namespace {

constexpr int kBlock = detect::SpectralPvcDetector::kMaxLength;

}  // namespace

bool runSpectralPass(OfflineEffect& effect, VstOfflineTask& task) {
  detect::SpectralPvcDetector* detector = effect.engines().spectralEngine();
  if (!detector) return false;

  EditorLink& editor = effect.editorLink();
  EditorView& view = editor.view();
  // A marked range reaching outside the file is read only where the file is.
  const std::int32_t start = std::clamp(view.analysisStart, 0, std::max(view.fileLength, 0));
  const std::int32_t end = std::clamp(view.analysisEnd, start, std::max(view.fileLength, start));
  task.readPosition = start;
  task.positionToProcessFrom = start;
  task.numFramesToProcess = end - start;
  std::strcpy(task.progressText, "Drawing...");
  task.writePosition = 0;

  // The pass shows its progress; it is hidden again however the pass ends.
  detection::ProgressBarScope progressBar(effect);
  std::int32_t frames = 0;
  if (!detection::countFrames(effect, task, frames)) return false;
  PvcCurve& curve = effect.curve();
  curve.resetFlat(view.fileLength);
  detector->beginRun(framesToPosition(task.sourceSampleRate), view.analysisLow, view.analysisHigh, frames);

  // The detector takes any count, so the last partial block is analysed too:
  // the frames at the end of the range would otherwise have no result.
  std::vector<float> block(kBlock);
  int filled = 0;
  auto run = [&] {
    const float* const inputs[1] = {block.data()};
    detector->process(filled, 1, inputs, nullptr);
    filled = 0;
  };
  task.readPosition = task.positionToProcessFrom;
  BlockReader reader(effect, task, true);
  const bool read = reader.read(task.numFramesToProcess, [&](float sample) {
    block[static_cast<std::size_t>(filled++)] = sample;
    if (filled == kBlock) run();
  });
  if (!read) return false;
  if (filled > 0) run();

  detector->collectTracks();
  detector->buildCurve();
  curve.deleteRange(start, start + frames);
  curve.insertPoint(start, 1.0f, false);
  for (int i = 0; i < detector->pointCount(); ++i) {
    const std::int64_t position = std::int64_t{start} + detector->position(i);
    if (position > view.fileLength) break;
    curve.insertPoint(static_cast<std::int32_t>(position), detector->value(i), false);
  }

  curve.setView(view.drawingWidth, view.drawingHeight, 0, view.fileLength);
  curve.layout(effect.analyser());
  editor.drawDetectorOverlay(*detector);
  view.toolId = 2;
  task.positionToProcessFrom = 0;
  task.readPosition = 0;
  task.writePosition = 0;
  return true;
}
