// pelmora-host correct --curve run as the shipped program: the curve goes
// in through the editor's "Import PVC" dialog, and the correction follows it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavChunks.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/audio/WavLayout.h"
#include "host/commands/Correction.h"
#include "tests/host/HostProgramRun.h"
#include "tests/host/TempPath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 16000.0;
constexpr double kSeconds = 6.0;
constexpr double kTone = 1000.0;

double trueSpeed(double seconds) { return 1.0 + 0.004 * std::sin(2.0 * kPi * seconds); }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A tone played at the speed above.
host::AudioData wavering() {
  host::AudioData audio = host::AudioData::silence(1, static_cast<std::size_t>(kSeconds * kRate), kRate);
  double phase = 0.0;
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    phase += 2.0 * kPi * kTone * trueSpeed(static_cast<double>(i) / kRate) / kRate;
    audio.channels[0][i] = static_cast<float>(0.5 * std::sin(phase));
  }
  return audio;
}

// The largest relative departure of the tone from kTone, from the phase of
// 20 ms pieces (20 whole periods each), leaving a second at either end.
double peakDeviation(const std::vector<float>& samples) {
  const std::size_t piece = static_cast<std::size_t>(kRate / 50.0);
  double worst = 0.0;
  double lastPhase = 0.0;
  bool first = true;
  for (std::size_t start = static_cast<std::size_t>(kRate); start + piece + kRate <= samples.size(); start += piece) {
    double in = 0.0, quad = 0.0;
    for (std::size_t n = start; n < start + piece; ++n) {
      const double angle = 2.0 * kPi * kTone * static_cast<double>(n) / kRate;
      in += samples[n] * std::cos(angle);
      quad += samples[n] * std::sin(angle);
    }
    const double phase = std::atan2(quad, in);
    if (!first) {
      double step = phase - lastPhase;
      while (step > kPi) step -= 2.0 * kPi;
      while (step < -kPi) step += 2.0 * kPi;
      worst = std::max(worst, std::fabs(step / (2.0 * kPi * (piece / kRate)) / kTone));
    }
    lastPhase = phase;
    first = false;
  }
  return worst;
}

// Paths are UTF-8, as pelmora-host takes them.
std::filesystem::path fromUtf8(const std::string& path) { return std::u8string(path.begin(), path.end()); }

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(fromUtf8(path), std::ios::binary);
  out << text;
}

struct Scratch {
  std::string input = tempPath("correct-in.wav");
  std::string output = tempPath("correct-out.wav");
  std::string curve = tempPath("correct-curve.pvc");
  std::string err = tempPath("correct-err-");
  ~Scratch() {
    for (const std::string* f : {&input, &output, &curve}) DeleteFileA(f->c_str());
  }
  std::string arguments() const { return "correct \"" + input + "\" \"" + output + "\" --curve \"" + curve + "\""; }
  bool nothingLeft() const {
    return !exists(output + ".part.wav") && !exists(output + ".part.pvc");
  }
};

TEST(PelmoraCorrectCurve, TheImportedCurveTakesTheWowOut) {
  Scratch s;
  const host::AudioData recording = wavering();
  ASSERT_TRUE(host::writeWav(s.input, recording, host::SampleFormat::Float32).ok());
  std::string curve;
  for (std::size_t i = 0; i < recording.frames(); i += 160) {
    char line[64];
    std::snprintf(line, sizeof line, "%d %f\r\n", static_cast<int>(i), trueSpeed(i / kRate));
    curve += line;
  }
  writeText(s.curve, curve);

  const HostRun run = runHost(s.arguments(), s.err);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_NE(run.err.find("curve loaded (\"Import PVC\")"), std::string::npos) << run.err;
  EXPECT_TRUE(s.nothingLeft());
  const auto corrected = host::readWav(s.output);
  ASSERT_TRUE(corrected.ok()) << corrected.message;
  const double before = peakDeviation(recording.channels[0]);
  const double after = peakDeviation(corrected.audio.channels[0]);
  std::cout << "[ measured ] peak speed departure " << before * 100.0 << " % before, " << after * 100.0
            << " % after\n";
  EXPECT_GT(before, 0.0035);
  // A curve taken the wrong way round would double the wow instead.
  EXPECT_LT(after, 0.0004);

  // Half the strength leaves half the wow.
  const HostRun half = runHost(s.arguments() + " --strength 0.5", s.err);
  ASSERT_EQ(half.exitCode, 0u) << half.err;
  EXPECT_NE(half.err.find("curve shaped: strength 0.5"), std::string::npos) << half.err;
  const auto halved = host::readWav(s.output);
  ASSERT_TRUE(halved.ok()) << halved.message;
  EXPECT_NEAR(peakDeviation(halved.audio.channels[0]), before / 2.0, 0.0003);
  EXPECT_TRUE(s.nothingLeft());
}

