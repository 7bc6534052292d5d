// Our WAV code against libsndfile: files it writes read the same through our
// reader, and files our writer makes read back through libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavStream.h"
#include "tests/host/TempPath.h"

using host::AudioData;
using host::SampleFormat;

namespace {

struct Case {
  int sndfileFormat;  // SF_FORMAT_WAV or SF_FORMAT_WAVEX with a subtype
  SampleFormat ours;
  int channels;
};

// A signal that uses the whole range, beyond it, and fine detail.
std::vector<float> interleavedSignal(int channels, int frames) {
  std::vector<float> v(static_cast<std::size_t>(channels * frames));
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      v[static_cast<std::size_t>(i * channels + c)] =
          static_cast<float>(0.9 * std::sin(0.01 * i * (c + 1)) + 1e-5 * ((i * 7919) % 13));
  return v;
}

bool sndfileRead(const std::string& path, std::vector<float>& samples, SF_INFO& info) {
  info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return false;
  samples.assign(static_cast<std::size_t>(info.frames * info.channels), 0.0f);
  const sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  return got == info.frames;
}

class SndfileCrossCheck : public ::testing::TestWithParam<Case> {};

TEST_P(SndfileCrossCheck, OurReaderReadsWhatLibsndfileWrites) {
  const Case c = GetParam();
  const int frames = 3001;
  const std::string path = tempPath("sf-in.wav");
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = c.channels;
  info.format = c.sndfileFormat;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const std::vector<float> signal = interleavedSignal(c.channels, frames);
  ASSERT_EQ(sf_writef_float(file, signal.data(), frames), frames);
  sf_close(file);

  std::vector<float> expected;
  SF_INFO readInfo;
  ASSERT_TRUE(sndfileRead(path, expected, readInfo));
  const auto ours = host::readWav(path);
  ASSERT_TRUE(ours.ok()) << ours.message;
  EXPECT_EQ(ours.format, c.ours);
  EXPECT_EQ(ours.audio.sampleRate, 44100.0);
  ASSERT_EQ(ours.audio.channelCount(), c.channels);
  ASSERT_EQ(ours.audio.frames(), static_cast<std::size_t>(frames));
  int differences = 0;
  for (int i = 0; i < frames; ++i)
    for (int ch = 0; ch < c.channels; ++ch)
      if (ours.audio.channels[ch][i] != expected[static_cast<std::size_t>(i * c.channels + ch)]) ++differences;
  EXPECT_EQ(differences, 0);
  std::remove(path.c_str());
}

TEST_P(SndfileCrossCheck, LibsndfileReadsWhatOurWriterWrites) {
  const Case c = GetParam();
  const int frames = 3001;
  const std::vector<float> signal = interleavedSignal(c.channels, frames);
  AudioData audio = AudioData::silence(c.channels, frames, 96000.0);
  for (int i = 0; i < frames; ++i)
    for (int ch = 0; ch < c.channels; ++ch) audio.channels[ch][i] = signal[static_cast<std::size_t>(i * c.channels + ch)];
  const std::string path = tempPath("sf-out.wav");
  ASSERT_TRUE(host::writeWav(path, audio, c.ours).ok());

  std::vector<float> theirs;
  SF_INFO info;
  ASSERT_TRUE(sndfileRead(path, theirs, info)) << sf_strerror(nullptr);
  EXPECT_EQ(info.samplerate, 96000);
  EXPECT_EQ(info.channels, c.channels);
  EXPECT_EQ(info.frames, frames);
  const auto ours = host::readWav(path);
  ASSERT_TRUE(ours.ok());
  // One quantisation step of the format, half of it for the rounding.
  const double step = c.ours == SampleFormat::Pcm8    ? 1.0 / 128
                      : c.ours == SampleFormat::Pcm16 ? 1.0 / 32768
                      : c.ours == SampleFormat::Pcm24 ? 1.0 / 8388608
                                                      : 0.0;
  double worst = 0.0;
  int differences = 0;
  for (int i = 0; i < frames; ++i)
    for (int ch = 0; ch < c.channels; ++ch) {
      const float t = theirs[static_cast<std::size_t>(i * c.channels + ch)];
      worst = std::max(worst, std::fabs(static_cast<double>(t) - audio.channels[ch][i]));
      if (t != ours.audio.channels[ch][i]) ++differences;
    }
  EXPECT_EQ(differences, 0);
  EXPECT_LE(worst, step / 2 + 1e-9);
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SndfileCrossCheck,
    ::testing::Values(Case{SF_FORMAT_WAV | SF_FORMAT_PCM_U8, SampleFormat::Pcm8, 1},
                      Case{SF_FORMAT_WAV | SF_FORMAT_PCM_16, SampleFormat::Pcm16, 1},
                      Case{SF_FORMAT_WAV | SF_FORMAT_PCM_16, SampleFormat::Pcm16, 2},
                      Case{SF_FORMAT_WAV | SF_FORMAT_PCM_24, SampleFormat::Pcm24, 2},
                      Case{SF_FORMAT_WAV | SF_FORMAT_PCM_32, SampleFormat::Pcm32, 1},
                      Case{SF_FORMAT_WAV | SF_FORMAT_FLOAT, SampleFormat::Float32, 2},
                      Case{SF_FORMAT_WAV | SF_FORMAT_DOUBLE, SampleFormat::Float64, 1},
                      Case{SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, SampleFormat::Pcm16, 2},
                      Case{SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, SampleFormat::Pcm24, 4},
                      Case{SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, SampleFormat::Float32, 3}));

TEST(SndfileLargeFiles, Rf64AndTheRoomForItReadTheSameBothWays) {
  const int frames = 2001;
  const std::vector<float> signal = interleavedSignal(2, frames);
  std::vector<float> left(frames), right(frames);
  for (int i = 0; i < frames; ++i) {
    left[static_cast<std::size_t>(i)] = signal[static_cast<std::size_t>(2 * i)];
    right[static_cast<std::size_t>(i)] = signal[static_cast<std::size_t>(2 * i + 1)];
  }
  const float* channels[] = {left.data(), right.data()};
  // Ours: plain RIFF with room to grow, and RF64 (a low limit stands in for 4 GB).
  for (const std::uint64_t limit : {std::uint64_t{0xFFFFFFFFu}, std::uint64_t{64}}) {
    const std::string path = tempPath("sf-rf64-ours.wav");
    {
      host::DiskFile file(path, host::DiskFile::Mode::Create);
      host::DiskFileSink sink(file);
      host::WavStreamWriter writer(sink, 2, 48000.0, SampleFormat::Float32, true, limit);
      ASSERT_TRUE(writer.begin() && writer.append(channels, frames) && writer.finish()) << writer.problem();
      ASSERT_TRUE(file.close());
    }
    std::vector<float> theirs;
    SF_INFO info;
    ASSERT_TRUE(sndfileRead(path, theirs, info)) << sf_strerror(nullptr) << " limit " << limit;
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, limit == 64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV);
    EXPECT_EQ(info.frames, frames);
    EXPECT_EQ(theirs, signal);
    std::remove(path.c_str());
  }
  // Theirs: RF64 as libsndfile writes it.
  const std::string path = tempPath("sf-rf64-theirs.wav");
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  ASSERT_EQ(sf_writef_float(file, signal.data(), frames), frames);
  sf_close(file);
  const auto ours = host::readWav(path);
  ASSERT_TRUE(ours.ok()) << ours.message;
  EXPECT_EQ(ours.audio.channels[0], left);
  EXPECT_EQ(ours.audio.channels[1], right);
  std::remove(path.c_str());
}

}  // namespace
