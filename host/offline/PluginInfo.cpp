#include "host/offline/PluginInfo.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "host/offline/OfflineHost.h"

namespace host {

namespace {

// Generous room: plug-ins are asked for at most 24 to 64 characters, and
// some write more than they are asked for.
constexpr std::size_t kTextRoom = 256;

std::string fourCC(VstInt32 value) {
  char text[32];
  const auto v = static_cast<std::uint32_t>(value);
  std::string chars;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((v >> shift) & 0xFF);
    chars += (c >= 32 && c < 127) ? c : '.';
  }
  std::snprintf(text, sizeof text, "0x%08X '%s'", static_cast<unsigned>(v), chars.c_str());
  return text;
}

std::string askText(OfflineHost& host, VstInt32 opcode, VstInt32 index) {
  char text[kTextRoom] = {};
  host.dispatch(opcode, index, 0, text);
  text[kTextRoom - 1] = 0;
  return text;
}

}  // namespace

void describePlugin(OfflineHost& host, std::ostream& out) {
  AEffect* e = host.effect();
  if (!e) return;
  out << "magic: " << fourCC(e->magic) << '\n'
      << "numPrograms: " << e->numPrograms << '\n'
      << "numParams: " << e->numParams << '\n'
      << "numInputs: " << e->numInputs << '\n'
      << "numOutputs: " << e->numOutputs << '\n'
      << "flags: " << e->flags << ((e->flags & effFlagsHasEditor) ? " (has editor)" : "") << '\n'
      << "initialDelay: " << e->initialDelay << '\n'
      << "realQualities: " << e->realQualities << '\n'
      << "offQualities: " << e->offQualities << '\n'
      << "ioRatio: " << e->ioRatio << '\n'
      << "uniqueID: " << fourCC(e->uniqueID) << '\n'
      << "version: " << e->version << '\n';

  out << "program name: \"" << askText(host, effGetProgramName, 0) << "\"\n"
      << "parameter 0 name: \"" << askText(host, effGetParamName, 0) << "\"\n"
      << "parameter 0 label: \"" << askText(host, effGetParamLabel, 0) << "\"\n"
      << "parameter 0 display: \"" << askText(host, effGetParamDisplay, 0) << "\"\n"
      << "parameter 0 value: " << host.getParameter(0) << '\n';

  for (const char* capability : {"offline", "noRealTime", "pelmoraNoSuchCapability"}) {
    std::string text = capability;
    out << "canDo \"" << capability << "\": " << host.dispatch(effCanDo, 0, 0, text.data()) << '\n';
  }
  out << "VST version: " << host.dispatch(effGetVstVersion) << '\n'
      << "identify: " << fourCC(static_cast<VstInt32>(host.dispatch(effIdentify))) << '\n';

  ERect* rect = nullptr;
  const VstIntPtr hasRect = host.dispatch(effEditGetRect, 0, 0, &rect);
  out << "editor rectangle: ";
  if (hasRect && rect)
    out << "top " << rect->top << ", left " << rect->left << ", bottom " << rect->bottom << ", right " << rect->right
        << " (" << (rect->right - rect->left) << " x " << (rect->bottom - rect->top) << ")\n";
  else
    out << "none\n";
}

}  // namespace host
