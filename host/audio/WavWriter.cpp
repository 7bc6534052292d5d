#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>
#include <ostream>
#include <vector>

#include "host/audio/WavChunks.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/audio/WavLayout.h"
#include "host/audio/WavStream.h"

namespace host {

namespace {

using namespace wav;

WavWriteResult writeFailure(std::string message) { return {WavStatus::WriteFailed, std::move(message)}; }

bool isFloat(SampleFormat format) { return format == SampleFormat::Float32 || format == SampleFormat::Float64; }

// Rounds to the nearest step of 2^-(bits-1), after adding the dither (in
// steps), and clips to the range the integer holds; NaN becomes silence.
std::int64_t quantise(float sample, double scale, std::int64_t low, std::int64_t high, Dither* dither) {
  if (std::isnan(sample)) return 0;
  double v = static_cast<double>(sample) * scale;
  if (dither) v += dither->next();
  v = std::nearbyint(v);
  if (v <= static_cast<double>(low)) return low;
  if (v >= static_cast<double>(high)) return high;
  return static_cast<std::int64_t>(v);
}

void encode(float sample, SampleFormat format, std::uint8_t* p, Dither* dither) {
  switch (format) {
    case SampleFormat::Pcm8:
      p[0] = static_cast<std::uint8_t>(quantise(sample, 128.0, -128, 127, dither) + 128);
      break;
    case SampleFormat::Pcm16:
      put16(p, static_cast<std::uint16_t>(quantise(sample, 32768.0, -32768, 32767, dither)));
      break;
    case SampleFormat::Pcm24: {
      const auto v = static_cast<std::uint32_t>(quantise(sample, 8388608.0, -8388608, 8388607, dither));
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      p[2] = static_cast<std::uint8_t>(v >> 16);
      break;
    }
    case SampleFormat::Pcm32:
      put32(p, static_cast<std::uint32_t>(quantise(sample, 2147483648.0, -2147483648LL, 2147483647LL, dither)));
      break;
    case SampleFormat::Float32:
      put32(p, std::bit_cast<std::uint32_t>(sample));
      break;
    case SampleFormat::Float64: {
      const auto bits = std::bit_cast<std::uint64_t>(static_cast<double>(sample));
      put32(p, static_cast<std::uint32_t>(bits));
      put32(p + 4, static_cast<std::uint32_t>(bits >> 32));
      break;
    }
  }
}

// Header sizes: RIFF/WAVE 12, fmt 8 + 16/18/40, fact 12, JUNK (room for
// ds64) 36, data 8.
constexpr std::uint32_t kDs64Body = 28;

class StreamSink : public ByteSink {
 public:
  explicit StreamSink(std::ostream& out) : out_(out) {}
  bool writeAt(std::uint64_t offset, const void* from, std::size_t n) override {
    out_.seekp(static_cast<std::streamoff>(offset), std::ios::beg);
    return static_cast<bool>(out_.write(static_cast<const char*>(from), static_cast<std::streamsize>(n)));
  }

