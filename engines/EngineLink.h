// The two calls by which Sorvanite reaches the instance table that lives in
// Tarvo_Engine. On Windows Tarvo_Engine exports them by ordinal only, so its
// export table shows just the plug-in's functions.
#pragma once

#include "detect/ProcessingLibrary.h"

#if defined(_WIN32)
#define TARVO_LINK_API
#elif defined(TARVO_ENGINE_BUILD)
#define TARVO_LINK_API __attribute__((visibility("default")))
#else
#define TARVO_LINK_API
#endif

// Ordinals in Tarvo_Engine.def.
inline constexpr int kCreateInstanceOrdinal = 100;
inline constexpr int kPreprocessOrdinal = 101;

extern "C" {
TARVO_LINK_API PluginHandle PELMORA_CDECL tarvo_createInstance(float sampleRate);
TARVO_LINK_API int PELMORA_CDECL tarvo_preprocess(PluginHandle handle, int reserved, int inputCount,
                                                  int channelCount, float** inputs, int outputCapacity,
                                                  unsigned* outputCount, float** outputs, int final);
}

namespace humengine {

struct EngineLink {
  CreatePluginFunction create = nullptr;
  PreprocessFunction preprocess = nullptr;
};

// Resolved once; members are null when Tarvo_Engine cannot be reached.
const EngineLink& engineLink();

}  // namespace humengine
