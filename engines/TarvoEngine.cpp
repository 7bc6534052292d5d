// The exported functions of Tarvo_Engine: plain C calls that look the
// handle up in the instance table and forward to the engine.
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "detect/BoundedCopy.h"
#include "detect/ProcessingLibrary.h"
#include "engines/EngineLink.h"
#include "engines/HumEngine.h"
#include "engines/InstanceTable.h"

namespace {

// The one table of the process, shared with Sorvanite through the link
// calls. A library's handles have to outlive any single caller object, so
// this is the only state kept outside an instance.
humengine::InstanceTable& table() {
  static humengine::InstanceTable instances;
  return instances;
}

std::shared_ptr<humengine::HumEngine> engine(PluginHandle handle) { return table().find(handle); }

// The caller marks the usable length of its buffer with non-zero bytes
// ending in a zero; the text is cut to that length, never written past it.
int writeText(std::string_view text, char* buffer) {
  if (buffer == nullptr) return 0;
  const std::string terminated(text);
  detect::copyBounded(terminated.c_str(), buffer);
  return 1;
}

}  // namespace

extern "C" {

int PELMORA_CDECL plugin_getNumParams(PluginHandle handle) {
  auto e = engine(handle);
  return e ? e->paramCount() : 0;
}

float PELMORA_CDECL plugin_getParamValue(PluginHandle handle, int index) {
  auto e = engine(handle);
  return e ? e->value(index) : 0.0f;
}

int PELMORA_CDECL plugin_setParamValue(PluginHandle handle, int index, float value) {
  auto e = engine(handle);
  return e && e->setValue(index, value) ? 1 : 0;
}

float PELMORA_CDECL plugin_getParamValueDisp(PluginHandle handle, int index) {
  auto e = engine(handle);
  return e ? e->display(index) : 0.0f;
}

// An unknown index leaves the buffer as it is, like the plug-in's own engines.
int PELMORA_CDECL plugin_getParamName(PluginHandle handle, int index, char* buffer) {
  auto e = engine(handle);
  if (!e || index < 0 || index >= e->paramCount()) return 0;
  return writeText(humengine::paramName(index), buffer);
}

int PELMORA_CDECL plugin_getParamLabel(PluginHandle handle, int index, char* buffer) {
  auto e = engine(handle);
  if (!e || index < 0 || index >= e->paramCount()) return 0;
  return writeText(humengine::paramLabel(index), buffer);
}

int PELMORA_CDECL plugin_getDelay(PluginHandle handle) {
  auto e = engine(handle);
  return e ? e->delay() : 0;
}

int PELMORA_CDECL plugin_processPVC(PluginHandle handle, int frameCount, int channelCount, float** inputs,
                                    float** outputs) {
  auto e = engine(handle);
  if (!e || outputs == nullptr) return 0;
  return e->process(inputs, channelCount, frameCount, outputs[0]) ? 1 : 0;
}

int PELMORA_CDECL plugin_destroy(PluginHandle handle) { return table().remove(handle) ? 1 : 0; }

PluginHandle PELMORA_CDECL tarvo_createInstance(float sampleRate) {
  if (!humengine::HumEngine::acceptsRate(sampleRate)) return 0;
  return table().add(std::make_shared<humengine::HumEngine>(sampleRate));
}

int PELMORA_CDECL tarvo_preprocess(PluginHandle handle, int, int inputCount, int channelCount, float** inputs,
                                   int outputCapacity, unsigned* outputCount, float** outputs, int final) {
  auto e = engine(handle);
  if (!e || outputs == nullptr) return 0;
  return e->preprocess(inputs, channelCount, inputCount, outputCapacity, outputCount, outputs[0], final != 0) ? 1
                                                                                                              : 0;
}

}  // extern "C"
