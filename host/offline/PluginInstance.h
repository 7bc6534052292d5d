// A VST 2 plug-in as a host holds it: the loaded library and the AEffect
// record its entry point returned. The plug-in is closed (effClose) before
// its library is unloaded.
#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"
#include "vst/VstAbi.h"

namespace host {

using PluginEntry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

enum class LoadError { None, Missing, NotLoadable, NoEntry, NoEffect, NotVst };

class PluginInstance {
 public:
  struct Loaded {
    std::unique_ptr<PluginInstance> plugin;
    LoadError error = LoadError::None;
    std::string message;
  };

  // Loads a library by path and calls its exported "main" with the callback.
  static Loaded load(const std::string& path, audioMasterCallback callback);
  // A plug-in linked into the program: calls its entry function directly.
  static Loaded fromEntry(PluginEntry entry, audioMasterCallback callback);

  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect* effect() const { return effect_; }

 private:
  PluginInstance(platform::Module module, AEffect* effect);
  static Loaded start(platform::Module module, PluginEntry entry, audioMasterCallback callback,
                      const std::string& name);

  platform::Module module_;
  AEffect* effect_;
};

}  // namespace host
