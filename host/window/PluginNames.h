// The plug-in takes file names in the system's code page, through its own
// file dialogs; pelmora-host takes them in UTF-8. These say whether a name
// reaches the plug-in whole, and give one that does when it would not.
#pragma once

#include <string>

namespace host {

bool fitsCodePage(const std::string& utf8);

// A new name in the temporary folder that reaches the plug-in whole, with
// the extension (".pvc"); empty when the folder's own name would not.
std::string temporaryNameForPlugin(const char* extension);

}  // namespace host
