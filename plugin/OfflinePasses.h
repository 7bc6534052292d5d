// The offline operations the host runs on the plug-in, one per mode.
#pragma once

#include "vst/VstAbi.h"

class OfflineEffect;

// Runs the pass of the mode on the tasks; a mode without a pass succeeds.
bool runOfflinePass(OfflineEffect& effect, int mode, VstOfflineTask* tasks, VstInt32 count);
