#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <istream>
#include <vector>

#include "host/WavFile.h"
#include "host/WavLayout.h"

namespace host {

int bytesPerSample(SampleFormat format) {
  switch (format) {
    case SampleFormat::Pcm8: return 1;
    case SampleFormat::Pcm16: return 2;
    case SampleFormat::Pcm24: return 3;
    case SampleFormat::Pcm32: return 4;
    case SampleFormat::Float32: return 4;
    case SampleFormat::Float64: return 8;
  }
  return 0;
}

const char* formatName(SampleFormat format) {
  switch (format) {
    case SampleFormat::Pcm8: return "8-bit PCM";
    case SampleFormat::Pcm16: return "16-bit PCM";
    case SampleFormat::Pcm24: return "24-bit PCM";
    case SampleFormat::Pcm32: return "32-bit PCM";
    case SampleFormat::Float32: return "32-bit float";
    case SampleFormat::Float64: return "64-bit float";
  }
  return "unknown";
}

namespace {

using namespace wav;

struct FormatChunk {
  SampleFormat format = SampleFormat::Pcm16;
  std::uint32_t channels = 0;
  std::uint32_t sampleRate = 0;
  bool extensible = false;
};

WavReadResult failure(WavStatus status, std::string message) {
  WavReadResult result;
  result.status = status;
  result.message = std::move(message);
  return result;
}

std::string hex16(std::uint16_t v) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
  return s;
}

// Parses the fmt chunk; an empty message means it describes something we read.
std::string parseFormat(const std::vector<std::uint8_t>& bytes, FormatChunk& out, WavStatus& status) {
  status = WavStatus::Malformed;
  if (bytes.size() < 16) return "the fmt chunk is shorter than 16 bytes";
  std::uint16_t tag = get16(&bytes[0]);
  out.channels = get16(&bytes[2]);
  out.sampleRate = get32(&bytes[4]);
  std::uint16_t blockAlign = get16(&bytes[12]);
  std::uint16_t bits = get16(&bytes[14]);
  if (out.channels == 0) return "the file declares no channels";
  if (out.channels > kMaxChannels) return "the file declares " + std::to_string(out.channels) + " channels";
  if (out.sampleRate == 0) return "the file declares a sample rate of 0";

  if (tag == kFormatExtensible) {
    out.extensible = true;
    if (bytes.size() < 40 || get16(&bytes[16]) < 22) return "the extensible fmt chunk is incomplete";
    std::uint16_t validBits = get16(&bytes[18]);
    if (validBits > bits) return "more valid bits than the sample container holds";
    if (!std::equal(kGuidTail.begin(), kGuidTail.end(), bytes.begin() + 26)) {
      status = WavStatus::Unsupported;
      return "the extensible header names a sub-format that is not PCM or float";
    }
    tag = get16(&bytes[24]);
  }

  status = WavStatus::Unsupported;
  if (tag == kFormatPcm) {
    switch (bits) {
      case 8: out.format = SampleFormat::Pcm8; break;
      case 16: out.format = SampleFormat::Pcm16; break;
      case 24: out.format = SampleFormat::Pcm24; break;
      case 32: out.format = SampleFormat::Pcm32; break;
      default: return std::to_string(bits) + "-bit PCM is not supported";
    }
  } else if (tag == kFormatFloat) {
    switch (bits) {
      case 32: out.format = SampleFormat::Float32; break;
      case 64: out.format = SampleFormat::Float64; break;
      default: return std::to_string(bits) + "-bit float is not supported";
    }
  } else {
    return "sample format " + hex16(tag) + " is not supported (only PCM and IEEE float are)";
  }
  status = WavStatus::Malformed;
  if (blockAlign != out.channels * static_cast<std::uint32_t>(bytesPerSample(out.format)))
    return "the block alignment does not match channels and sample size";
  return {};
}

float decode(const std::uint8_t* p, SampleFormat format) {
  switch (format) {
    case SampleFormat::Pcm8: return static_cast<float>(static_cast<int>(p[0]) - 128) / 128.0f;
    case SampleFormat::Pcm16: return static_cast<float>(static_cast<std::int16_t>(get16(p))) / 32768.0f;
    case SampleFormat::Pcm24: {
      // Sign-extend through the top byte of a 32-bit word.
      const std::uint32_t raw = (static_cast<std::uint32_t>(p[0]) << 8) | (static_cast<std::uint32_t>(p[1]) << 16) |
                                (static_cast<std::uint32_t>(p[2]) << 24);
      return static_cast<float>(static_cast<std::int32_t>(raw) >> 8) / 8388608.0f;
    }
    case SampleFormat::Pcm32:
      return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(get32(p))) / 2147483648.0);
    case SampleFormat::Float32: return std::bit_cast<float>(get32(p));
    case SampleFormat::Float64: {
      std::uint64_t bits = static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
      return static_cast<float>(std::bit_cast<double>(bits));
    }
  }
  return 0.0f;
}

