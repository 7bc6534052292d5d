// Exports the copy plug-in's entry as "main": through the .def file on
// Windows, through an assembler name elsewhere.
#include "tests/host/CopyPluginEntry.h"

#if !defined(_WIN32)
extern "C" __attribute__((visibility("default"))) AEffect* exportedMain(audioMasterCallback host) __asm__("main");
extern "C" AEffect* exportedMain(audioMasterCallback host) { return copyPluginMain(host); }
#endif
