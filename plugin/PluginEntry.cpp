#include "plugin/PluginEntry.h"

#include <new>

#include "plugin/OfflineEffect.h"

AEffect* createPelmora(audioMasterCallback audioMaster) {
  if (!audioMaster) return nullptr;
  if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  // The host owns the object through its AEffect record; effClose deletes it.
  auto* effect = new (std::nothrow) OfflineEffect(audioMaster);
  return effect ? effect->getAeffect() : nullptr;
}