// A 24-bit Broadcast WAV master with a cue point on a click: the output is
// 24-bit with the same chunks, its history tells of the correction, and the
// cue point sits on the click where the curve has moved it.
TEST(PelmoraCorrectCurve, KeepsAMastersFormatAndChunksAndMovesItsCue) {
  Scratch s;
  constexpr std::uint32_t kClick = 40000;
  std::vector<host::WavChunk> chunks(3);
  chunks[0].id = {'b', 'e', 'x', 't'};
  chunks[0].body.assign(602, 0);
  const std::string history = "A=ANALOGUE,M=mono,T=Studer A80\r\n";
  chunks[0].body.insert(chunks[0].body.end(), history.begin(), history.end());
  chunks[1].id = {'i', 'X', 'M', 'L'};
  chunks[1].body = {'<', 'B', 'W', 'F', 'X', 'M', 'L', '/', '>'};
  chunks[2].id = {'c', 'u', 'e', ' '};
  chunks[2].body = {1, 0, 0, 0, 1, 0, 0, 0};
  for (int shift = 0; shift < 32; shift += 8) chunks[2].body.push_back(static_cast<std::uint8_t>(kClick >> shift));
  chunks[2].body.insert(chunks[2].body.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0, 0, 0, 0, 0});
  for (int shift = 0; shift < 32; shift += 8) chunks[2].body.push_back(static_cast<std::uint8_t>(kClick >> shift));
  chunks[2].afterData = true;
  {
    host::WavOutputForm form;
    form.format = host::SampleFormat::Pcm24;
    form.chunks = &chunks;
    host::WavFileOutput output;
    std::string problem;
    ASSERT_TRUE(output.open(s.input, 1, kRate, form, false, problem)) << problem;
    std::vector<float> samples(64000, 0.0f);
    samples[kClick] = 0.5f;
    const float* channel = samples.data();
    ASSERT_TRUE(output.append(&channel, samples.size(), problem));
    ASSERT_TRUE(output.commit(problem));
  }
  // 2 % fast throughout: the click lands 800 frames later.
  writeText(s.curve, "0 1.020000\r\n64000 1.020000\r\n");
  const HostRun run = runHost(s.arguments(), s.err);
  ASSERT_EQ(run.exitCode, 0u) << run.err;

  const auto corrected = host::readWav(s.output);
  ASSERT_TRUE(corrected.ok()) << corrected.message;
  EXPECT_EQ(corrected.format, host::SampleFormat::Pcm24);
  host::DiskFile file(s.output, host::DiskFile::Mode::Read);
  host::DiskFileSource source(file);
  const host::CarriedChunks carried = host::readCarriedChunks(source);
  file.close();
  ASSERT_EQ(carried.chunks.size(), 3u);
  EXPECT_EQ(std::string(carried.chunks[0].body.begin() + 602, carried.chunks[0].body.end()),
            history + "A=PCM,F=16000,W=24,M=mono,T=Pelmora correct\r\n");
  EXPECT_EQ(carried.chunks[1].body, chunks[1].body);
  ASSERT_TRUE(carried.chunks[2].is("cue "));
  const std::uint32_t cue = host::wav::get32(carried.chunks[2].body.data() + 24);
  const auto& out = corrected.audio.channels[0];
  const auto peak = static_cast<std::uint32_t>(std::max_element(out.begin(), out.end()) - out.begin());
  EXPECT_NEAR(static_cast<double>(peak), kClick * 1.02, 2.0);
  EXPECT_LE(std::abs(static_cast<long long>(cue) - static_cast<long long>(peak)), 1) << cue << " " << peak;
  std::cout << "[ measured ] click at input frame " << kClick << ": output peak " << peak << ", cue " << cue << '\n';
}

