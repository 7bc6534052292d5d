// The "info" report: the AEffect record and the plug-in's answers to the
// questions a host asks right after loading it.
#pragma once

#include <iosfwd>

namespace host {

class OfflineHost;

// The host must be attached to the plug-in.
void describePlugin(OfflineHost& host, std::ostream& out);

}  // namespace host
