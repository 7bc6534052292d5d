#include "host/offline/PluginInstance.h"

#include <filesystem>
#include <system_error>

#include "host/audio/DiskFile.h"

namespace host {

namespace {

PluginInstance::Loaded failed(LoadError error, std::string message) {
  PluginInstance::Loaded loaded;
  loaded.error = error;
  loaded.message = std::move(message);
  return loaded;
}

}  // namespace

PluginInstance::PluginInstance(platform::Module module, AEffect* effect)
    : module_(std::move(module)), effect_(effect) {}

PluginInstance::~PluginInstance() {
  // effClose deletes the plug-in object; the record is not touched after it.
  if (effect_ && effect_->dispatcher) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

PluginInstance::Loaded PluginInstance::start(platform::Module module, PluginEntry entry,
                                             audioMasterCallback callback, const std::string& name) {
  AEffect* effect = entry(callback);
  if (!effect) return failed(LoadError::NoEffect, name + ": the entry point returned no plug-in");
  if (effect->magic != kEffectMagic || !effect->dispatcher)
    return failed(LoadError::NotVst, name + ": the entry point returned something that is not a VST 2 plug-in");
  Loaded loaded;
  loaded.plugin.reset(new PluginInstance(std::move(module), effect));
  return loaded;
}

PluginInstance::Loaded PluginInstance::load(const std::string& path, audioMasterCallback callback) {
  const std::filesystem::path file = pathFromUtf8(path);
  std::error_code unknown;
  const std::filesystem::file_status status = std::filesystem::status(file, unknown);
  if (!std::filesystem::exists(status)) return failed(LoadError::Missing, path + ": no such file");
  if (std::filesystem::is_directory(status)) return failed(LoadError::Missing, path + ": is a folder");
  // A bare or relative name would send the loader searching system folders.
  const std::filesystem::path absolute = std::filesystem::absolute(file, unknown);
  platform::Module module = platform::Module::fromFile(unknown ? file : absolute);
  if (!module.loaded()) return failed(LoadError::NotLoadable, path + ": not a library this system can load");
  auto entry = reinterpret_cast<PluginEntry>(module.find("main"));
  if (!entry) return failed(LoadError::NoEntry, path + ": the library exports no entry point \"main\"");
  return start(std::move(module), entry, callback, path);
}

PluginInstance::Loaded PluginInstance::fromEntry(PluginEntry entry, audioMasterCallback callback) {
  if (!entry) return failed(LoadError::NoEntry, "no entry point");
  return start(platform::Module(), entry, callback, "plug-in");
}

}  // namespace host
