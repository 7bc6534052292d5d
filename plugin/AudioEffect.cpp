#include "plugin/AudioEffect.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

AudioEffect* objectOf(AEffect* effect) {
  return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

// Nothing the plug-in throws may reach the host, which cannot catch it: a
// call that fails so (out of memory, most likely) answers as a refused one.
template <class Call, class Result>
Result guarded(Call call, Result failed) noexcept {
  try {
    return call();
  } catch (...) {
    return failed;
  }
}

template <class Call>
void guarded(Call call) noexcept {
  try {
    call();
  } catch (...) {
  }
}

VstIntPtr VSTCALLBACK dispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
  AudioEffect* object = objectOf(effect);
  if (!object) return 0;
  if (opcode == effClose) {
    guarded([&] { object->dispatcher(opcode, index, value, ptr, opt); });
    delete object;
    return 1;
  }
  return guarded([&] { return object->dispatcher(opcode, index, value, ptr, opt); }, VstIntPtr{0});
}

void VSTCALLBACK processEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  if (AudioEffect* object = objectOf(effect))
    guarded([&] { object->process(inputs, outputs, frames); });
}

void VSTCALLBACK processReplacingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  if (AudioEffect* object = objectOf(effect))
    guarded([&] { object->processReplacing(inputs, outputs, frames); });
}

void VSTCALLBACK setParameterEntry(AEffect* effect, VstInt32 index, float value) {
  if (AudioEffect* object = objectOf(effect)) guarded([&] { object->setParameter(index, value); });
}

float VSTCALLBACK getParameterEntry(AEffect* effect, VstInt32 index) {
  AudioEffect* object = objectOf(effect);
  return object ? guarded([&] { return object->getParameter(index); }, 0.0f) : 0.0f;
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = dispatchEntry;
  cEffect.process = processEntry;
  cEffect.setParameter = setParameterEntry;
  cEffect.getParameter = getParameterEntry;
  cEffect.numPrograms = programs;
  cEffect.numParams = params;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.flags = 0;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.user = nullptr;
  cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = processReplacingEntry;
}

AudioEffect::~AudioEffect() = default;

void AudioEffect::setEditor(std::unique_ptr<AEffEditor> newEditor) {
  editor = std::move(newEditor);
  if (editor)
    cEffect.flags |= effFlagsHasEditor;
  else
    cEffect.flags &= ~effFlagsHasEditor;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::float2string(float value, char* text) {
  // Fixed six decimals, cut to the eight characters a parameter text holds.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  buffer[8] = 0;
  std::strcpy(text, buffer);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 1;
    case effSetProgram:
      // A negative number would index before the program table.
      if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName:
      if (ptr) setProgramName(static_cast<const char*>(ptr));
      return 0;
    case effGetProgramName:
      if (ptr) getProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetParamLabel:
      if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamDisplay:
      if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamName:
      if (ptr) getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case effGetVu:
      return static_cast<VstIntPtr>(getVu() * 32767.0f);
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      if (value)
        resume();
      else
        suspend();
      return 0;
    case effEditGetRect:
      return (editor && ptr) ? (editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0) : 0;
    case effEditOpen:
      return editor ? (editor->open(ptr) ? 1 : 0) : 0;
    case effEditClose:
      if (editor) editor->close();
      return 0;
    case effEditIdle:
      if (editor) editor->idle();
      return 0;
    case effIdentify:
      return vstFourCC('N', 'v', 'E', 'f');
    default:
      return 0;
  }
}
