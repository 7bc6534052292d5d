// A host callback for tests: answers the version query as a VST 2.3 host and
// records every call the plug-in makes.
#pragma once

#include <vector>

#include "vst/VstAbi.h"

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr;
};

struct FakeHost {
  static inline VstIntPtr version = 2300;
  static inline std::vector<HostCall> calls;

  static VstIntPtr VSTCALLBACK callback(AEffect* /*effect*/, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float /*opt*/) {
    calls.push_back({opcode, index, value, ptr});
    if (opcode == audioMasterVersion) return version;
    return 0;
  }

  static void reset() {
    version = 2300;
    calls.clear();
  }
};
