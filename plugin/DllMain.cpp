// The Windows library's entry points: the load routine, which keeps the
// module handle for the editor's window class and bitmaps, and the exported
// VST entry "main" (named through Pelmora.def).
#include <windows.h>

#include "plugin/PluginEntry.h"

HINSTANCE pelmoraInstance = nullptr;

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
  return createPelmora(audioMaster);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) pelmoraInstance = instance;
  return TRUE;
}
