// The outside processing libraries of the hum detector. Tarvo_Engine is
// imported at link time; Sorvanite is loaded by name at run time, so only the
// types of its two functions are declared here.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define PELMORA_CDECL __cdecl
#else
#define PELMORA_CDECL
#endif

#if defined(_WIN32) && defined(TARVO_ENGINE_BUILD)
#define TARVO_API __declspec(dllexport)
#elif defined(_WIN32)
#define TARVO_API __declspec(dllimport)
#else
#define TARVO_API __attribute__((visibility("default")))
#endif

// Opaque handle of an engine instance; 0 is no instance.
using PluginHandle = std::uint32_t;

extern "C" {
TARVO_API int PELMORA_CDECL plugin_getNumParams(PluginHandle handle);
TARVO_API float PELMORA_CDECL plugin_getParamValue(PluginHandle handle, int index);
TARVO_API int PELMORA_CDECL plugin_setParamValue(PluginHandle handle, int index, float value);
TARVO_API float PELMORA_CDECL plugin_getParamValueDisp(PluginHandle handle, int index);
TARVO_API int PELMORA_CDECL plugin_getParamName(PluginHandle handle, int index, char* buffer);
TARVO_API int PELMORA_CDECL plugin_getParamLabel(PluginHandle handle, int index, char* buffer);
TARVO_API int PELMORA_CDECL plugin_getDelay(PluginHandle handle);
TARVO_API int PELMORA_CDECL plugin_processPVC(PluginHandle handle, int frameCount, int channelCount, float** inputs,
                                              float** outputs);
TARVO_API int PELMORA_CDECL plugin_destroy(PluginHandle handle);
}

// Sorvanite, found with the platform's module lookup.
using CreatePluginFunction = PluginHandle(PELMORA_CDECL*)(float sampleRate);
using PreprocessFunction = int(PELMORA_CDECL*)(PluginHandle handle, int reserved, int inputCount, int channelCount,
                                               float** inputs, int outputCapacity, unsigned* outputCount,
                                               float** outputs, int final);

inline constexpr const char* kSorvaniteModule = "Sorvanite";
inline constexpr const char* kCreatePluginName = "createPlugin";
inline constexpr const char* kPreprocessName = "plugin_preprocess";

// Our own engine answers two more display values, past its parameters:
// what its tracker made of the stream so far. An engine without them
// answers 0 (no word), and the plug-in then judges by its own check.
inline constexpr int kHumVerdictIndex = 100;       // 0 no word, 1 hum followed, 2 hum not followed
inline constexpr int kHumFollowedShareIndex = 101;  // % of the stream's time the hum was followed
inline constexpr float kHumFollowed = 1.0f;
inline constexpr float kHumNotFollowed = 2.0f;
