#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <istream>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavLayout.h"
#include "host/audio/WavStream.h"

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
  std::uint32_t channelMask = 0;
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
  if (out.sampleRate > kMaxSampleRate)
    return "the file declares a sample rate of " + std::to_string(out.sampleRate) + " Hz, beyond what a WAV file carries";

  if (tag == kFormatExtensible) {
    out.extensible = true;
    if (bytes.size() < 40 || get16(&bytes[16]) < 22) return "the extensible fmt chunk is incomplete";
    std::uint16_t validBits = get16(&bytes[18]);
    if (validBits > bits) return "more valid bits than the sample container holds";
    out.channelMask = get32(&bytes[20]);
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

// Byte access to an input stream, for files already open as one.
class StreamSource : public ByteSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  bool readAt(std::uint64_t offset, void* to, std::size_t n) override {
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    return static_cast<bool>(in_.read(static_cast<char*>(to), static_cast<std::streamsize>(n)));
  }
  std::uint64_t size() override {
    in_.clear();
    in_.seekg(0, std::ios::end);
    const std::streamoff end = in_.tellg();
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
  }

 private:
  std::istream& in_;
};

std::uint64_t get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

WavReadResult readAll(ByteSource& source) {
  WavHeaderResult header = readWavHeader(source);
  WavReadResult result;
  if (!header.ok()) return failure(header.status, header.message);
  const WavInfo& info = header.info;
  try {
    result.audio.sampleRate = info.sampleRate;
    result.audio.channels.assign(info.channels, std::vector<float>(static_cast<std::size_t>(info.frames)));
  } catch (const std::exception&) {
    return failure(WavStatus::CannotOpen, "the file is too long to hold in memory");
  }
  constexpr std::uint64_t kBlockFrames = 8192;
  std::vector<std::uint8_t> buffer;
  std::vector<float*> to(info.channels);
  for (std::uint64_t done = 0; done < info.frames;) {
    const std::size_t n = static_cast<std::size_t>(std::min(kBlockFrames, info.frames - done));
    for (std::uint32_t c = 0; c < info.channels; ++c) to[c] = result.audio.channels[c].data() + done;
    if (!readWavFrames(source, info, done, n, to.data(), buffer))
      return failure(WavStatus::CannotOpen, "the audio data cannot be read");
    done += n;
  }
  result.status = WavStatus::Ok;
  result.format = info.format;
  result.extensible = info.extensible;
  result.truncated = info.truncated;
  return result;
}

}  // namespace

