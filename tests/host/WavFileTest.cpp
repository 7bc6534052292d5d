#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/WavFile.h"
#include "host/audio/WavFileOutput.h"
#include "platform/Platform.h"
#include "tests/host/TempPath.h"

using host::AudioData;
using host::SampleFormat;
using host::WavStatus;

namespace {

// A WAVE file put together byte by byte, to say exactly what a reader meets.
class WaveBytes {
 public:
  WaveBytes& chunk(const char* id, const std::vector<std::uint8_t>& body, std::uint32_t declared = ~0u) {
    bytes_.insert(bytes_.end(), id, id + 4);
    put32(declared == ~0u ? static_cast<std::uint32_t>(body.size()) : declared);
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    if (body.size() & 1) bytes_.push_back(0);
    return *this;
  }
  std::string str() const {
    std::vector<std::uint8_t> all = {'R', 'I', 'F', 'F'};
    const auto size = static_cast<std::uint32_t>(bytes_.size() + 4);
    for (int i = 0; i < 4; ++i) all.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    all.insert(all.end(), {'W', 'A', 'V', 'E'});
    all.insert(all.end(), bytes_.begin(), bytes_.end());
    return std::string(all.begin(), all.end());
  }

  static std::vector<std::uint8_t> fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                       std::uint16_t bits, int blockAlign = -1) {
    std::vector<std::uint8_t> b;
    auto p16 = [&](std::uint16_t v) { b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); };
    auto p32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i))); };
    const std::uint16_t align = blockAlign < 0 ? static_cast<std::uint16_t>(channels * bits / 8)
                                               : static_cast<std::uint16_t>(blockAlign);
    p16(tag);
    p16(channels);
    p32(rate);
    p32(rate * align);
    p16(align);
    p16(bits);
    return b;
  }
  static std::vector<std::uint8_t> extensible(std::uint16_t subTag, std::uint16_t channels, std::uint16_t bits,
                                              std::uint16_t validBits, bool goodGuid = true) {
    std::vector<std::uint8_t> b = fmt(0xFFFE, channels, 48000, bits);
    const std::vector<std::uint8_t> tail = {0x16, 0x00, static_cast<std::uint8_t>(validBits),
                                            static_cast<std::uint8_t>(validBits >> 8), 0x03, 0, 0, 0,
                                            static_cast<std::uint8_t>(subTag), static_cast<std::uint8_t>(subTag >> 8),
                                            0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA,
                                            0x00, 0x38, 0x9B, static_cast<std::uint8_t>(goodGuid ? 0x71 : 0x72)};
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  }
  static std::vector<std::uint8_t> pcm16(std::initializer_list<std::int16_t> samples) {
    std::vector<std::uint8_t> b;
    for (std::int16_t s : samples) {
      b.push_back(static_cast<std::uint8_t>(s));
      b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return b;
  }

 private:
  void put32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes_;
};

host::WavReadResult parse(const std::string& bytes) {
  std::istringstream in(bytes, std::ios::binary);
  return host::readWav(in);
}

// Values every format holds exactly: steps of 2^-7 inside [-1, 1).
AudioData gridSignal(int channels, std::size_t frames) {
  AudioData audio = AudioData::silence(channels, frames, 44100.0);
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < frames; ++i)
      audio.channels[c][i] = static_cast<float>(static_cast<int>((i * 37 + c * 11) % 256) - 128) / 128.0f;
  return audio;
}

class WavRoundTrip : public ::testing::TestWithParam<std::tuple<SampleFormat, int>> {};

TEST_P(WavRoundTrip, GivesBackExactlyWhatWasWritten) {
  const auto [format, channels] = GetParam();
  const AudioData audio = gridSignal(channels, 1001);
  std::stringstream file(std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(host::writeWav(file, audio, format).ok());
  const auto read = host::readWav(file);
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.format, format);
  EXPECT_EQ(read.extensible, channels > 2);
  EXPECT_FALSE(read.truncated);
  EXPECT_EQ(read.audio.sampleRate, 44100.0);
  EXPECT_EQ(read.audio.channels, audio.channels);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, WavRoundTrip,
                         ::testing::Combine(::testing::Values(SampleFormat::Pcm8, SampleFormat::Pcm16,
                                                             SampleFormat::Pcm24, SampleFormat::Pcm32,
                                                             SampleFormat::Float32, SampleFormat::Float64),
                                            ::testing::Values(1, 2, 3)));

