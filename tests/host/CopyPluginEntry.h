// The test plug-ins' entry points. Built into a library they are exported
// under the name "main", as a host expects.
#pragma once

#include "vst/VstAbi.h"

extern "C" AEffect* VSTCALLBACK copyPluginMain(audioMasterCallback host);
