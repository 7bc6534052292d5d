// Where a host file's audio lives: in memory, in a WAV file on disk, or in a
// scratch file the host writes. Passes read and write it a block at a time,
// so a file on disk costs no memory that grows with its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/audio/AudioData.h"

namespace host {

class AudioStore {
 public:
  virtual ~AudioStore() = default;
  virtual double sampleRate() const = 0;
  virtual int channelCount() const = 0;
  virtual std::uint64_t frames() const = 0;
  // Frames [position, position + count), all inside the store, into one
  // array per channel. False when they cannot be read.
  virtual bool read(std::uint64_t position, std::size_t count, float* const* channels) = 0;
  // Writes count frames at position; frames between the old end and
  // position become silence. False for a read-only store or a failed write.
  virtual bool write(std::uint64_t position, std::size_t count, const float* const* channels) = 0;
  // Why the last read or write failed.
  virtual std::string problem() const { return {}; }
};

std::unique_ptr<AudioStore> makeMemoryStore(AudioData audio);

// A store in a temporary file in folder (the system's temporary folder when
// empty), removed with the store. Null with a reason when it cannot be made.
std::unique_ptr<AudioStore> makeScratchStore(const std::string& folder, int channels, double sampleRate,
                                             std::string& problem);

// The whole store in memory, for small files and tests.
AudioData readAll(AudioStore& store);

// Copies every frame of from into to, a block at a time.
bool copyAudio(AudioStore& from, AudioStore& to, std::string& problem);

}  // namespace host