TEST(WavWriter, RoundsAndClipsPcm) {
  AudioData audio = AudioData::silence(1, 6, 8000.0);
  audio.channels[0] = {1.5f, -2.0f, 1.0f, std::numeric_limits<float>::quiet_NaN(), 0.4f / 32768.0f,
                       0.6f / 32768.0f};
  std::stringstream file(std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(host::writeWav(file, audio, SampleFormat::Pcm16).ok());
  const auto read = host::readWav(file);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.audio.channels[0],
            (std::vector<float>{32767.0f / 32768.0f, -1.0f, 32767.0f / 32768.0f, 0.0f, 0.0f, 1.0f / 32768.0f}));
}

TEST(WavWriter, RefusesWhatAWavFileCannotHoldAndLeavesAnExistingFileAlone) {
  const std::string path = tempPath("keep.wav");
  {
    std::ofstream keep(path, std::ios::binary);
    keep << "precious";
  }
  AudioData audio = AudioData::silence(1, 10, 44100.5);
  auto result = host::writeWav(path, audio, SampleFormat::Float32);
  EXPECT_EQ(result.status, WavStatus::WriteFailed);
  EXPECT_FALSE(host::writeWav(path, AudioData::silence(0, 10, 44100.0), SampleFormat::Float32).ok());
  AudioData ragged = AudioData::silence(2, 10, 44100.0);
  ragged.channels[1].resize(9);
  EXPECT_FALSE(host::writeWav(path, ragged, SampleFormat::Float32).ok());
  std::ifstream kept(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "precious");
  kept.close();
  std::remove(path.c_str());
}

TEST(WavWriter, WritesFloatWithAFactChunkThatCountsTheFrames) {
  std::stringstream file(std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(host::writeWav(file, gridSignal(2, 7), SampleFormat::Float32).ok());
  const std::string bytes = file.str();
  ASSERT_EQ(bytes.size(), 12u + 26u + 12u + 8u + 56u);
  EXPECT_EQ(bytes.substr(38, 4), "fact");
  EXPECT_EQ(static_cast<unsigned char>(bytes[46]), 7u);
}

TEST(WavReader, SkipsOtherChunksWithTheirPadBytes) {
  const auto read = parse(WaveBytes()
                              .chunk("LIST", {1, 2, 3})  // odd size: one pad byte follows
                              .chunk("fmt ", WaveBytes::fmt(1, 1, 8000, 16))
                              .chunk("junk", {})
                              .chunk("data", WaveBytes::pcm16({16384, -32768}))
                              .chunk("cue ", {0, 0, 0, 0})
                              .str());
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.audio.channels[0], (std::vector<float>{0.5f, -1.0f}));
  EXPECT_EQ(read.audio.sampleRate, 8000.0);
}

TEST(WavReader, FindsTheFormatAfterTheData) {
  const auto read = parse(WaveBytes()
                              .chunk("data", WaveBytes::pcm16({1, 2, 3, 4}))
                              .chunk("fmt ", WaveBytes::fmt(1, 2, 8000, 16))
                              .str());
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.audio.channels[1], (std::vector<float>{2.0f / 32768.0f, 4.0f / 32768.0f}));
}

TEST(WavReader, ReadsTheWholeFramesOfACutShortFile) {
  const auto read = parse(WaveBytes()
                              .chunk("fmt ", WaveBytes::fmt(1, 2, 8000, 16))
                              .chunk("data", WaveBytes::pcm16({1, 2, 3}), 4000)
                              .str());
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_TRUE(read.truncated);
  EXPECT_EQ(read.audio.frames(), 1u);
}