WavHeaderResult readWavHeader(ByteSource& source) {
  WavHeaderResult result;
  auto fail = [&](WavStatus status, std::string message) {
    result.status = status;
    result.message = std::move(message);
    return result;
  };
  const std::uint64_t fileEnd = source.size();
  std::uint8_t header[12];
  if (fileEnd < 12 || !source.readAt(0, header, 12)) return fail(WavStatus::NotWave, "not a RIFF/WAVE file");
  const bool riff = std::memcmp(header, "RIFF", 4) == 0;
  const bool rf64 = std::memcmp(header, "RF64", 4) == 0 || std::memcmp(header, "BW64", 4) == 0;
  if (!(riff || rf64) || std::memcmp(header + 8, "WAVE", 4) != 0)
    return fail(WavStatus::NotWave, "not a RIFF/WAVE file");

  FormatChunk fmt;
  bool haveFormat = false;
  bool haveData = false;
  bool haveDs64 = false;
  std::uint64_t ds64DataBytes = 0;
  std::uint64_t dataStart = 0;
  std::uint64_t dataBytes = 0;
  bool truncated = false;

  // Walk the chunks until both the format and the data are known; everything
  // else (fact, LIST, cue ...) is skipped with its pad byte.
  for (std::uint64_t offset = 12; offset + 8 <= fileEnd;) {
    std::uint8_t chunk[8];
    if (!source.readAt(offset, chunk, 8)) break;
    std::uint64_t size = get32(chunk + 4);
    const std::uint64_t start = offset + 8;
    const std::uint64_t available = fileEnd - start;
    if (rf64 && std::memcmp(chunk, "ds64", 4) == 0) {
      std::uint8_t body[24];
      if (size < 24 || available < 24 || !source.readAt(start, body, 24))
        return fail(WavStatus::Malformed, "the ds64 chunk is incomplete");
      haveDs64 = true;
      ds64DataBytes = get64(body + 8);
    } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (haveFormat) return fail(WavStatus::Malformed, "the file has two fmt chunks");
      if (size > available) return fail(WavStatus::Malformed, "the fmt chunk runs past the end of the file");
      // Nothing past the extensible header's 40 bytes is needed.
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, 64)));
      if (!bytes.empty() && !source.readAt(start, bytes.data(), bytes.size()))
        return fail(WavStatus::Malformed, "the fmt chunk cannot be read");
      WavStatus status;
      std::string problem = parseFormat(bytes, fmt, status);
      if (!problem.empty()) return fail(status, problem);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (haveData) return fail(WavStatus::Malformed, "the file has two data chunks");
      haveData = true;
      dataStart = start;
      if (rf64 && size == 0xFFFFFFFFu) {
        if (!haveDs64) return fail(WavStatus::Malformed, "the RF64 file has no ds64 chunk before its data");
        size = ds64DataBytes;
      }
      dataBytes = size;
      // Writers that stream leave the size unset or too large: take what is there.
      if (dataBytes > available) {
        dataBytes = available;
        truncated = true;
      }
    }
    if (haveFormat && haveData) break;
    const std::uint64_t skip = size + (size & 1u);
    if (skip >= available) break;
    offset = start + skip;
  }
  if (!haveFormat) return fail(WavStatus::Malformed, "the file has no fmt chunk");
  if (!haveData) return fail(WavStatus::Malformed, "the file has no data chunk");

  WavInfo& info = result.info;
  info.format = fmt.format;
  info.channels = fmt.channels;
  info.sampleRate = fmt.sampleRate;
  info.extensible = fmt.extensible;
  info.channelMask = fmt.channelMask;
  info.rf64 = rf64;
  info.dataOffset = dataStart;
  info.frames = dataBytes / info.frameBytes();
  info.truncated = truncated || dataBytes % info.frameBytes() != 0;
  result.status = WavStatus::Ok;
  return result;
}

bool readWavFrames(ByteSource& source, const WavInfo& info, std::uint64_t position, std::size_t count,
                   float* const* channels, std::vector<std::uint8_t>& buffer) {
  if (position > info.frames || count > info.frames - position) return false;
  const std::size_t sampleBytes = static_cast<std::size_t>(bytesPerSample(info.format));
  const std::size_t frameBytes = sampleBytes * info.channels;
  constexpr std::size_t kChunkFrames = 16384;
  if (buffer.size() < kChunkFrames * frameBytes) buffer.resize(kChunkFrames * frameBytes);
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(kChunkFrames, count - done);
    if (!source.readAt(info.dataOffset + (position + done) * frameBytes, buffer.data(), n * frameBytes)) return false;
    const std::uint8_t* p = buffer.data();
    for (std::size_t f = 0; f < n; ++f)
      for (std::uint32_t c = 0; c < info.channels; ++c, p += sampleBytes) channels[c][done + f] = decode(p, info.format);
    done += n;
  }
  return true;
}

WavReadResult readWav(std::istream& in) {
  StreamSource source(in);
  return readAll(source);
}

WavReadResult readWav(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(pathFromUtf8(path), error))
    return failure(WavStatus::CannotOpen, path + " is a folder, not a file");
  DiskFile file(path, DiskFile::Mode::Read);
  if (!file.isOpen()) return failure(WavStatus::CannotOpen, "cannot open " + path);
  DiskFileSource source(file);
  return readAll(source);
}

}  // namespace host
