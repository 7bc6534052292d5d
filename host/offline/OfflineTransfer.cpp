// What the host does on the plug-in's offline reads and writes: audio in and
// out of the task buffers, and the edit cursor and selection of the task's file.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "host/offline/OfflineHost.h"

namespace host {

namespace {

bool isFramePosition(double value) { return std::isfinite(value) && value >= 0.0; }

double clampToFile(double position, const HostFile& file) {
  return std::min(std::floor(position), static_cast<double>(file.audio->frames()));
}

}  // namespace

OfflineProcess* OfflineHost::processOf(const VstOfflineTask* task, int& index) const {
  if (!task) return nullptr;
  for (auto it = running_.rbegin(); it != running_.rend(); ++it) {
    index = (*it)->indexOf(task);
    if (index >= 0) return *it;
  }
  return nullptr;
}

void OfflineHost::reportProgress(OfflineProcess& process) {
  if (!progress_) return;
  const VstOfflineTask& first = process.tasks()[0];
  if (!std::isfinite(first.progress) || first.progress < 0.0) return;
  ProgressEvent event;
  event.processName.assign(first.processName, strnlen(first.processName, sizeof first.processName));
  event.text.assign(first.progressText, strnlen(first.progressText, sizeof first.progressText));
  event.fraction = std::min(first.progress, 1.0);
  progress_(event);
}

VstIntPtr OfflineHost::offlineRead(VstOfflineTask* task, VstIntPtr option, bool readSource) {
  if (option == kVstOfflineQueryFiles) return queryFiles();
  int i = -1;
  OfflineProcess* process = processOf(task, i);
  if (!process) return 0;
  switch (option) {
    case kVstOfflineAudio: {
      const int block = process->audioReads++;
      if (block == faults_.failReadAtBlock) {
        process->noteFailure("read " + std::to_string(block) + " failed on purpose");
        return 0;
      }
      if (!process->readAudio(i, readSource)) return 0;
      reportProgress(*process);
      return 1;
    }
    case kVstOfflineCursor: {
      const HostFile* file = process->fileOf(i);
      if (!file || file->editCursor < 0.0) return 0;
      task->positionToProcessFrom = file->editCursor;
      return 1;
    }
    case kVstOfflineSelection: {
      const HostFile* file = process->fileOf(i);
      if (!file) return 0;
      // No selection reads as an empty one at the cursor.
      if (file->hasSelection()) {
        task->positionToProcessFrom = file->selectionStart;
        task->numFramesToProcess = file->selectionSize;
      } else {
        task->positionToProcessFrom = std::max(file->editCursor, 0.0);
        task->numFramesToProcess = 0.0;
      }
      task->index = file->selectionChannel;
      return 1;
    }
    default:
      return 0;  // peaks, parameters and markers are not kept
  }
}

VstIntPtr OfflineHost::offlineWrite(VstOfflineTask* task, VstIntPtr option) {
  int i = -1;
  OfflineProcess* process = processOf(task, i);
  if (!process) return 0;
  switch (option) {
    case kVstOfflineAudio: {
      const int block = process->audioWrites++;
      if (block == faults_.failWriteAtBlock) {
        process->noteFailure("write " + std::to_string(block) + " failed on purpose");
        return 0;
      }
      if (!process->writeAudio(i)) return 0;
      reportProgress(*process);
      return 1;
    }
    case kVstOfflineCursor: {
      HostFile* file = process->fileOf(i);
      if (!file || !isFramePosition(task->positionToProcessFrom)) return 0;
      file->editCursor = clampToFile(task->positionToProcessFrom, *file);
      return 1;
    }
    case kVstOfflineSelection: {
      HostFile* file = process->fileOf(i);
      if (!file || !isFramePosition(task->positionToProcessFrom) || !isFramePosition(task->numFramesToProcess))
        return 0;
      if (task->index < -1 || task->index >= file->audio->channelCount()) return 0;
      // A selection reaching past the end ends at the end.
      const double start = clampToFile(task->positionToProcessFrom, *file);
      const double end = clampToFile(start + std::floor(task->numFramesToProcess), *file);
      file->selectionStart = start;
      file->selectionSize = end - start;
      file->selectionChannel = task->index;
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace host
