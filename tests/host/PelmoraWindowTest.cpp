// pelmora-host show with Pelmora.dll, run as the shipped program: the
// editor's splash picture, then the spectrogram the reading pass draws over it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "editor/ControlIds.h"
#include "host/audio/WavFile.h"
#include "host/commands/Correction.h"
#include "host/commands/InteractiveSession.h"
#include "host/window/BmpImage.h"
#include "host/window/WindowPicture.h"
#include "tests/host/HostProgramRun.h"
#include "tests/host/TempPath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A 1 kHz tone whose speed wavers by 1 % twice a second, and a little noise.
host::AudioData recordingWithWow() {
  const double rate = 22050.0;
  host::AudioData audio = host::AudioData::silence(1, static_cast<std::size_t>(4 * rate), rate);
  double phase = 0.0;
  unsigned noise = 1;
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    const double t = static_cast<double>(i) / rate;
    phase += 2.0 * kPi * 1000.0 * (1.0 + 0.01 * std::sin(2.0 * kPi * 2.0 * t)) / rate;
    noise = noise * 1664525u + 1013904223u;
    audio.channels[0][i] = static_cast<float>(0.5 * std::sin(phase) + 0.001 * ((noise >> 16) / 32768.0 - 1.0));
  }
  return audio;
}

bool editorHasWindow() {
  host::SessionSettings settings;
  settings.pluginPath = "Pelmora.dll";
  settings.messageBoxes = false;
  std::string problem;
  auto session = host::InteractiveSession::create(settings, problem);
  return session && session->openWindow(problem) && session->editorOpen();
}

// With its editor window, Pelmora reads the file once its picture is clicked.
void clickPicture(host::InteractiveSession& session) {
  if (!session.editorOpen()) return;
  HWND display = host::findControl(session.window()->editorWindow(), editor::kDisplay);
  ASSERT_TRUE(display);
  session.pumpUntil([] { return false; }, 200);
  PostMessageA(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 100));
  PostMessageA(display, WM_LBUTTONUP, 0, MAKELPARAM(300, 100));
}

TEST(PelmoraShow, PicturesTheSpectrogramOverTheSplashOrSaysThereIsNoEditorWindow) {
  const std::string input = tempPath("wow.wav");
  const std::string splash = tempPath("splash.bmp");
  const std::string drawn = tempPath("drawn.bmp");
  const std::string errFile = tempPath("show-err.txt");
  ASSERT_TRUE(host::writeWav(input, recordingWithWow(), host::SampleFormat::Pcm16).ok());

  if (!editorHasWindow()) {
    const HostRun run = runHost("show \"" + input + "\" --picture \"" + drawn + "\"", errFile);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(host::kExitRefused));
    EXPECT_NE(run.err.find("no editor window"), std::string::npos) << run.err;
    EXPECT_EQ(GetFileAttributesA(drawn.c_str()), INVALID_FILE_ATTRIBUTES);
  } else {
    const HostRun first = runHost("show \"" + input + "\" --picture \"" + splash + "\" --splash", errFile);
    ASSERT_EQ(first.exitCode, 0u) << first.err;
    const HostRun second = runHost("show \"" + input + "\" --picture \"" + drawn + "\" --timeout 120", errFile);
    ASSERT_EQ(second.exitCode, 0u) << second.err;
    host::RgbImage before, after;
    std::string problem;
    ASSERT_TRUE(host::readBmp(splash, before, problem)) << problem;
    ASSERT_TRUE(host::readBmp(drawn, after, problem)) << problem;
    ASSERT_EQ(after.width, 780);
    ASSERT_EQ(after.height, 470);
    ASSERT_EQ(before.width, 780);
    // Inside the display (75, 25, 670 x 260): the reading pass painted over
    // the splash picture, in the colours of the spectrogram scale, every one
    // of which has a channel at 75 and one at 255.
    int changed = 0, scaleColours = 0, total = 0;
    for (int y = 27; y < 25 + 258; ++y)
      for (int x = 77; x < 75 + 668; ++x, ++total) {
        const std::uint8_t* a = after.at(x, y);
        const std::uint8_t* b = before.at(x, y);
        changed += (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) ? 1 : 0;
        const bool has75 = a[0] == 75 || a[1] == 75 || a[2] == 75;
        const bool has255 = a[0] == 255 || a[1] == 255 || a[2] == 255;
        scaleColours += (has75 && has255) ? 1 : 0;
      }
    EXPECT_GT(changed, total / 2);
    EXPECT_GT(scaleColours, total * 9 / 10);
    // One click on the time zoom-in button: the middle half of the 4 s.
    const HostRun zoomed = runHost("show \"" + input + "\" --picture \"" + drawn + "\" --zoom-in 1", errFile);
    ASSERT_EQ(zoomed.exitCode, 0u) << zoomed.err;
    EXPECT_NE(zoomed.err.find("the display shows 0:01.000 to 0:03.000"), std::string::npos) << zoomed.err;
  }
  DeleteFileA(input.c_str());
  DeleteFileA(splash.c_str());
  DeleteFileA(drawn.c_str());
  DeleteFileA(errFile.c_str());
}

