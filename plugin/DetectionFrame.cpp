#include "plugin/DetectionFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "detect/ProcessingLibrary.h"
#include "plugin/BlockReader.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

namespace {

// Engine parameters that place the hum, in display units.
constexpr int kHumBandLow = 3;
constexpr int kHumBandHigh = 4;

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

}  // namespace

namespace detection {

std::string hertz(double value) { return number(value) + " Hz"; }

HumCheck::HumCheck(detect::DetectorEngines& engines, double sampleRate) : engines_(engines) {
  double low = engines.engineDisplayValue(kHumBandLow);
  double high = engines.engineDisplayValue(kHumBandHigh);
  if (low > high) std::swap(low, high);
  // An engine that does not say where its hum lies cannot be checked.
  if (!(low > 0.0) || !(high > low) || !(sampleRate > 0.0)) return;
  low_ = low;
  high_ = high;
  // The fundamental or either of the next two harmonics, each against the
  // noise of the octave around it.
  for (int k = 1; k <= 3; ++k) {
    const detect::TonePresence::Band tone{k * low, k * high};
    const detect::TonePresence::Band reference{k * low / 2.0, k * high * 2.0};
    bands_.emplace_back(sampleRate, tone, reference);
  }
}

void HumCheck::add(float sample) {
  for (detect::TonePresence& band : bands_) band.add(sample);
}

bool HumCheck::found() {
  const float verdict = engines_.engineDisplayValue(kHumVerdictIndex);
  if (verdict == kHumFollowed) return true;
  if (verdict == kHumNotFollowed) {
    notFollowed_ = true;
    followedShare_ = engines_.engineDisplayValue(kHumFollowedShareIndex);
    return false;
  }
  if (bands_.empty()) return true;
  bool any = false;
  for (detect::TonePresence& band : bands_) {
    band.finish();
    any = any || band.present();
  }
  return any;
}

std::string HumCheck::why() const {
  if (notFollowed_)
    return "The mains hum could not be followed: the tracker was sure of it over only " + number(followedShare_) +
           " % of the file, and a curve from the rest would be worse than none (music or noise in its bands "
           "covers it). The curve stays flat.";
  return "No mains hum found: nothing between " + number(low_) + " and " +
         hertz(high_) + " (nor at twice or three times that) stands 20 dB above its noise. The curve stays flat.";
}

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
  if (curve.pushSnapshot() && curve.storeSnapshot() == 1) {
    editor.recordUndoStep(algorithm);
  } else {
    editor.showMessage(kSnapshotNotStored);
  }
  editor.setProgress(0.0);
}

bool keepFlat(OfflineEffect& effect, VstOfflineTask& task, std::int32_t frames, const std::string& why) {
  PvcCurve& curve = effect.curve();
  EditorLink& editor = effect.editorLink();
  const EditorView& view = editor.view();
  curve.resetFlat(frames);
  curve.setView(view.drawingWidth, view.drawingHeight, 0, frames);
  curve.layout(effect.analyser());
  editor.drawCurve(curve);
  effect.curveReady = true;
  effect.reportPassMessage(task, why);
  return false;
}

}  // namespace detection
