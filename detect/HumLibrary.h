// The outside hum engine as the engine selection sees it: loading the
// Sorvanite module, creating an instance there, and the Tarvo_Engine calls
// on that instance. An interface, so that selection can be tested against a
// scripted library as well as against the real pair.
#pragma once

#include <memory>
#include <string>

#include "detect/ProcessingLibrary.h"

namespace detect {

class HumLibrary {
 public:
  virtual ~HumLibrary() = default;

  // Loads the module that creates instances; false when it cannot be loaded.
  virtual bool load() = 0;
  // Creates an instance in the loaded module; 0 when the module has no
  // creation function (it is then released) or the creation fails. After a
  // success the module stays loaded as long as this object lives.
  virtual PluginHandle create(float sampleRate) = 0;

  virtual int numParams(PluginHandle handle) = 0;
  virtual float value(PluginHandle handle, int index) = 0;
  virtual void setValue(PluginHandle handle, int index, float value) = 0;
  virtual float display(PluginHandle handle, int index) = 0;
  virtual void name(PluginHandle handle, int index, char* buffer) = 0;
  virtual void label(PluginHandle handle, int index, char* buffer) = 0;
  virtual int delay(PluginHandle handle) = 0;
  virtual bool process(PluginHandle handle, int frameCount, int channelCount, float** inputs, float** outputs) = 0;
  virtual void destroy(PluginHandle handle) = 0;

  // The module's preprocessing function, looked up once and kept; null when
  // the module or the function is missing.
  virtual PreprocessFunction preprocess() = 0;
};

// Tarvo_Engine as linked into the plug-in, and the named module (Sorvanite
// unless a test names another) for creation and preprocessing.
std::unique_ptr<HumLibrary> makeLinkedHumLibrary(const std::string& moduleName = kSorvaniteModule);

}  // namespace detect
