// libFuzzer target for the WAV reader: whatever the bytes, the header reader
// either refuses them with a reason or describes audio that lies inside the
// file; every frame it promises can be read, block reads agree with the
// whole-file reader, and writing the audio and reading it back gives it again.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/WavFile.h"
#include "host/audio/WavStream.h"

namespace {

void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "wav fuzz: %s\n", what);
  std::abort();
}

class MemorySource : public host::ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool readAt(std::uint64_t offset, void* to, std::size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    if (n > 0) std::memcpy(to, data_ + offset, n);
    return true;
  }
  std::uint64_t size() override { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

class MemorySink : public host::ByteSink {
 public:
  bool writeAt(std::uint64_t offset, const void* from, std::size_t n) override {
    if (bytes.size() < offset + n) bytes.resize(offset + n);
    std::memcpy(bytes.data() + offset, from, n);
    return true;
  }
  std::vector<std::uint8_t> bytes;
};

bool same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void checkSameAudio(const host::AudioData& a, const host::AudioData& b, const char* what) {
  check(a.channelCount() == b.channelCount() && a.frames() == b.frames(), what);
  for (int c = 0; c < a.channelCount(); ++c)
    for (std::size_t i = 0; i < a.frames(); ++i) check(same(a.channels[c][i], b.channels[c][i]), what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemorySource source(data, size);
  const host::WavHeaderResult header = host::readWavHeader(source);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream stream(bytes);
  const host::WavReadResult whole = host::readWav(stream);
  check(whole.status == header.status, "the whole-file and header readers disagree");
  if (!header.ok()) {
    check(!header.message.empty(), "a refusal without a reason");
    return 0;
  }
  const host::WavInfo& info = header.info;
  check(info.channels >= 1 && info.channels <= 1024, "channel count out of range");
  check(info.sampleRate >= 1 && info.sampleRate <= 0x7FFFFFFFu, "sample rate out of range");
  check(info.dataOffset <= size && info.frames * info.frameBytes() <= size - info.dataOffset,
        "frames promised beyond the end of the file");

  // Every promised frame reads, in blocks of an odd size, as the whole-file reader has it.
  host::AudioData blocks = host::AudioData::silence(static_cast<int>(info.channels),
                                                    static_cast<std::size_t>(info.frames), info.sampleRate);
  std::vector<std::uint8_t> buffer;
  std::vector<float*> to(info.channels);
  constexpr std::size_t kBlock = 37;
  for (std::size_t done = 0; done < info.frames; done += kBlock) {
    for (std::uint32_t c = 0; c < info.channels; ++c) to[c] = blocks.channels[c].data() + done;
    check(host::readWavFrames(source, info, done, std::min<std::size_t>(kBlock, info.frames - done), to.data(), buffer),
          "a promised frame cannot be read");
  }
  float spare = 0.0f;
  std::vector<float*> one(info.channels, &spare);
  check(!host::readWavFrames(source, info, info.frames, 1, one.data(), buffer), "read a frame past the end");
  checkSameAudio(blocks, whole.audio, "block reads differ from the whole-file read");

  // Written back in its own format, plain and as RF64, it reads the same.
  for (const std::uint64_t riffLimit : {std::uint64_t{0xFFFFFFFFu}, std::uint64_t{0}}) {
    MemorySink sink;
    host::WavStreamWriter writer(sink, static_cast<int>(info.channels), info.sampleRate, info.format, true, riffLimit);
    std::vector<const float*> from;
    for (const auto& channel : blocks.channels) from.push_back(channel.data());
    check(writer.begin() && writer.append(from.data(), blocks.frames()) && writer.finish(), "cannot write it back");
    MemorySource again(sink.bytes.data(), sink.bytes.size());
    const host::WavHeaderResult reread = host::readWavHeader(again);
    check(reread.ok() && reread.info.frames == info.frames && reread.info.rf64 == (riffLimit == 0) &&
              !reread.info.truncated && reread.info.format == info.format,
          "the written file reads differently");
    std::string copy(sink.bytes.begin(), sink.bytes.end());
    std::istringstream copyStream(copy);
    const host::WavReadResult back = host::readWav(copyStream);
    check(back.ok(), "the written file cannot be read");
    // PCM and float round trips are exact for what the reader produced,
    // except NaN in a PCM format, which the writer makes silence.
    if (info.format == host::SampleFormat::Float32 || info.format == host::SampleFormat::Float64)
      checkSameAudio(back.audio, blocks, "the round trip changed the audio");
  }
  return 0;
}
