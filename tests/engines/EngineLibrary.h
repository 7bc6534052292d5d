// Reaches the hum engine only through its C functions: Tarvo_Engine is
// linked, Sorvanite is loaded by name as the plug-in loads it.
#pragma once

#include <gtest/gtest.h>

#include "detect/ProcessingLibrary.h"
#include "platform/Platform.h"

class EngineLibrary {
 public:
  EngineLibrary() : module_(kSorvaniteModule) {
    if (module_.loaded()) {
      create_ = reinterpret_cast<CreatePluginFunction>(module_.find(kCreatePluginName));
      preprocess_ = reinterpret_cast<PreprocessFunction>(module_.find(kPreprocessName));
    }
  }
  bool ready() const { return create_ != nullptr && preprocess_ != nullptr; }
  PluginHandle create(float rate) const { return create_(rate); }
  int preprocess(PluginHandle h, int count, float* input, int capacity, unsigned* produced, float* output,
                 bool final) const {
    float* inputs[] = {input};
    float* outputs[] = {output};
    return preprocess_(h, 0, count, 1, inputs, capacity, produced, outputs, final ? 1 : 0);
  }

 private:
  platform::Module module_;
  CreatePluginFunction create_ = nullptr;
  PreprocessFunction preprocess_ = nullptr;
};

// An instance set up as the plug-in sets it on its first selection.
inline void setFirstSelectionValues(PluginHandle h) {
  plugin_setParamValue(h, 2, 0.75f);
  plugin_setParamValue(h, 3, 0.225f);
  plugin_setParamValue(h, 4, 0.275f);
  plugin_setParamValue(h, 10, 0.257f);
}

// Frames in, one speed per frame out, through plugin_processPVC.
inline bool processBlock(PluginHandle h, float* input, float* output, int frames) {
  float* inputs[] = {input};
  float* outputs[] = {output};
  return plugin_processPVC(h, frames, 1, inputs, outputs) != 0;
}
