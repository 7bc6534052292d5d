#include "host/offline/DeferredRequests.h"

#include <algorithm>

namespace host {

namespace {

// More parameters than any plug-in of ours has; a bound for a record that
// claims millions.
constexpr VstInt32 kMaxParameters = 256;
constexpr VstIntPtr kMaxFilesPerRequest = 256;

}  // namespace

DeferredRequests::DeferredRequests(OfflineHost& host) : host_(host) {}

DeferredRequests::~DeferredRequests() { detach(); }

VstIntPtr VSTCALLBACK DeferredRequests::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                 void* ptr, float opt) {
  if (effect && effect->user) {
    auto* self = static_cast<DeferredRequests*>(effect->user);
    if (self->host_.effect() == effect) return self->handle(opcode, index, value, ptr, opt);
  }
  return OfflineHost::callback(effect, opcode, index, value, ptr, opt);
}

void DeferredRequests::attach() {
  if (AEffect* effect = host_.effect()) effect->user = this;
}

void DeferredRequests::detach() {
  AEffect* effect = host_.effect();
  if (effect && effect->user == this) effect->user = nullptr;
  queue_.clear();
}

VstIntPtr DeferredRequests::handle(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (opcode == audioMasterOfflineStart) return queueStart(static_cast<VstAudioFile*>(ptr), value, index);
  if (opcode == audioMasterOfflineRead && ptr == nullptr && value == kVstOfflineQueryFiles) return queueQuery();
  return OfflineHost::callback(host_.effect(), opcode, index, value, ptr, opt);
}

void DeferredRequests::push(Request request) {
  const bool wasEmpty = queue_.empty();
  queue_.push_back(std::move(request));
  if (wasEmpty && wake_) wake_();
}

VstIntPtr DeferredRequests::queueQuery() {
  // One answer serves every query made before it.
  if (!queue_.empty() && queue_.back().isQuery) return 1;
  if (queue_.size() >= kMaxQueued) return 0;
  push(Request{});
  return 1;
}

std::optional<std::size_t> DeferredRequests::indexOfId(VstInt32 id) const {
  for (std::size_t i = 0; i < host_.fileCount(); ++i)
    if (host_.file(i).uniqueId == id) return i;
  return std::nullopt;
}

VstIntPtr DeferredRequests::queueStart(VstAudioFile* files, VstIntPtr count, VstInt32 newFiles) {
  if (count < 0 || count > kMaxFilesPerRequest || (count > 0 && !files) || newFiles < 0 || count + newFiles == 0)
    return 0;
  if (queue_.size() >= kMaxQueued) return 0;
  Request request;
  request.isQuery = false;
  request.newFiles = newFiles;
  // The flags a plug-in sets on the first file describe the request.
  request.flags = count > 0 ? files[0].flags : 0;
  for (VstIntPtr i = 0; i < count; ++i) {
    const std::optional<std::size_t> index = indexOfId(files[i].uniqueId);
    if (!index) return 0;
    // What the plug-in attaches to a file travels with the file.
    host_.file(*index).plugOwned = files[i].plugOwned;
    request.fileIds.push_back(files[i].uniqueId);
  }
  const AEffect* effect = host_.effect();
  const VstInt32 parameters = std::clamp(effect->numParams, 0, kMaxParameters);
  for (VstInt32 p = 0; p < parameters; ++p) request.parameters.push_back(host_.getParameter(p));
  push(std::move(request));
  return 1;
}

bool DeferredRequests::runNext() {
  if (queue_.empty()) return false;
  Request request = std::move(queue_.front());
  queue_.pop_front();
  if (!request.isQuery) {
    runProcess(request);
    return true;
  }
  if (unpromptedAnswers_ >= kMaxUnpromptedAnswers) {
    ++queriesDropped_;
    return true;
  }
  ++unpromptedAnswers_;
  ++queriesAnswered_;
  host_.notifyFiles();
  return true;
}

void DeferredRequests::runProcess(const Request& request) {
  std::vector<std::size_t> files;
  for (VstInt32 id : request.fileIds) {
    const std::optional<std::size_t> index = indexOfId(id);
    if (!index) {
      ProcessOutcome gone;
      gone.problem = "a file of the process was closed before it ran";
      if (observer_) observer_(gone);
      return;
    }
    files.push_back(*index);
  }
  std::vector<float> saved;
  for (std::size_t p = 0; p < request.parameters.size(); ++p) {
    const auto index = static_cast<VstInt32>(p);
    saved.push_back(host_.getParameter(index));
    host_.setParameter(index, request.parameters[p]);
  }
  const ProcessOutcome outcome = host_.runProcess(files, request.newFiles, request.flags);
  ++processesRun_;
  // Back to what the plug-in holds now, unless the process itself changed it.
  for (std::size_t p = 0; p < saved.size(); ++p) {
    const auto index = static_cast<VstInt32>(p);
    if (host_.getParameter(index) == request.parameters[p]) host_.setParameter(index, saved[p]);
  }
  if (observer_) observer_(outcome);
}

}  // namespace host
