// The real outside engine: Tarvo_Engine's imported functions, and the
// Sorvanite module loaded by name.
#include <utility>

#include "detect/HumLibrary.h"
#include "platform/Platform.h"

namespace detect {

namespace {

class LinkedHumLibrary final : public HumLibrary {
 public:
  explicit LinkedHumLibrary(std::string moduleName) : moduleName_(std::move(moduleName)) {}

  bool load() override {
    platform::Module module(moduleName_);
    if (!module.loaded()) return false;
    pending_ = std::move(module);
    return true;
  }

  PluginHandle create(float sampleRate) override {
    auto createPlugin = reinterpret_cast<CreatePluginFunction>(pending_.find(kCreatePluginName));
    if (!createPlugin) {
      pending_.release();
      return 0;
    }
    const PluginHandle handle = createPlugin(sampleRate);
    if (handle == 0) {
      pending_.release();
      return 0;
    }
    // One reference is enough to keep the module in memory; the previous
    // one goes as this takes its place.
    kept_ = std::move(pending_);
    return handle;
  }

  int numParams(PluginHandle h) override { return plugin_getNumParams(h); }
  float value(PluginHandle h, int index) override { return plugin_getParamValue(h, index); }
  void setValue(PluginHandle h, int index, float v) override { plugin_setParamValue(h, index, v); }
  float display(PluginHandle h, int index) override { return plugin_getParamValueDisp(h, index); }
  void name(PluginHandle h, int index, char* buffer) override { plugin_getParamName(h, index, buffer); }
  void label(PluginHandle h, int index, char* buffer) override { plugin_getParamLabel(h, index, buffer); }
  int delay(PluginHandle h) override { return plugin_getDelay(h); }
  bool process(PluginHandle h, int frameCount, int channelCount, float** inputs, float** outputs) override {
    return plugin_processPVC(h, frameCount, channelCount, inputs, outputs) != 0;
  }
  void destroy(PluginHandle h) override { plugin_destroy(h); }

  PreprocessFunction preprocess() override {
    if (!preprocessFunction_) {
      if (!preprocessModule_.loaded()) preprocessModule_ = platform::Module(moduleName_);
      preprocessFunction_ = reinterpret_cast<PreprocessFunction>(preprocessModule_.find(kPreprocessName));
    }
    return preprocessFunction_;
  }

 private:
  std::string moduleName_;
  platform::Module pending_;
  platform::Module kept_;
  platform::Module preprocessModule_;
  PreprocessFunction preprocessFunction_ = nullptr;
};

}  // namespace

std::unique_ptr<HumLibrary> makeLinkedHumLibrary(const std::string& moduleName) {
  return std::make_unique<LinkedHumLibrary>(moduleName);
}

}  // namespace detect
