// Words and names of the interactive host: where a processed file goes and
// how the status line tells the cursor and the selection.
#pragma once

#include <functional>
#include <string>

#include "host/offline/HostFile.h"

namespace host {

// A name beside the input that no file has yet: "take (Pelmora).wav", then
// "take (Pelmora) 2.wav" and so on. Empty when every candidate is taken.
std::string freeOutputName(const std::string& input, const std::string& processName,
                           const std::function<bool(const std::string&)>& exists);

// A frame position as minutes, seconds and milliseconds: "1:02.500".
std::string formatPosition(double frames, double sampleRate);

// "Cursor 0:01.000   Selection 0:02.000 to 0:03.500", or "No selection".
std::string describeMarks(const HostFile& file);

}  // namespace host