 private:
  std::ostream& out_;
};

void put64(std::uint8_t* p, std::uint64_t v) {
  put32(p, static_cast<std::uint32_t>(v));
  put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace

double Dither::uniform() {
  // splitmix64: the top 53 bits as a fraction of one.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1p-53 - 0.5;
}

std::string whyNotWritable(int channels, double sampleRate, SampleFormat format) {
  (void)format;
  if (channels < 1 || static_cast<std::uint32_t>(channels) > kMaxChannels)
    return "cannot write a file with this channel count";
  if (!(sampleRate >= 1.0 && sampleRate <= static_cast<double>(kMaxSampleRate)) || sampleRate != std::floor(sampleRate))
    return "a WAV file needs a whole sample rate from 1 to 2147483647 Hz";
  return {};
}

WavStreamWriter::WavStreamWriter(ByteSink& sink, int channels, double sampleRate, SampleFormat format,
                                 bool roomToGrow, std::uint64_t riffLimit)
    : WavStreamWriter(sink, channels, sampleRate, WavOutputForm{format}, roomToGrow, riffLimit) {}

WavStreamWriter::WavStreamWriter(ByteSink& sink, int channels, double sampleRate, const WavOutputForm& form,
                                 bool roomToGrow, std::uint64_t riffLimit)
    : sink_(sink),
      channels_(static_cast<std::uint32_t>(std::max(channels, 0))),
      sampleRate_(sampleRate >= 1.0 && sampleRate <= static_cast<double>(kMaxSampleRate)
                      ? static_cast<std::uint32_t>(sampleRate)
                      : 0),
      format_(form.format),
      form_(form),
      roomToGrow_(roomToGrow || form.rf64),
      riffLimit_(std::min<std::uint64_t>(riffLimit, 0xFFFFFFFFull)) {
  problem_ = whyNotWritable(channels, sampleRate, form.format);
}

bool WavStreamWriter::fail(std::string problem) {
  if (problem_.empty()) problem_ = std::move(problem);
  return false;
}

bool WavStreamWriter::begin() {
  if (!problem_.empty()) return false;
  const std::uint64_t sampleBytes = static_cast<std::uint64_t>(bytesPerSample(format_));
  const std::uint64_t frameBytes = sampleBytes * channels_;
  const bool extensible = channels_ > 2 || form_.extensible;
  dither_ = Dither();
  factOffset_ = 0;
  const bool withFact = isFloat(format_) || extensible;
  const std::uint32_t fmtBytes = extensible ? 40 : (isFloat(format_) ? 18 : 16);

  std::vector<std::uint8_t> header;
  auto append = [&](const void* bytes, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(bytes);
    header.insert(header.end(), b, b + n);
  };
  auto append16 = [&](std::uint16_t v) {
    std::uint8_t b[2];
    put16(b, v);
    append(b, 2);
  };
  auto append32 = [&](std::uint32_t v) {
    std::uint8_t b[4];
    put32(b, v);
    append(b, 4);
  };

  const std::uint16_t tag = isFloat(format_) ? kFormatFloat : kFormatPcm;
  append("RIFF", 4);
  append32(0);  // sizes are put in by finish
  append("WAVE", 4);
  if (roomToGrow_) {
    // Becomes the ds64 chunk if the file outgrows RIFF.
    append("JUNK", 4);
    append32(kDs64Body);
    header.resize(header.size() + kDs64Body, 0);
  }
  append("fmt ", 4);
  append32(fmtBytes);
  append16(extensible ? kFormatExtensible : tag);
  append16(static_cast<std::uint16_t>(channels_));
  append32(sampleRate_);
  const std::uint64_t bytesPerSecond = static_cast<std::uint64_t>(sampleRate_) * frameBytes;
  append32(bytesPerSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytesPerSecond));
  append16(static_cast<std::uint16_t>(frameBytes));
  append16(static_cast<std::uint16_t>(sampleBytes * 8));
  if (extensible) {
    append16(22);
    append16(static_cast<std::uint16_t>(sampleBytes * 8));
    // Speaker positions are only known when the input said them.
    append32(form_.channelMask);
    append16(tag);
    append(kGuidTail.data(), kGuidTail.size());
  } else if (isFloat(format_)) {
    append16(0);
  }
  if (withFact) {
    append("fact", 4);
    append32(4);
    factOffset_ = header.size();
    append32(0);
  }
  if (form_.chunks)
    for (const WavChunk& chunk : *form_.chunks) {
      if (chunk.afterData) continue;
      append(chunk.id.data(), 4);
      append32(static_cast<std::uint32_t>(chunk.body.size()));
      append(chunk.body.data(), chunk.body.size());
      if (chunk.body.size() & 1u) header.push_back(0);
    }
  append("data", 4);
  append32(0);
  dataOffset_ = header.size();
  if (!sink_.writeAt(0, header.data(), header.size())) return fail("the file cannot be written");
  return true;
}

bool WavStreamWriter::append(const float* const* channels, std::size_t count) {
  if (!problem_.empty() || dataOffset_ == 0) return fail("the file was not begun");
  const std::size_t sampleBytes = static_cast<std::size_t>(bytesPerSample(format_));
  const std::size_t frameBytes = sampleBytes * channels_;
  constexpr std::size_t kChunkFrames = 16384;
  if (buffer_.size() < kChunkFrames * frameBytes) buffer_.resize(kChunkFrames * frameBytes);
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(kChunkFrames, count - done);
    std::uint8_t* p = buffer_.data();
    for (std::size_t f = 0; f < n; ++f)
      for (std::uint32_t c = 0; c < channels_; ++c, p += sampleBytes)
        encode(channels[c][done + f], format_, p, form_.dither ? &dither_ : nullptr);
    if (!sink_.writeAt(dataOffset_ + (frames_ + done) * frameBytes, buffer_.data(), n * frameBytes))
      return fail("the file cannot be written (is the disk full?)");
    done += n;
  }
  frames_ += count;
  return true;
}

bool WavStreamWriter::finish() {
  if (!problem_.empty() || dataOffset_ == 0) return fail("the file was not begun");
  const std::uint64_t frameBytes = static_cast<std::uint64_t>(bytesPerSample(format_)) * channels_;
  const std::uint64_t dataBytes = frames_ * frameBytes;
  // The chunks that followed the data in the input follow it here too.
  std::vector<std::uint8_t> trailing;
  if (dataBytes & 1) trailing.push_back(0);
  if (form_.chunks)
    for (const WavChunk& chunk : *form_.chunks) {
      if (!chunk.afterData) continue;
      std::uint8_t head[8];
      std::copy(chunk.id.begin(), chunk.id.end(), head);
      put32(head + 4, static_cast<std::uint32_t>(chunk.body.size()));
      trailing.insert(trailing.end(), head, head + 8);
      trailing.insert(trailing.end(), chunk.body.begin(), chunk.body.end());
      if (chunk.body.size() & 1u) trailing.push_back(0);
    }
  if (!trailing.empty() && !sink_.writeAt(dataOffset_ + dataBytes, trailing.data(), trailing.size()))
    return fail("the file cannot be written (is the disk full?)");
  const std::uint64_t riffBytes = dataOffset_ - 8 + dataBytes + trailing.size();
  const bool large = riffBytes > riffLimit_ || form_.rf64;
  if (large && !roomToGrow_) return fail("the audio is too long for a WAV file");
  std::uint8_t b[8];
  auto patch32 = [&](std::uint64_t offset, std::uint32_t v) {
    put32(b, v);
    return sink_.writeAt(offset, b, 4);
  };
  bool ok = true;
  if (large) {
    std::uint8_t ds64[8 + kDs64Body] = {'d', 's', '6', '4'};
    put32(ds64 + 4, kDs64Body);
    put64(ds64 + 8, riffBytes);
    put64(ds64 + 16, dataBytes);
    put64(ds64 + 24, frames_);
    put32(ds64 + 32, 0);  // no table of other large chunks
    ok = sink_.writeAt(0, "RF64", 4) && patch32(4, 0xFFFFFFFFu) && sink_.writeAt(12, ds64, sizeof ds64);
  } else {
    ok = patch32(4, static_cast<std::uint32_t>(riffBytes));
  }
  if (ok && factOffset_ != 0)
    ok = patch32(factOffset_, frames_ > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(frames_));
  if (ok) ok = patch32(dataOffset_ - 4, large ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataBytes));
  if (!ok) return fail("the file's header cannot be written");
  return true;
}

