// A library whose entry point returns no plug-in, and with NULL_PLUGIN_NO_MAIN
// one that exports no entry point at all.
#include "vst/VstAbi.h"

#if defined(NULL_PLUGIN_NO_MAIN)
extern "C" int notAPlugin() { return 0; }
#elif defined(_WIN32)
extern "C" AEffect* VSTCALLBACK nullPluginMain(audioMasterCallback) { return nullptr; }
#else
extern "C" __attribute__((visibility("default"))) AEffect* nullPluginMain(audioMasterCallback) __asm__("main");
extern "C" AEffect* nullPluginMain(audioMasterCallback) { return nullptr; }
#endif
