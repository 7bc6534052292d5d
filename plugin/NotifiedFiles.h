// What an editor does with the host's file list, window or none: taking up
// a newly named file (the plug-in's file table and per-file snapshot steps,
// the curve the next reading pass reads), noting the same file again, and
// starting the reading pass or the pass a mode asks for.
#pragma once

#include <optional>
#include <string>

#include "vst/VstAbi.h"

class OfflineEffect;

namespace notified {

// The file's name, bounded by its field: a host need not end it with a 0.
std::string fileNameOf(const VstAudioFile& file);

// True when the first file of a list is one the plug-in does not hold yet.
// With no file held, any id is new, 0 included (it would otherwise pass for
// the plug-in's empty current id).
bool isNewFile(const OfflineEffect& effect, const VstAudioFile& first);

// Makes the first file the current one: keeps the step count of the file
// being left, looks up the new file's, copies its channel count and marks
// the rate as changed. The next reading pass reads the snapshot at
// undoPosition when the plug-in kept steps for the file (without a position,
// the last step written), otherwise the file's own curve file, which leaves
// the curve flat when there is none. Returns that curve file's path.
std::string takeUpNewFile(OfflineEffect& effect, const VstAudioFile* files, VstInt32 count,
                          std::optional<int> undoPosition);

// The current file named again: the rate counts as unchanged; a changed
// channel count is copied, and the result says whether it changed.
bool noteSameFile(OfflineEffect& effect, const VstAudioFile& first);

// No file left: the plug-in forgets the files, their steps and their
// snapshot files.
void forgetFiles(OfflineEffect& effect);

// The reading pass: it sets the curve up and draws the spectrogram.
void startReadingPass(OfflineEffect& effect, VstAudioFile* files, VstInt32 count);

// The modes that run a detector.
bool isDetectionMode(int mode);

// Starts the pass a detection or selection mode asks for with the flags it
// needs, then leaves the plug-in in the mode that follows it. Any other
// mode starts nothing and gives false.
bool startRequestedPass(OfflineEffect& effect, VstAudioFile* files, VstInt32 count, int mode);

}  // namespace notified