TEST(WavReader, ReadsExtensiblePcmAndFloat) {
  auto pcm = parse(WaveBytes()
                       .chunk("fmt ", WaveBytes::extensible(1, 1, 16, 16))
                       .chunk("data", WaveBytes::pcm16({-16384}))
                       .str());
  ASSERT_TRUE(pcm.ok()) << pcm.message;
  EXPECT_TRUE(pcm.extensible);
  EXPECT_EQ(pcm.audio.channels[0][0], -0.5f);
  auto fl = parse(WaveBytes()
                      .chunk("fmt ", WaveBytes::extensible(3, 1, 32, 32))
                      .chunk("data", {0x00, 0x00, 0x40, 0x3F})
                      .str());
  ASSERT_TRUE(fl.ok()) << fl.message;
  EXPECT_EQ(fl.format, SampleFormat::Float32);
  EXPECT_EQ(fl.audio.channels[0][0], 0.75f);
}

TEST(WavReader, SaysWhyItCannotRead) {
  struct Case {
    std::string bytes;
    WavStatus status;
  };
  const auto data = WaveBytes::pcm16({0, 0});
  const std::vector<Case> cases = {
      {"", WavStatus::NotWave},
      {"RIFX\x04\x00\x00\x00WAVE", WavStatus::NotWave},
      {"RIFF\x04\x00\x00\x00AVI ", WavStatus::NotWave},
      {WaveBytes().chunk("data", data).str(), WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(1, 1, 8000, 16)).str(), WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", {1, 0, 1, 0}).chunk("data", data).str(), WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(1, 0, 8000, 16)).chunk("data", data).str(), WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(1, 1, 0, 16)).chunk("data", data).str(), WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(1, 1, 8000, 16, 4)).chunk("data", data).str(), WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(1, 1, 8000, 16)).chunk("fmt ", WaveBytes::fmt(1, 1, 8000, 16)).str(),
       WavStatus::Malformed},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(2, 1, 8000, 4, 1)).chunk("data", data).str(), WavStatus::Unsupported},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(7, 1, 8000, 8)).chunk("data", data).str(), WavStatus::Unsupported},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(1, 1, 8000, 12, 2)).chunk("data", data).str(), WavStatus::Unsupported},
      {WaveBytes().chunk("fmt ", WaveBytes::fmt(3, 1, 8000, 16)).chunk("data", data).str(), WavStatus::Unsupported},
      {WaveBytes().chunk("fmt ", WaveBytes::extensible(1, 1, 16, 16, false)).chunk("data", data).str(),
       WavStatus::Unsupported},
      {WaveBytes().chunk("fmt ", WaveBytes::extensible(1, 1, 16, 20)).chunk("data", data).str(), WavStatus::Malformed},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto read = parse(cases[i].bytes);
    EXPECT_EQ(read.status, cases[i].status) << "case " << i << ": " << read.message;
    EXPECT_FALSE(read.message.empty()) << "case " << i;
  }
}

TEST(WavReader, ReportsAMissingFile) {
  const auto read = host::readWav(tempPath("no-such-file.wav"));
  EXPECT_EQ(read.status, WavStatus::CannotOpen);
}

}  // namespace

namespace {

bool fileThere(const std::string& path) { return std::ifstream(path).good(); }

// Working files are named after the process that writes them; those that a
// process no longer running left beside the same output go at the next run,
// a running one's and other names stay.
TEST(WorkingFiles, AreNamedAfterTheirProcessAndStaleOnesGo) {
  const std::string output = tempPath("working-out.wav");
  const std::string stale = output + ".partial-4294967280-3.tmp";  // no process has this id
  const std::string running = output + ".partial-" + std::to_string(platform::processId()) + "-77.tmp";
  const std::string other = output + ".partial-notours.tmp";
  const std::string scratch = output + ".scratch-4294967280-0.tmp";
  for (const std::string& name : {stale, running, other, scratch}) std::ofstream(name) << "left";
  const std::string made = host::temporaryNameBeside(output, "partial");
  EXPECT_EQ(made.rfind(output + ".partial-" + std::to_string(platform::processId()) + "-", 0), 0u) << made;
  EXPECT_EQ(made.substr(made.size() - 4), ".tmp");
  EXPECT_FALSE(fileThere(stale));
  EXPECT_TRUE(fileThere(running));
  EXPECT_TRUE(fileThere(other));
  EXPECT_TRUE(fileThere(scratch)) << "only working files of the same purpose";
  for (const std::string& name : {running, other, scratch}) std::remove(name.c_str());
}

}  // namespace
