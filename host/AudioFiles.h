// Host files backed by WAV files on disk.
#pragma once

#include <cstddef>
#include <string>

#include "host/WavFile.h"

namespace host {

class OfflineHost;
struct HostFile;

// Reads the WAV file and adds it to the host's list, titled by its file name
// without the extension; index is its place in the list.
WavReadResult openAudioFile(OfflineHost& host, const std::string& path, std::size_t& index);
WavWriteResult saveAudioFile(const HostFile& file, const std::string& path, SampleFormat format);

// The file name without folder and extension.
std::string titleOf(const std::string& path);

}  // namespace host
