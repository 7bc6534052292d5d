// What the detection passes share: the range they read, the counting read,
// the block-by-block run of a detector whose output becomes curve points,
// and the end of a pass that replaced the whole curve.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "detect/TonePresence.h"
#include "plugin/BlockReader.h"
#include "plugin/Passes.h"
#include "vst/VstAbi.h"

class OfflineEffect;
namespace detect {
class DetectorEngines;
}  // namespace detect

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
  // True while the output for some frame of the range is still to come and
  // the silence run after the range has not yet reached its bound: as many
  // frames as the range itself, or kLongestFlush for a short range, plus one
  // block. The delay is the engine's own word; one that claims more would
  // keep the pass running on silence for nothing the range can use.
  bool outputPending() const {
    return blockStart_ - delay_ < rangeLength_ &&
           blockStart_ < rangeLength_ + std::max<std::int64_t>(rangeLength_, kLongestFlush) + blockLength();
  }
  // About 47 s at 44.1 kHz: far beyond any real detector's delay.
  static constexpr std::int64_t kLongestFlush = std::int64_t{1} << 21;

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
// frames would get no points: after the read, the rest of the last block
// and as many blocks as the delay needs (within the bound above) are run as
// silence. False when a read fails.
// observe(sample) sees every sample read, for a check beside the detector.
template <class Run, class Observe>
bool readIntoDetector(OfflineEffect& effect, VstOfflineTask& task, PointCollector& points, bool draw, Run&& run,
                      Observe&& observe) {
  task.readPosition = task.positionToProcessFrom;
  BlockReader reader(effect, task, true);
  const bool read = reader.read(task.numFramesToProcess, [&](float sample) {
    observe(sample);
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

// "1234 Hz", for the passes' messages.
std::string hertz(double value);

// Whether the hum engine followed mains hum. An engine that tells how
// sure its tracker was over the stream is taken at its word, after the
// stream has run: below its share of followed moments the curve would be
// worth less than none. Otherwise (an engine that says nothing, or a file
// too short for it to judge) a peak in the engine's band, or at twice or
// three times it, must stand above the noise nearby; an engine that gives
// no usable band is not second-guessed.
class HumCheck {
 public:
  HumCheck(detect::DetectorEngines& engines, double sampleRate);
  void add(float sample);
  // Ends the input and answers.
  bool found();
  std::string why() const;

 private:
  detect::DetectorEngines& engines_;
  bool notFollowed_ = false;
  double followedShare_ = 0.0;
  double low_ = 0.0;
  double high_ = 0.0;
  std::vector<detect::TonePresence> bands_;
};

// Lays the new curve out over (from, to), draws it, marks it ready and
// stores it as one undo step tagged with the algorithm.
void finishDetectedCurve(OfflineEffect& effect, std::int32_t from, std::int32_t to, int algorithm);

// The detector had nothing real to follow: rather than a curve made of
// noise, the curve goes back to flat over the frames and is drawn (no undo
// step), the pass says why, and it fails. Always false.
bool keepFlat(OfflineEffect& effect, VstOfflineTask& task, std::int32_t frames, const std::string& why);

}  // namespace detection
