#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/AudioFiles.h"
#include "host/audio/AudioStore.h"
#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/audio/WavStream.h"
#include "tests/host/TempPath.h"

using host::AudioData;
using host::SampleFormat;

namespace {

class MemorySink : public host::ByteSink {
 public:
  // Fails every write that reaches past failFrom bytes, as a full disk does.
  explicit MemorySink(std::uint64_t failFrom = UINT64_MAX) : failFrom_(failFrom) {}
  bool writeAt(std::uint64_t offset, const void* from, std::size_t n) override {
    if (offset + n > failFrom_) return false;
    if (bytes.size() < offset + n) bytes.resize(offset + n);
    std::memcpy(bytes.data() + offset, from, n);
    return true;
  }
  std::vector<std::uint8_t> bytes;

 private:
  std::uint64_t failFrom_;
};

class MemorySource : public host::ByteSource {
 public:
  explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool readAt(std::uint64_t offset, void* to, std::size_t n) override {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    std::memcpy(to, bytes_.data() + offset, n);
    return true;
  }
  std::uint64_t size() override { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

AudioData signal(int channels, std::size_t frames, double rate = 48000.0) {
  AudioData audio = AudioData::silence(channels, frames, rate);
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < frames; ++i)
      audio.channels[c][i] = static_cast<float>(static_cast<int>((i * 13 + c * 5) % 256) - 128) / 128.0f;
  return audio;
}

std::vector<const float*> pointers(const AudioData& audio, std::size_t from = 0) {
  std::vector<const float*> p;
  for (const auto& channel : audio.channels) p.push_back(channel.data() + from);
  return p;
}

// Writes audio through the stream writer in blocks of `block` frames.
bool writeStream(host::ByteSink& sink, const AudioData& audio, SampleFormat format, bool roomToGrow,
                 std::uint64_t riffLimit = 0xFFFFFFFFull, std::size_t block = 7) {
  host::WavStreamWriter writer(sink, audio.channelCount(), audio.sampleRate, format, roomToGrow, riffLimit);
  if (!writer.begin()) return false;
  for (std::size_t done = 0; done < audio.frames(); done += block)
    if (!writer.append(pointers(audio, done).data(), std::min(block, audio.frames() - done))) return false;
  return writer.finish();
}

std::uint32_t word(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) | (std::uint32_t{b[at + 3]} << 24);
}

TEST(WavStream, SwitchesToRf64WhenTheDataOutgrowsRiffAndReadsItBack) {
  const AudioData audio = signal(2, 501);
  for (const bool large : {false, true}) {
    MemorySink sink;
    // A limit below the file's size stands in for 4 GB.
    ASSERT_TRUE(writeStream(sink, audio, SampleFormat::Float32, true, large ? 1000 : 0xFFFFFFFFull));
    const std::string magic(sink.bytes.begin(), sink.bytes.begin() + 4);
    EXPECT_EQ(magic, large ? "RF64" : "RIFF");
    EXPECT_EQ(std::string(sink.bytes.begin() + 12, sink.bytes.begin() + 16), large ? "ds64" : "JUNK");
    if (large) {
      EXPECT_EQ(word(sink.bytes, 4), 0xFFFFFFFFu);
      EXPECT_EQ(word(sink.bytes, 28), 501u * 8u);  // data size, low word of ds64's second field
      EXPECT_EQ(word(sink.bytes, 36), 501u);       // sample count
    } else {
      EXPECT_EQ(word(sink.bytes, 4), sink.bytes.size() - 8);
    }
    MemorySource source(sink.bytes);
    const host::WavHeaderResult header = host::readWavHeader(source);
    ASSERT_TRUE(header.ok()) << header.message;
    EXPECT_EQ(header.info.rf64, large);
    EXPECT_FALSE(header.info.truncated);
    ASSERT_EQ(header.info.frames, 501u);
    AudioData back = AudioData::silence(2, 501, 48000.0);
    std::vector<float*> to = {back.channels[0].data(), back.channels[1].data()};
    std::vector<std::uint8_t> buffer;
    ASSERT_TRUE(host::readWavFrames(source, header.info, 0, 501, to.data(), buffer));
    EXPECT_EQ(back.channels, audio.channels);
  }
}

TEST(WavStream, RefusesAnRf64DataSizeWithoutItsDs64Chunk) {
  MemorySink sink;
  ASSERT_TRUE(writeStream(sink, signal(1, 10), SampleFormat::Pcm16, true, 10));
  std::memcpy(sink.bytes.data() + 12, "JUNK", 4);  // the ds64 chunk is gone
  MemorySource source(sink.bytes);
  EXPECT_EQ(host::readWavHeader(source).status, host::WavStatus::Malformed);
}

TEST(WavStream, ReadsAnyRangeOfFramesAsTheWholeFileHasThem) {
  const AudioData audio = signal(3, 40000);
  MemorySink sink;
  ASSERT_TRUE(writeStream(sink, audio, SampleFormat::Pcm24, true, 0xFFFFFFFFull, 4096));
  MemorySource source(sink.bytes);
  const host::WavHeaderResult header = host::readWavHeader(source);
  ASSERT_TRUE(header.ok());
  EXPECT_TRUE(header.info.extensible);
  std::vector<std::uint8_t> buffer;
  // Ranges across the reader's own chunk size, at the end, and empty.
  for (const auto& [from, count] : std::vector<std::pair<std::uint64_t, std::size_t>>{
           {0, 1}, {16383, 2}, {12345, 20000}, {39999, 1}, {40000, 0}, {0, 40000}}) {
    std::vector<std::vector<float>> got(3, std::vector<float>(count + 1, 99.0f));
    std::vector<float*> to = {got[0].data(), got[1].data(), got[2].data()};
    ASSERT_TRUE(host::readWavFrames(source, header.info, from, count, to.data(), buffer)) << from;
    for (int c = 0; c < 3; ++c) {
      EXPECT_TRUE(std::equal(got[c].begin(), got[c].begin() + count, audio.channels[c].begin() + from)) << from;
      EXPECT_EQ(got[c][count], 99.0f) << "wrote past the range at " << from;
    }
  }
  std::vector<float> one(2);
  std::vector<float*> to = {one.data(), one.data(), one.data()};
  EXPECT_FALSE(host::readWavFrames(source, header.info, 39999, 2, to.data(), buffer));
}

TEST(WavStream, ReportsAFullDeviceAtEveryStageOfWriting) {
  const AudioData audio = signal(2, 300);
  MemorySink whole;
  ASSERT_TRUE(writeStream(whole, audio, SampleFormat::Pcm16, true));
  // Header, first block, a later block, the pad and the patches: each can fail.
  for (std::uint64_t room : {0ull, 20ull, 90ull, 500ull, static_cast<unsigned long long>(whole.bytes.size() - 1)}) {
    MemorySink sink(room);
    host::WavStreamWriter writer(sink, 2, 48000.0, SampleFormat::Pcm16, true);
    bool ok = writer.begin();
    for (std::size_t done = 0; ok && done < 300; done += 100) ok = writer.append(pointers(audio, done).data(), 100);
    ok = ok && writer.finish();
    EXPECT_FALSE(ok) << room;
    EXPECT_FALSE(writer.problem().empty()) << room;
  }
}

TEST(WavStream, WritesOnlySampleRatesAWavFileCarries) {
  for (double rate : {0.0, -44100.0, 2147483648.0, 4294967295.0, 44100.5, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_FALSE(host::whyNotWritable(1, rate, SampleFormat::Float32).empty()) << rate;
  for (double rate : {1.0, 44100.0, 2147483647.0}) EXPECT_TRUE(host::whyNotWritable(1, rate, SampleFormat::Pcm8).empty());
}

TEST(WavStream, RefusesToReadASampleRateBeyondWhatAWavFileCarries) {
  MemorySink sink;
  ASSERT_TRUE(writeStream(sink, signal(1, 4, 8000.0), SampleFormat::Pcm16, false));
  for (std::uint32_t rate : {0x80000000u, 0xFFFFFFFFu, 0u}) {
    std::vector<std::uint8_t> bytes = sink.bytes;
    for (int i = 0; i < 4; ++i) bytes[24 + i] = static_cast<std::uint8_t>(rate >> (8 * i));
    MemorySource source(bytes);
    const host::WavHeaderResult header = host::readWavHeader(source);
    EXPECT_EQ(header.status, host::WavStatus::Malformed) << rate;
    EXPECT_NE(header.message.find("sample rate"), std::string::npos) << header.message;
  }
}

TEST(WavStream, AnOddDataChunkWithItsPadByteIsWhole) {
  for (const SampleFormat format : {SampleFormat::Pcm8, SampleFormat::Pcm24}) {
    std::stringstream file(std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(host::writeWav(file, signal(1, 3), format).ok());
    file.seekp(0, std::ios::end);
    file << "LIST" << std::string("\x04\0\0\0abcd", 8);  // a chunk after the padded data
    const auto read = host::readWav(file);
    ASSERT_TRUE(read.ok()) << read.message;
    EXPECT_FALSE(read.truncated) << host::formatName(format);
    EXPECT_EQ(read.audio.frames(), 3u);
  }
}

class WavOnDisk : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(host::pathFromUtf8(folder), ignored);
  }
  std::vector<std::string> filesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(host::pathFromUtf8(folder)))
      names.push_back(host::utf8FromPath(entry.path().filename()));
    return names;
  }
  std::string content(const std::string& path) const {
    std::ifstream f(host::pathFromUtf8(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  const std::string folder = [] {
    const std::string path = tempPath("wav-folder");
    std::filesystem::create_directories(host::pathFromUtf8(path));
    return path;
  }();
  const std::string target = folder + "/take.wav";
};

TEST_F(WavOnDisk, AnOutputIsInPlaceOnlyAfterCommit) {
  std::ofstream(target, std::ios::binary) << "old take";
  const AudioData audio = signal(2, 1000);
  std::string problem;
  {
    host::WavFileOutput output;
    ASSERT_TRUE(output.open(target, 2, 48000.0, SampleFormat::Float32, true, problem)) << problem;
    ASSERT_TRUE(output.append(pointers(audio).data(), 1000, problem));
    EXPECT_EQ(content(target), "old take");
    EXPECT_EQ(filesInFolder().size(), 2u);
  }  // dropped without commit
  EXPECT_EQ(content(target), "old take");
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"take.wav"});
  host::WavFileOutput output;
  ASSERT_TRUE(output.open(target, 2, 48000.0, SampleFormat::Float32, true, problem));
  ASSERT_TRUE(output.append(pointers(audio).data(), 1000, problem));
  ASSERT_TRUE(output.commit(problem)) << problem;
  EXPECT_EQ(filesInFolder(), std::vector<std::string>{"take.wav"});
  const auto read = host::readWav(target);
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.audio.channels, audio.channels);
}

