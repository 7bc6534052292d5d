// The editor as the VST boundary sees it: the operations the dispatcher
// forwards. The plug-in's real editor derives from this.
#pragma once

#include "vst/VstAbi.h"

class AEffEditor {
 public:
  virtual ~AEffEditor() = default;

  // Points *rect at the editor's size; true when it has one.
  virtual bool getRect(ERect** rect) {
    *rect = nullptr;
    return false;
  }
  // ptr is the parent window the host gives.
  virtual bool open(void* parentWindow) {
    systemWindow_ = parentWindow;
    return false;
  }
  virtual void close() { systemWindow_ = nullptr; }
  virtual void idle() {}
  virtual VstIntPtr onKeyDown(VstInt32 /*character*/, VstIntPtr /*virtualKey*/, float /*modifier*/) { return 0; }
  virtual VstIntPtr onKeyUp(VstInt32 /*character*/, VstIntPtr /*virtualKey*/, float /*modifier*/) { return 0; }
  virtual VstIntPtr setKnobMode(VstIntPtr /*mode*/) { return 0; }
  // The plug-in's parameters changed; the editor refreshes on its next idle.
  virtual void postUpdate() { updatePending_ = true; }

  bool updatePending() const { return updatePending_; }

 protected:
  void* systemWindow_ = nullptr;
  bool updatePending_ = false;
};
