// Builds the plug-in for a host: what the exported entry point does.
#pragma once

#include "vst/VstAbi.h"

// Null for a missing callback, for a host older than VST 2, or when the
// plug-in object cannot be made.
AEffect* createPelmora(audioMasterCallback audioMaster);
