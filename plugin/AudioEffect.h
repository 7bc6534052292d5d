// The VST 2 base class: the AEffect record the host holds, the static entry
// functions stored in it, the dispatcher for opcodes 0 to 24 and the defaults
// of every operation a plug-in does not override.
#pragma once

#include <memory>

#include "plugin/AEffEditor.h"
#include "vst/VstAbi.h"

class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  AEffect* getAeffect() { return &cEffect; }

  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}
  virtual void setProgram(VstInt32 program) { curProgram = program; }
  virtual VstInt32 getProgram() { return curProgram; }
  virtual void setProgramName(const char* /*name*/) {}
  virtual void getProgramName(char* name) { *name = 0; }
  virtual void getParameterLabel(VstInt32 /*index*/, char* label) { *label = 0; }
  virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { *text = 0; }
  virtual void getParameterName(VstInt32 /*index*/, char* text) { *text = 0; }
  virtual float getVu() { return 0.0f; }
  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual void setBlockSize(VstInt32 size) { blockSize = size; }
  virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
  virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
  virtual void process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*frames*/) {}
  virtual void processReplacing(float** /*inputs*/, float** /*outputs*/, VstInt32 /*frames*/) {}

  void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
  // Installs the editor (the base owns and deletes it) and sets or clears
  // effFlagsHasEditor accordingly.
  void setEditor(std::unique_ptr<AEffEditor> newEditor);
  AEffEditor* getEditor() const { return editor.get(); }

  // Calls the host; 0 when there is no host callback.
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  bool hasHost() const { return audioMaster != nullptr; }

  // The base's number formatting for parameter displays: eight characters.
  static void float2string(float value, char* text);

 protected:
  float sampleRate = 44100.0f;
  std::unique_ptr<AEffEditor> editor;
  audioMasterCallback audioMaster;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 curProgram = 0;
  VstInt32 blockSize = 1024;
  AEffect cEffect{};
};
