// Whether a new file can be written under a name, found out before any
// work is done on it.
#pragma once

#include <string>

namespace host {

// Why output cannot take the file written from input; empty when it can.
// It must not be the input itself, a folder, a device (CON, AUX, NUL, COM1
// ... are devices under Windows whatever their extension), read-only, or in
// a folder that is missing or where no file can be created.
std::string whyNotOutput(const std::string& input, const std::string& output);

// The folder a file name lies in, "." for a bare name.
std::string folderOf(const std::string& path);

}  // namespace host
