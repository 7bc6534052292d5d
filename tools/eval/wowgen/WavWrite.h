// Writes planar float channels as a WAV file through libsndfile, a block at a
// time, with clipping rather than wrap-around for the PCM formats.
#pragma once

#include <string>
#include <vector>

namespace wowgen {

enum class OutputFormat { Float32, Pcm16, Pcm24 };

bool writeWav(const std::string& path, double sampleRate, const std::vector<std::vector<float>>& channels,
              OutputFormat format, std::string& problem);

}  // namespace wowgen
