// On Windows Sorvanite finds the two link calls in Tarvo_Engine.dll by
// ordinal. The plug-in has Tarvo_Engine loaded already; the reference taken
// here is kept for the life of the process, as the functions are.
#include <windows.h>

#include "engines/EngineLink.h"

namespace humengine {
namespace {

template <typename Function>
Function ordinal(HMODULE module, int number) {
  if (module == nullptr) return nullptr;
  FARPROC address = ::GetProcAddress(module, MAKEINTRESOURCEA(number));
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

EngineLink resolve() {
  HMODULE module = ::LoadLibraryA("Tarvo_Engine.dll");
  return EngineLink{ordinal<CreatePluginFunction>(module, kCreateInstanceOrdinal),
                    ordinal<PreprocessFunction>(module, kPreprocessOrdinal)};
}

}  // namespace

const EngineLink& engineLink() {
  static const EngineLink link = resolve();
  return link;
}

}  // namespace humengine
