// pelmora-host with the real plug-in: natively linked in, under Windows
// loaded from Pelmora.dll and also run as the shipped program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>

#include "host/audio/DiskFile.h"
#include "host/audio/WavChunks.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/audio/WavLayout.h"
#include "host/commands/CommandLine.h"
#include "platform/Platform.h"
#include "tests/host/TempPath.h"

#include "curve/SnapshotDirectory.h"
#if !defined(_WIN32)
#include "plugin/PluginEntry.h"
#endif
#if defined(PELMORA_WOW_TOOLS)
#include "tools/eval/wowgen/WowgenCommand.h"
#include "tools/eval/wowmeter/WowMeter.h"
#endif

using host::AudioData;
using host::SampleFormat;

namespace {

host::PluginSource pelmora() {
  host::PluginSource source;
#if defined(_WIN32)
  source.defaultPath = "Pelmora.dll";
#else
  source.linkedEntry = &createPelmora;
#endif
  source.curveLocation = [](const std::string& title) { return handoffCurvePath(makeSnapshotDirectory(), title); };
  return source;
}

std::string temp(const std::string& name) { return tempPath("e2e-" + name); }

int correct(const std::string& in, const std::string& out, std::vector<std::string> extra = {}) {
  std::vector<std::string> args = {"correct", in, out};
  args.insert(args.end(), extra.begin(), extra.end());
  std::ostringstream o, e;
  const int status = host::runCommandLine(args, pelmora(), o, e);
  EXPECT_EQ(status, host::kExitOk) << e.str();
  return status;
}

AudioData music(int channels, std::size_t frames, double rate) {
  AudioData audio = AudioData::silence(channels, frames, rate);
  for (int c = 0; c < channels; ++c)
    for (std::size_t i = 0; i < frames; ++i)
      audio.channels[c][i] = static_cast<float>(0.4 * std::sin(0.031 * i + c) + 0.2 * std::sin(0.0007 * i * i / 1e3));
  return audio;
}

// With a flat curve every output frame is its input frame times the window
// weight of the centre tap; the other taps fall on zeros of the sinc.
void expectFlatGain(const AudioData& in, const std::string& outPath) {
  const auto out = host::readWav(outPath);
  ASSERT_TRUE(out.ok()) << out.message;
  EXPECT_EQ(out.format, SampleFormat::Float32);
  EXPECT_EQ(out.audio.sampleRate, in.sampleRate);
  ASSERT_EQ(out.audio.channelCount(), in.channelCount());
  ASSERT_EQ(out.audio.frames(), in.frames());
  const double gain = (1.0 - std::cos(16.0 * std::numbers::pi / 17.0)) / 2.0;
  double worst = 0.0;
  for (int c = 0; c < in.channelCount(); ++c)
    for (std::size_t i = 0; i < in.frames(); ++i)
      worst = std::max(worst, std::fabs(out.audio.channels[c][i] - in.channels[c][i] * gain));
  EXPECT_LT(worst, 1e-7);
  std::cout << "[ measured ] " << in.channelCount() << " channels, " << in.frames()
            << " frames: largest difference from the flat-curve gain " << worst << '\n';
}

class PelmoraFlatCurve : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    std::remove(in.c_str());
    std::remove(out.c_str());
  }
  const std::string in = temp("flat-in.wav");
  const std::string out = temp("flat-out.wav");
};

TEST_P(PelmoraFlatCurve, KeepsTheLengthAndScalesEveryFrameByTheCentreTap) {
  const AudioData source = music(GetParam(), 30011, 44100.0);
  ASSERT_TRUE(host::writeWav(in, source, SampleFormat::Float32).ok());
  correct(in, out, {"--block", "4096"});
  expectFlatGain(source, out);
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, PelmoraFlatCurve, ::testing::Values(1, 2));

// Pelmora starts its reading pass itself when it hears of the file; the host
// must not read the whole file a second time.
TEST_F(PelmoraFlatCurve, ReadsTheFileOnceBeforeCorrecting) {
  ASSERT_TRUE(host::writeWav(in, music(1, 20000, 44100.0), SampleFormat::Float32).ok());
  std::ostringstream o, e;
  ASSERT_EQ(host::runCommandLine({"correct", in, out}, pelmora(), o, e), host::kExitOk) << e.str();
  const std::string log = e.str();
  int readingPasses = 0;
  for (auto at = log.find("Pelmora: Drawing... 0%"); at != std::string::npos;
       at = log.find("Pelmora: Drawing... 0%", at + 1))
    ++readingPasses;
  EXPECT_EQ(readingPasses, 1) << log;
}

