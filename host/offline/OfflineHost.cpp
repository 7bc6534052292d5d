#include "host/offline/OfflineHost.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace host {

namespace {

constexpr VstIntPtr kHostVstVersion = 2300;
constexpr VstIntPtr kMaxFilesPerProcess = 256;
constexpr VstInt32 kMaxNewFiles = 16;

std::string boundedText(const char* text, std::size_t capacity) {
  return std::string(text, strnlen(text, capacity));
}

// Leaves the running list as it was on every way out of a process.
class RunningEntry {
 public:
  RunningEntry(std::vector<OfflineProcess*>& running, OfflineProcess* process) : running_(running) {
    running_.push_back(process);
  }
  ~RunningEntry() { running_.pop_back(); }
  RunningEntry(const RunningEntry&) = delete;
  RunningEntry& operator=(const RunningEntry&) = delete;

 private:
  std::vector<OfflineProcess*>& running_;
};

}  // namespace

OfflineHost::OfflineHost(HostOptions options) : options_(options) {
  if (options_.blockSize < 1) options_.blockSize = 1;
}

OfflineHost::~OfflineHost() { detach(); }

VstIntPtr VSTCALLBACK OfflineHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float /*opt*/) {
  // The version query comes from the entry point, before attach.
  if (opcode == audioMasterVersion) return kHostVstVersion;
  if (!effect || effect->resvd1 == 0) return 0;
  return reinterpret_cast<OfflineHost*>(effect->resvd1)->handleGuarded(opcode, index, value, ptr);
}

void OfflineHost::attach(AEffect* effect) {
  detach();
  effect_ = effect;
  if (effect_) effect_->resvd1 = reinterpret_cast<VstIntPtr>(this);
}

void OfflineHost::detach() {
  if (effect_ && effect_->resvd1 == reinterpret_cast<VstIntPtr>(this)) effect_->resvd1 = 0;
  effect_ = nullptr;
}

// No exception may cross back into the plug-in: a request that runs out of
// memory is a failed request.
VstIntPtr OfflineHost::handleGuarded(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
  try {
    return handle(opcode, index, value, ptr);
  } catch (const std::bad_alloc&) {
    if (!running_.empty()) running_.back()->noteFailure("the host ran out of memory");
  } catch (const std::exception& e) {
    if (!running_.empty()) running_.back()->noteFailure(std::string("the host failed: ") + e.what());
  }
  return 0;
}

VstIntPtr OfflineHost::handle(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
  switch (opcode) {
    case audioMasterOfflineStart:
      return offlineStart(static_cast<VstAudioFile*>(ptr), value, index);
    case audioMasterOfflineRead:
      return offlineRead(static_cast<VstOfflineTask*>(ptr), value, index != 0);
    case audioMasterOfflineWrite:
      return offlineWrite(static_cast<VstOfflineTask*>(ptr), value);
    default:
      return 0;
  }
}

std::size_t OfflineHost::addFile(AudioData audio, std::string title) {
  return addFile(makeMemoryStore(std::move(audio)), std::move(title));
}

std::size_t OfflineHost::addFile(std::unique_ptr<AudioStore> audio, std::string title) {
  auto file = std::make_unique<HostFile>();
  file->title = std::move(title);
  file->uniqueId = nextId_++;
  file->audio = std::move(audio);
  files_.push_back(std::move(file));
  return files_.size() - 1;
}

void OfflineHost::setCurrentFile(std::size_t i) {
  if (i < files_.size()) current_ = i;
}

bool OfflineHost::removeFile(std::size_t i) {
  if (i >= files_.size()) return false;
  for (const OfflineProcess* process : running_)
    for (int k = 0; k < process->count(); ++k)
      if (process->fileOf(k) == files_[i].get()) return false;
  files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(i));
  if (current_ > i || current_ >= files_.size()) current_ = current_ > 0 ? current_ - 1 : 0;
  return true;
}

VstIntPtr OfflineHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (!effect_ || !effect_->dispatcher) return 0;
  ++depth_;
  VstIntPtr answer = effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
  --depth_;
  if (depth_ == 0) answerQueuedQueries();
  return answer;
}

