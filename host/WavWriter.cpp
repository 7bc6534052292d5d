#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <ostream>
#include <vector>

#include "host/WavFile.h"
#include "host/WavLayout.h"

namespace host {

namespace {

using namespace wav;

WavWriteResult writeFailure(std::string message) { return {WavStatus::WriteFailed, std::move(message)}; }

bool isFloat(SampleFormat format) { return format == SampleFormat::Float32 || format == SampleFormat::Float64; }

// Rounds to the nearest step of 2^-(bits-1) and clips to the range the
// integer holds; NaN becomes silence.
std::int64_t quantise(float sample, double scale, std::int64_t low, std::int64_t high) {
  if (std::isnan(sample)) return 0;
  const double v = std::nearbyint(static_cast<double>(sample) * scale);
  if (v <= static_cast<double>(low)) return low;
  if (v >= static_cast<double>(high)) return high;
  return static_cast<std::int64_t>(v);
}

void encode(float sample, SampleFormat format, std::uint8_t* p) {
  switch (format) {
    case SampleFormat::Pcm8:
      p[0] = static_cast<std::uint8_t>(quantise(sample, 128.0, -128, 127) + 128);
      break;
    case SampleFormat::Pcm16:
      put16(p, static_cast<std::uint16_t>(quantise(sample, 32768.0, -32768, 32767)));
      break;
    case SampleFormat::Pcm24: {
      const auto v = static_cast<std::uint32_t>(quantise(sample, 8388608.0, -8388608, 8388607));
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      p[2] = static_cast<std::uint8_t>(v >> 16);
      break;
    }
    case SampleFormat::Pcm32:
      put32(p, static_cast<std::uint32_t>(quantise(sample, 2147483648.0, -2147483648LL, 2147483647LL)));
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

// Why the audio cannot go into a WAV file in this format; empty when it can.
std::string whyNotWritable(const AudioData& audio, SampleFormat format) {
  const std::uint64_t channels = static_cast<std::uint64_t>(audio.channelCount());
  if (channels == 0 || channels > kMaxChannels) return "cannot write a file with this channel count";
  for (const auto& channel : audio.channels)
    if (channel.size() != audio.frames()) return "the channels differ in length";
  const double rate = audio.sampleRate;
  if (!(rate >= 1.0 && rate <= 4294967295.0) || rate != std::floor(rate))
    return "a WAV file needs a whole sample rate from 1 to 4294967295 Hz";
  const std::uint64_t frames = audio.frames();
  const std::uint64_t dataBytes = frames * channels * static_cast<std::uint64_t>(bytesPerSample(format));
  // Header, fact chunk and pad byte at most 80 bytes.
  if (dataBytes + 80 > 0xFFFFFFFFull) return "the audio is too long for a WAV file";
  return {};
}

}  // namespace

WavWriteResult writeWav(std::ostream& out, const AudioData& audio, SampleFormat format) {
  if (std::string problem = whyNotWritable(audio, format); !problem.empty()) return writeFailure(problem);
  const std::uint64_t channels = static_cast<std::uint64_t>(audio.channelCount());
  const double rate = audio.sampleRate;
  const std::uint64_t sampleBytes = static_cast<std::uint64_t>(bytesPerSample(format));
  const std::uint64_t frameBytes = sampleBytes * channels;
  const std::uint64_t frames = audio.frames();
  const std::uint64_t dataBytes = frames * frameBytes;
  const bool extensible = channels > 2;
  const bool withFact = isFloat(format) || extensible;
  const std::uint32_t fmtBytes = extensible ? 40 : (isFloat(format) ? 18 : 16);
  const std::uint64_t riffBytes = 4 + (8 + fmtBytes) + (withFact ? 12 : 0) + 8 + dataBytes + (dataBytes & 1);

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

  const std::uint16_t tag = isFloat(format) ? kFormatFloat : kFormatPcm;
  append("RIFF", 4);
  append32(static_cast<std::uint32_t>(riffBytes));
  append("WAVE", 4);
  append("fmt ", 4);
  append32(fmtBytes);
  append16(extensible ? kFormatExtensible : tag);
  append16(static_cast<std::uint16_t>(channels));
  append32(static_cast<std::uint32_t>(rate));
  append32(static_cast<std::uint32_t>(rate * static_cast<double>(frameBytes) > 4294967295.0
                                          ? 0xFFFFFFFFu
                                          : static_cast<std::uint32_t>(rate) * static_cast<std::uint32_t>(frameBytes)));
  append16(static_cast<std::uint16_t>(frameBytes));
  append16(static_cast<std::uint16_t>(sampleBytes * 8));
  if (extensible) {
    append16(22);
    append16(static_cast<std::uint16_t>(sampleBytes * 8));
    // Speaker positions are unknown beyond stereo: no channel mask.
    append32(0);
    append16(tag);
    append(kGuidTail.data(), kGuidTail.size());
  } else if (isFloat(format)) {
    append16(0);
  }
  if (withFact) {
    append("fact", 4);
    append32(4);
    append32(static_cast<std::uint32_t>(frames));
  }
  append("data", 4);
  append32(static_cast<std::uint32_t>(dataBytes));
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));

  constexpr std::uint64_t kBlockFrames = 8192;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlockFrames * frameBytes));
  for (std::uint64_t done = 0; done < frames && out;) {
    const std::uint64_t n = std::min(kBlockFrames, frames - done);
    std::uint8_t* p = block.data();
    for (std::uint64_t f = 0; f < n; ++f)
      for (std::uint64_t c = 0; c < channels; ++c, p += sampleBytes)
        encode(audio.channels[c][static_cast<std::size_t>(done + f)], format, p);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n * frameBytes));
    done += n;
  }
  if (dataBytes & 1) out.put('\0');
  if (!out) return writeFailure("the file cannot be written");
  return {};
}

WavWriteResult writeWav(const std::string& path, const AudioData& audio, SampleFormat format) {
  if (std::string problem = whyNotWritable(audio, format); !problem.empty()) return writeFailure(problem);
  WavWriteResult result;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return writeFailure("cannot create " + path);
    result = writeWav(out, audio, format);
    out.close();
    if (result.ok() && !out) result = writeFailure("cannot finish writing " + path);
  }
  // A half-written file must not pass for a result.
  if (!result.ok()) std::remove(path.c_str());
  return result;
}

}  // namespace host
