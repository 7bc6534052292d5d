#include "plugin/AudioEffectX.h"

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (opcode <= effSetChunk) return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  switch (opcode) {
    case effCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case effGetNumProgramCategories:
      return 1;
    case effConnectInput:
    case effConnectOutput:
      return 1;
    case effGetPlugCategory:
      return 0;
    case effOfflineNotify:
      return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value), index != 0) ? 1 : 0;
    case effOfflinePrepare:
      return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)) ? 1 : 0;
    case effOfflineRun:
      return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)) ? 1 : 0;
    case effSetBlockSizeAndSampleRate:
      setBlockSize(static_cast<VstInt32>(value));
      setSampleRate(opt);
      return 1;
    case effCanDo:
      return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case effKeysRequired:
      return 1;
    case effGetVstVersion:
      return getVstVersion();
    case effEditKeyDown:
      return editor ? editor->onKeyDown(index, value, opt) : 0;
    case effEditKeyUp:
      return editor ? editor->onKeyUp(index, value, opt) : 0;
    case effSetEditKnobMode:
      return editor ? editor->setKnobMode(value) : 0;
    case effGetCurrentMidiProgram:
      return -1;
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<void**>(value) = nullptr;
      if (ptr) *static_cast<void**>(ptr) = nullptr;
      return 0;
    case effSetTotalSampleToProcess:
      return setTotalSampleToProcess(value);
    default:
      return 0;
  }
}

bool AudioEffectX::offlineStart(VstAudioFile* files, VstInt32 fileCount, VstInt32 newFileCount) {
  if (!hasHost()) return false;
  return callHost(audioMasterOfflineStart, newFileCount, fileCount, files) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* task, VstOfflineOption option, bool readSource) {
  if (!hasHost()) return false;
  return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* task, VstOfflineOption option) {
  if (!hasHost()) return false;
  return callHost(audioMasterOfflineWrite, 0, option, task) != 0;
}
