#include "plugin/DetectionFrame.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "plugin/BlockReader.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

namespace detection {

void useWholeFile(OfflineEffect& effect, VstOfflineTask& task) {
  task.readPosition = 0;
  task.positionToProcessFrom = 0;
  task.numFramesToProcess = effect.editorLink().view().fileLength;
  std::strcpy(task.progressText, "Drawing...");
  task.writePosition = 0;
}

bool countFrames(OfflineEffect& effect, VstOfflineTask& task, std::int32_t& frames) {
  BlockReader reader(effect, task, true);
  double total = 0.0;
  const bool ok = reader.count(task.numFramesToProcess, &total);
  frames = framesToPosition(total);
  return ok;
}

bool countWholeFile(OfflineEffect& effect, VstOfflineTask& task, std::int32_t& frames) {
  useWholeFile(effect, task);
  if (!countFrames(effect, task, frames)) return false;
  effect.editorLink().view().viewLength = frames;
  return true;
}

void startOver(OfflineEffect& effect, std::int32_t frames) {
  effect.analyser().prepare(0, frames, frames);
  effect.curve().resetFlat(frames);
}

ProgressBarScope::~ProgressBarScope() { effect_.editorLink().setProgress(-1.0); }

PointCollector::PointCollector(OfflineEffect& effect, int blockLength, std::int32_t rangeStart,
                               std::int64_t rangeLength, std::int32_t delay, bool filter)
    : effect_(effect),
      input_(static_cast<std::size_t>(blockLength)),
      output_(static_cast<std::size_t>(blockLength)),
      rangeStart_(rangeStart),
      rangeLength_(rangeLength),
      delay_(delay),
      filter_(filter) {}

void PointCollector::finishBlock(bool outputValid) {
  if (outputValid) {
    PvcCurve& curve = effect_.curve();
    constexpr std::int64_t kLast = std::numeric_limits<std::int32_t>::max();
    for (int j = 0; j < filled_; j += kPointSpacing) {
      const std::int64_t h = blockStart_ + j;
      if (h - delay_ <= 0) continue;
      if (h - delay_ >= rangeLength_) break;
      const std::int64_t position = rangeStart_ + h - delay_;
      // Beyond any curve's length: the curve would refuse it anyway.
      if (position > kLast) break;
      curve.insertPoint(static_cast<std::int32_t>(position), output_[static_cast<std::size_t>(j)], filter_);
    }
  }
  blockStart_ += filled_;
  filled_ = 0;
}

void PointCollector::padBlock() {
  std::fill(input_.begin() + filled_, input_.end(), 0.0f);
  filled_ = blockLength();
}

void finishDetectedCurve(OfflineEffect& effect, std::int32_t from, std::int32_t to, int algorithm) {
  PvcCurve& curve = effect.curve();
  EditorLink& editor = effect.editorLink();
  const EditorView& view = editor.view();
  curve.setView(view.drawingWidth, view.drawingHeight, from, to);
  curve.layout(effect.analyser());
  editor.drawCurve(curve);
  effect.curveReady = true;
  curve.pushSnapshot();
  if (curve.storeSnapshot() == 1) editor.recordUndoStep(algorithm);
  editor.setProgress(0.0);
}

}  // namespace detection
