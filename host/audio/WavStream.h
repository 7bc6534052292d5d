// WAV files read and written a block at a time, so that no file needs to fit
// in memory. Files past 4 GB are RF64: the reader takes RF64 (and BW64), the
// writer switches to it when the data outgrows RIFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFile.h"

namespace host {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // All n bytes at offset, or false.
  virtual bool readAt(std::uint64_t offset, void* to, std::size_t n) = 0;
  virtual std::uint64_t size() = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool writeAt(std::uint64_t offset, const void* from, std::size_t n) = 0;
};

class DiskFileSource : public ByteSource {
 public:
  explicit DiskFileSource(DiskFile& file) : file_(file) {}
  bool readAt(std::uint64_t offset, void* to, std::size_t n) override { return file_.readAt(offset, to, n); }
  std::uint64_t size() override { return file_.size(); }

 private:
  DiskFile& file_;
};

class DiskFileSink : public ByteSink {
 public:
  explicit DiskFileSink(DiskFile& file) : file_(file) {}
  bool writeAt(std::uint64_t offset, const void* from, std::size_t n) override { return file_.writeAt(offset, from, n); }

 private:
  DiskFile& file_;
};

struct WavInfo {
  SampleFormat format = SampleFormat::Pcm16;
  std::uint32_t channels = 0;
  std::uint32_t sampleRate = 0;
  bool extensible = false;
  std::uint32_t channelMask = 0;  // speaker positions of an extensible header; 0 when unknown
  bool rf64 = false;
  // The data chunk claimed more bytes than the file holds; the whole frames
  // that are there are read.
  bool truncated = false;
  std::uint64_t dataOffset = 0;
  std::uint64_t frames = 0;

  std::uint64_t frameBytes() const { return static_cast<std::uint64_t>(bytesPerSample(format)) * channels; }
};

struct WavHeaderResult {
  WavStatus status = WavStatus::CannotOpen;
  std::string message;
  WavInfo info;
  bool ok() const { return status == WavStatus::Ok; }
};

WavHeaderResult readWavHeader(ByteSource& source);

// Frames [position, position + count) as floats, one array per channel;
// false when they are not all in the file or cannot be read. buffer is the
// caller's, kept between calls to spare allocations.
bool readWavFrames(ByteSource& source, const WavInfo& info, std::uint64_t position, std::size_t count,
                   float* const* channels, std::vector<std::uint8_t>& buffer);

// Why a WAV file cannot hold audio of this shape; empty when it can.
std::string whyNotWritable(int channels, double sampleRate, SampleFormat format);

struct WavChunk;

// What a written file looks like beyond its channels and rate.
struct WavOutputForm {
  SampleFormat format = SampleFormat::Float32;
  // The extensible header even for mono and stereo, with this channel mask
  // (more than two channels always get it).
  bool extensible = false;
  std::uint32_t channelMask = 0;
  // Integer samples get triangular dither of one step before rounding.
  bool dither = false;
  // RF64 whatever the length, as the input was.
  bool rf64 = false;
  // Written before the data (or after it, as each says), in order; must
  // outlive the writer.
  const std::vector<WavChunk>* chunks = nullptr;
};

// The triangular dither of integer outputs: the sum of two uniform values
// in [-1/2, 1/2), from a generator that starts from the same seed in every
// file, so that a run gives the same bytes each time.
class Dither {
 public:
  double next() { return uniform() + uniform(); }

 private:
  double uniform();
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

class WavStreamWriter {
 public:
  // roomToGrow reserves the header space RF64 needs, for files whose length
  // is not known before they are written. riffLimit is the largest RIFF size
  // written as plain RIFF (lower only to try RF64 on small files).
  WavStreamWriter(ByteSink& sink, int channels, double sampleRate, SampleFormat format, bool roomToGrow,
                  std::uint64_t riffLimit = 0xFFFFFFFFull);
  WavStreamWriter(ByteSink& sink, int channels, double sampleRate, const WavOutputForm& form, bool roomToGrow,
                  std::uint64_t riffLimit = 0xFFFFFFFFull);

  bool begin();
  bool append(const float* const* channels, std::size_t count);
  // Puts the sizes into the header; RF64 when the data outgrew RIFF.
  bool finish();
  std::uint64_t frames() const { return frames_; }
  const std::string& problem() const { return problem_; }

 private:
  bool fail(std::string problem);

  ByteSink& sink_;
  std::uint32_t channels_;
  std::uint32_t sampleRate_;
  SampleFormat format_;
  WavOutputForm form_;
  Dither dither_;
  bool roomToGrow_;
  std::uint64_t riffLimit_;
  std::uint64_t dataOffset_ = 0;
  std::uint64_t frames_ = 0;
  std::uint64_t factOffset_ = 0;  // of the fact chunk's frame count; 0 without one
  std::vector<std::uint8_t> buffer_;
  std::string problem_;
};

}  // namespace host