namespace {

std::vector<const float*> channelPointers(const AudioData& audio, std::size_t from) {
  std::vector<const float*> pointers;
  for (const auto& channel : audio.channels) pointers.push_back(channel.data() + from);
  return pointers;
}

std::string whyNotWritable(const AudioData& audio, SampleFormat format) {
  for (const auto& channel : audio.channels)
    if (channel.size() != audio.frames()) return "the channels differ in length";
  return whyNotWritable(audio.channelCount(), audio.sampleRate, format);
}

// Room for RF64 only when the audio needs it, so that ordinary files keep
// the plain header.
bool needsRoomToGrow(const AudioData& audio, SampleFormat format) {
  const std::uint64_t dataBytes = static_cast<std::uint64_t>(audio.frames()) *
                                  static_cast<std::uint64_t>(audio.channelCount()) *
                                  static_cast<std::uint64_t>(bytesPerSample(format));
  return dataBytes + 100 > 0xFFFFFFFFull;
}

bool writeAudio(WavStreamWriter& writer, const AudioData& audio) {
  if (!writer.begin()) return false;
  constexpr std::size_t kBlockFrames = 65536;
  for (std::size_t done = 0; done < audio.frames();) {
    const std::size_t n = std::min(kBlockFrames, audio.frames() - done);
    if (!writer.append(channelPointers(audio, done).data(), n)) return false;
    done += n;
  }
  return writer.finish();
}

}  // namespace

WavWriteResult writeWav(std::ostream& out, const AudioData& audio, SampleFormat format) {
  if (std::string problem = whyNotWritable(audio, format); !problem.empty()) return writeFailure(problem);
  StreamSink sink(out);
  WavStreamWriter writer(sink, audio.channelCount(), audio.sampleRate, format, needsRoomToGrow(audio, format));
  if (!writeAudio(writer, audio)) return writeFailure(writer.problem());
  out.seekp(0, std::ios::end);
  return {};
}

WavWriteResult writeWav(const std::string& path, const AudioData& audio, SampleFormat format) {
  if (std::string problem = whyNotWritable(audio, format); !problem.empty()) return writeFailure(problem);
  WavFileOutput output;
  std::string problem;
  if (!output.open(path, audio.channelCount(), audio.sampleRate, format, needsRoomToGrow(audio, format), problem))
    return writeFailure(problem);
  constexpr std::size_t kBlockFrames = 65536;
  for (std::size_t done = 0; done < audio.frames();) {
    const std::size_t n = std::min(kBlockFrames, audio.frames() - done);
    if (!output.append(channelPointers(audio, done).data(), n, problem)) return writeFailure(problem);
    done += n;
  }
  if (!output.commit(problem)) return writeFailure(problem);
  return {};
}

}  // namespace host