bool readSamples(std::istream& in, std::uint64_t frames, const FormatChunk& fmt, AudioData& audio) {
  const std::size_t sampleBytes = static_cast<std::size_t>(bytesPerSample(fmt.format));
  const std::size_t frameBytes = sampleBytes * fmt.channels;
  audio.sampleRate = fmt.sampleRate;
  audio.channels.assign(fmt.channels, std::vector<float>(static_cast<std::size_t>(frames)));
  constexpr std::uint64_t kBlockFrames = 8192;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlockFrames) * frameBytes);
  for (std::uint64_t done = 0; done < frames;) {
    const std::size_t n = static_cast<std::size_t>(std::min(kBlockFrames, frames - done));
    if (!in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(n * frameBytes))) return false;
    const std::uint8_t* p = block.data();
    for (std::size_t f = 0; f < n; ++f) {
      for (std::uint32_t c = 0; c < fmt.channels; ++c, p += sampleBytes)
        audio.channels[c][static_cast<std::size_t>(done) + f] = decode(p, fmt.format);
    }
    done += n;
  }
  return true;
}

}  // namespace

WavReadResult readWav(std::istream& in) {
  in.seekg(0, std::ios::end);
  const std::streamoff streamEnd = in.tellg();
  in.seekg(0, std::ios::beg);
  if (!in || streamEnd < 0) return failure(WavStatus::CannotOpen, "the file cannot be read");

  std::uint8_t header[12];
  if (!in.read(reinterpret_cast<char*>(header), 12) || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0)
    return failure(WavStatus::NotWave, "not a RIFF/WAVE file");

  FormatChunk fmt;
  bool haveFormat = false;
  std::streamoff dataStart = -1;
  std::uint64_t dataBytes = 0;
  bool truncated = false;

  // Walk the chunks until both the format and the data are known; everything
  // else (fact, LIST, cue ...) is skipped with its pad byte.
  while (!(haveFormat && dataStart >= 0)) {
    std::uint8_t chunk[8];
    if (!in.read(reinterpret_cast<char*>(chunk), 8)) break;
    const std::uint32_t size = get32(chunk + 4);
    const std::streamoff start = in.tellg();
    const std::uint64_t available = static_cast<std::uint64_t>(streamEnd - start);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (haveFormat) return failure(WavStatus::Malformed, "the file has two fmt chunks");
      if (size > available) return failure(WavStatus::Malformed, "the fmt chunk runs past the end of the file");
      std::vector<std::uint8_t> bytes(size);
      if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        return failure(WavStatus::Malformed, "the fmt chunk cannot be read");
      WavStatus status;
      std::string problem = parseFormat(bytes, fmt, status);
      if (!problem.empty()) return failure(status, problem);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (dataStart >= 0) return failure(WavStatus::Malformed, "the file has two data chunks");
      dataStart = start;
      dataBytes = size;
      // Writers that stream leave the size unset or too large: take what is there.
      if (dataBytes > available) {
        dataBytes = available;
        truncated = true;
      }
    }
    if (haveFormat && dataStart >= 0) break;
    const std::uint64_t skip = static_cast<std::uint64_t>(size) + (size & 1u);
    if (skip >= available) break;
    in.seekg(start + static_cast<std::streamoff>(skip), std::ios::beg);
  }
  if (!haveFormat) return failure(WavStatus::Malformed, "the file has no fmt chunk");
  if (dataStart < 0) return failure(WavStatus::Malformed, "the file has no data chunk");

  const std::uint64_t frameBytes = static_cast<std::uint64_t>(bytesPerSample(fmt.format)) * fmt.channels;
  const std::uint64_t frames = dataBytes / frameBytes;
  if (dataBytes % frameBytes != 0) truncated = true;

  WavReadResult result;
  in.clear();
  in.seekg(dataStart, std::ios::beg);
  if (!readSamples(in, frames, fmt, result.audio)) return failure(WavStatus::CannotOpen, "the audio data cannot be read");
  result.status = WavStatus::Ok;
  result.format = fmt.format;
  result.extensible = fmt.extensible;
  result.truncated = truncated;
  return result;
}

WavReadResult readWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return failure(WavStatus::CannotOpen, "cannot open " + path);
  return readWav(in);
}

}  // namespace host
