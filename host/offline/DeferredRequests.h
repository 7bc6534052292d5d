// The plug-in's requests to a host with a message loop: file queries and the
// offline processes it starts are queued and carried out from the loop,
// never inside the plug-in's own call. An editor asks for a notification and
// then goes on changing its state (a redraw mark, the operation mode),
// counting on the answer to come afterwards; and a process run inside a
// window procedure of the plug-in would re-enter it.
//
// A queued process runs with the parameters in force when the plug-in
// started it: an editor may set a parameter (Pelmora's operation mode), start
// a process and put the parameter back at once.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "host/offline/OfflineHost.h"
#include "vst/VstAbi.h"

namespace host {

class DeferredRequests {
 public:
  // The host must outlive this object.
  explicit DeferredRequests(OfflineHost& host);
  ~DeferredRequests();
  DeferredRequests(const DeferredRequests&) = delete;
  DeferredRequests& operator=(const DeferredRequests&) = delete;

  // The callback to load the plug-in with. It finds this object through the
  // AEffect's user field and hands every other request to OfflineHost.
  static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);

  // After host.attach. Requests before attach go straight to the host.
  void attach();
  void detach();

  // Called once whenever the queue goes from empty to holding a request:
  // the window posts itself a message and calls runNext from its loop.
  void setWake(std::function<void()> wake) { wake_ = std::move(wake); }
  // Called after each process the queue ran, with its outcome.
  void setProcessObserver(std::function<void(const ProcessOutcome&)> observer) { observer_ = std::move(observer); }

  bool pending() const { return !queue_.empty(); }
  // Carries out the oldest request. False when there was none.
  bool runNext();

  // A person did something: queries are answered again. A plug-in that asks
  // for the file list on every answer would otherwise keep the host busy.
  void userActed() { unpromptedAnswers_ = 0; }

  int processesRun() const { return processesRun_; }
  int queriesAnswered() const { return queriesAnswered_; }
  // Queries dropped because the plug-in kept asking with nobody acting.
  int queriesDropped() const { return queriesDropped_; }

  static constexpr int kMaxUnpromptedAnswers = 16;
  static constexpr std::size_t kMaxQueued = 64;

 private:
  struct Request {
    bool isQuery = true;
    std::vector<VstInt32> fileIds;  // by id: the list may change before the process runs
    VstInt32 flags = 0;
    VstInt32 newFiles = 0;
    std::vector<float> parameters;
  };

  VstIntPtr handle(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr queueStart(VstAudioFile* files, VstIntPtr count, VstInt32 newFiles);
  VstIntPtr queueQuery();
  void push(Request request);
  void runProcess(const Request& request);
  std::optional<std::size_t> indexOfId(VstInt32 id) const;

  OfflineHost& host_;
  std::deque<Request> queue_;
  std::function<void()> wake_;
  std::function<void(const ProcessOutcome&)> observer_;
  int unpromptedAnswers_ = 0;
  int processesRun_ = 0;
  int queriesAnswered_ = 0;
  int queriesDropped_ = 0;
};

}  // namespace host
