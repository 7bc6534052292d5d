#include "plugin/NotifiedFiles.h"

#include <algorithm>
#include <cstring>

#include "curve/PvcCurve.h"
#include "curve/SnapshotDirectory.h"
#include "plugin/OfflineEffect.h"

namespace notified {

std::string fileNameOf(const VstAudioFile& file) { return std::string(file.name, strnlen(file.name, sizeof file.name)); }

bool isNewFile(const OfflineEffect& effect, const VstAudioFile& first) {
  return effect.isOtherFile(first.uniqueId) || effect.fileTable().fileIdCapacity() == 0;
}

std::string takeUpNewFile(OfflineEffect& effect, const VstAudioFile* files, VstInt32 count,
                          std::optional<int> undoPosition) {
  const VstAudioFile& first = files[0];
  PvcCurve& curve = effect.curve();
  const bool heldFiles = effect.fileTable().fileIdCapacity() > 0;
  effect.setFileCount(count);
  for (int i = 0; i < count; ++i) effect.setFileId(i, files[i].uniqueId);
  if (heldFiles) {
    const int shown = curve.snapshotCount();
    effect.setStepOfFile(effect.currentFileId, shown < 0 ? 0 : shown);
  } else {
    effect.currentFileId = first.uniqueId;
  }
  effect.rebuildFileSteps();
  effect.currentFileId = first.uniqueId;
  const int step = effect.stepOfFile(first.uniqueId);
  effect.channelCount = first.numChannels;
  curve.channelCount = first.numChannels;

  std::string path;
  if (step != 0) {
    // The step the user was on when leaving the file is the one shown again,
    // so that the next edit and Undo and Redo go on from it.
    const int shown = std::clamp(undoPosition.value_or(step - 1), 0, step - 1);
    path = curve.tempDir() + std::to_string(first.uniqueId) + "~undopvc_" + std::to_string(shown) + ".dwt";
    curve.setSnapshotState(step, shown);
    // The snapshot read is a step already: the reading pass stores no new one.
    effect.undoAfterDraw = false;
  } else {
    path = handoffCurvePath(curve.handoffDir(), fileNameOf(first));
    curve.setSnapshotState(0);
  }
  effect.setCurveFileName(path);
  curve.fileId = first.uniqueId;
  effect.rateChanged = true;
  return path;
}

bool noteSameFile(OfflineEffect& effect, const VstAudioFile& first) {
  effect.rateChanged = false;
  if (first.numChannels == effect.channelCount) return false;
  effect.channelCount = first.numChannels;
  effect.curve().channelCount = first.numChannels;
  return true;
}

void forgetFiles(OfflineEffect& effect) {
  effect.forgetFiles();
  effect.curve().resetSnapshots();
  effect.curve().clearSnapshots();
}

void startReadingPass(OfflineEffect& effect, VstAudioFile* files, VstInt32 count) {
  effect.setOperationMode(kModeRead);
  files[0].flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineNoChannelChange;
  effect.offlineStart(files, count, 0);
  effect.setOperationMode(kModeCorrect);
}

bool isDetectionMode(int mode) {
  return mode == kModeHum || mode == kModePilotTone || mode == kModeNone || mode == kModeSpectral;
}

bool startRequestedPass(OfflineEffect& effect, VstAudioFile* files, VstInt32 count, int mode) {
  if (isDetectionMode(mode)) {
    files[0].flags |= kVstOfflineCanProcessSelection | kVstOfflineWantRead;
    effect.offlineStart(files, count, 0);
    effect.setOperationMode(kModeCorrect);
    return true;
  }
  if (mode == kModeSelection) {
    files[0].flags |= kVstOfflineWantWriteMarker | kVstOfflineWantMoveCursor | kVstOfflineWantSelect;
    effect.offlineStart(files, count, 0);
    effect.setOperationMode(kModeRead);
    return true;
  }
  return false;
}

}  // namespace notified
