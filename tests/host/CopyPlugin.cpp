// A small offline plug-in for testing the host program: it speaks the same
// offline protocol as Pelmora (mode 1 reads the file, a start request runs
// mode 2 into one new file) and its "correction" halves every sample.
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "tests/host/CopyPluginEntry.h"

namespace {

constexpr float kGain = 0.5f;

struct CopyPlugin {
  AEffect effect{};
  audioMasterCallback host;
  float mode = 1.0f;
  bool fileRead = false;

  explicit CopyPlugin(audioMasterCallback callback) : host(callback) {
    effect.magic = kEffectMagic;
    effect.dispatcher = &dispatch;
    effect.setParameter = [](AEffect* e, VstInt32, float v) { self(e).mode = v; };
    effect.getParameter = [](AEffect* e, VstInt32 index) { return index == 0 ? self(e).mode : 0.0f; };
    effect.numPrograms = 1;
    effect.numParams = 1;
    effect.numInputs = 1;
    effect.numOutputs = 2;
    effect.ioRatio = 1.0f;
    effect.object = this;
    effect.uniqueID = vstFourCC('C', 'o', 'p', 'y');
    effect.version = 7;
  }

  static CopyPlugin& self(AEffect* e) { return *static_cast<CopyPlugin*>(e->object); }

  VstIntPtr call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    return host(&effect, opcode, index, value, ptr, 0.0f);
  }

  bool readBlock(VstOfflineTask& task, double remaining) {
    task.readCount = remaining < task.sizeInputBuffer ? static_cast<VstInt32>(remaining) : task.sizeInputBuffer;
    return call(audioMasterOfflineRead, 1, kVstOfflineAudio, &task) != 0;
  }

  bool readFile(VstOfflineTask& task) {
    std::strcpy(task.progressText, "Reading");
    for (double remaining = task.numFramesToProcess; remaining > 0; remaining -= task.readCount) {
      task.progress = 1.0 - remaining / task.numFramesToProcess;
      if (!readBlock(task, remaining)) return false;
    }
    fileRead = true;
    return true;
  }

  bool copyFile(VstOfflineTask& source, VstOfflineTask& target) {
    std::strcpy(source.progressText, "Copy file");
    const int channels = source.numSourceChannels;
    target.writeCount = 0;
    for (double remaining = source.numFramesToProcess; remaining > 0; remaining -= source.readCount) {
      source.progress = 1.0 - remaining / source.numFramesToProcess;
      if (!readBlock(source, remaining)) return false;
      auto** in = static_cast<float**>(source.inputBuffer);
      auto** out = static_cast<float**>(target.outputBuffer);
      for (int i = 0; i < source.readCount; ++i) {
        for (int c = 0; c < channels; ++c) out[c][target.writeCount] = in[c][i] * kGain;
        if (++target.writeCount == target.sizeOutputBuffer) {
          if (!call(audioMasterOfflineWrite, 0, kVstOfflineAudio, &target)) return false;
          target.writeCount = 0;
        }
      }
    }
    return target.writeCount == 0 || call(audioMasterOfflineWrite, 0, kVstOfflineAudio, &target) != 0;
  }

  VstIntPtr notify(VstAudioFile* files, VstInt32 count, bool start) {
    if (count <= 0 || !files) return 0;
    if (!start) return files[0].numChannels == 1 || files[0].numChannels == 2;
    // Like Pelmora without a spectrogram: nothing to correct before the file was read.
    if (!fileRead) return 0;
    mode = 2.0f;
    files[0].flags |= kVstOfflineWantRead;
    files[0].plugOwned = this;
    return call(audioMasterOfflineStart, 1, count, files);
  }

  VstIntPtr prepare(VstOfflineTask* tasks, VstInt32 count) {
    if (count <= 0) return 0;
    std::strcpy(tasks[0].processName, mode == 2.0f ? "Copy" : "Read");
    if (mode == 2.0f && count >= 2) {
      tasks[1].flags |= kVstOfflineFloatOutputFile | kVstOfflineStretch;
      tasks[1].numSourceChannels = tasks[1].numDestinationChannels = tasks[0].numSourceChannels;
      tasks[1].sourceSampleRate = tasks[1].destinationSampleRate = tasks[0].sourceSampleRate;
    }
    return 1;
  }

  VstIntPtr run(VstOfflineTask* tasks, VstInt32 count) {
    if (count <= 0) return 0;
    if (mode == 1.0f) return readFile(tasks[0]);
    if (mode == 2.0f) return count >= 2 && tasks[0].plugOwned == reinterpret_cast<VstIntPtr>(this) &&
                             copyFile(tasks[0], tasks[1]);
    return 1;
  }

  static VstIntPtr VSTCALLBACK dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                        float) {
    CopyPlugin& p = self(e);
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
      case effClose: delete &p; return 1;
      case effGetProgramName: std::strcpy(text, "Copy"); return 0;
      case effGetParamName: if (index == 0) std::strcpy(text, "Mode"); return 0;
      case effGetParamLabel: if (index == 0) std::strcpy(text, "#"); return 0;
      case effGetParamDisplay: if (index == 0) std::snprintf(text, 9, "%f", p.mode); return 0;
      case effCanDo: return std::strcmp(text, "offline") == 0 || std::strcmp(text, "noRealTime") == 0;
      case effGetVstVersion: return 2300;
      case effIdentify: return vstFourCC('N', 'v', 'E', 'f');
      case effOfflineNotify: return p.notify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value), index != 0);
      case effOfflinePrepare: return p.prepare(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value));
      case effOfflineRun: return p.run(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value));
      default: return 0;
    }
  }
};

}  // namespace

extern "C" AEffect* VSTCALLBACK copyPluginMain(audioMasterCallback host) {
  if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  auto* plugin = new (std::nothrow) CopyPlugin(host);
  return plugin ? &plugin->effect : nullptr;
}