// A programme with no pilot tone: the detection stops the run with no
// output, unless asked to go on, when the curve stays flat.
TEST_F(PelmoraFlatCurve, DetectionThatFindsNothingStopsUnlessAskedToGoOn) {
  const AudioData source = music(1, 44100, 44100.0);
  ASSERT_TRUE(host::writeWav(in, source, SampleFormat::Float32).ok());
  std::remove(out.c_str());
  std::ostringstream o, e;
  EXPECT_EQ(host::runCommandLine({"correct", in, out, "--detect", "pilot"}, pelmora(), o, e), host::kExitRefused);
  EXPECT_NE(e.str().find("pilot-tone detection failed"), std::string::npos) << e.str();
  EXPECT_FALSE(std::filesystem::exists(out));
  std::ostringstream o2, e2;
  ASSERT_EQ(host::runCommandLine({"correct", in, out, "--detect", "pilot", "--go-on"}, pelmora(), o2, e2),
            host::kExitOk)
      << e2.str();
  expectFlatGain(source, out);
  std::ostringstream o3, e3;
  EXPECT_EQ(host::runCommandLine({"correct", in, out, "--go-on"}, pelmora(), o3, e3), host::kExitUsage);
}

#if defined(_WIN32)
TEST_F(PelmoraFlatCurve, ThroughTheShippedProgram) {
  const AudioData source = music(2, 20000, 48000.0);
  ASSERT_TRUE(host::writeWav(in, source, SampleFormat::Pcm24).ok());
  const AudioData read = host::readWav(in).audio;
  const std::string command = "pelmora-host.exe correct \"" + in + "\" \"" + out + "\" --format float32 2> NUL";
  ASSERT_EQ(std::system(command.c_str()), 0);
  expectFlatGain(read, out);
}
#endif

// An archive master: 24-bit with bext and a cue point at a click. The output
// is 24-bit again, its history tells of the correction, and the cue point
// sits on the click where the curve has moved it.
TEST(PelmoraArchiveMaster, KeepsFormatAndChunksAndMovesTheCueWithItsAudio) {
  const std::string in = temp("master.wav");
  const std::string out = temp("master-out.wav");
  const std::string curve = temp("master.pvc");
  constexpr std::uint32_t kClick = 30000;
  std::vector<host::WavChunk> chunks(2);
  chunks[0].id = {'b', 'e', 'x', 't'};
  chunks[0].body.assign(602, 0);
  const std::string history = "A=ANALOGUE,M=stereo,T=Studer A80\r\n";
  chunks[0].body.insert(chunks[0].body.end(), history.begin(), history.end());
  chunks[1].id = {'c', 'u', 'e', ' '};
  chunks[1].body = {1, 0, 0, 0, 7, 0, 0, 0};
  for (int shift = 0; shift < 32; shift += 8) chunks[1].body.push_back(static_cast<std::uint8_t>(kClick >> shift));
  chunks[1].body.insert(chunks[1].body.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0, 0, 0, 0, 0});
  for (int shift = 0; shift < 32; shift += 8) chunks[1].body.push_back(static_cast<std::uint8_t>(kClick >> shift));
  chunks[1].afterData = true;
  {
    host::WavOutputForm form;
    form.format = SampleFormat::Pcm24;
    form.chunks = &chunks;
    host::WavFileOutput output;
    std::string problem;
    ASSERT_TRUE(output.open(in, 2, 48000.0, form, false, problem)) << problem;
    std::vector<float> left(60000, 0.0f), right(60000, 0.0f);
    left[kClick] = right[kClick] = 0.5f;
    const float* channels[2] = {left.data(), right.data()};
    ASSERT_TRUE(output.append(channels, left.size(), problem));
    ASSERT_TRUE(output.commit(problem));
  }
  // Faster, then slower: up to the click the curve gives 250 frames more
  // than it takes (+250, +375, -375 over its three stretches).
  std::ofstream(curve) << "0 1.000000\n5000 1.100000\n20000 0.950000\n40000 1.000000\n";
  correct(in, out, {"--curve", curve});

  host::DiskFile file(out, host::DiskFile::Mode::Read);
  host::DiskFileSource source(file);
  const host::WavHeaderResult header = host::readWavHeader(source);
  ASSERT_TRUE(header.ok());
  EXPECT_EQ(header.info.format, SampleFormat::Pcm24);
  const host::CarriedChunks carried = host::readCarriedChunks(source);
  file.close();
  ASSERT_EQ(carried.chunks.size(), 2u);
  const std::string newHistory(carried.chunks[0].body.begin() + 602, carried.chunks[0].body.end());
  EXPECT_EQ(newHistory, history + "A=PCM,F=48000,W=24,M=stereo,T=Pelmora correct\r\n");
  ASSERT_TRUE(carried.chunks[1].is("cue "));
  const std::uint32_t cue = host::wav::get32(carried.chunks[1].body.data() + 24);
  EXPECT_EQ(host::wav::get32(carried.chunks[1].body.data() + 8), cue);

  const auto corrected = host::readWav(out);
  ASSERT_TRUE(corrected.ok());
  const auto& left = corrected.audio.channels[0];
  const auto peak = static_cast<std::uint32_t>(std::max_element(left.begin(), left.end()) - left.begin());
  EXPECT_NEAR(static_cast<double>(peak), kClick + 250.0, 3.0);
  EXPECT_LE(std::abs(static_cast<long long>(cue) - static_cast<long long>(peak)), 1) << cue << " " << peak;
  std::cout << "[ measured ] click at input frame " << kClick << ": output peak " << peak << ", cue " << cue << '\n';
  for (const auto& f : {in, out, curve}) std::remove(f.c_str());
}

