// The speed correction: resamples every channel of the source along the
// curve into the host's new file, so that the result plays at constant speed.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "curve/PvcCurve.h"
#include "plugin/BlockReader.h"
#include "plugin/BlockResampler.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

namespace {

// Hands output frames to the host's new file a buffer at a time. The count
// starts at zero whatever the host left in the task, so that no frame lands
// outside the buffer it declared.
class FrameWriter {
 public:
  FrameWriter(OfflineEffect& effect, VstOfflineTask& target, int channels)
      : effect_(effect), target_(target), outputs_(static_cast<float**>(target.outputBuffer)), channels_(channels) {
    target_.writeCount = 0;
  }

  bool usable() const { return outputs_ && target_.sizeOutputBuffer > 0; }

  // One frame of every channel; a full buffer goes to the host at once.
  bool put(const float* const* frames, std::size_t i) {
    for (int c = 0; c < channels_; ++c) outputs_[c][target_.writeCount] = frames[c][i];
    ++target_.writeCount;
    return target_.writeCount < target_.sizeOutputBuffer || flush();
  }
  // The frames still held go to the host; the last block may yield none of
  // its own, so the end of the pass always flushes.
  bool flush() {
    if (target_.writeCount <= 0) return true;
    if (!effect_.offlineWrite(&target_, kVstOfflineAudio)) {
      char text[80];
      std::snprintf(text, sizeof text, "Writing the corrected file failed at frame %.0f.", target_.writePosition);
      effect_.reportPassMessage(target_, text);
      return false;
    }
    target_.writeCount = 0;
    return true;
  }

 private:
  OfflineEffect& effect_;
  VstOfflineTask& target_;
  float** outputs_;
  int channels_;
};

void report(VstOfflineTask& task, const char* text) {
  std::strncpy(task.outputText, text, sizeof task.outputText - 1);
  task.outputText[sizeof task.outputText - 1] = 0;
  task.flags |= kVstOfflinePlugError;
}

}  // namespace

bool runCorrectionPass(OfflineEffect& effect, VstOfflineTask* tasks, VstInt32 count) {
  if (count < 2) return false;
  VstOfflineTask& source = tasks[0];
  VstOfflineTask& target = tasks[1];
  PvcCurve& curve = effect.curve();

  source.readPosition = source.positionToProcessFrom;
  const double length = source.numFramesToProcess;
  std::strcpy(source.progressText, "Copy file");
  target.writePosition = 0;

  const int channels = curve.channelCount;
  const int blockLength = source.sizeInputBuffer;
  auto** inputs = static_cast<float**>(source.inputBuffer);
  // Anything but mono or stereo would come out as an empty file: refuse it
  // rather than report a silent success.
  if (channels != 1 && channels != 2) {
    report(source, "Only mono and stereo files can be corrected.");
    return false;
  }
  if (source.numSourceChannels != channels || blockLength <= 0 || !inputs) {
    report(source, "The file does not match the curve's channel count.");
    return false;
  }
  FrameWriter writer(effect, target, channels);
  if (!writer.usable()) return false;

  std::vector<BlockResampler> resamplers(static_cast<size_t>(channels));
  for (BlockResampler& r : resamplers) r.initialise(8, blockLength);
  std::vector<float> ratios(static_cast<size_t>(blockLength), 0.0f);

  // Beyond its last point the curve has no ratio to give: the last point's
  // ratio holds there, as the first point's holds before it.
  const float lastRatio = curve.pointCount() > 0 ? curve.ratioOf(static_cast<unsigned>(curve.pointCount() - 1)) : 1.0f;
  curve.rewind();
  bool first = true;
  std::int32_t k = 0;
  BlockReader reader(effect, source, false);
  const bool read = reader.eachBlock(length, [&](const VstOfflineTask& block, bool last) {
    target.progress = -1.0;
    const int n = block.readCount;
    for (int i = 0; i < n; ++i) {
      const float r = curve.ratioAtNext(k++);
      ratios[static_cast<size_t>(i)] = r < 0.0f ? lastRatio : r;
    }
    const std::span<const float> blockRatios(ratios.data(), static_cast<size_t>(n));
    const auto input = [&](int c) { return std::span<const float>(inputs[c], static_cast<size_t>(n)); };
    const std::size_t produced = resamplers[0].countOutput(blockRatios, input(0), first, last);
    std::span<const float> frames[2];
    // The channels share their ratios, so one walk serves both.
    if (channels == 2) {
      resamplers[1].countOutputAlong(resamplers[0], blockRatios, input(1), first, last);
      if (!BlockResampler::renderBoth(resamplers[0], resamplers[1], frames[0], frames[1])) return false;
    } else {
      frames[0] = resamplers[0].render();
    }
    first = false;
    const float* channelsOut[2] = {frames[0].data(), frames[1].data()};
    for (std::size_t i = 0; i < produced; ++i)
      if (!writer.put(channelsOut, i)) return false;
    return true;
  });
  return read && writer.flush();
}
