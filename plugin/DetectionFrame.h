// What the detection passes share: the range they read, the counting read,
// the block-by-block run of a detector whose output becomes curve points,
// and the end of a pass that replaced the whole curve.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "plugin/BlockReader.h"
#include "plugin/Passes.h"
#include "vst/VstAbi.h"

class OfflineEffect;

namespace detection {

// Curve points are taken from every 256th detector output.
inline constexpr int kPointSpacing = 256;

// Sets the task up to read the whole file the editor holds.
void useWholeFile(OfflineEffect& effect, VstOfflineTask& task);
// Reads the task's range once without using it; the frames the host really
// delivered go to frames. False when a read fails.
bool countFrames(OfflineEffect& effect, VstOfflineTask& task, std::int32_t& frames);
// The start of the passes that detect over the whole file: the task set up
// for it, its frames counted, and the editor's view as long as they are.
bool countWholeFile(OfflineEffect& effect, VstOfflineTask& task, std::int32_t& frames);
// Lays the analyser out over the frames and empties the curve to flat.
void startOver(OfflineEffect& effect, std::int32_t frames);

// Hides the editor's progress bar when a pass ends, however it ends.
class ProgressBarScope {
 public:
  explicit ProgressBarScope(OfflineEffect& effect) : effect_(effect) {}
  ~ProgressBarScope();
  ProgressBarScope(const ProgressBarScope&) = delete;
  ProgressBarScope& operator=(const ProgressBarScope&) = delete;

 private:
  OfflineEffect& effect_;
};

// Collects mono samples into detector blocks and offers every 256th value of
// each block's output to the curve, at range start + h - delay, where h
// counts the range's frames. Positions not after 0, and positions at or past
// the range's end, are left out.
class PointCollector {
 public:
  PointCollector(OfflineEffect& effect, int blockLength, std::int32_t rangeStart, std::int64_t rangeLength,
                 std::int32_t delay, bool filter);

  // Adds one sample; true when the block has just filled.
  bool add(float sample) {
    input_[static_cast<std::size_t>(filled_++)] = sample;
    return filled_ == blockLength();
  }
  int blockLength() const { return static_cast<int>(input_.size()); }
  float* input() { return input_.data(); }
  float* output() { return output_.data(); }
  // Ends the block: when the detector's output is valid its points go to
  // the curve. Either way the next block follows on.
  void finishBlock(bool outputValid);
  // Makes the rest of the block silence, so it can be run.
  void padBlock();
  // True while the output for some frame of the range is still to come.
  bool outputPending() const { return blockStart_ - delay_ < rangeLength_; }

 private:
  OfflineEffect& effect_;
  std::vector<float> input_;
  std::vector<float> output_;
  int filled_ = 0;
  std::int64_t blockStart_ = 0;
  std::int64_t rangeStart_;
  std::int64_t rangeLength_;
  std::int64_t delay_;
  bool filter_;
};

// The main read of a detection pass: from the range start, every sample is
// drawn (when draw is set) and collected; each full block is run through
// run(input, output), which answers whether the output is valid.
// A detector's output lags its input by its delay, so the range's last
// frames would get no points and the curve would fall back to 1.0 there:
// after the read, the rest of the last block and as many blocks as the
// delay needs are run as silence. False when a read fails.
template <class Run>
bool readIntoDetector(OfflineEffect& effect, VstOfflineTask& task, PointCollector& points, bool draw, Run&& run) {
  task.readPosition = task.positionToProcessFrom;
  BlockReader reader(effect, task, true);
  const bool read = reader.read(task.numFramesToProcess, [&](float sample) {
    if (draw) feedAnalyser(effect, sample);
    if (points.add(sample)) points.finishBlock(run(points.input(), points.output()));
  });
  if (!read) return false;
  while (points.outputPending()) {
    points.padBlock();
    points.finishBlock(run(points.input(), points.output()));
  }
  return true;
}

// Lays the new curve out over (from, to), draws it, marks it ready and
// stores it as one undo step tagged with the algorithm.
void finishDetectedCurve(OfflineEffect& effect, std::int32_t from, std::int32_t to, int algorithm);

}  // namespace detection
