// The host side of the VST 2.3 offline protocol: a file list, the host
// callback, and offline processes run on the plug-in. Everything runs on the
// caller's thread; a process the plug-in starts runs to its end before
// audioMasterOfflineStart returns.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/audio/AudioData.h"
#include "host/offline/HostFile.h"
#include "host/offline/OfflineProcess.h"
#include "vst/VstAbi.h"

namespace host {

struct HostOptions {
  // Frames per read and per write buffer of every task.
  VstInt32 blockSize = 4096;
  // Limit on any file a process writes: this many times the longest file of
  // the process, and never less than kMinWriteLimit frames.
  double writeLimitFactor = 16.0;
  // Repeated file queries answered in one go before the host stops answering.
  int maxNotifyRounds = 16;
  // Processes started from inside a running process.
  int maxNestedProcesses = 4;
  // Where the audio a process writes is kept until it is saved: scratch
  // files in this folder (the system's temporary folder when empty), or
  // memory when scratchInMemory is set.
  std::string scratchFolder;
  bool scratchInMemory = false;
};

constexpr double kMinWriteLimit = 1 << 20;

// A read or write that fails on purpose: the n-th audio read or write of
// each process (counted from 0); -1 for none.
struct FaultPlan {
  int failReadAtBlock = -1;
  int failWriteAtBlock = -1;
};

struct ProgressEvent {
  std::string processName;
  std::string text;
  double fraction = 0.0;  // 0 to 1
};

struct ProcessOutcome {
  bool prepared = false;   // effOfflinePrepare accepted the tasks
  bool succeeded = false;  // effOfflineRun answered true and no task reported an error
  std::string processName;
  std::string problem;     // what went wrong, in words
  int audioReads = 0;
  int audioWrites = 0;
  std::vector<std::size_t> newFiles;  // positions of the committed new files in the file list
};

class OfflineHost {
 public:
  explicit OfflineHost(HostOptions options = {});
  ~OfflineHost();
  OfflineHost(const OfflineHost&) = delete;
  OfflineHost& operator=(const OfflineHost&) = delete;

  // The callback to hand to the plug-in's entry point. It finds its host
  // through the AEffect's resvd1, which attach sets.
  static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);

  void attach(AEffect* effect);
  void detach();
  AEffect* effect() const { return effect_; }

  // The file list. The current file is listed first in every notification.
  std::size_t addFile(AudioData audio, std::string title);
  std::size_t addFile(std::unique_ptr<AudioStore> audio, std::string title);
  std::size_t fileCount() const { return files_.size(); }
  HostFile& file(std::size_t i) { return *files_.at(i); }
  const HostFile& file(std::size_t i) const { return *files_.at(i); }
  void setCurrentFile(std::size_t i);
  // Takes a file out of the list, as a host does when the user closes it.
  // False for a file a running process works on.
  bool removeFile(std::size_t i);
  std::size_t currentFile() const { return current_; }

  // Calls into the plug-in. After the outermost one returns, file queries
  // the plug-in made meanwhile are answered.
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void setParameter(VstInt32 index, float value);
  float getParameter(VstInt32 index);

  // effOfflineNotify with the file list, start false: what the host says
  // whenever its files change or the plug-in asks.
  bool notifyFiles();
  // effOfflineNotify with start true: the user started the plug-in's
  // process from the host's menu.
  bool requestStart();
  // The host starts a process on some of its files, as the plug-in's editor
  // would with audioMasterOfflineStart.
  ProcessOutcome runProcess(const std::vector<std::size_t>& files, int newFiles, VstInt32 fileFlags);

  void setFaults(FaultPlan faults) { faults_ = faults; }
  void setProgressObserver(std::function<void(const ProgressEvent&)> observer) { progress_ = std::move(observer); }

  const std::vector<ProcessOutcome>& processes() const { return processes_; }
  int notificationsSent() const { return notificationsSent_; }

 private:
  VstIntPtr handle(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
  VstIntPtr handleGuarded(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
  VstIntPtr offlineStart(VstAudioFile* files, VstIntPtr count, VstInt32 newFiles);
  VstIntPtr offlineRead(VstOfflineTask* task, VstIntPtr option, bool readSource);
  VstIntPtr offlineWrite(VstOfflineTask* task, VstIntPtr option);
  VstIntPtr queryFiles();

  ProcessOutcome run(const std::vector<OfflineProcess::Source>& sources, int newFiles);
  bool sendNotification(bool start);
  void answerQueuedQueries();
  std::vector<VstAudioFile> fileRecords(const std::vector<std::size_t>& order, VstInt32 flags) const;
  std::vector<std::size_t> notificationOrder() const;
  HostFile* fileOfRecord(const VstAudioFile& record) const;
  // The process and task index of a task record; null when the record is unknown.
  OfflineProcess* processOf(const VstOfflineTask* task, int& index) const;
  void reportProgress(OfflineProcess& process);

  HostOptions options_;
  AEffect* effect_ = nullptr;
  std::vector<std::unique_ptr<HostFile>> files_;
  std::size_t current_ = 0;
  VstInt32 nextId_ = 1;
  std::vector<OfflineProcess*> running_;
  std::vector<ProcessOutcome> processes_;
  FaultPlan faults_;
  std::function<void(const ProgressEvent&)> progress_;
  int depth_ = 0;
  bool queryQueued_ = false;
  bool answeringQueries_ = false;
  int notificationsSent_ = 0;
};

}  // namespace host