TEST_F(WavOnDisk, UnicodeNamesOpenAndSave) {
  const std::string name = folder + "/\xE6\xBC\xA2\xE5\xAD\x97 \xC3\xA9\xC3\xBC.wav";  // "漢字 éü.wav"
  ASSERT_TRUE(host::writeWav(name, signal(1, 50), SampleFormat::Pcm16).ok());
  host::WavReadResult result;
  auto store = host::openWavStore(name, false, result);
  ASSERT_TRUE(store) << result.message;
  EXPECT_EQ(store->frames(), 50u);
  EXPECT_EQ(host::titleOf(name), "\xE6\xBC\xA2\xE5\xAD\x97 \xC3\xA9\xC3\xBC");
}

TEST_F(WavOnDisk, AFolderAsInputIsCalledAFolder) {
  host::WavReadResult result;
  EXPECT_FALSE(host::openWavStore(folder, false, result));
  EXPECT_NE(result.message.find("folder"), std::string::npos) << result.message;
  EXPECT_NE(host::readWav(folder).message.find("folder"), std::string::npos);
}

TEST_F(WavOnDisk, FloatSamplesThatAreNoNumbersAreFoundOrRepaired) {
  AudioData audio = signal(2, 70000);
  audio.channels[1][65537] = std::numeric_limits<float>::quiet_NaN();
  audio.channels[0][69999] = -std::numeric_limits<float>::infinity();
  ASSERT_TRUE(host::writeWav(target, audio, SampleFormat::Float32).ok());
  host::WavReadResult result;
  auto store = host::openWavStore(target, false, result);
  ASSERT_TRUE(store);
  const host::NonFiniteSamples bad = host::findNonFinite(*store);
  EXPECT_EQ(bad.count, 2u);
  EXPECT_EQ(bad.firstFrame, 65537u);
  EXPECT_EQ(bad.firstChannel, 1);
  auto repaired = host::openWavStore(target, true, result);
  EXPECT_EQ(host::findNonFinite(*repaired).count, 0u);
  const AudioData back = host::readAll(*repaired);
  EXPECT_EQ(back.channels[1][65537], 0.0f);
  EXPECT_EQ(back.channels[1][65536], audio.channels[1][65536]);
}

