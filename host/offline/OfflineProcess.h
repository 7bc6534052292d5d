// One offline process: the task records the plug-in works on, the host's
// buffers they point to, the file behind each task, and what the plug-in
// wrote. Writes land in copies and reach the files only when the process
// succeeds, so a failed process leaves every file as it was.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <memory>

#include "host/audio/AudioStore.h"
#include "host/offline/HostFile.h"
#include "vst/VstAbi.h"

namespace host {

struct ProcessSettings {
  VstInt32 blockSize = 4096;
  // No file of the process may grow beyond this many frames.
  double maxFramesToWrite = 1 << 20;
  // Where written audio is kept: see HostOptions.
  std::string scratchFolder;
  bool scratchInMemory = false;
};

class OfflineProcess {
 public:
  struct Source {
    HostFile* file;
    VstInt32 flags;  // the VstAudioFile flags of the request
  };

  OfflineProcess(const std::vector<Source>& sources, int newFiles, const ProcessSettings& settings);
  OfflineProcess(const OfflineProcess&) = delete;
  OfflineProcess& operator=(const OfflineProcess&) = delete;

  VstOfflineTask* tasks() { return tasks_.data(); }
  VstInt32 count() const { return static_cast<VstInt32>(tasks_.size()); }
  // The index of a task record of this process, -1 for any other pointer.
  int indexOf(const VstOfflineTask* task) const;
  // The existing file of task i; null for a new file.
  HostFile* fileOf(int i) const { return bindings_[static_cast<std::size_t>(i)].file; }

  // After effOfflinePrepare: takes the format the plug-in chose for its new
  // files and points the records at the host's buffers again. False with a
  // reason when the chosen format is unusable.
  bool adoptPluginSetUp(std::string& problem);

  // kVstOfflineAudio for task i. False for counts outside the buffers,
  // positions that are not frame positions, or growth beyond the limit.
  bool readAudio(int i, bool readSource);
  bool writeAudio(int i);

  // The plug-in marked a task as failed.
  bool pluginFlaggedError() const;
  // Moves the changed copies into their files and hands out the new files.
  std::vector<std::unique_ptr<AudioStore>> commit();

  // Why the host refused or failed a read or write of this process; the
  // first reason is kept.
  void noteFailure(std::string reason);
  const std::string& failure() const { return failure_; }

  int audioReads = 0;
  int audioWrites = 0;

 private:
  struct Binding {
    HostFile* file = nullptr;
    std::vector<std::vector<float>> input;
    std::vector<std::vector<float>> output;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
    std::unique_ptr<AudioStore> written;  // the new file, or the changed copy of an existing one
    bool changed = false;  // an existing file was written to
    int newChannels = 1;   // the shape of a new file
    double newRate = 44100.0;
  };

  void allocate(Binding& binding, int inputChannels, int outputChannels);
  void pin(std::size_t i);
  AudioStore* readable(const Binding& binding, bool readSource) const;
  std::unique_ptr<AudioStore> newStore(int channels, double rate);
  bool refuse(std::string reason);

  ProcessSettings settings_;
  std::vector<VstOfflineTask> tasks_;
  std::vector<Binding> bindings_;
  std::string failure_;
  std::vector<std::vector<float>> spare_;  // channels a store has beyond the task's buffers
};

}  // namespace host
