// Host files backed by WAV files on disk, read and written a block at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/audio/AudioStore.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavStream.h"

namespace host {

class OfflineHost;
struct HostFile;

// A WAV file as a store that reads its frames from disk when asked. With
// repairNonFinite, NaN and infinite samples read as silence.
std::unique_ptr<AudioStore> openWavStore(const std::string& path, bool repairNonFinite, WavReadResult& result);

// Opens the WAV file and adds it to the host's list, titled by its file name
// without the extension; index is its place in the list. The result says
// the file's format; its audio stays empty.
WavReadResult openAudioFile(OfflineHost& host, const std::string& path, std::size_t& index,
                            bool repairNonFinite = false);
// Writes beside path and renames on success: path is never left half written.
WavWriteResult saveAudioFile(const HostFile& file, const std::string& path, SampleFormat format);
WavWriteResult saveAudioFile(const HostFile& file, const std::string& path, const WavOutputForm& form);

// Samples that are NaN or infinite, and where the first one is.
struct NonFiniteSamples {
  std::uint64_t count = 0;
  std::uint64_t firstFrame = 0;
  int firstChannel = 0;
  bool readFailed = false;
};
NonFiniteSamples findNonFinite(AudioStore& store);

// The file name without folder and extension.
std::string titleOf(const std::string& path);

}  // namespace host