void OfflineHost::setParameter(VstInt32 index, float value) {
  if (!effect_ || !effect_->setParameter) return;
  ++depth_;
  effect_->setParameter(effect_, index, value);
  --depth_;
  if (depth_ == 0) answerQueuedQueries();
}

float OfflineHost::getParameter(VstInt32 index) {
  if (!effect_ || !effect_->getParameter) return 0.0f;
  ++depth_;
  float value = effect_->getParameter(effect_, index);
  --depth_;
  if (depth_ == 0) answerQueuedQueries();
  return value;
}

std::vector<std::size_t> OfflineHost::notificationOrder() const {
  std::vector<std::size_t> order;
  if (files_.empty()) return order;
  order.push_back(current_);
  for (std::size_t i = 0; i < files_.size(); ++i)
    if (i != current_) order.push_back(i);
  return order;
}

std::vector<VstAudioFile> OfflineHost::fileRecords(const std::vector<std::size_t>& order, VstInt32 flags) const {
  std::vector<VstAudioFile> records(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const HostFile& file = *files_[order[k]];
    VstAudioFile& record = records[k];
    std::memset(static_cast<void*>(&record), 0, sizeof record);
    record.flags = flags | (file.readOnly ? kVstOfflineReadOnly : 0);
    record.hostOwned = const_cast<HostFile*>(&file);
    record.plugOwned = file.plugOwned;
    std::strncpy(record.name, file.title.c_str(), sizeof record.name - 1);
    record.uniqueId = file.uniqueId;
    record.sampleRate = file.audio->sampleRate();
    record.numChannels = file.audio->channelCount();
    record.numFrames = static_cast<double>(file.audio->frames());
    record.editCursorPosition = file.editCursor;
    record.selectionStart = file.hasSelection() ? file.selectionStart : -1.0;
    record.selectionSize = file.hasSelection() ? file.selectionSize : 0.0;
    const int channels = std::min(file.audio->channelCount(), 31);
    record.selectedChannelsMask =
        file.selectionChannel < 0 ? static_cast<VstInt32>((1u << channels) - 1u) : (1 << (file.selectionChannel & 31));
    record.tempo = 120.0;
    record.timeSigNumerator = 4;
    record.timeSigDenominator = 4;
    record.ticksPerBlackNote = 480;
  }
  return records;
}

HostFile* OfflineHost::fileOfRecord(const VstAudioFile& record) const {
  // The record's hostOwned is ours only if it names one of our files.
  for (const auto& file : files_)
    if (record.hostOwned == file.get()) return file.get();
  for (const auto& file : files_)
    if (record.uniqueId == file->uniqueId) return file.get();
  return nullptr;
}

bool OfflineHost::sendNotification(bool start) {
  std::vector<VstAudioFile> records = fileRecords(notificationOrder(), 0);
  ++notificationsSent_;
  VstIntPtr answer = dispatch(effOfflineNotify, start ? 1 : 0, static_cast<VstIntPtr>(records.size()),
                              records.empty() ? nullptr : records.data());
  // What the plug-in attached to a file stays with the file.
  for (const VstAudioFile& record : records)
    if (HostFile* file = fileOfRecord(record)) file->plugOwned = record.plugOwned;
  return answer != 0;
}

bool OfflineHost::notifyFiles() { return sendNotification(false); }

bool OfflineHost::requestStart() { return sendNotification(true); }

void OfflineHost::answerQueuedQueries() {
  if (answeringQueries_) return;
  answeringQueries_ = true;
  // A plug-in that asks again on every answer would keep the host busy for
  // ever; a few rounds are plenty for any sound request.
  for (int round = 0; queryQueued_ && round < options_.maxNotifyRounds; ++round) {
    queryQueued_ = false;
    sendNotification(false);
  }
  queryQueued_ = false;
  answeringQueries_ = false;
}

VstIntPtr OfflineHost::queryFiles() {
  queryQueued_ = true;
  // From outside any host call the answer can come at once.
  if (depth_ == 0) answerQueuedQueries();
  return 1;
}

