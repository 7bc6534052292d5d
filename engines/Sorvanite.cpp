// Sorvanite's two functions: both forward to Tarvo_Engine, which owns the
// instances, so a handle made here works with every Tarvo_Engine call.
#include <type_traits>

#include "detect/ProcessingLibrary.h"
#include "engines/EngineLink.h"

#if defined(_WIN32)
#define SORVANITE_API
#else
#define SORVANITE_API __attribute__((visibility("default")))
#endif

extern "C" {

SORVANITE_API PluginHandle PELMORA_CDECL createPlugin(float sampleRate) {
  auto create = humengine::engineLink().create;
  return create ? create(sampleRate) : 0;
}

SORVANITE_API int PELMORA_CDECL plugin_preprocess(PluginHandle handle, int reserved, int inputCount,
                                                  int channelCount, float** inputs, int outputCapacity,
                                                  unsigned* outputCount, float** outputs, int final) {
  auto preprocess = humengine::engineLink().preprocess;
  if (!preprocess) return 0;
  return preprocess(handle, reserved, inputCount, channelCount, inputs, outputCapacity, outputCount, outputs, final);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&createPlugin), CreatePluginFunction>);
static_assert(std::is_same_v<decltype(&plugin_preprocess), PreprocessFunction>);
