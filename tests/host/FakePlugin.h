// A plug-in made in the test: an AEffect whose offline opcodes run whatever
// the test sets, and helpers that call the host the way a plug-in does.
#pragma once

#include <cstring>
#include <functional>

#include "vst/VstAbi.h"

struct FakePlugin {
  AEffect effect{};
  audioMasterCallback host;
  float parameter = 0.0f;

  std::function<VstIntPtr(VstAudioFile*, VstInt32, bool)> onNotify;
  std::function<bool(VstOfflineTask*, VstInt32)> onPrepare;
  std::function<bool(VstOfflineTask*, VstInt32)> onRun;
  int prepares = 0;
  int runs = 0;

  explicit FakePlugin(audioMasterCallback callback) : host(callback) {
    effect.magic = kEffectMagic;
    effect.dispatcher = &FakePlugin::dispatch;
    effect.setParameter = [](AEffect* e, VstInt32, float v) { self(e).parameter = v; };
    effect.getParameter = [](AEffect* e, VstInt32) { return self(e).parameter; };
    effect.numPrograms = 1;
    effect.numParams = 1;
    effect.object = this;
  }
  FakePlugin(const FakePlugin&) = delete;
  FakePlugin& operator=(const FakePlugin&) = delete;

  VstIntPtr call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    return host(&effect, opcode, index, value, ptr, 0.0f);
  }
  bool read(VstOfflineTask* task, VstInt32 option, bool readSource = true) {
    return call(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
  }
  bool write(VstOfflineTask* task, VstInt32 option) { return call(audioMasterOfflineWrite, 0, option, task) != 0; }
  bool start(VstAudioFile* files, VstInt32 count, VstInt32 newFiles) {
    return call(audioMasterOfflineStart, newFiles, count, files) != 0;
  }
  bool queryFiles() { return call(audioMasterOfflineRead, 1, kVstOfflineQueryFiles, nullptr) != 0; }

  static float* channel(const VstOfflineTask& task, bool output, int c) {
    return static_cast<float**>(output ? task.outputBuffer : task.inputBuffer)[c];
  }

 private:
  static FakePlugin& self(AEffect* e) { return *static_cast<FakePlugin*>(e->object); }

  static VstIntPtr VSTCALLBACK dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                        float) {
    FakePlugin& p = self(e);
    auto* tasks = static_cast<VstOfflineTask*>(ptr);
    switch (opcode) {
      case effOfflineNotify:
        return p.onNotify ? p.onNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value), index != 0)
                          : 0;
      case effOfflinePrepare:
        ++p.prepares;
        return p.onPrepare ? p.onPrepare(tasks, static_cast<VstInt32>(value)) : 1;
      case effOfflineRun:
        ++p.runs;
        return p.onRun ? p.onRun(tasks, static_cast<VstInt32>(value)) : 1;
      default:
        return 0;
    }
  }
};
