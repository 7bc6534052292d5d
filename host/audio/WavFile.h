// RIFF/WAVE files: PCM 8, 16, 24 and 32 bits, IEEE float 32 and 64 bits, in
// the plain and the WAVE_FORMAT_EXTENSIBLE header. Samples are converted to
// float in the range -1 to 1 (PCM divided by 2^(bits-1)).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "host/audio/AudioData.h"

namespace host {

enum class SampleFormat { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

int bytesPerSample(SampleFormat format);
const char* formatName(SampleFormat format);

enum class WavStatus {
  Ok,
  CannotOpen,   // missing or unreadable file
  NotWave,      // not a RIFF/WAVE file at all
  Malformed,    // a WAVE file whose header contradicts itself
  Unsupported,  // a valid WAVE file in a sample format we do not read
  WriteFailed,
};

struct WavReadResult {
  WavStatus status = WavStatus::CannotOpen;
  std::string message;
  AudioData audio;
  SampleFormat format = SampleFormat::Pcm16;
  bool extensible = false;
  // The data chunk claimed more bytes than the file holds; the whole frames
  // that are there were read.
  bool truncated = false;

  bool ok() const { return status == WavStatus::Ok; }
};

struct WavWriteResult {
  WavStatus status = WavStatus::Ok;
  std::string message;
  bool ok() const { return status == WavStatus::Ok; }
};

WavReadResult readWav(const std::string& path);
WavReadResult readWav(std::istream& in);

// Files with more than two channels get the extensible header, as readers
// expect; mono and stereo the plain one. PCM is rounded and clipped.
WavWriteResult writeWav(const std::string& path, const AudioData& audio, SampleFormat format);
WavWriteResult writeWav(std::ostream& out, const AudioData& audio, SampleFormat format);

}  // namespace host
