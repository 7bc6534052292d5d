// Reads a task's range from the host block by block and hands on each sample
// as the reading passes use it: channel 0 of a mono file, the mean of the two
// channels of a stereo file, nothing for other channel counts. The task's own
// channel count decides which input buffers exist: a stereo file whose task
// brings one buffer is read as mono.
#pragma once

#include <functional>

#include "vst/VstAbi.h"

class OfflineEffect;

class BlockReader {
 public:
  // showProgress: also show the fraction done in the editor.
  BlockReader(OfflineEffect& effect, VstOfflineTask& task, bool showProgress);

  // Reads frames from the task's readPosition on; perSample gets each mono
  // sample. False when a read fails or the task has no usable input buffer.
  template <class PerSample>
  bool read(double frames, PerSample&& perSample) {
    const int channels = channelCount();
    if (channels < 1) return false;
    return eachBlock(frames, [&](const VstOfflineTask& task, bool /*last*/) {
      auto** inputs = static_cast<float**>(task.inputBuffer);
      const int n = task.readCount;
      if (channels == 1) {
        const float* mono = inputs[0];
        for (int i = 0; i < n; ++i) perSample(mono[i]);
      } else if (channels == 2) {
        const float* left = inputs[0];
        const float* right = inputs[1];
        for (int i = 0; i < n; ++i) perSample((left[i] + right[i]) * 0.5f);
      }
      return true;
    });
  }
  // Reads frames without using them; the count actually delivered goes to *total.
  bool count(double frames, double* total);
  // Reads frames block by block and hands each block to perBlock, with last
  // set for the block after which less than one frame remains. False when a
  // read fails, the host answers an impossible count (both said, with the
  // frame, as the pass's message), or perBlock answers false.
  bool eachBlock(double frames, const std::function<bool(const VstOfflineTask&, bool last)>& perBlock);

 private:
  // The channels read: the file's, but never more than the task brings;
  // 0 when the task brings no input channel at all.
  int channelCount() const;
  // Says what went wrong where (the editor's message area, the task's
  // outputText for the host); always false.
  bool failed(const char* what, double frame);

  OfflineEffect& effect_;
  VstOfflineTask& task_;
  bool showProgress_;
};
