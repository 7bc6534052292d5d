// pelmora-host batch run as the shipped program over a small folder: its
// children are pelmora-host dewow runs with Pelmora.dll, two at once.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "host/audio/WavFile.h"
#include "host/batch/BatchManifest.h"
#include "host/commands/Correction.h"
#include "tests/host/HostProgramRun.h"
#include "tests/host/TempPath.h"

namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

// A 1 kHz tone and mains hum, their speed wavering by 0.4 % once a second.
host::AudioData humRecording() {
  const double rate = 16000.0;
  host::AudioData audio = host::AudioData::silence(1, static_cast<std::size_t>(6 * rate), rate);
  const std::vector<std::pair<double, double>> partials = {{1000.0, 0.4}, {50.0, 0.05}, {100.0, 0.03}, {150.0, 0.02}};
  std::vector<double> phases(partials.size(), 0.0);
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    const double speed = 1.0 + 0.004 * std::sin(2.0 * kPi * i / rate);
    double sample = 0.0;
    for (std::size_t k = 0; k < partials.size(); ++k) {
      phases[k] += 2.0 * kPi * partials[k].first * speed / rate;
      sample += partials[k].second * std::sin(phases[k]);
    }
    audio.channels[0][i] = static_cast<float>(sample);
  }
  return audio;
}

TEST(PelmoraBatch, TwoAtOnceWithAManifestAndARerunThatSkipsWhatIsDone) {
  const fs::path in = tempPath("batch-in");
  const fs::path out = tempPath("batch-out");
  std::error_code ignored;
  fs::remove_all(in, ignored);
  fs::remove_all(out, ignored);
  fs::create_directories(in / "a");
  fs::create_directories(in / "b");
  const host::AudioData audio = humRecording();
  // The same title in two folders: the two never run at once.
  ASSERT_TRUE(host::writeWav((in / "a" / "take.wav").string(), audio, host::SampleFormat::Pcm16).ok());
  ASSERT_TRUE(host::writeWav((in / "b" / "take.wav").string(), audio, host::SampleFormat::Pcm16).ok());
  std::ofstream(in / "bad.wav", std::ios::binary) << "not a wave file";
  const std::string args = "batch \"" + in.string() + "\" \"" + out.string() + "\" --algorithm hum --jobs 2 --timeout 200";
  const HostRun run = runHost(args, tempPath("batch-err-"));
  EXPECT_EQ(run.exitCode, static_cast<DWORD>(host::kExitRefused)) << run.err;
  EXPECT_NE(run.err.find("batch: 3 files, 3 to run, 0 done before; 2 at once"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("2 running: "), std::string::npos) << run.err;

  const auto rows = host::readManifest(out.string());
  ASSERT_EQ(rows.size(), 3u) << run.err;
  EXPECT_EQ(rows[0].file, "a/take.wav");
  EXPECT_EQ(rows[1].file, "b/take.wav");
  for (int i : {0, 1}) {
    EXPECT_EQ(rows[i].status, host::kStatusDone) << rows[i].reason;
    ASSERT_TRUE(rows[i].figures.beforeRmsPercent && rows[i].figures.afterRmsPercent) << rows[i].file;
    EXPECT_LT(*rows[i].figures.afterRmsPercent, *rows[i].figures.beforeRmsPercent / 2.0);
    EXPECT_GT(rows[i].seconds, 0.0);
  }
  EXPECT_TRUE(fs::exists(out / "a" / "take.wav"));
  EXPECT_TRUE(fs::exists(out / "b" / "take.wav"));
  EXPECT_EQ(rows[2].file, "bad.wav");
  EXPECT_EQ(rows[2].status, host::kStatusFailed);
  EXPECT_EQ(rows[2].exitCode, host::kExitInput);
  EXPECT_NE(rows[2].reason.find("bad.wav"), std::string::npos) << rows[2].reason;
  EXPECT_TRUE(fs::exists(out / "manifest.json"));

  const HostRun again = runHost(args, tempPath("batch-err-"));
  EXPECT_EQ(again.exitCode, static_cast<DWORD>(host::kExitRefused)) << again.err;
  EXPECT_NE(again.err.find("3 files, 1 to run, 2 done before"), std::string::npos) << again.err;
  EXPECT_EQ(host::readManifest(out.string()).size(), 3u);
  fs::remove_all(in, ignored);
  fs::remove_all(out, ignored);
}

}  // namespace
