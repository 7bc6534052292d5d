#include "plugin/OfflinePasses.h"

#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

bool runOfflinePass(OfflineEffect& effect, int mode, VstOfflineTask* tasks, VstInt32 count) {
  switch (mode) {
    case kModeCorrect:
      return runCorrectionPass(effect, tasks, count);
    case kModeRead:
      return runReadingPass(effect, tasks[0]);
    case kModeHum:
      return runHumPass(effect, tasks[0]);
    case kModePilotTone:
      return runPilotTonePass(effect, tasks[0]);
    case kModeSpectral:
      return runSpectralPass(effect, tasks[0]);
    case kModeZoom:
      return runZoomPass(effect, tasks[0]);
    case kModeSelection:
      return runSelectionPass(effect, tasks[0]);
    default:
      // Modes without an operation succeed and do nothing.
      return true;
  }
}