ProcessOutcome OfflineHost::runProcess(const std::vector<std::size_t>& files, int newFiles, VstInt32 fileFlags) {
  for (std::size_t i : files) {
    if (i >= files_.size()) {
      ProcessOutcome outcome;
      outcome.problem = "no such file";
      processes_.push_back(outcome);
      return outcome;
    }
  }
  std::vector<VstAudioFile> records = fileRecords(files, fileFlags);
  ++depth_;
  offlineStart(records.empty() ? nullptr : records.data(), static_cast<VstIntPtr>(records.size()), newFiles);
  --depth_;
  if (depth_ == 0) answerQueuedQueries();
  return processes_.back();
}

VstIntPtr OfflineHost::offlineStart(VstAudioFile* files, VstIntPtr count, VstInt32 newFiles) {
  ProcessOutcome refused;
  if (count < 0 || count > kMaxFilesPerProcess || newFiles < 0 || newFiles > kMaxNewFiles ||
      (count > 0 && !files) || count + newFiles == 0) {
    refused.problem = "the process request names no usable files";
  } else if (static_cast<int>(running_.size()) >= options_.maxNestedProcesses) {
    refused.problem = "too many processes inside one another";
  }
  std::vector<OfflineProcess::Source> sources;
  for (VstIntPtr i = 0; refused.problem.empty() && i < count; ++i) {
    HostFile* file = fileOfRecord(files[i]);
    if (!file) {
      refused.problem = "the process request names a file the host does not have";
      break;
    }
    file->plugOwned = files[i].plugOwned;
    sources.push_back({file, files[i].flags});
  }
  if (!refused.problem.empty()) {
    processes_.push_back(refused);
    return 0;
  }
  ProcessOutcome outcome = run(sources, newFiles);
  processes_.push_back(outcome);
  return outcome.succeeded ? 1 : 0;
}

ProcessOutcome OfflineHost::run(const std::vector<OfflineProcess::Source>& sources, int newFiles) {
  ProcessSettings settings;
  settings.blockSize = options_.blockSize;
  double longest = 0.0;
  for (const auto& source : sources) longest = std::max(longest, static_cast<double>(source.file->audio->frames()));
  settings.maxFramesToWrite = std::max(kMinWriteLimit, longest * options_.writeLimitFactor);

  settings.scratchFolder = options_.scratchFolder;
  settings.scratchInMemory = options_.scratchInMemory;
  OfflineProcess process(sources, newFiles, settings);
  RunningEntry entry(running_, &process);
  ProcessOutcome outcome;

  if (dispatch(effOfflinePrepare, 0, process.count(), process.tasks()) == 0) {
    outcome.problem = "the plug-in did not accept the process";
    return outcome;
  }
  outcome.prepared = true;
  outcome.processName = boundedText(process.tasks()[0].processName, sizeof process.tasks()[0].processName);
  if (!process.adoptPluginSetUp(outcome.problem)) return outcome;

  const VstIntPtr ran = dispatch(effOfflineRun, 0, process.count(), process.tasks());
  outcome.audioReads = process.audioReads;
  outcome.audioWrites = process.audioWrites;
  // What the plug-in wrote in its tasks' output text, if anything.
  std::string said;
  for (VstInt32 i = 0; i < process.count() && said.empty(); ++i)
    said = boundedText(process.tasks()[i].outputText, sizeof process.tasks()[i].outputText);
  if (ran == 0) {
    // The host's own reason first; the plug-in's words only add to it.
    if (!process.failure().empty())
      outcome.problem = process.failure() + (said.empty() ? "" : " (the plug-in: " + said + ")");
    else
      outcome.problem = said.empty() ? "the plug-in stopped it" : said;
    return outcome;
  }
  if (process.pluginFlaggedError()) {
    outcome.problem = "the plug-in reported an error in its process" + (said.empty() ? "" : ": " + said);
    return outcome;
  }
  outcome.succeeded = true;
  std::vector<std::unique_ptr<AudioStore>> created = process.commit();
  for (std::size_t k = 0; k < created.size(); ++k) {
    std::string title = sources.empty() ? "New file" : sources.front().file->title;
    if (!outcome.processName.empty()) title.append(" (").append(outcome.processName).append(")");
    if (created.size() > 1) title.append(" ").append(std::to_string(k + 1));
    outcome.newFiles.push_back(addFile(std::move(created[k]), std::move(title)));
  }
  return outcome;
}

}  // namespace host