#if defined(PELMORA_WOW_TOOLS)
TEST(PelmoraTrueCurve, RemovesTheWowOfAWowgenRecording) {
  const std::string rec = temp("wow.wav");
  const std::string curve = temp("wow.pvc");
  const std::string out = temp("wow-out.wav");
  std::ostringstream made, err;
  ASSERT_EQ(wowgen::runWowgen({rec, "--rate", "16000", "--seconds", "8", "--tone", "1000:0.5", "--hum", "50:0.05:3",
                               "--wow", "0.5:0.4", "--drift", "0.3"},
                              made, err),
            0);
  correct(rec, out, {"--curve", curve});
  const auto corrected = host::readWav(out);
  ASSERT_TRUE(corrected.ok());
  const std::string summary = made.str();
  const long long expected = std::stoll(summary.substr(summary.find("about ") + 6));
  EXPECT_NEAR(static_cast<double>(corrected.audio.frames()), static_cast<double>(expected), 2.0);

  wowmeter::WowReading before, after;
  std::string problem;
  ASSERT_TRUE(wowmeter::measureWow(host::readWav(rec).audio.channels[0], 16000.0, {}, before, problem));
  ASSERT_TRUE(wowmeter::measureWow(corrected.audio.channels[0], 16000.0, {}, after, problem)) << problem;
  EXPECT_GT(before.rms, 0.002);
  EXPECT_LT(after.rms, 0.00002);
  std::cout << "[ measured ] residual wow " << after.rms * 100 << " % RMS (from " << before.rms * 100 << " %)\n";
  for (const auto& f : {rec, curve, out}) std::remove(f.c_str());
}

TEST(PelmoraDetectedCurve, HumDetectionThenCorrectionRemovesMostWow) {
  const std::string rec = temp("hum.wav");
  const std::string out = temp("hum-out.wav");
  std::ostringstream made, err;
  ASSERT_EQ(wowgen::runWowgen({rec, "--rate", "16000", "--seconds", "8", "--tone", "1000:0.5", "--hum", "50:0.05:3",
                               "--wow", "0.5:0.4"},
                              made, err),
            0);
  correct(rec, out, {"--detect", "hum"});
  const auto corrected = host::readWav(out);
  ASSERT_TRUE(corrected.ok());
  wowmeter::WowReading before, after;
  std::string problem;
  ASSERT_TRUE(wowmeter::measureWow(host::readWav(rec).audio.channels[0], 16000.0, {}, before, problem));
  ASSERT_TRUE(wowmeter::measureWow(corrected.audio.channels[0], 16000.0, {}, after, problem)) << problem;
  EXPECT_LT(after.rms, 0.00002);
  std::cout << "[ measured ] hum-detected curve: residual wow " << after.rms * 100 << " % RMS (from "
            << before.rms * 100 << " %)\n";

  // The same hum with a steady speed: the detected curve leaves no less wow
  // than there was, and that is not saved unless forced.
  std::remove(out.c_str());
  const std::string steady = temp("hum-steady.wav");
  ASSERT_EQ(wowgen::runWowgen({steady, "--rate", "16000", "--seconds", "8", "--tone", "1000:0.5", "--hum", "50:0.05:3"},
                              made, err),
            0);
  {
    std::ostringstream o, e;
    EXPECT_EQ(host::runCommandLine({"correct", steady, out, "--detect", "hum"}, pelmora(), o, e), host::kExitRefused);
    EXPECT_NE(o.str().find("wow before: "), std::string::npos) << o.str();
    EXPECT_NE(e.str().find("has no less wow than"), std::string::npos) << e.str();
    EXPECT_FALSE(std::filesystem::exists(out));
    std::ostringstream o2, e2;
    EXPECT_EQ(host::runCommandLine({"correct", steady, out, "--detect", "hum", "--force"}, pelmora(), o2, e2),
              host::kExitOk)
        << e2.str();
    EXPECT_NE(o2.str().find("saved all the same (--force)"), std::string::npos) << o2.str();
    EXPECT_TRUE(std::filesystem::exists(out));
  }
  std::remove(steady.c_str());

  // A pilot tone needs a rate of at least 24 kHz: refused with the reason,
  // and no output.
  std::remove(out.c_str());
  std::ostringstream o, e;
  EXPECT_EQ(host::runCommandLine({"correct", rec, out, "--detect", "pilot"}, pelmora(), o, e), host::kExitRefused);
  EXPECT_NE(e.str().find("16000 Hz, is below the 24000 Hz the pilot-tone detector needs"), std::string::npos)
      << e.str();
  EXPECT_FALSE(std::filesystem::exists(out));
  for (const auto& f : {rec, out}) std::remove(f.c_str());
}
#endif

}  // namespace
