#include "plugin/BlockReader.h"

#include <cstdio>
#include <string>

#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"

BlockReader::BlockReader(OfflineEffect& effect, VstOfflineTask& task, bool showProgress)
    : effect_(effect), task_(task), showProgress_(showProgress) {}

bool BlockReader::eachBlock(double frames, const std::function<bool(const VstOfflineTask&, bool last)>& perBlock) {
  // A host that offers no buffer would make the loop read nothing forever.
  if (task_.sizeInputBuffer <= 0 || !task_.inputBuffer) return false;
  double remaining = frames;
  while (remaining >= 1.0) {
    double fraction = task_.numFramesToProcess > 0.0 ? 1.0 - remaining / task_.numFramesToProcess : 0.0;
    task_.progress = fraction;
    if (showProgress_) effect_.editorLink().setProgress(fraction);
    task_.readCount =
        remaining < task_.sizeInputBuffer ? static_cast<VstInt32>(remaining) : task_.sizeInputBuffer;
    const double at = task_.readPosition;
    if (!effect_.offlineRead(&task_, kVstOfflineAudio, true)) return failed("Reading the file failed at frame ", at);
    // Never trust a count beyond the buffer the host declared.
    if (task_.readCount <= 0 || task_.readCount > task_.sizeInputBuffer)
      return failed("The host delivered an impossible number of frames at frame ", at);
    remaining -= task_.readCount;
    if (!perBlock(task_, remaining < 1.0)) return false;
  }
  return true;
}

bool BlockReader::failed(const char* what, double frame) {
  char number[32];
  std::snprintf(number, sizeof number, "%.0f", frame);
  effect_.reportPassMessage(task_, std::string(what) + number + ".");
  return false;
}

int BlockReader::channelCount() const {
  if (task_.numSourceChannels < 1) return 0;
  return task_.numSourceChannels < effect_.channelCount ? task_.numSourceChannels : effect_.channelCount;
}

bool BlockReader::count(double frames, double* total) {
  *total = 0.0;
  return eachBlock(frames, [&](const VstOfflineTask& task, bool /*last*/) {
    *total += task.readCount;
    return true;
  });
}
