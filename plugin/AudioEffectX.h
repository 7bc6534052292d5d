// The VST 2.3 extension of the base class: opcodes 25 to 76, the offline
// operations and the host-callback wrappers the plug-in uses.
#pragma once

#include "plugin/AudioEffect.h"

class AudioEffectX : public AudioEffect {
 public:
  using AudioEffect::AudioEffect;

  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

  virtual bool canParameterBeAutomated(VstInt32 /*index*/) { return true; }
  virtual VstInt32 canDo(const char* /*text*/) { return 0; }
  virtual VstInt32 getVstVersion() { return 2300; }
  virtual bool offlineNotify(VstAudioFile* /*files*/, VstInt32 /*count*/, bool /*start*/) { return false; }
  virtual bool offlinePrepare(VstOfflineTask* /*tasks*/, VstInt32 /*count*/) { return false; }
  virtual bool offlineRun(VstOfflineTask* /*tasks*/, VstInt32 /*count*/) { return false; }
  virtual VstIntPtr setTotalSampleToProcess(VstIntPtr value) { return value; }

  // Host wrappers: each answers false when there is no host callback.
  bool offlineStart(VstAudioFile* files, VstInt32 fileCount, VstInt32 newFileCount);
  bool offlineRead(VstOfflineTask* task, VstOfflineOption option, bool readSource = true);
  bool offlineWrite(VstOfflineTask* task, VstOfflineOption option);
};