// Lines the host's own check cannot use stay out of what the plug-in loads;
// a curve with nothing usable, or a speed no recording has, stops the run
// before any window opens.
TEST(PelmoraCorrectCurve, CheckedBeforeTheEditorLoadsIt) {
  Scratch s;
  host::AudioData steady = host::AudioData::silence(1, 32000, kRate);
  for (std::size_t i = 0; i < steady.frames(); ++i) steady.channels[0][i] = static_cast<float>(0.3 * std::sin(0.2 * i));
  ASSERT_TRUE(host::writeWav(s.input, steady, host::SampleFormat::Pcm16).ok());

  // The plug-in would read "2.4e5" as position 2 and bend the start.
  writeText(s.curve, "0 1.020000\r\n2.4e5 0.900000\r\n16000 1.020000\r\n");
  const HostRun run = runHost(s.arguments(), s.err);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_NE(run.err.find("1 line could not be used"), std::string::npos) << run.err;
  EXPECT_TRUE(s.nothingLeft());
  const auto corrected = host::readWav(s.output);
  ASSERT_TRUE(corrected.ok()) << corrected.message;
  EXPECT_NEAR(static_cast<double>(corrected.audio.frames()), 32000.0 * 1.02, 2.0);
  DeleteFileA(s.output.c_str());

  // A name outside the system's code page, which the plug-in's dialog
  // could not take: the plug-in gets a copy under a name it can.
  const std::string foreign = tempPath("曲线-wow.pvc");
  writeText(foreign, "0 1.020000\r\n16000 1.020000\r\n");
  const HostRun named = runHost("correct \"" + s.input + "\" \"" + s.output + "\" --curve \"" + foreign + "\"", s.err);
  std::filesystem::remove(fromUtf8(foreign));
  ASSERT_EQ(named.exitCode, 0u) << named.err;
  const auto renamed = host::readWav(s.output);
  ASSERT_TRUE(renamed.ok()) << renamed.message;
  EXPECT_NEAR(static_cast<double>(renamed.audio.frames()), 32000.0 * 1.02, 2.0);
  EXPECT_TRUE(s.nothingLeft());
  DeleteFileA(s.output.c_str());

  struct Case {
    const char* curve;
    const char* says;
  };
  const Case refused[] = {
      {"no points here\r\n", "no usable point"},
      {"0 1.0\r\n16000 5.0\r\n", "line 2: the ratio"},
  };
  for (const Case& c : refused) {
    writeText(s.curve, c.curve);
    const HostRun stopped = runHost(s.arguments(), s.err);
    EXPECT_EQ(stopped.exitCode, static_cast<DWORD>(host::kExitInput)) << c.curve << stopped.err;
    EXPECT_NE(stopped.err.find(c.says), std::string::npos) << stopped.err;
    EXPECT_FALSE(exists(s.output)) << c.curve;
    EXPECT_TRUE(s.nothingLeft()) << c.curve;
  }
}

// A file of more than two channels is refused before the editor's window
// opens, as plain correct refuses it.
TEST(PelmoraCorrectCurve, FourChannelsAreRefusedAtOnce) {
  Scratch s;
  host::AudioData four = host::AudioData::silence(4, 8000, kRate);
  ASSERT_TRUE(host::writeWav(s.input, four, host::SampleFormat::Pcm16).ok());
  writeText(s.curve, "0 1.020000\r\n7999 1.020000\r\n");
  const HostRun run = runHost(s.arguments(), s.err);
  EXPECT_EQ(run.exitCode, static_cast<DWORD>(host::kExitRefused)) << run.err;
  EXPECT_NE(run.err.find("does not take " + s.input + " (4 channels"), std::string::npos) << run.err;
  EXPECT_FALSE(exists(s.output));
  EXPECT_TRUE(s.nothingLeft());
}

// A recording cut short is said, as plain correct says it, and corrected.
TEST(PelmoraCorrectCurve, ARecordingCutShortIsSaid) {
  Scratch s;
  host::AudioData steady = host::AudioData::silence(1, 16000, kRate);
  for (std::size_t i = 0; i < steady.frames(); ++i) steady.channels[0][i] = static_cast<float>(0.3 * std::sin(0.2 * i));
  ASSERT_TRUE(host::writeWav(s.input, steady, host::SampleFormat::Pcm16).ok());
  std::filesystem::resize_file(fromUtf8(s.input), std::filesystem::file_size(fromUtf8(s.input)) - 8000);
  writeText(s.curve, "0 1.000000\r\n15999 1.000000\r\n");
  const HostRun run = runHost(s.arguments(), s.err);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_NE(run.err.find(s.input + ": the file is cut short"), std::string::npos) << run.err;
  EXPECT_TRUE(host::readWav(s.output).ok());
  DeleteFileA(s.output.c_str());
}

}  // namespace