TEST(PelmoraOpen, ProcessWritesTheCorrectedFileBesideTheRecording) {
  const std::string input = tempPath("take.wav");
  const std::string expected = input.substr(0, input.size() - 4) + " (Vantrel).wav";  // named after the process
  const host::AudioData audio = recordingWithWow();
  ASSERT_TRUE(host::writeWav(input, audio, host::SampleFormat::Pcm16).ok());
  {
    host::SessionSettings settings;
    settings.pluginPath = "Pelmora.dll";
    settings.messageBoxes = false;
    std::string problem;
    auto session = host::InteractiveSession::create(settings, problem);
    ASSERT_TRUE(session) << problem;
    ASSERT_TRUE(session->openFile(input, problem)) << problem;
    ASSERT_TRUE(session->openWindow(problem)) << problem;
    session->tellFiles();
    clickPicture(*session);
    ASSERT_TRUE(session->pumpUntil([&] { return !session->outcomes().empty() && !session->requests().pending(); },
                                   60000));
    ASSERT_TRUE(session->outcomes().back().succeeded) << session->outcomes().back().problem;
    HWND process = GetDlgItem(session->window()->window(), host::HostWindow::kProcessId);
    PostMessageA(process, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(process, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(session->pumpUntil([&] { return !session->savedFiles().empty(); }, 60000)) << session->status();
    EXPECT_EQ(session->savedFiles()[0], expected);
    EXPECT_EQ(session->host().fileCount(), 1u);
  }
  // Along a flat curve the corrected file is the recording again, up to the
  // resampler's passband: in place, sample for sample (one sample late
  // would differ by 0.14 on this tone).
  const host::WavReadResult corrected = host::readWav(expected);
  ASSERT_TRUE(corrected.ok()) << corrected.message;
  ASSERT_EQ(corrected.audio.frames(), audio.frames());
  double worst = 0.0;
  for (std::size_t i = 1000; i + 1000 < audio.frames(); ++i)
    worst = std::max(worst, std::abs(static_cast<double>(corrected.audio.channels[0][i] - audio.channels[0][i])));
  EXPECT_LT(worst, 0.01);
  DeleteFileA(input.c_str());
  DeleteFileA(expected.c_str());
}

// A relative name for the processed file is resolved against the folder
// the session started in, whatever folder a file dialog leaves current.
TEST(PelmoraOpen, ARelativeOutputStaysInTheStartingFolder) {
  const std::string input = tempPath("relative-take.wav");
  ASSERT_TRUE(host::writeWav(input, recordingWithWow(), host::SampleFormat::Pcm16).ok());
  const std::string start = tempPath("relative-start");
  const std::string elsewhere = tempPath("relative-elsewhere");
  CreateDirectoryA(start.c_str(), nullptr);
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  char before[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
  const std::string expected = start + "\\bare-out.wav";
  {
    host::SessionSettings settings;
    settings.pluginPath = std::string(before) + "\\Pelmora.dll";
    settings.messageBoxes = false;
    settings.output = "bare-out.wav";
    std::string problem;
    auto session = host::InteractiveSession::create(settings, problem);
    ASSERT_TRUE(session) << problem;
    ASSERT_TRUE(session->openFile(input, problem)) << problem;
    ASSERT_TRUE(session->openWindow(problem)) << problem;
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));  // as a file dialog may leave it
    session->tellFiles();
    clickPicture(*session);
    ASSERT_TRUE(session->pumpUntil([&] { return !session->outcomes().empty() && !session->requests().pending(); },
                                   60000));
    HWND process = GetDlgItem(session->window()->window(), host::HostWindow::kProcessId);
    PostMessageA(process, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(process, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(session->pumpUntil([&] { return !session->savedFiles().empty(); }, 60000)) << session->status();
    EXPECT_EQ(session->savedFiles()[0], expected);
  }
  SetCurrentDirectoryA(before);
  EXPECT_TRUE(host::readWav(expected).ok());
  EXPECT_EQ(GetFileAttributesA((elsewhere + "\\bare-out.wav").c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(expected.c_str());
  DeleteFileA(input.c_str());
  RemoveDirectoryA(start.c_str());
  RemoveDirectoryA(elsewhere.c_str());
}

}  // namespace
