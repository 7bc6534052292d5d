// Text of a time position in the editor's read-outs: minutes, then seconds
// with milliseconds, "m:ss.fff".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t kTimeTextSize = 20;

// Writes the time of a sample position at the given sample rate into a
// buffer of kTimeTextSize bytes; always true. A rate that is not a positive
// number gives "0:00.000" instead of dividing by it.
bool formatTime(double position, double sampleRate, char* buffer);
std::string formatTime(double position, double sampleRate);