TEST_F(WavOnDisk, ScratchStoresFillGapsWithSilenceAndVanishWithTheStore) {
  std::string problem;
  {
    auto store = host::makeScratchStore(folder, 2, 8000.0, problem);
    ASSERT_TRUE(store) << problem;
    const AudioData block = signal(2, 5);
    ASSERT_TRUE(store->write(10, 5, pointers(block).data()));
    ASSERT_TRUE(store->write(2, 1, pointers(block, 4).data()));  // back inside what is there
    EXPECT_EQ(store->frames(), 15u);
    const AudioData all = host::readAll(*store);
    for (int c = 0; c < 2; ++c) {
      std::vector<float> expected(15, 0.0f);
      expected[2] = block.channels[c][4];
      std::copy(block.channels[c].begin(), block.channels[c].end(), expected.begin() + 10);
      EXPECT_EQ(all.channels[c], expected);
    }
    EXPECT_EQ(filesInFolder().size(), 1u);
  }
  EXPECT_TRUE(filesInFolder().empty());
  EXPECT_FALSE(host::makeScratchStore(folder + "/missing", 1, 8000.0, problem));
  EXPECT_FALSE(problem.empty());
}

// The C library wants a seek or a flush between writing and reading in
// either order; the shortcut for a write where the last read ended must not
// skip it.
TEST(DiskFile, TurnsBetweenReadingAndWritingAtTheSamePlace) {
  const std::string path = tempPath("turns.bin");
  {
    host::DiskFile file(path, host::DiskFile::Mode::Create);
    ASSERT_TRUE(file.writeAt(0, "abcd", 4));
    char two[2];
    ASSERT_TRUE(file.readAt(0, two, 2));
    EXPECT_EQ(std::string(two, 2), "ab");
    ASSERT_TRUE(file.writeAt(2, "XY", 2));
    char all[4];
    ASSERT_TRUE(file.readAt(0, all, 4));
    EXPECT_EQ(std::string(all, 4), "abXY");
    EXPECT_EQ(file.size(), 4u);
    ASSERT_TRUE(file.writeAt(4, "!", 1));
    EXPECT_EQ(file.size(), 5u);
    EXPECT_TRUE(file.close());
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abXY!");
  in.close();
  std::filesystem::remove(path);
}

#if !defined(_WIN32)
TEST(DiskFile, SaysWhenWhatWasWrittenDidNotReachTheDevice) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  host::DiskFile file("/dev/full", host::DiskFile::Mode::Create);
  ASSERT_TRUE(file.isOpen());
  const char bytes[100] = {};
  file.writeAt(0, bytes, sizeof bytes);  // buffered: may seem to succeed
  EXPECT_FALSE(file.close());
}
#endif

}  // namespace
